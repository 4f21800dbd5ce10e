// Equality of two short runs of bytes (keys, names) without a call: compared a word at a time,
// for loops that compare millions of them, where a call to memcmp costs more than the compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qvr {

// Whether the `count` bytes at `a` and at `b` are the same. Reads only those bytes.
inline bool SameBytes(const char* a, const char* b, std::size_t count) {
  const auto word64 = [](const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return word;
  };
  const auto word32 = [](const char* p) {
    std::uint32_t word = 0;
    std::memcpy(&word, p, sizeof word);
    return word;
  };
  if (count >= 8) {
    // Whole words, the last one overlapping the one before when the count is not a multiple.
    for (std::size_t i = 0; i + 8 < count; i += 8) {
      if (word64(a + i) != word64(b + i)) return false;
    }
    return word64(a + count - 8) == word64(b + count - 8);
  }
  if (count >= 4) return word32(a) == word32(b) && word32(a + count - 4) == word32(b + count - 4);
  for (std::size_t i = 0; i < count; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace qvr
