// The JSON stream: a buffer over the file, the extent of each value found by its brackets and
// quotes (sixteen bytes at a time where the processor has SSE2), simdjson for the value itself.
#include "tools/qvrdb/JsonStream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "util/Error.h"

namespace qvr {
namespace {

// Reads of a megabyte: few enough calls, and few fresh pages for the buffer.
constexpr std::size_t kFirstCapacity = 1 << 20;

bool IsWhitespace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// Bits for the bytes of p[0, count) (count <= 16, p readable for 16 bytes) that are quotes,
// backslashes or brackets.
unsigned SpecialMask(const char* p, std::size_t count) {
#if defined(__SSE2__)
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const auto is = [&](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
  const __m128i special = _mm_or_si128(_mm_or_si128(_mm_or_si128(is('"'), is('\\')), _mm_or_si128(is('{'), is('}'))),
                                       _mm_or_si128(is('['), is(']')));
  const auto mask = static_cast<unsigned>(_mm_movemask_epi8(special));
  return count >= 16 ? mask : mask & ((1u << count) - 1);
#else
  unsigned mask = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = p[i];
    if (c == '"' || c == '\\' || c == '{' || c == '}' || c == '[' || c == ']') mask |= 1u << i;
  }
  return mask;
#endif
}

// What simdjson's complaint means, in words for the user.
std::string Reason(simdjson::error_code error) {
  switch (error) {
    case simdjson::TAPE_ERROR:
    case simdjson::INCOMPLETE_ARRAY_OR_OBJECT: return "括弧、カンマ、コロンかキーの並びが正しくありません";
    case simdjson::DEPTH_ERROR: return "入れ子が深すぎます";
    case simdjson::STRING_ERROR: return "文字列のエスケープが正しくありません";
    case simdjson::T_ATOM_ERROR:
    case simdjson::F_ATOM_ERROR:
    case simdjson::N_ATOM_ERROR: return "true、false、null のどれでもない語があります";
    case simdjson::NUMBER_ERROR: return "数の書き方が正しくありません";
    case simdjson::UTF8_ERROR: return "UTF-8 として正しくないバイトがあります";
    case simdjson::UNCLOSED_STRING: return "閉じていない文字列があります";
    case simdjson::UNESCAPED_CHARS: return "文字列に制御文字がそのまま入っています";
    case simdjson::EMPTY: return "値がありません";
    case simdjson::MEMALLOC: return "メモリが足りません";
    default: return std::string("正しくありません (") + simdjson::error_message(error) + ")";
  }
}

// Finds where a text that simdjson refused goes wrong: the byte nlohmann's parser stops at.
class ErrorPlace : public nlohmann::json_sax<nlohmann::json> {
 public:
  std::optional<std::size_t> At;

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return true; }
  bool key(string_t&) override { return true; }
  bool end_object() override { return true; }
  bool start_array(std::size_t) override { return true; }
  bool end_array() override { return true; }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override {
    At = position > 0 ? position - 1 : 0;  // the byte that showed the fault (the position counts it)
    return false;
  }
};

}  // namespace

JsonStream::JsonStream(int fd, std::string name)
    : fd_(fd),
      name_(std::move(name)),
      buffer_(kFirstCapacity + simdjson::SIMDJSON_PADDING),
      capacity_(kFirstCapacity) {}

JsonStream::~JsonStream() { close(fd_); }

bool JsonStream::Refill() {
  if (eof_) return false;
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    consumed_ += begin_;
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == capacity_) {  // one value fills the buffer: it grows
    capacity_ *= 2;
    buffer_.resize(capacity_ + simdjson::SIMDJSON_PADDING);
  }
  for (;;) {
    const ssize_t got = read(fd_, buffer_.data() + end_, capacity_ - end_);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw Error(name_ + " を読み込めません: " + std::strerror(errno));
    if (got == 0) eof_ = true;
    end_ += static_cast<std::size_t>(got);
    return got > 0;
  }
}

bool JsonStream::SkipWhitespace() {
  for (;;) {
    while (begin_ < end_ && IsWhitespace(buffer_[begin_])) ++begin_;
    if (begin_ < end_) return true;
    if (!Refill()) return false;
  }
}

bool JsonStream::AtEnd() { return !SkipWhitespace(); }

void JsonStream::ExpectEnd() {
  if (SkipWhitespace()) Fail(OffsetOf(begin_), "終わるべきところの後にまだ何かあります");
}

bool JsonStream::NextIs(char bracket) { return SkipWhitespace() && buffer_[begin_] == bracket; }

void JsonStream::Enter() {
  open_.push_back({buffer_[begin_] == '{' ? '}' : ']', true});
  ++begin_;
}

