// CD-Text packs and text files. A pack is 18 bytes: type (0x80 title ... 0x8F size information),
// track number, sequence number, block number with the double-byte flag and character position,
// 12 bytes of text and a CRC. Each type's texts run through its packs as zero-terminated strings,
// the disc's first, then track by track; a string of one TAB repeats the previous track's.
#include "cdda/CdText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <optional>

#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr std::size_t kPackBytes = 18;
constexpr std::size_t kPackTextBytes = 12;
constexpr std::size_t kMaxTrack = 99;
constexpr std::uint8_t kJapanese = 0x69;  // language code of Japanese in the size information

enum PackType : std::uint8_t {
  kTitle = 0x80,
  kPerformer = 0x81,
  kSongwriter = 0x82,
  kComposer = 0x83,
  kArranger = 0x84,
  kGenre = 0x87,
  kSizeInfo = 0x8F,
};

bool IsHigh(unsigned char byte) { return byte >= 0x80; }

bool AnyHigh(const std::vector<std::string_view>& texts) {
  return std::any_of(texts.begin(), texts.end(), [](std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return IsHigh(static_cast<unsigned char>(c)); });
  });
}

// Valid UTF-8 throughout (no overlong forms, no surrogates).
bool IsUtf8(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    if (lead < 0x80)
      length = 1;
    else if (lead >= 0xC2 && lead <= 0xDF)
      length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
      length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
      length = 4;
    else
      return false;
    if (at + length > text.size()) return false;
    for (std::size_t n = 1; n < length; ++n) {
      if ((static_cast<unsigned char>(text[at + n]) & 0xC0) != 0x80) return false;
    }
    const auto second = static_cast<unsigned char>(length > 1 ? text[at + 1] : 0);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second >= 0x90)) {
      return false;
    }
    at += length;
  }
  return true;
}

// Valid code page 932 throughout.
bool IsSjis(std::string_view text) { return SjisToUtf8(text).find("\xEF\xBF\xBD") == std::string::npos; }

// Japanese in Shift-JIS: a double-byte character whose first byte is one Western texts never
// hold (0x81..0x9F are control codes in ISO 8859-1). Hiragana, katakana, punctuation and the
// common kanji all start so.
bool HasJapanese(std::string_view text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x81 && byte <= 0x9F && at + 1 < text.size()) return true;
    if (IsSjisLeadByte(byte)) ++at;
  }
  return false;
}

bool All(const std::vector<std::string_view>& texts, bool (*test)(std::string_view)) {
  return std::all_of(texts.begin(), texts.end(), test);
}

bool Any(const std::vector<std::string_view>& texts, bool (*test)(std::string_view)) {
  return std::any_of(texts.begin(), texts.end(), test);
}

// The code a block's bytes are in, given what its flag declares. nullopt: a code the records
// cannot take (Korean, Mandarin) whose bytes are not Japanese or UTF-8 either.
std::optional<CdTextCharset> ResolveCharset(std::optional<CdTextCharset> declared,
                                            const std::vector<std::string_view>& texts) {
  if (!AnyHigh(texts)) return declared.value_or(CdTextCharset::Latin1);
  const bool sjis = All(texts, IsSjis);
  const bool utf8 = All(texts, IsUtf8);
  if (declared == CdTextCharset::MsJis) {
    if (sjis) return CdTextCharset::MsJis;
    return utf8 ? CdTextCharset::Utf8 : CdTextCharset::Latin1;
  }
  if (utf8) return CdTextCharset::Utf8;
  if (sjis && Any(texts, HasJapanese)) return CdTextCharset::MsJis;
  if (!declared) return std::nullopt;
  return CdTextCharset::Latin1;
}

struct Pack {
  std::uint8_t type = 0;
  std::uint8_t track = 0;
  std::uint8_t sequence = 0;
  std::uint8_t block = 0;
  bool doubleByte = false;
  bool continues = false;  // the text begins inside a string that started in an earlier pack
  std::string_view text;
};

std::uint16_t Be16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) << 8 |
                                    static_cast<unsigned char>(bytes[at + 1]));
}

