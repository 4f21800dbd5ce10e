// Small text helpers shared by the windows and the controller.
#include "util/ZLUtils.h"

namespace qvr {

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

}  // namespace qvr
