// Date values: conversion between calendar days and day counts, and the system's today.
#include "cddb/DateSource.h"

#include <cmath>
#include <ctime>

namespace qvr {
namespace {

// Days from 1970-01-01 to a civil date and back (Howard Hinnant's algorithms).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr CivilDate CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

constexpr std::int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);  // 1899-12-30 from 1970-01-01
static_assert(DaysFromCivil(1970, 1, 1) == 0 && kEpochOffset == -25569);

}  // namespace

TDateTime SystemDateSource::Today() const {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return DateFromCivil({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
}

TDateTime DateFromCivil(CivilDate date) {
  return static_cast<TDateTime>(
      DaysFromCivil(date.Year, static_cast<unsigned>(date.Month), static_cast<unsigned>(date.Day)) - kEpochOffset);
}

std::optional<CivilDate> CivilFromDate(TDateTime value) {
  if (!std::isfinite(value)) return std::nullopt;
  // The whole part counts the days; for dates before 1899-12-30 the fraction still means a
  // time of day, so the day is the value truncated towards zero.
  const double days = std::trunc(value);
  constexpr double kFirst = static_cast<double>(DaysFromCivil(1, 1, 1) - kEpochOffset);
  constexpr double kLast = static_cast<double>(DaysFromCivil(9999, 12, 31) - kEpochOffset);
  if (days < kFirst || days > kLast) return std::nullopt;
  return CivilFromDays(static_cast<std::int64_t>(days) + kEpochOffset);
}

bool IsValidCivil(CivilDate date) {
  if (date.Year < 1 || date.Year > 9999 || date.Month < 1 || date.Month > 12 || date.Day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (date.Year % 4 == 0 && date.Year % 100 != 0) || date.Year % 400 == 0;
  const int last = kDays[date.Month - 1] + (date.Month == 2 && leap ? 1 : 0);
  return date.Day <= last;
}

}  // namespace qvr
