// Texts from online databases as record bytes: the nearest Shift-JIS form, never "?".
#include "metadata/RecordText.h"

#include <gtest/gtest.h>

#include "support/CaseName.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

struct TextCase {
  const char* name;
  const char* utf8;
  const char* expected;  // UTF-8 of the stored bytes
};

class RecordTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(RecordTextTest, StoresNearestShiftJisForm) {
  const std::string bytes = ToRecordText(GetParam().utf8, 96);
  EXPECT_EQ(SjisToUtf8(bytes), GetParam().expected);
  EXPECT_TRUE(Utf8ToSjis(SjisToUtf8(bytes)).ok());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RecordTextTest,
    testing::Values(
        TextCase{"Japanese", "君が代①〜ｶﾀｶﾅ～Ⅹ Ⅻ", "君が代①～ｶﾀｶﾅ～Ⅹ XII"},
        TextCase{"AccentsToBaseLetters", "Beyoncé Knowles · Ærø Łódź", "Beyonce Knowles ・ AEro Lodz"},
        TextCase{"TypographicQuotes", "Don’t “Stop” ‘Me’", "Don't \"Stop\" 'Me'"},
        TextCase{"Dashes", "A–B—C‐D−E", "A-B―C-D－E"}, TextCase{"YenIsNeverBackslash", "¥1000", "￥1000"},
        TextCase{"CircledPastTwenty", "⑳㉑㊿", "⑳(21)(50)"}, TextCase{"Ligatures", "ﬁnal ™ ©", "final TM (C)"},
        TextCase{"NoFormDropped", "한국 Hello 🎵", "Hello"}, TextCase{"ControlsAreBlanks", "\tA\nB\x01", "A B"},
        TextCase{"InvalidUtf8Dropped", "A\xFF\xC3(B", "A(B"}, TextCase{"DecomposedAccent", "Cafe\xCC\x81", "Cafe"}),
    test::CaseName());

TEST(RecordTextTest, CutsAtCharacterBoundary) {
  // 48 two-byte characters fill 96 bytes; one ASCII letter first pushes the last one out whole.
  std::string text = "A";
  for (int i = 0; i < 48; ++i) text += "あ";
  const std::string bytes = ToRecordText(text, 96);
  std::string expected = "A";
  for (int i = 0; i < 47; ++i) expected += "あ";
  EXPECT_EQ(bytes.size(), 95u);
  EXPECT_EQ(SjisToUtf8(bytes), expected);
}

}  // namespace
}  // namespace qvr
