// TPlugInPad: the plug-in pad, a small borderless stay-on-top window with one flat button per
// plug-in and an exit button after them. The controller hands it the buttons after each
// refresh; a click runs the plug-in through the controller. It is dragged by any free point and
// opens under (or above) the control pad's plug-in button.
#pragma once

#include <QFrame>
#include <QPoint>
#include <QRect>
#include <vector>

#include "app/QVRView.h"
#include "forms/ControllerLink.h"

class QToolButton;

namespace qvr {

class TPlugInPad : public QFrame {
 public:
  explicit TPlugInPad(ControllerLink& link);
  // Hints follow the HelpHint setting.
  void ApplyHintSetting(bool help_hint);
  // The shut-down step: the pad stores nothing.
  void Save() {}
  // Replaces the plug-in buttons and sizes the pad for them; with none the buttons go and the
  // pad keeps its size. Returns the tags of the buttons whose picture could not be decoded.
  std::vector<std::size_t> SetButtons(const std::vector<PluginButton>& buttons);
  // Shows the pad with its left edge at `button_left` (screen x) under `anchor` (the control
  // pad, or the floating toolbar that holds its plug-in button), kept on the screen.
  void ShowAt(int button_left, const QRect& anchor);

  QToolButton* ExitBTN = nullptr;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  ControllerLink& link_;
  std::vector<QToolButton*> buttons_;
  bool hints_ = true;
  bool dragging_ = false;
  QPoint grab_;
};

}  // namespace qvr