bool IsPackType(unsigned char byte) { return byte >= 0x80 && byte <= 0x8F; }

// The packs within `bytes`: a 4-byte header (big-endian length of what follows its first two
// bytes) is recognised by the size it gives, a trailing zero byte (some writers add one) is
// ignored.
std::string_view PackBytes(std::string_view bytes) {
  const std::size_t rest = bytes.size() % kPackBytes;
  bool header = rest == 4 || rest == 5;
  if (rest != 0 && rest != 1 && !header && bytes.size() >= 4) {
    const std::size_t length = Be16(bytes, 0);
    header = length >= 2 && length + 2 <= bytes.size() && !IsPackType(static_cast<unsigned char>(bytes[0]));
  }
  if (header) {
    std::size_t length = Be16(bytes, 0);
    bytes.remove_prefix(4);
    if (length >= 2 && length - 2 < bytes.size()) bytes = bytes.substr(0, length - 2);
  }
  return bytes;
}

std::vector<Pack> ReadPacks(std::string_view bytes) {
  bytes = PackBytes(bytes);
  std::vector<Pack> packs;
  bool anyCrcRight = false, allCrcZero = true;
  std::vector<bool> crcRight;
  for (std::size_t at = 0; at + kPackBytes <= bytes.size(); at += kPackBytes) {
    const std::string_view raw = bytes.substr(at, kPackBytes);
    const std::uint16_t stored = Be16(raw, 16);
    const bool right = CdTextPackCrc(raw.substr(0, 16)) == stored;
    anyCrcRight = anyCrcRight || right;
    allCrcZero = allCrcZero && stored == 0;
    crcRight.push_back(right);
    Pack pack;
    pack.type = static_cast<std::uint8_t>(raw[0]);
    pack.track = static_cast<std::uint8_t>(raw[1]) & 0x7F;
    pack.sequence = static_cast<std::uint8_t>(raw[2]);
    const auto flags = static_cast<std::uint8_t>(raw[3]);
    pack.doubleByte = (flags & 0x80) != 0;
    pack.block = (flags >> 4) & 0x07;
    pack.continues = (flags & 0x0F) != 0;
    pack.text = raw.substr(4, kPackTextBytes);
    packs.push_back(pack);
  }
  // Packs written without CRCs at all (zeros throughout) are taken as they are; otherwise a pack
  // whose CRC is wrong was damaged and is left out.
  const bool trustAll = !anyCrcRight && allCrcZero && !packs.empty();
  std::vector<Pack> kept;
  for (std::size_t n = 0; n < packs.size(); ++n) {
    if ((crcRight[n] || trustAll) && IsPackType(packs[n].type)) kept.push_back(packs[n]);
  }
  std::stable_sort(kept.begin(), kept.end(), [](const Pack& a, const Pack& b) {
    return a.block != b.block ? a.block < b.block : a.sequence < b.sequence;
  });
  return kept;
}

// The strings of one pack type in one block, by track (0 the disc).
using TrackStrings = std::map<std::size_t, std::string>;

TrackStrings AssembleStrings(const std::vector<const Pack*>& packs) {
  TrackStrings strings;
  std::string open;  // the string the last pack left unfinished (empty: none)
  std::size_t openTrack = 0;
  int lastSequence = -2;
  bool skipSecondZero = false;  // a double-byte terminator's second zero may start the next pack
  for (const Pack* pack : packs) {
    std::size_t track = pack->track;
    std::string_view text = pack->text;
    const bool follows = pack->sequence == lastSequence + 1;
    lastSequence = pack->sequence;
    if (skipSecondZero && follows && !text.empty() && text.front() == '\0') text.remove_prefix(1);
    skipSecondZero = false;
    std::string current;
    if (pack->continues) {
      if (!open.empty() && follows && openTrack == track) {
        current = std::move(open);
      } else {
        // The start of this string was in a pack that is missing: drop its rest.
        const std::size_t end = text.find('\0');
        open.clear();
        if (end == std::string_view::npos) continue;
        text.remove_prefix(end + 1);
        if (pack->doubleByte && !text.empty() && text.front() == '\0') text.remove_prefix(1);
        ++track;
      }
    }
    open.clear();
    for (std::size_t at = 0; at < text.size(); ++at) {
      if (text[at] != '\0') {
        current.push_back(text[at]);
        continue;
      }
      if (track <= kMaxTrack && !strings.contains(track)) strings[track] = current;
      current.clear();
      ++track;
      if (pack->doubleByte) {
        if (at + 1 < text.size() && text[at + 1] == '\0')
          ++at;
        else if (at + 1 == text.size())
          skipSecondZero = true;
      }
    }
    open = std::move(current);
    openTrack = track;
  }
  return strings;
}

