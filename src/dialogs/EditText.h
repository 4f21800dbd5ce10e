// Rules every dialog's text fields share: the two parts of a hint, and whether an edited text
// fits its stored field, which holds Shift-JIS bytes up to a capacity (a full-width character
// takes two bytes).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qvr {

// A hint is written "short|long": the short part is the tooltip, the long part is shown in the
// dialog's status bar. A hint without "|" is both.
std::string_view ShortHint(std::string_view hint);
std::string_view LongHint(std::string_view hint);

struct EditCheck {
  enum class Status : unsigned char { Fits, TooLong, Unencodable };
  Status status = Status::Fits;
  std::size_t bytes = 0;  // the text's length in Shift-JIS bytes
  std::string offending;  // Unencodable: the first character with no Shift-JIS form (UTF-8)
  bool ok() const { return status == Status::Fits; }
};

// Whether a UTF-8 text typed into a field of `capacity` Shift-JIS bytes can be stored whole.
EditCheck CheckEditText(std::string_view utf8, std::size_t capacity);

// The message an edit shows when it refuses a text, in the user's language.
std::string EditRefusalMessage(const EditCheck& check, std::size_t capacity);

}  // namespace qvr
