// Long messages made breakable and, beyond a limit, shortened with the whole text kept.
#include "forms/MessageText.h"

#include <QChar>
#include <QTextEdit>

#include "forms/ControllerLink.h"
#include "forms/WindowStacking.h"

namespace qvr {
namespace {

constexpr qsizetype kLongRun = 30;
constexpr QChar kBreak(0x200B);  // zero-width space

bool IsBreak(QChar c) {
  // Blanks, and the ideographic and kana scripts, whose characters the line breaker may already
  // break between.
  if (c.isSpace() || c == kBreak) return true;
  const char16_t u = c.unicode();
  return (u >= 0x3000 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF);
}

bool IsSeparator(QChar c) { return c == u'/' || c == u'\\' || c == u'_' || c == u'-' || c == u'.' || c == u','; }

}  // namespace

QString BreakableText(const QString& text) {
  QString result;
  result.reserve(text.size() + text.size() / 8);
  qsizetype start = 0;
  while (start < text.size()) {
    qsizetype end = start;
    while (end < text.size() && !IsBreak(text[end])) ++end;
    const QStringView run = QStringView(text).mid(start, end - start);
    if (run.size() <= kLongRun) {
      result += run;
    } else {
      qsizetype since_break = 0;
      for (QChar c : run) {
        result += c;
        ++since_break;
        if (IsSeparator(c) || since_break >= kLongRun) {
          result += kBreak;
          since_break = 0;
        }
      }
    }
    if (end < text.size()) result += text[end];
    start = end + 1;
  }
  return result;
}

void SetMessageText(QMessageBox& box, const QString& text) {
  QString shown = text;
  if (shown.size() > kMessageShownCharacters) {
    const qsizetype half = kMessageShownCharacters / 2;
    shown = text.left(half) + QStringLiteral(" … ") + text.right(half);
  }
  shown = BreakableText(shown);
  box.setTextFormat(Qt::PlainText);
  box.setText(shown);
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  if (shown != text) {
    box.setDetailedText(text);
    // The details wrap anywhere: a long run without a break is laid out in lines of the box's
    // width rather than as one line of a hundred thousand characters.
    for (QTextEdit* details : box.findChildren<QTextEdit*>()) details->setWordWrapMode(QTextOption::WrapAnywhere);
  }
}

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                           const QString& text, QMessageBox::StandardButtons buttons, bool stay_on_top,
                                           QMessageBox::StandardButton default_button) {
  // Once the program ends without asking, no box waits: the text is logged and nothing is chosen.
  if (ControllerLink::Unattended()) {
    ControllerLink::Log(caption.toStdString() + ": " + text.toStdString());
    return QMessageBox::NoButton;
  }
  QMessageBox box(icon, caption, QString(), buttons, parent);
  SetMessageText(box, text);
  if (stay_on_top) box.setWindowFlag(Qt::WindowStaysOnTopHint);
  if (default_button != QMessageBox::NoButton) box.setDefaultButton(default_button);
  StackAboveModal(box);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace qvr