struct Block {
  std::vector<const Pack*> byType[16];
  bool doubleByte = false;
  std::array<std::uint8_t, 36> sizeInfo{};
  bool sizeInfoSeen = false;
};

std::optional<CdTextCharset> DeclaredCharset(const Block& block) {
  if (!block.sizeInfoSeen) return block.doubleByte ? CdTextCharset::MsJis : CdTextCharset::Latin1;
  switch (block.sizeInfo[0]) {
    case 0x00:
    case 0x01: return CdTextCharset::Latin1;
    case 0x80: return CdTextCharset::MsJis;
    default: return std::nullopt;
  }
}

// Repeats the previous track's text where a track's is a TAB (two in double-byte blocks).
void ResolveRepeats(TrackStrings& strings) {
  for (auto& [track, text] : strings) {
    if (text != "\t" && text != "\t\t") continue;
    auto previous = track >= 2 ? strings.find(track - 1) : strings.end();
    text = previous != strings.end() ? previous->second : std::string();
  }
}

struct DecodedBlock {
  CdText text;
  CdTextCharset charset = CdTextCharset::Latin1;
  std::uint8_t language = 0;
};

std::optional<DecodedBlock> DecodeBlock(const Block& block, std::uint8_t number) {
  static constexpr std::pair<std::uint8_t, CdTextString CdTextEntry::*> kFields[] = {
      {kTitle, &CdTextEntry::Title},           {kPerformer, &CdTextEntry::Performer},
      {kSongwriter, &CdTextEntry::Songwriter}, {kComposer, &CdTextEntry::Composer},
      {kArranger, &CdTextEntry::Arranger},
  };
  std::vector<std::pair<CdTextString CdTextEntry::*, TrackStrings>> fields;
  std::vector<std::string_view> all;
  for (const auto& [type, member] : kFields) {
    TrackStrings strings = AssembleStrings(block.byType[type & 0x0F]);
    ResolveRepeats(strings);
    fields.emplace_back(member, std::move(strings));
  }
  // Genre: a big-endian code, then a text.
  std::string genreData;
  int lastSequence = -1;
  bool genreWhole = true;
  for (const Pack* pack : block.byType[kGenre & 0x0F]) {
    genreWhole = genreWhole && (lastSequence < 0 || pack->sequence == lastSequence + 1);
    lastSequence = pack->sequence;
    genreData += pack->text;
  }
  std::uint16_t genreCode = genreData.size() >= 2 ? Be16(genreData, 0) : 0;
  std::string genreText;
  if (genreData.size() > 2 && genreWhole) genreText = genreData.substr(2, genreData.find('\0', 2) - 2);

  for (const auto& field : fields) {
    for (const auto& entry : field.second) all.push_back(entry.second);
  }
  if (!genreText.empty()) all.push_back(genreText);
  const std::optional<CdTextCharset> charset = ResolveCharset(DeclaredCharset(block), all);
  if (!charset) return std::nullopt;

  DecodedBlock decoded;
  decoded.charset = *charset;
  decoded.language = block.sizeInfoSeen ? block.sizeInfo[28 + number] : 0;
  for (const auto& [member, strings] : fields) {
    for (const auto& [track, bytes] : strings) {
      if (bytes.empty()) continue;
      CdTextEntry& entry = track == 0 ? decoded.text.Disc : decoded.text.Track(track);
      entry.*member = CdTextString{bytes, *charset};
    }
  }
  if (!genreText.empty())
    decoded.text.Disc.Genre = CdTextString{genreText, *charset};
  else if (!CdTextGenreName(genreCode).empty())
    decoded.text.Disc.Genre = CdTextString{std::string(CdTextGenreName(genreCode)), CdTextCharset::Latin1};
  if (decoded.text.Empty()) return std::nullopt;
  return decoded;
}