bool JsonStream::Separator() {
  Open& open = open_.back();
  if (!SkipWhitespace()) Fail(OffsetOf(begin_), "ファイルが途中で終わっています");
  const char c = buffer_[begin_];
  if (c == open.Close) {
    ++begin_;
    open_.pop_back();
    return false;
  }
  if (!open.First) {
    if (c != ',') Fail(OffsetOf(begin_), std::string("',' か '") + open.Close + "' がありません");
    ++begin_;
  }
  open.First = false;
  return true;
}

std::optional<std::string> JsonStream::NextKey() {
  if (!Separator()) return std::nullopt;
  if (!SkipWhitespace() || buffer_[begin_] != '"') Fail(OffsetOf(begin_), "キー (文字列) がありません");
  std::string result(Value().get_string().value_unsafe());  // a value that begins with a quote is a string
  if (!SkipWhitespace() || buffer_[begin_] != ':') Fail(OffsetOf(begin_), "':' がありません");
  ++begin_;
  return result;
}

bool JsonStream::NextElement() { return Separator(); }

std::size_t JsonStream::NestedLength() {
  int depth = 0;
  bool in_string = false;
  std::size_t escaped = SIZE_MAX;  // the byte after a backslash in a string
  std::size_t n = 0;               // bytes from begin_ looked at
  for (;;) {
    if (begin_ + n >= end_ && !Refill()) Fail(OffsetOf(end_), "ファイルが途中で終わっています");
    const std::size_t count = std::min<std::size_t>(16, end_ - begin_ - n);
    unsigned mask = SpecialMask(buffer_.data() + begin_ + n, count);
    while (mask != 0) {
      const std::size_t i = n + static_cast<std::size_t>(__builtin_ctz(mask));
      mask &= mask - 1;
      if (i == escaped) continue;
      const char c = buffer_[begin_ + i];
      if (in_string) {
        if (c == '\\') escaped = i + 1;
        if (c == '"') in_string = false;
      } else if (c == '"') {
        in_string = true;
      } else if (c == '{' || c == '[') {
        ++depth;
      } else if (c == '}' || c == ']') {
        if (--depth == 0) return i + 1;
      }
    }
    n += count;
  }
}

std::size_t JsonStream::StringLength() {
  for (std::size_t n = 1;; ++n) {
    if (begin_ + n >= end_ && !Refill()) Fail(OffsetOf(end_), "ファイルが途中で終わっています");
    const char c = buffer_[begin_ + n];
    if (c == '\\') {
      ++n;
      if (begin_ + n >= end_ && !Refill()) Fail(OffsetOf(end_), "ファイルが途中で終わっています");
    } else if (c == '"') {
      return n + 1;
    }
  }
}

std::size_t JsonStream::ScalarLength() {
  for (std::size_t n = 0;; ++n) {
    if (begin_ + n >= end_ && !Refill()) return n;
    const char c = buffer_[begin_ + n];
    if (IsWhitespace(c) || c == ',' || c == '}' || c == ']' || c == ':') return n;
  }
}

simdjson::dom::element JsonStream::Value() {
  if (!SkipWhitespace()) Fail(OffsetOf(begin_), "ファイルが途中で終わっています");
  const char first = buffer_[begin_];
  const std::size_t length = first == '{' || first == '[' ? NestedLength()
                             : first == '"'               ? StringLength()
                                                          : ScalarLength();
  if (length == 0) Fail(OffsetOf(begin_), "値がありません");
  simdjson::dom::element element;
  // The padding after the buffer's end lets simdjson read past the value without a copy.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer_.data() + begin_);
  if (const simdjson::error_code error = parser_.parse(bytes, length, false).get(element)) FailParse(length, error);
  begin_ += length;
  return element;
}

void JsonStream::FailParse(std::size_t length, simdjson::error_code error) const {
  ErrorPlace place;
  const char* text = buffer_.data() + begin_;
  nlohmann::json::sax_parse(text, text + length, &place);
  Fail(OffsetOf(begin_ + place.At.value_or(0)), Reason(error));
}

void JsonStream::Fail(std::uint64_t offset, std::string_view reason) const {
  // Lines and the characters of the last one up to the offset, read again from the start.
  std::uint64_t line = 1, column = 1, at = 0;
  std::vector<char> block(1 << 16);
  while (at < offset) {
    const ssize_t got =
        pread(fd_, block.data(), std::min<std::uint64_t>(block.size(), offset - at), static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i) {
      const auto c = static_cast<unsigned char>(block[static_cast<std::size_t>(i)]);
      if (c == '\n') {
        ++line;
        column = 1;
      } else if ((c & 0xC0) != 0x80) {
        ++column;
      }
    }
    at += static_cast<std::uint64_t>(got);
  }
  throw Error(name_ + " は JSON として読めません: " + std::to_string(line) + " 行 " + std::to_string(column) +
              " 文字目: " + std::string(reason));
}

}  // namespace qvr
