// UTF-8 to record bytes with the nearest Shift-JIS form of each character.
#include "metadata/RecordText.h"

#include <array>
#include <optional>
#include <utility>

#include "util/ShiftJis.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

// The code point starting at `at` and its length in bytes; nullopt for a byte that does not start
// valid UTF-8 (it counts as one byte).
std::optional<std::pair<char32_t, std::size_t>> NextCodePoint(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) return std::pair{char32_t{lead}, std::size_t{1}};
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (at + length > text.size()) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return std::nullopt;
    value = value << 6 | (byte(at + i) & 0x3F);
  }
  const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
  return std::pair{value, length};
}

struct Replacement {
  char32_t from;
  std::string_view to;  // UTF-8
};

// Replaced in texts found online even where Shift-JIS has a form: typographic quotes and hyphens
// (online databases write them where the disc prints plain ones; their Shift-JIS forms are
// full-width) and the no-break space.
constexpr Replacement kAlways[] = {
    {0x00A0, " "},  {0x2010, "-"},  {0x2011, "-"},  {0x2018, "'"},  {0x2019, "'"}, {0x201A, "'"},  {0x201B, "'"},
    {0x201C, "\""}, {0x201D, "\""}, {0x201E, "\""}, {0x201F, "\""}, {0x2032, "'"}, {0x2033, "\""},
};

// The nearest form of characters Shift-JIS lacks (empty: left out); accented letters whose base
// letter is all they keep come from kLatinBase below.
constexpr Replacement kNearest[] = {
    {0x00A1, "!"},   {0x00A4, ""},    {0x00A6, "｜"},  {0x00A9, "(C)"}, {0x00AA, "a"},  {0x00AB, "<<"},
    {0x00AD, ""},    {0x00AE, "(R)"}, {0x00AF, "￣"},  {0x00B2, "2"},   {0x00B3, "3"},  {0x00B5, "μ"},
    {0x00B7, "・"},  {0x00B8, ","},   {0x00B9, "1"},   {0x00BA, "o"},   {0x00BB, ">>"}, {0x00BC, "1/4"},
    {0x00BD, "1/2"}, {0x00BE, "3/4"}, {0x00BF, ""},    {0x00C6, "AE"},  {0x00D0, "D"},  {0x00D8, "O"},
    {0x00DE, "Th"},  {0x00DF, "ss"},  {0x00E6, "ae"},  {0x00F0, "d"},   {0x00F8, "o"},  {0x00FE, "th"},
    {0x0110, "D"},   {0x0111, "d"},   {0x0126, "H"},   {0x0127, "h"},   {0x0131, "i"},  {0x0132, "IJ"},
    {0x0133, "ij"},  {0x0138, "k"},   {0x013F, "L"},   {0x0140, "l"},   {0x0141, "L"},  {0x0142, "l"},
    {0x0149, "n"},   {0x014A, "N"},   {0x014B, "n"},   {0x0152, "OE"},  {0x0153, "oe"}, {0x0166, "T"},
    {0x0167, "t"},   {0x017F, "s"},   {0x0192, "f"},   {0x02C6, "^"},   {0x02DC, "~"},  {0x2012, "-"},
    {0x2013, "-"},   {0x201A, ","},   {0x201E, "\""},  {0x2022, "・"},  {0x2027, "・"}, {0x2039, "<"},
    {0x203A, ">"},   {0x2044, "/"},   {0x20AC, "EUR"}, {0x2122, "TM"},  {0x216A, "XI"}, {0x216B, "XII"},
    {0x2212, "－"},  {0x2215, "/"},   {0x2219, "・"},  {0x22C5, "・"},  {0x2236, ":"},  {0x301C, "～"},
    {0x30A0, "＝"},  {0x30FB, "・"},  {0xFB00, "ff"},  {0xFB01, "fi"},  {0xFB02, "fl"}, {0xFB03, "ffi"},
    {0xFB04, "ffl"}, {0xFF5F, "（"},  {0xFF60, "）"},  {0xFF65, "･"},
};

// Base letters of the Latin-1 and Latin Extended-A letters with diacritics, from U+00C0.
constexpr std::string_view kLatinBase =
    "AAAAAA?CEEEEIIII?NOOOOO??UUUUY??aaaaaa?ceeeeiiii?nooooo??uuuuy?y"  // U+00C0..U+00FF
    "AaAaAaCcCcCcCcDd??EeEeEeEeEeGgGgGgGgHh??IiIiIiIiI???JjKk?LlLlLl????NnNnNn???OoOoOo??RrRrRrSsSsSsSsTtTt??"
    "UuUuUuUuUuUuWwYyYZzZzZz?";  // U+0100..U+017F

std::optional<std::string_view> Find(const auto& table, char32_t code) {
  for (const Replacement& replacement : table) {
    if (replacement.from == code) return replacement.to;
  }
  return std::nullopt;
}

// The Shift-JIS bytes of one character, or nullopt when it has none.
std::optional<std::string> Encode(std::string_view utf8) {
  SjisEncoding encoded = Utf8ToSjis(utf8);
  if (!encoded.ok()) return std::nullopt;
  return std::move(encoded.bytes);
}

std::string Utf8Of(char32_t code) {
  std::string out;
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | code >> 6));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | code >> 12));
    out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | code >> 18));
    out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
  return out;
}

}  // namespace

std::string SjisOrNearest(char32_t code) {
  // Code page 932 would store the yen sign as "\".
  if (code == 0x00A5) return Encode("￥").value_or("");
  if (auto bytes = Encode(Utf8Of(code))) return *bytes;
  if (auto nearest = Find(kNearest, code)) return Encode(*nearest).value_or("");
  if (code >= 0x00C0 && code < 0x00C0 + kLatinBase.size() && kLatinBase[code - 0x00C0] != '?') {
    return std::string(1, kLatinBase[code - 0x00C0]);
  }
  // Circled numbers past those code page 932 has: 21..35 (U+3251..), 36..50 (U+32B1..).
  if (code >= 0x3251 && code <= 0x325F) return "(" + std::to_string(code - 0x3251 + 21) + ")";
  if (code >= 0x32B1 && code <= 0x32BF) return "(" + std::to_string(code - 0x32B1 + 36) + ")";
  // Full-width forms Shift-JIS lacks: their ASCII letters.
  if (code >= 0xFF01 && code <= 0xFF5E)
    return Encode(std::string(1, static_cast<char>(code - 0xFF01 + 0x21))).value_or("");
  // Combining marks (a decomposed accent) and everything else without a form are left out.
  return "";
}

namespace {

// Control characters become blanks; typographic quotes and hyphens plain ones.
std::string EncodeCodePoint(char32_t code) {
  if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) return " ";
  if (auto always = Find(kAlways, code)) return Encode(*always).value_or("");
  return SjisOrNearest(code);
}

}  // namespace

std::string ToRecordText(std::string_view utf8, std::size_t capacity) {
  std::string bytes;
  for (std::size_t at = 0; at < utf8.size();) {
    const auto next = NextCodePoint(utf8, at);
    if (!next) {
      ++at;
      continue;
    }
    bytes += EncodeCodePoint(next->first);
    at += next->second;
  }
  return std::string(SjisPrefix(Trim(bytes), capacity));
}

}  // namespace qvr
