// ClearDisc's empty state, MSFToStr and the date values the files keep.
#include <gtest/gtest.h>

#include <cmath>

#include "DatabaseTestSupport.h"
#include "cddb/DateSource.h"
#include "cddb/DiscDatabase.h"

namespace qvr {
namespace {

TEST(ClearDisc, GivesTheEmptyStateWithTodaysDate) {
  TDiscRecord disc = test::RegisteredDisc("0137EBFA", 12, 300);
  disc.Reserved = 5;
  ClearDisc(disc, test::FixedDate(45292));
  TDiscRecord empty;
  empty.TrackCount = 99;
  empty.SaleDate = 45292;
  EXPECT_EQ(disc, empty);
  EXPECT_TRUE(disc.DiscKey.Empty());
  for (const TTrackEntry& entry : disc.Tracks) EXPECT_EQ(entry, TTrackEntry{});
}

TEST(MSFToStr, WritesMinutesSecondsFramesWithoutPadding) {
  struct Case {
    std::uint32_t value;
    const char* text;
  };
  const Case cases[] = {{PackMSF(4, 5, 12), "4:5:12"},
                        {0, "0:0:0"},
                        {PackMSF(12, 0, 0), "12:0:0"},
                        {PackMSF(255, 59, 74), "255:59:74"},
                        {0xFF000000u | PackMSF(1, 2, 3), "1:2:3"}};
  for (const Case& c : cases) EXPECT_EQ(MSFToStr(c.value), c.text);
}

TEST(DateValues, CountDaysFrom18991230) {
  struct Case {
    CivilDate date;
    double value;
  };
  const Case cases[] = {{{1899, 12, 30}, 0},  {{1900, 1, 1}, 2},    {{2000, 1, 1}, 36526},    {{2024, 2, 29}, 45351},
                        {{1899, 12, 29}, -1}, {{1, 1, 1}, -693593}, {{9999, 12, 31}, 2958465}};
  for (const Case& c : cases) {
    EXPECT_EQ(DateFromCivil(c.date), c.value);
    EXPECT_EQ(CivilFromDate(c.value), c.date);
  }
  // The time of day is ignored; before the epoch the whole part still names the day.
  EXPECT_EQ(CivilFromDate(36526.99), (CivilDate{2000, 1, 1}));
  EXPECT_EQ(CivilFromDate(-1.25), (CivilDate{1899, 12, 29}));
  for (double bad : {std::nan(""), 1e300, -1e9, 2958466.0}) EXPECT_FALSE(CivilFromDate(bad)) << bad;
  EXPECT_FALSE(IsValidCivil({2023, 2, 29}));
  EXPECT_TRUE(IsValidCivil({2000, 2, 29}));
  EXPECT_FALSE(IsValidCivil({1900, 2, 29}));
  EXPECT_FALSE(IsValidCivil({2024, 13, 1}));
}

TEST(DateValues, SystemTodayIsAWholeDay) {
  SystemDateSource clock;
  const double today = clock.Today();
  EXPECT_EQ(today, std::trunc(today));
  EXPECT_GT(today, DateFromCivil({2020, 1, 1}));
}

}  // namespace
}  // namespace qvr
