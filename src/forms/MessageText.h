// Messages that are shown whole however long they are: a text with a long run that has no place
// to break (a path) gets break opportunities after its separators so that it wraps instead of
// widening its window, and a text too long for any window (a 100 kB path) is shown shortened in
// the middle, with the whole text under the box's 詳細 button.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace qvr {

// `text` with a zero-width space after each "/", "\", "_", "-", "." and "," of any run of more
// than 30 characters without a break, and after every 30th character of a run that still has
// none, so that word wrap can break it. For display only: copies use the original text.
QString BreakableText(const QString& text);

// How many characters a message box shows of a text before it shortens it.
inline constexpr qsizetype kMessageShownCharacters = 600;

// Sets the box's text from `text`: breakable, shortened in the middle when longer than
// kMessageShownCharacters; where the shown text differs from `text`, the whole text is the
// box's detailed text (selectable and copyable). The text is selectable with the mouse.
void SetMessageText(QMessageBox& box, const QString& text);

// A message box over `parent` with the program's caption and text, as SetMessageText shows it.
// It stacks above the modal window that is up. Returns the button pressed; NoButton without
// showing anything once the program ends without asking.
QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                           const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                           bool stay_on_top = false,
                                           QMessageBox::StandardButton default_button = QMessageBox::NoButton);

}  // namespace qvr
