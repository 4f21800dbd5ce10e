// The shared frame of the program's modal dialogs.
#include "forms/ModalDialog.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QShortcut>
#include <QStatusTipEvent>
#include <QVBoxLayout>

#include "dialogs/EditText.h"
#include "forms/Accessibility.h"
#include "forms/ControllerLink.h"
#include "forms/MessageText.h"
#include "forms/WindowStacking.h"

namespace qvr {

ModalDialog::ModalDialog(ControllerLink& link, const QString& caption, int help_context, QWidget* parent)
    : QDialog(parent), link_(link), help_context_(help_context) {
  setWindowTitle(caption);
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  body_ = new QVBoxLayout;
  body_->setContentsMargins(8, 8, 8, 6);
  outer->addLayout(body_, 1);
  // The status bar: two lines are kept for it, so that most messages fit without the dialog
  // changing its size; a longer one makes the dialog grow (ShowInBar).
  current_hint_ = new QLabel(this);
  current_hint_->setObjectName("CurrentHint");
  current_hint_->setWordWrap(true);
  current_hint_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  current_hint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  current_hint_->setContentsMargins(4, 1, 4, 1);
  current_hint_->setTextFormat(Qt::PlainText);
  current_hint_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
  current_hint_->setMinimumHeight(2 * current_hint_->fontMetrics().lineSpacing() + 6);
  current_hint_->setAccessibleName(QString::fromUtf8("ステータスバー"));
  outer->addWidget(current_hint_);
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, &ModalDialog::HelpRequested);
  // Focus changes show the hint of the control that takes the focus, so the status bar helps
  // keyboard users as well as mouse users; the focus coming in with the window's activation
  // leaves a standing message (an outcome said before the dialog was up) in place.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* before, QWidget* now) {
    if (!now || !isAncestorOf(now)) return;
    const bool from_inside = before && isAncestorOf(before);
    if (from_inside || standing_.isEmpty()) ShowHintOf(now);
  });
}

ModalDialog::~ModalDialog() = default;

ModalResult ModalDialog::Run() {
  // Once the program ends without asking, no dialog waits for the user.
  if (ControllerLink::Unattended()) return ModalResult::Cancel;
  ending_ = false;
  StackAboveModal(*this);
  NameControls(this);
  const int code = exec();
  return code == 0 ? ModalResult::Cancel : static_cast<ModalResult>(code);
}

void ModalDialog::CloseWith(ModalResult result) {
  if (ending_) return;
  if (result == ModalResult::Ok || result == ModalResult::Update) Commit(result);
  ending_ = true;
  done(static_cast<int>(result == ModalResult::None ? ModalResult::Cancel : result));
}

// Esc and the close box end the dialog as cancelled.
void ModalDialog::reject() { CloseWith(ModalResult::Cancel); }

void ModalDialog::HelpRequested() { link_.ShowHelp(help_context_); }

QString ModalDialog::CurrentHintText() const { return shown_; }

void ModalDialog::ShowStatus(const QString& text) {
  standing_.clear();
  ShowInBar(text);
}

void ModalDialog::ShowStandingStatus(const QString& text) {
  standing_ = text;
  ShowInBar(text);
}

void ModalDialog::ShowNoHint() { ShowInBar(standing_); }

void ModalDialog::ShowInBar(const QString& text) {
  if (text == shown_) return;
  shown_ = text;
  current_hint_->setText(BreakableText(text));
  // The whole text in the tooltip too, for a screen reader and for copying by eye.
  current_hint_->setToolTip(text.size() > 40 ? text : QString());
  if (!current_hint_->isVisible()) return;
  const int needed = current_hint_->heightForWidth(current_hint_->width());
  const int missing = needed - current_hint_->height();
  if (missing <= 0) return;
  // A fixed frame grows by the lines missing; a resizable one asks its layout.
  if (minimumHeight() == maximumHeight()) {
    setFixedHeight(height() + missing);
  } else {
    resize(width(), height() + missing);
  }
}

void ModalDialog::SetHintBarVisible(bool visible) { current_hint_->setVisible(visible); }

void ModalDialog::SetHint(QWidget* control, std::string_view hint) {
  const std::string_view short_hint = ShortHint(hint);
  const std::string_view long_hint = LongHint(hint);
  control->setStatusTip(QString::fromUtf8(long_hint.data(), static_cast<qsizetype>(long_hint.size())));
  const QString tip = QString::fromUtf8(short_hint.data(), static_cast<qsizetype>(short_hint.size()));
  control->setToolTip(tip);
}

void ModalDialog::ShowHintOf(QWidget* widget) {
  for (QWidget* at = widget; at && at != this; at = at->parentWidget()) {
    if (!at->statusTip().isEmpty()) {
      ShowInBar(at->statusTip());
      return;
    }
  }
  ShowNoHint();
}

bool ModalDialog::event(QEvent* event) {
  // Qt sends a status tip event when the mouse enters a control with a status tip (and an empty
  // one when it leaves); the dialog has no main window to show it, so its status bar does.
  if (event->type() == QEvent::StatusTip) {
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    if (tip.isEmpty())
      ShowNoHint();
    else
      ShowInBar(tip);
    return true;
  }
  return QDialog::event(event);
}

}  // namespace qvr
