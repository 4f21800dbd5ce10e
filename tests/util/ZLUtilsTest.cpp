// DoubleChar, trimming and the packed time helpers.
#include "util/ZLUtils.h"

#include <gtest/gtest.h>

#include "util/Msf.h"

namespace qvr {
namespace {

TEST(DoubleChar, DoublesEveryOccurrence) {
  EXPECT_EQ(DoubleChar("Simon & Garfunkel", '&'), "Simon && Garfunkel");
  EXPECT_EQ(DoubleChar("&&", '&'), "&&&&");
  EXPECT_EQ(DoubleChar("no ampersand", '&'), "no ampersand");
  EXPECT_EQ(DoubleChar("", '&'), "");
}

TEST(Trim, RemovesBlanksAndControlsButNotFullwidthBlank) {
  EXPECT_EQ(Trim(" \t\r\n abc \x01\x1F "), "abc");
  EXPECT_EQ(Trim("\x81\x40"
                 "abc"
                 "\x81\x40"),
            "\x81\x40"
            "abc"
            "\x81\x40");                                                      // Shift-JIS full-width blank
  EXPECT_EQ(Trim("\xE3\x80\x80x\xE3\x80\x80"), "\xE3\x80\x80x\xE3\x80\x80");  // the same in UTF-8
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("a b"), "a b");
}

TEST(Msf, PacksAndSplits) {
  EXPECT_EQ(SplitMSF(0x00102A03), (TMSFParts{3, 42, 16}));
  EXPECT_EQ(PackMSF(3, 42, 16), 0x00102A03u);
  EXPECT_EQ(PackTMSF(5, 1, 2, 3), 0x03020105u);
  EXPECT_EQ(TMSFTrack(PackTMSF(5, 1, 2, 3)), 5);
  EXPECT_EQ(TMSFTime(PackTMSF(5, 1, 2, 3)), PackMSF(1, 2, 3));
  EXPECT_EQ(MSFToFrames(PackMSF(1, 2, 3)), 75u * 62u + 3u);
  EXPECT_EQ(FramesToMSF(MSFToFrames(PackMSF(74, 59, 74))), PackMSF(74, 59, 74));
  EXPECT_EQ(FramesToMSF(150), PackMSF(0, 2, 0));
}

}  // namespace
}  // namespace qvr
