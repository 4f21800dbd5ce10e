// The transient parent is the Qt parent: Qt hands it to the window manager (WM_TRANSIENT_FOR on
// X11, xdg_popup parents under Wayland), which keeps the child above it in every layer.
#include "forms/WindowStacking.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace qvr {

void StackAboveModal(QWidget& window) {
  QWidget* modal = QApplication::activeModalWidget();
  // A window with a parent already has its place. The parent outlives its transient, as the
  // modal window's loop cannot end before the one of a window opened inside it; a box that
  // waits for no one (it deletes itself when closed) is no parent.
  if (modal != nullptr && modal != &window && window.parentWidget() == nullptr &&
      !modal->testAttribute(Qt::WA_DeleteOnClose)) {
    window.setParent(modal, window.windowFlags());
  }
  bool others_on_top = false;
  for (const QWidget* other : QApplication::topLevelWidgets()) {
    if (other != &window && other->isVisible() && other->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
      others_on_top = true;
    }
  }
  if (others_on_top && !window.windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
    window.setWindowFlag(Qt::WindowStaysOnTopHint);
  }
  // Once its loop runs (it is shown then), it comes to the front with the focus: a window
  // manager may map a new window below the active one.
  QTimer::singleShot(0, &window, [&window] {
    window.raise();
    window.activateWindow();
  });
}

}  // namespace qvr
