// Short strings: capacity in bytes, comparison by length and bytes, cutting on entry.
#include "util/ShortString.h"

#include <gtest/gtest.h>

namespace qvr {
namespace {

TEST(ShortString, RawBytesAreCutToCapacity) {
  ShortString<8> key("0137EBFA99");
  EXPECT_EQ(key.View(), "0137EBFA");
  EXPECT_EQ(key.Length(), 8u);
  // A raw cut may leave half a character: the record field holds whatever bytes it is given.
  ShortString<3> raw("a\x82\xA0\x82\xA2");
  EXPECT_EQ(raw.View(), "a\x82\xA0");
  ShortString<2> half("a\x82\xA0");
  EXPECT_EQ(half.View(), "a\x82");
}

TEST(ShortString, ComparesByLengthAndBytes) {
  EXPECT_EQ(ShortString<16>("abc"), ShortString<16>("abc"));
  EXPECT_FALSE(ShortString<16>("abc") == ShortString<16>("ABC"));
  EXPECT_FALSE(ShortString<16>("abc") == ShortString<16>("abc "));
  EXPECT_FALSE(ShortString<16>("") == ShortString<16>(std::string_view("\0", 1)));
  EXPECT_TRUE(ShortString<16>().Empty());
}

TEST(ShortString, Utf8IsCutAtACharacterBoundary) {
  // "あいう" is 6 bytes in Shift-JIS; 5 bytes of room hold only "あい".
  auto field = ShortString<5>::FromUtf8("あいう");
  EXPECT_EQ(field.View(), "\x82\xA0\x82\xA2");
  EXPECT_EQ(field.ToUtf8(), "あい");
  auto full = ShortString<96>::FromUtf8(std::string(200, 'x'));
  EXPECT_EQ(full.Length(), 96u);
}

TEST(ShortString, KeepsInvalidBytesAsTheyAre) {
  const std::string junk("\xFF\x80\x00\x82", 4);
  ShortString<255> field(junk);
  EXPECT_EQ(field.Str(), junk);
}

}  // namespace
}  // namespace qvr
