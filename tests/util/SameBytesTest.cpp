// SameBytes: equal runs of every length up to past five words, and a difference at each place of
// each of them found.
#include "util/SameBytes.h"

#include <gtest/gtest.h>

#include <string>

namespace qvr {
namespace {

TEST(SameBytesTest, FindsEveryDifferenceAtEveryLength) {
  for (std::size_t count = 0; count <= 41; ++count) {
    std::string a, b;
    for (std::size_t i = 0; i < count; ++i) a += static_cast<char>('A' + i % 26);
    // Different bytes just past the run: never read.
    b = a + 'x';
    a += 'y';
    EXPECT_TRUE(SameBytes(a.data(), b.data(), count)) << count;
    for (std::size_t at = 0; at < count; ++at) {
      std::string c = b;
      c[at] = static_cast<char>(c[at] ^ 0x80);
      EXPECT_FALSE(SameBytes(a.data(), c.data(), count)) << count << " differing at " << at;
    }
  }
}

}  // namespace
}  // namespace qvr
