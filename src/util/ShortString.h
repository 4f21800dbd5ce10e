// Fixed-capacity short strings of the record fields: up to N raw bytes (Shift-JIS text as it was
// read or entered), compared by length and bytes like the records compare them.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "util/ShiftJis.h"

namespace qvr {

template <std::size_t N>
class ShortString {
  static_assert(N >= 1 && N <= 255, "a short string's length must fit in one byte");

 public:
  static constexpr std::size_t kCapacity = N;

  ShortString() = default;
  // Takes raw bytes; a longer text is cut to its first N bytes.
  ShortString(std::string_view bytes) { Assign(bytes); }  // NOLINT: implicit on purpose
  ShortString(const char* bytes) : ShortString(std::string_view(bytes)) {}
  ShortString(const std::string& bytes) : ShortString(std::string_view(bytes)) {}

  void Assign(std::string_view bytes) {
    length_ = static_cast<std::uint8_t>(std::min(bytes.size(), N));
    std::copy_n(bytes.data(), length_, room_.begin());
    std::fill(room_.begin() + length_, room_.end(), '\0');
  }

  // Encodes UTF-8 text; a text longer than N bytes is cut before the first character that does
  // not fit whole. Characters with no Shift-JIS form stand as '?'.
  static ShortString FromUtf8(std::string_view utf8) { return ShortString(SjisPrefix(Utf8ToSjis(utf8).bytes, N)); }

  std::string_view View() const { return {room_.data(), length_}; }
  std::string Str() const { return std::string(View()); }
  std::string ToUtf8() const { return SjisToUtf8(View()); }
  std::size_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }

  friend bool operator==(const ShortString& a, const ShortString& b) { return a.View() == b.View(); }
  friend bool operator==(const ShortString& a, std::string_view b) { return a.View() == b; }
  friend bool operator==(const ShortString& a, const char* b) { return a.View() == std::string_view(b); }
  friend bool operator==(const ShortString& a, const std::string& b) { return a.View() == b; }

 private:
  std::uint8_t length_ = 0;
  std::array<char, N> room_{};
};

}  // namespace qvr
