// What every modal dialog of the program shares: the hint status bar `CurrentHint` (the long
// part of the hint of the control under the mouse or with the focus), the help context (F1 and
// the help button open the context of the active page), Esc as cancel, and ending from outside
// (the controller closes a dialog when the disc leaves the drive).
//
// A dialog runs through Run(), which returns how it ended. Subclasses put their controls into
// Body() and override Commit() for a result that keeps the user's edits (Ok or Update): Commit
// runs before the dialog closes with that result, whether a button or CloseWith ended it.
#pragma once

#include <QDialog>
#include <QPointer>
#include <string_view>

#include "app/QVRView.h"

class QLabel;
class QVBoxLayout;

namespace qvr {

class ControllerLink;

class ModalDialog : public QDialog {
 public:
  ModalDialog(ControllerLink& link, const QString& caption, int help_context, QWidget* parent = nullptr);
  ~ModalDialog() override;

  // Shows the dialog modally (its own event loop; ticks go on) and returns how it ended.
  ModalResult Run();
  // Ends the dialog with `result`; Ok and Update commit first.
  void CloseWith(ModalResult result);

  // The help context F1 and HelpRequested open; pages change it as they become active.
  void SetHelpContext(int context) { help_context_ = context; }
  int HelpContext() const { return help_context_; }
  // Opens the help at the current context.
  void HelpRequested();

  // The status bar's text now (for tests).
  QString CurrentHintText() const;
  // Shows a message in the status bar until the next hint replaces it (refused input, ...).
  void ShowStatus(const QString& text);
  // Shows a message that stands: a hint shown meanwhile replaces it only while the mouse or the
  // focus is on its control, and the bar returns to it afterwards (a search's progress and
  // result). The next message of either kind ends it.
  void ShowStandingStatus(const QString& text);

  // The status bar, a label that wraps its text: a message longer than its line takes more
  // lines, and the dialog grows to show it whole (for tests: its widget).
  QLabel* StatusBar() const { return current_hint_; }

  // Hides the status bar, for a dialog with no hints to show (the jacket viewer).
  void SetHintBarVisible(bool visible);

  // Gives a control its hint "short|long": the short part as tooltip, the long part in the
  // status bar.
  static void SetHint(QWidget* control, std::string_view hint);

 protected:
  // Where subclasses lay out their controls (above the status bar).
  QVBoxLayout* Body() const { return body_; }
  // Copies the edits where they belong before the dialog ends with Ok or Update.
  virtual void Commit(ModalResult) {}

  ControllerLink& Link() const { return link_; }

  bool event(QEvent* event) override;
  void reject() override;

 private:
  void ShowHintOf(QWidget* widget);
  // What the bar shows when no control's hint is up: the standing message, if any.
  void ShowNoHint();
  // Puts `text` into the status bar and lets the dialog grow when the text needs more lines.
  void ShowInBar(const QString& text);

  ControllerLink& link_;
  int help_context_;
  QVBoxLayout* body_ = nullptr;
  QLabel* current_hint_ = nullptr;
  QString shown_;     // the status bar's text as given (it shows it with break opportunities)
  QString standing_;  // the standing message (empty: none)
  bool ending_ = false;
};

}  // namespace qvr
