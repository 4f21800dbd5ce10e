// The sale date as the registration dialog's one date field shows and reads it: "2024年3月15日",
// or an empty field for a date nobody knows. Typed dates may use any separators between year,
// month and day ("2024/3/15", "2024-03-15", "2024.3.15", "2024年3月15日", full-width digits) or
// none ("20240315").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cddb/DateSource.h"

namespace qvr {

// The field's text for a day (UTF-8), or "" for an unknown date.
std::string SaleDateText(const std::optional<CivilDate>& day);

// What a typed text means: a day, the unknown date (an empty text or "不明"), or nothing usable
// (`ok` false: not three numbers, or no such day in the years 1..9999).
struct SaleDateReading {
  bool ok = false;
  std::optional<CivilDate> day;
};
SaleDateReading ReadSaleDate(std::string_view utf8);

// The message for a text that is no date.
inline constexpr const char* kSaleDateRefused = "発売日「%s」は日付として読めません (例: 2024/3/15、空欄は不明)";

}  // namespace qvr
