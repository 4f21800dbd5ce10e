// ZeroedArray: zero bytes from the start, and growth that keeps the elements and zeroes the new
// ones, in small pages and across into huge ones.
#include "util/ZeroedArray.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qvr {
namespace {

struct Pair {
  std::uint64_t A = 0;
  std::uint32_t B = 0;
};

TEST(ZeroedArrayTest, GrowingKeepsEveryElementAndAddsZeroedOnes) {
  // From nothing, within a page, past a page, and past the size where huge pages are asked for.
  const std::size_t sizes[] = {3, 200, 300, 5000, 300000};
  ZeroedArray<Pair> array;
  std::size_t filled = 0;
  for (const std::size_t size : sizes) {
    array.Grow(size);
    ASSERT_EQ(array.size(), size);
    for (std::size_t i = 0; i < filled; ++i) {
      ASSERT_EQ(array[i].A, i * 7 + 1) << "element " << i << " after growing to " << size;
      ASSERT_EQ(array[i].B, i) << "element " << i << " after growing to " << size;
    }
    for (std::size_t i = filled; i < size; ++i) {
      ASSERT_EQ(array[i].A, 0u) << "new element " << i << " of " << size;
      ASSERT_EQ(array[i].B, 0u) << "new element " << i << " of " << size;
      array[i] = {i * 7 + 1, static_cast<std::uint32_t>(i)};
    }
    filled = size;
  }
  EXPECT_EQ(array.end() - array.begin(), 300000);
}

}  // namespace
}  // namespace qvr
