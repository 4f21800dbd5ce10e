// Code page 932 through glibc iconv ("CP932": 0x5C is a backslash, 0x8160 is U+FF5E), with
// our own recovery from invalid input so that no text ever stops a conversion.
#include "util/ShiftJis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace qvr {
namespace {

// One iconv descriptor per direction and thread, opened on first use.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    if (handle_ == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts as much of [in, in + size) as it can, appending to `out`. Returns the number of
  // input bytes consumed; stops at the first byte it cannot convert (errno tells why).
  std::size_t Convert(const char* in, std::size_t size, std::string& out, int& error) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* input = const_cast<char*>(in);
    std::size_t input_left = size;
    error = 0;
    while (input_left > 0) {
      char buffer[1024];
      char* output = buffer;
      std::size_t output_left = sizeof buffer;
      std::size_t result = iconv(handle_, &input, &input_left, &output, &output_left);
      out.append(buffer, output - buffer);
      if (result == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        error = errno;
        break;
      }
    }
    return size - input_left;
  }

 private:
  iconv_t handle_;
};

Converter& Decoder() {
  thread_local Converter converter("UTF-8", "CP932");
  return converter;
}

Converter& Encoder() {
  thread_local Converter converter("CP932", "UTF-8");
  return converter;
}

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view text) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  auto continuation = [&](std::size_t i) { return i < text.size() && (byte(i) & 0xC0) == 0x80; };
  if (text.empty()) return 0;
  unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                                                      : 0;
  for (std::size_t i = 1; i < length; ++i) {
    if (!continuation(i)) return 0;
  }
  return length;
}

}  // namespace

bool IsAsciiText(std::string_view text) {
  std::uint64_t high = 0;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + i, 8);
    high |= word;
  }
  for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
  return (high & 0x8080808080808080ull) == 0;
}

std::string SjisToUtf8(std::string_view sjis) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  // ASCII is the same in both: such a text needs no converter, which is loaded on first use.
  if (IsAsciiText(sjis)) return std::string(sjis);
  std::string out;
  out.reserve(sjis.size() + sjis.size() / 2);
  std::size_t at = 0;
  while (at < sjis.size()) {
    int error = 0;
    at += Decoder().Convert(sjis.data() + at, sjis.size() - at, out, error);
    if (at >= sjis.size()) break;
    out += kReplacement;
    // A lead byte with a non-ASCII trail byte is one unassigned character; otherwise only the
    // offending byte is dropped so that the ASCII after it survives.
    auto lead = static_cast<unsigned char>(sjis[at]);
    bool pair = IsSjisLeadByte(lead) && at + 1 < sjis.size() && static_cast<unsigned char>(sjis[at + 1]) >= 0x80 &&
                static_cast<unsigned char>(sjis[at + 1]) <= 0xFC;
    at += pair ? 2 : 1;
  }
  return out;
}

SjisEncoding Utf8ToSjis(std::string_view utf8) {
  SjisEncoding result;
  // ASCII is the same in both; most texts of a large import are, and skip the converter.
  if (IsAsciiText(utf8)) {
    result.bytes = utf8;
    return result;
  }
  result.bytes.reserve(utf8.size());
  std::size_t at = 0;
  while (at < utf8.size()) {
    int error = 0;
    at += Encoder().Convert(utf8.data() + at, utf8.size() - at, result.bytes, error);
    if (at >= utf8.size()) break;
    std::size_t length = Utf8SequenceLength(utf8.substr(at));
    if (length == 0) length = 1;
    result.unmappable.emplace_back(utf8.substr(at, length));
    result.bytes += '?';
    at += length;
  }
  return result;
}

bool IsSjisTrailAt(std::string_view sjis, std::size_t index) {
  bool trail = false;
  for (std::size_t i = 0; i <= index && i < sjis.size(); ++i) {
    if (i == index) return trail;
    trail = !trail && IsSjisLeadByte(static_cast<unsigned char>(sjis[i]));
  }
  return false;
}

std::string_view SjisPrefix(std::string_view sjis, std::size_t capacity) {
  if (sjis.size() <= capacity) return sjis;
  std::size_t end = 0;
  while (end < capacity) {
    std::size_t width = IsSjisLeadByte(static_cast<unsigned char>(sjis[end])) ? 2 : 1;
    if (end + width > capacity) break;
    end += width;
  }
  return sjis.substr(0, end);
}

bool SjisEqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto fold = [](unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c; };
  bool trail = false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (trail ? x != y : fold(x) != fold(y)) return false;
    trail = !trail && IsSjisLeadByte(x);
  }
  return true;
}

}  // namespace qvr
