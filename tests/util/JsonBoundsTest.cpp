// Measuring a JSON text's nesting and values before it is parsed.
#include "util/JsonBounds.h"

#include <gtest/gtest.h>

namespace qvr {
namespace {

TEST(JsonBoundsTest, MeasuresDepthAndValuesOutsideStrings) {
  const struct {
    const char* text;
    std::size_t depth, values;
  } cases[] = {
      {"", 0, 0},
      {"12.5e+3", 0, 1},
      {R"({"a": [1, true, null], "b": {}})", 2, 8},
      {R"(["[[[", "\"]{", "\\"])", 1, 4},  // brackets and escaped quotes inside strings do not count
      {"[[[[", 4, 4},                      // unclosed: measured all the same
      {"]]]{", 1, 1},
  };
  for (const auto& c : cases) {
    const JsonShape shape = MeasureJson(c.text);
    EXPECT_EQ(shape.depth, c.depth) << c.text;
    EXPECT_EQ(shape.values, c.values) << c.text;
  }
  EXPECT_TRUE(JsonWithinLimits(std::string(64, '[') + std::string(64, ']')));
  EXPECT_FALSE(JsonWithinLimits(std::string(65, '[') + std::string(65, ']')));
  EXPECT_FALSE(JsonWithinLimits("[1,2,3]", JsonLimits{64, 3}));
}

}  // namespace
}  // namespace qvr
