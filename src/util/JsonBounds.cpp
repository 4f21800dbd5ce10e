// Measuring a JSON text's nesting and number of values in one pass.
#include "util/JsonBounds.h"

#include <algorithm>

namespace qvr {

JsonShape MeasureJson(std::string_view text) {
  JsonShape shape;
  std::size_t depth = 0;
  bool in_value = false;  // inside a number or literal (true, false, null): counted once
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      in_value = false;
      ++shape.values;
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\') ++i;
      }
      continue;
    }
    const bool scalar =
        (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (scalar) {
      if (!in_value) ++shape.values;
      in_value = true;
      continue;
    }
    in_value = false;
    if (c == '[' || c == '{') {
      ++shape.values;
      shape.depth = std::max(shape.depth, ++depth);
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return shape;
}

bool JsonWithinLimits(std::string_view text, const JsonLimits& limits) {
  const JsonShape shape = MeasureJson(text);
  return shape.depth <= limits.max_depth && shape.values <= limits.max_values;
}

}  // namespace qvr
