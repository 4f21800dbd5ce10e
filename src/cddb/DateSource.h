// Dates as the database keeps them (days since 1899-12-30) and the port that says what day it
// is, so that clearing a disc record and creating files can be tested on a fixed day.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "cddb/Records.h"

namespace qvr {

// Tells today's date. Implementations: the system clock (SystemDateSource) and fixed dates in
// tests.
class TDateSource {
 public:
  virtual ~TDateSource() = default;
  // Today's local date at midnight, in days since 1899-12-30 (a whole number). Any thread;
  // never fails.
  virtual TDateTime Today() const = 0;
};

// Today's date from the system clock in the local time zone.
class SystemDateSource final : public TDateSource {
 public:
  TDateTime Today() const override;
};

struct CivilDate {
  int Year = 1899;
  int Month = 12;  // 1..12
  int Day = 30;    // 1..31
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// The sale date of a disc whose date nobody knows: a NaN. No stored date is a NaN (a date is a
// day count), so every date already stored keeps its meaning; CivilFromDate gives no day for it
// and the registration dialog shows today until the user picks one.
inline constexpr TDateTime kUnknownDate = std::numeric_limits<double>::quiet_NaN();
inline bool IsUnknownDate(TDateTime value) { return std::isnan(value); }

// The date value of a calendar day (proleptic Gregorian), at midnight.
TDateTime DateFromCivil(CivilDate date);

// The calendar day of a date value: its whole part counts the days, the fraction (the time of
// day) is ignored. Empty for values that are not finite or lie outside the years 1..9999.
std::optional<CivilDate> CivilFromDate(TDateTime value);

// True when `date` names a real day of the years 1..9999.
bool IsValidCivil(CivilDate date);

}  // namespace qvr
