// Small text helpers shared by the windows and the controller.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qvr {

// Returns `text` with every occurrence of `ch` doubled. Titles pass through it with '&' before
// they reach a label or the tray hint, so that an ampersand shows literally.
std::string DoubleChar(std::string_view text, char ch);

// Removes leading and trailing bytes up to 32 (blanks and control characters). A full-width
// blank is a double-byte character and stays. Works on UTF-8 and Shift-JIS alike, since no
// byte of a multi-byte character is 32 or below.
std::string_view Trim(std::string_view text);

// Converts text to an integer as the settings file and the play order hold them: leading blanks,
// an optional sign, then decimal digits or "$" and up to 8 hex digits (which wrap into the
// negative range). Returns false for anything else, including trailing junk and values out of
// range.
bool StrToInt32(std::string_view text, std::int32_t& value);

}  // namespace qvr
