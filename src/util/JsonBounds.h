// Bounds on a JSON text before it is parsed into a tree. A parsed tree costs far more than its
// text: a nested array "[[[[...]]]]" costs about forty times its bytes, a long flat array of
// small numbers about eight. An answer from a server (or a file to import) is measured first and
// refused when it is nested deeper or holds more values than any real answer, so that a hostile
// one cannot take the program's memory.
#pragma once

#include <cstddef>
#include <string_view>

namespace qvr {

struct JsonShape {
  std::size_t depth = 0;   // the deepest nesting of arrays and objects (0 for a bare value)
  std::size_t values = 0;  // arrays, objects, members' keys and every other value
};

// Measures `text` without building anything: brackets and braces outside strings give the
// depth, every value and key counts once. It validates nothing; a malformed text gives a
// shape all the same (the parser refuses it afterwards).
JsonShape MeasureJson(std::string_view text);

struct JsonLimits {
  std::size_t max_depth = 64;  // real answers nest about ten deep
  // A parsed value costs from 16 bytes (a number in an array) to about 100 (an object's member
  // with its key): 2^18 values stay within some 25 MB, while the largest real answers hold a few
  // tens of thousands.
  std::size_t max_values = std::size_t{1} << 18;
};

// True when a tree parsed from `text` stays within `limits`.
bool JsonWithinLimits(std::string_view text, const JsonLimits& limits = {});

}  // namespace qvr
