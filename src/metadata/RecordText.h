// Texts found online made fit for the records: Shift-JIS (code page 932) bytes cut to a field's
// capacity. A character without a Shift-JIS form becomes its nearest one (an accented letter its
// base letter, a ligature its letters, a circled number past 20 the number in parentheses) or is
// left out; it never becomes a question mark.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qvr {

// `utf8` as record bytes of at most `capacity` bytes, cut at a character boundary. Control
// characters (line breaks and tabs too) become blanks; blanks at either end are dropped.
// Typographic quotes become plain ones and a yen sign the full-width one, so that titles read
// as printed and "\" never stands for "¥" in a record.
std::string ToRecordText(std::string_view utf8, std::size_t capacity);

// The record bytes of one character that is no control character: its Shift-JIS form (the yen
// sign the full-width one), else its nearest form, else nothing.
std::string SjisOrNearest(char32_t code);

}  // namespace qvr