// Of the blocks that hold texts: a Japanese one first (Shift-JIS texts or a Japanese language
// code), else the first.
CdText Preferred(std::vector<DecodedBlock>& blocks) {
  if (blocks.empty()) return {};
  auto japanese = std::find_if(blocks.begin(), blocks.end(),
                               [](const DecodedBlock& block) { return block.charset == CdTextCharset::MsJis; });
  if (japanese == blocks.end()) {
    japanese = std::find_if(blocks.begin(), blocks.end(),
                            [](const DecodedBlock& block) { return block.language == kJapanese; });
  }
  return std::move(japanese != blocks.end() ? *japanese : blocks.front()).text;
}

}  // namespace

bool CdTextEntry::Empty() const {
  return Title.Empty() && Performer.Empty() && Songwriter.Empty() && Composer.Empty() && Arranger.Empty() &&
         Genre.Empty();
}

bool CdText::Empty() const {
  return Disc.Empty() &&
         std::all_of(Tracks.begin(), Tracks.end(), [](const CdTextEntry& entry) { return entry.Empty(); });
}

CdTextEntry& CdText::Track(std::size_t number) {
  if (Tracks.size() < number) Tracks.resize(number);
  return Tracks[number - 1];
}

const CdTextEntry& CdText::TrackOrEmpty(std::size_t number) const {
  static const CdTextEntry kNone;
  return number >= 1 && number <= Tracks.size() ? Tracks[number - 1] : kNone;
}

void CdText::FillFrom(const CdText& other) {
  auto fill = [](CdTextEntry& entry, const CdTextEntry& from) {
    for (auto member : {&CdTextEntry::Title, &CdTextEntry::Performer, &CdTextEntry::Songwriter, &CdTextEntry::Composer,
                        &CdTextEntry::Arranger, &CdTextEntry::Genre}) {
      if ((entry.*member).Empty()) entry.*member = from.*member;
    }
  };
  fill(Disc, other.Disc);
  for (std::size_t n = 1; n <= other.Tracks.size(); ++n) {
    if (!other.Tracks[n - 1].Empty()) fill(Track(n), other.Tracks[n - 1]);
  }
}

