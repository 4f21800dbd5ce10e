// The JSON stream: a buffer over the file, the extent of each value found by its brackets and
// quotes (64 bytes at a time, sixteen to an SSE2 compare), simdjson for the value itself.
#include "tools/qvrdb/JsonStream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
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

// The bytes of a 64-byte block that matter to the extent of a value, one bit each.
struct BlockBits {
  std::uint64_t Quotes = 0, Backslashes = 0, Opens = 0, Closes = 0;
};

// The bits of p[0, count) (count <= 64, p readable for 64 bytes).
BlockBits Classify(const char* p, std::size_t count) {
  BlockBits bits;
#if defined(__SSE2__)
  // Sixteen bytes at `part`, written out four times so that the compiler keeps it straight.
  const auto add = [&](int part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * part));
    const auto is = [&](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
    const auto mask = [&](__m128i found) {
      return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(found))} << (16 * part);
    };
    bits.Quotes |= mask(is('"'));
    bits.Backslashes |= mask(is('\\'));
    bits.Opens |= mask(_mm_or_si128(is('{'), is('[')));
    bits.Closes |= mask(_mm_or_si128(is('}'), is(']')));
  };
  add(0);
  add(1);
  add(2);
  add(3);
  if (count < 64) {
    const std::uint64_t valid = (std::uint64_t{1} << count) - 1;
    bits.Quotes &= valid;
    bits.Backslashes &= valid;
    bits.Opens &= valid;
    bits.Closes &= valid;
  }
#else
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t bit = std::uint64_t{1} << i;
    const char c = p[i];
    if (c == '"') bits.Quotes |= bit;
    if (c == '\\') bits.Backslashes |= bit;
    if (c == '{' || c == '[') bits.Opens |= bit;
    if (c == '}' || c == ']') bits.Closes |= bit;
  }
#endif
  return bits;
}

// Each bit the XOR of `bits` at its place and every place below: with the quotes of a block
// without escapes, 1 from an opening quote up to the byte before its closing one.
std::uint64_t PrefixXor(std::uint64_t bits) {
  bits ^= bits << 1;
  bits ^= bits << 2;
  bits ^= bits << 4;
  bits ^= bits << 8;
  bits ^= bits << 16;
  bits ^= bits << 32;
  return bits;
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
  static_assert(simdjson::SIMDJSON_PADDING >= 64, "a block is read whole past the end of the data");
  int depth = 0;
  bool in_string = false;
  std::size_t escaped = SIZE_MAX;  // the byte after a backslash in a string
  std::size_t n = 0;               // bytes from begin_ looked at
  for (;;) {
    if (begin_ + n >= end_ && !Refill()) Fail(OffsetOf(end_), "ファイルが途中で終わっています");
    const std::size_t count = std::min<std::size_t>(64, end_ - begin_ - n);
    const char* block = buffer_.data() + begin_ + n;
    const BlockBits bits = Classify(block, count);
    if (bits.Backslashes == 0 && escaped != n) {
      // No escapes: the quotes pair up, and a bracket counts where it is outside them.
      const std::uint64_t inside = PrefixXor(bits.Quotes) ^ (in_string ? ~std::uint64_t{0} : 0);
      std::uint64_t brackets = (bits.Opens | bits.Closes) & ~inside;
      while (brackets != 0) {
        const auto i = static_cast<std::size_t>(__builtin_ctzll(brackets));
        brackets &= brackets - 1;
        if ((bits.Opens >> i) & 1) {
          ++depth;
        } else if (--depth == 0) {
          return n + i + 1;
        }
      }
      in_string = (inside >> 63) != 0;  // no quote past `count`: the state after the block
    } else {
      // Escapes: each quote, backslash and bracket in turn.
      std::uint64_t special = bits.Quotes | bits.Backslashes | bits.Opens | bits.Closes;
      while (special != 0) {
        const std::size_t i = n + static_cast<std::size_t>(__builtin_ctzll(special));
        special &= special - 1;
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
