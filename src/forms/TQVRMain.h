// TQVRMain: the lyrics line, the application's main window. A frameless bar one text line high
// across the full width of the screen at its top or bottom edge, with the centred label
// LrcLine. It draws what the controller gives it and forwards the mouse to the controller;
// closing it ends the program.
#pragma once

#include <QLabel>
#include <QWidget>
#include <string>

#include "app/QVRView.h"
#include "forms/ControllerLink.h"

namespace qvr {

class TQVRMain : public QWidget {
 public:
  explicit TQVRMain(ControllerLink& link);

  QLabel* LrcLine;

  // The text as the controller gave it ("&&" for one ampersand) and as the label shows it.
  const std::string& LineText() const { return text_; }
  void SetLineText(const std::string& text);
  // Shows a text at once, without waiting for the event loop (the database search).
  void RepaintLine();

  void ApplyAppearance(const LyricsAppearance& appearance, bool at_top);
  void SetHintsEnabled(bool enabled);
  // Places the window by the layout rule on the primary screen: left edge, full width, the
  // appearance's height, at the top or bottom edge. Runs again when the screen changes.
  void Relayout();
  bool AtTop() const { return at_top_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // The tooltip: the line's whole text when the screen is too narrow for it, then the help hint
  // when hints are on.
  void UpdateToolTip();
  void SetStayOnTop(bool stay_on_top);
  void FollowScreen();

  ControllerLink& link_;
  std::string text_;
  LyricsAppearance appearance_;
  bool at_top_ = true;
  bool hints_ = true;
};

}  // namespace qvr