std::uint16_t CdTextPackCrc(std::string_view first16) {
  std::uint16_t crc = 0;
  for (char c : first16) {
    crc ^= static_cast<std::uint16_t>(static_cast<unsigned char>(c) << 8);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return static_cast<std::uint16_t>(~crc);
}

CdText DecodeCdTextPacks(std::string_view bytes) {
  const std::vector<Pack> packs = ReadPacks(bytes);
  std::array<Block, 8> blocks;
  std::array<bool, 8> used{};
  for (const Pack& pack : packs) {
    Block& block = blocks[pack.block];
    used[pack.block] = true;
    if (pack.type == kSizeInfo) {
      if (pack.track < 3) {
        std::copy(pack.text.begin(), pack.text.end(), block.sizeInfo.begin() + pack.track * kPackTextBytes);
        block.sizeInfoSeen = block.sizeInfoSeen || pack.track == 0;
      }
      continue;
    }
    block.byType[pack.type & 0x0F].push_back(&pack);
    block.doubleByte = block.doubleByte || pack.doubleByte;
  }
  std::vector<DecodedBlock> decoded;
  for (std::size_t n = 0; n < blocks.size(); ++n) {
    if (!used[n]) continue;
    if (auto block = DecodeBlock(blocks[n], static_cast<std::uint8_t>(n))) decoded.push_back(std::move(*block));
  }
  return Preferred(decoded);
}

CdTextCharset GuessTextCharset(const std::vector<std::string_view>& texts) {
  if (!AnyHigh(texts)) return CdTextCharset::Latin1;
  if (All(texts, IsUtf8)) return CdTextCharset::Utf8;
  if (All(texts, IsSjis) && Any(texts, HasJapanese)) return CdTextCharset::MsJis;
  return CdTextCharset::Windows1252;
}

std::string_view CdTextGenreName(std::uint16_t code) {
  static constexpr std::string_view kNames[] = {
      "",
      "",
      "Adult Contemporary",
      "Alternative Rock",
      "Childrens Music",
      "Classical",
      "Contemporary Christian",
      "Country",
      "Dance",
      "Easy Listening",
      "Erotic",
      "Folk",
      "Gospel",
      "Hip Hop",
      "Jazz",
      "Latin",
      "Musical",
      "New Age",
      "Opera",
      "Operetta",
      "Pop Music",
      "Rap",
      "Reggae",
      "Rock Music",
      "Rhythm & Blues",
      "Sound Effects",
      "Soundtrack",
      "Spoken Word",
      "World Music",
  };
  return code < std::size(kNames) ? kNames[code] : std::string_view();
}

// ---- cdrdao .toc files ----

namespace {

struct TocToken {
  enum Kind { Word, String, Number, Symbol, Bytes } kind = Word;
  std::string text;
};

// Splits a .toc file into words, strings (escapes resolved), numbers and the symbols { } : ,
// Comments (// to the end of the line) are skipped.
std::vector<TocToken> TocTokens(std::string_view text) {
  std::vector<TocToken> tokens;
  std::size_t at = 0;
  while (at < text.size()) {
    const char c = text[at];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++at;
    } else if (c == '/' && at + 1 < text.size() && text[at + 1] == '/') {
      at = text.find('\n', at);
      if (at == std::string_view::npos) break;
    } else if (c == '"') {
      std::string value;
      ++at;
      while (at < text.size() && text[at] != '"') {
        if (text[at] == '\\' && at + 1 < text.size()) {
          ++at;
          if (text[at] >= '0' && text[at] <= '7') {
            int code = 0;
            for (int n = 0; n < 3 && at < text.size() && text[at] >= '0' && text[at] <= '7'; ++n)
              code = code * 8 + (text[at++] - '0');
            value.push_back(static_cast<char>(code & 0xFF));
            continue;
          }
        }
        value.push_back(text[at++]);
      }
      ++at;
      tokens.push_back({TocToken::String, std::move(value)});
    } else if (c == '{' || c == '}' || c == ':' || c == ',') {
      tokens.push_back({TocToken::Symbol, std::string(1, c)});
      ++at;
    } else {
      const std::size_t start = at;
      while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at])) && text[at] != '{' &&
             text[at] != '}' && text[at] != ':' && text[at] != ',' && text[at] != '"') {
        ++at;
      }
      std::string word(text.substr(start, at - start));
      const bool number =
          std::all_of(word.begin(), word.end(), [](char d) { return std::isdigit(static_cast<unsigned char>(d)); });
      tokens.push_back({number ? TocToken::Number : TocToken::Word, std::move(word)});
    }
  }
  return tokens;
}

struct TocLanguage {
  std::map<std::size_t, std::map<std::string, std::string>> fields;  // track (0 the disc) -> field -> bytes
  bool declaredMsJis = false;
};

}  // namespace

