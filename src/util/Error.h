// The one exception type of the program: a UTF-8 message meant for the user.
// A command or tick that raises it ends there; the GUI shows the message in its error box.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace qvr {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// Puts `argument` in place of the first "%s" of `pattern`, as the program's message texts expect.
inline std::string FormatMessage(std::string_view pattern, std::string_view argument) {
  std::string text(pattern);
  if (auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, argument);
  return text;
}

}  // namespace qvr
