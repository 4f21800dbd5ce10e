// Reading and writing the sale date field's text.
#include "dialogs/SaleDateText.h"

#include <vector>

namespace qvr {
namespace {

constexpr std::string_view kUnknownWord = "不明";

// The digits of `text` in runs (ASCII and full-width "０".."９"); every other character separates.
std::vector<std::string> DigitRuns(std::string_view text) {
  std::vector<std::string> runs(1);
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= '0' && byte <= '9') {
      runs.back() += static_cast<char>(byte);
      ++i;
      continue;
    }
    // Full-width digits are EF BC 90 .. EF BC 99.
    if (byte == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBC &&
        static_cast<unsigned char>(text[i + 2]) >= 0x90 && static_cast<unsigned char>(text[i + 2]) <= 0x99) {
      runs.back() += static_cast<char>('0' + (static_cast<unsigned char>(text[i + 2]) - 0x90));
      i += 3;
      continue;
    }
    if (!runs.back().empty()) runs.emplace_back();
    ++i;
  }
  if (runs.back().empty()) runs.pop_back();
  return runs;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  // A full-width blank ("　", E3 80 80) at either end too.
  while (text.starts_with("\xE3\x80\x80")) text.remove_prefix(3);
  while (text.ends_with("\xE3\x80\x80")) text.remove_suffix(3);
  return text;
}

}  // namespace

std::string SaleDateText(const std::optional<CivilDate>& day) {
  if (!day) return {};
  return std::to_string(day->Year) + "年" + std::to_string(day->Month) + "月" + std::to_string(day->Day) + "日";
}

SaleDateReading ReadSaleDate(std::string_view utf8) {
  const std::string_view text = Trimmed(utf8);
  if (text.empty() || text == kUnknownWord) return {true, std::nullopt};
  std::vector<std::string> runs = DigitRuns(text);
  if (runs.size() == 1 && runs[0].size() == 8) runs = {runs[0].substr(0, 4), runs[0].substr(4, 2), runs[0].substr(6)};
  if (runs.size() != 3) return {};
  for (const std::string& run : runs) {
    if (run.size() > 4) return {};
  }
  const CivilDate day{std::stoi(runs[0]), std::stoi(runs[1]), std::stoi(runs[2])};
  if (!IsValidCivil(day)) return {};
  return {true, day};
}

}  // namespace qvr