CdText ReadTocCdText(std::string_view tocText) {
  const std::vector<TocToken> tokens = TocTokens(tocText);
  std::map<int, TocLanguage> languages;
  std::map<int, std::string> languageCodes;
  std::size_t track = 0;
  std::size_t at = 0;
  auto is = [&](std::size_t n, const char* text) {
    return n < tokens.size() && tokens[n].text == text && tokens[n].kind != TocToken::String;
  };
  // Skips a { ... } group starting at `n` (nested ones too); returns the index after it.
  auto skipGroup = [&](std::size_t n) {
    int depth = 0;
    for (; n < tokens.size(); ++n) {
      if (is(n, "{")) ++depth;
      if (is(n, "}") && --depth <= 0) return n + 1;
    }
    return n;
  };
  while (at < tokens.size()) {
    if (is(at, "TRACK")) {
      track = std::min(track + 1, kMaxTrack + 1);
      ++at;
      continue;
    }
    if (!is(at, "CD_TEXT") || !is(at + 1, "{")) {
      ++at;
      continue;
    }
    const std::size_t end = skipGroup(at + 1);
    std::size_t n = at + 2;
    while (n + 1 < end) {
      if (is(n, "LANGUAGE_MAP") && is(n + 1, "{")) {
        const std::size_t mapEnd = skipGroup(n + 1);
        for (std::size_t m = n + 2; m + 2 < mapEnd; ++m) {
          if (tokens[m].kind == TocToken::Number && is(m + 1, ":"))
            languageCodes[std::stoi(tokens[m].text.substr(0, 3))] = tokens[m + 2].text;
        }
        n = mapEnd;
      } else if (is(n, "LANGUAGE") && n + 2 < end && tokens[n + 1].kind == TocToken::Number && is(n + 2, "{")) {
        TocLanguage& language = languages[std::stoi(tokens[n + 1].text.substr(0, 3))];
        const std::size_t blockEnd = skipGroup(n + 2);
        for (std::size_t m = n + 3; m + 1 < blockEnd;) {
          if (tokens[m].kind == TocToken::Word && tokens[m].text.starts_with("ENCODING_")) {
            language.declaredMsJis = tokens[m].text == "ENCODING_MS_JIS";
            ++m;
          } else if (tokens[m].kind == TocToken::Word && tokens[m + 1].kind == TocToken::String) {
            if (track <= kMaxTrack) language.fields[track][tokens[m].text] = tokens[m + 1].text;
            m += 2;
          } else if (tokens[m].kind == TocToken::Word && is(m + 1, "{")) {
            // Binary value: a list of byte numbers.
            const std::size_t listEnd = skipGroup(m + 1);
            std::string bytes;
            for (std::size_t k = m + 2; k < listEnd; ++k) {
              if (tokens[k].kind == TocToken::Number)
                bytes.push_back(static_cast<char>(std::stoi(tokens[k].text.substr(0, 3)) & 0xFF));
            }
            if (tokens[m].text == "GENRE" && bytes.size() >= 2 && track <= kMaxTrack) {
              const std::string text = bytes.substr(
                  2, bytes.find('\0', 2) == std::string::npos ? std::string::npos : bytes.find('\0', 2) - 2);
              language.fields[track]["GENRE"] = text.empty() ? std::string(CdTextGenreName(Be16(bytes, 0))) : text;
            }
            m = listEnd;
          } else {
            ++m;
          }
        }
        n = blockEnd;
      } else {
        ++n;
      }
    }
    at = end;
  }

  static constexpr std::pair<const char*, CdTextString CdTextEntry::*> kFields[] = {
      {"TITLE", &CdTextEntry::Title},           {"PERFORMER", &CdTextEntry::Performer},
      {"SONGWRITER", &CdTextEntry::Songwriter}, {"COMPOSER", &CdTextEntry::Composer},
      {"ARRANGER", &CdTextEntry::Arranger},     {"GENRE", &CdTextEntry::Genre},
  };
  std::vector<DecodedBlock> blocks;
  for (const auto& [number, language] : languages) {
    std::vector<std::string_view> all;
    for (const auto& entry : language.fields) {
      for (const auto& field : entry.second) all.push_back(field.second);
    }
    CdTextCharset charset = GuessTextCharset(all);
    if (language.declaredMsJis && All(all, IsSjis)) charset = CdTextCharset::MsJis;
    if (charset == CdTextCharset::Windows1252) charset = CdTextCharset::Latin1;  // CD-Text's own code
    DecodedBlock block;
    block.charset = charset;
    const std::string code = languageCodes.contains(number) ? languageCodes[number] : std::string();
    block.language = code == "JA" || code == "105" ? kJapanese : 0;
    for (const auto& [entryTrack, fields] : language.fields) {
      for (const auto& [name, member] : kFields) {
        auto found = fields.find(name);
        if (found == fields.end() || found->second.empty()) continue;
        CdTextEntry& entry = entryTrack == 0 ? block.text.Disc : block.text.Track(entryTrack);
        entry.*member = CdTextString{found->second, charset};
      }
    }
    if (!block.text.Empty()) blocks.push_back(std::move(block));
  }
  return Preferred(blocks);
}

}  // namespace qvr
