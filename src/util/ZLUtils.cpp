// Small text helpers shared by the windows and the controller.
#include "util/ZLUtils.h"

namespace qvr {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string DoubleChar(std::string_view text, char ch) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == ch) out += c;
  }
  return out;
}

std::string_view Trim(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool StrToInt32(std::string_view text, std::int32_t& value) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at < text.size() && text[at] == '$') {
    ++at;
    if (at == text.size() || text.size() - at > 8) return false;
    std::uint32_t magnitude = 0;
    for (; at < text.size(); ++at) {
      int digit = HexDigit(text[at]);
      if (digit < 0) return false;
      magnitude = magnitude << 4 | static_cast<std::uint32_t>(digit);
    }
    value = static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
    return true;
  }
  if (at == text.size()) return false;
  std::int64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return false;
    magnitude = magnitude * 10 + (text[at] - '0');
    if (magnitude > std::int64_t{1} << 31) return false;
  }
  std::int64_t signed_value = negative ? -magnitude : magnitude;
  if (signed_value > INT32_MAX) return false;
  value = static_cast<std::int32_t>(signed_value);
  return true;
}

}  // namespace qvr
