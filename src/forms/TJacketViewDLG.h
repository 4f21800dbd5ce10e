// The jacket viewer: the disc's jacket picture in a tool window whose client area is the
// picture's size, cut to three quarters of the screen in a direction where it would not fit
// (the picture then scrolls). Modal; the controller closes it when the disc leaves the drive.
#pragma once

#include <QImage>
#include <QSize>

#include "forms/ModalDialog.h"

class QLabel;
class QScrollArea;

namespace qvr {

class TJacketViewDLG final : public ModalDialog {
 public:
  TJacketViewDLG(ControllerLink& link, const QImage& picture);

  // The outer size for a picture, the frame's extra size around the client area, and the
  // screen: the picture's size plus the frame, each side cut to three quarters of the screen
  // where the screen is smaller (height first, then width).
  static QSize OuterSize(QSize picture, QSize frame, QSize screen);
  // Sizes and centres the window on a screen of this geometry.
  void FitToScreen(const QRect& screen);

  QLabel* JacketIMG = nullptr;
  QScrollArea* Scroller = nullptr;

 private:
  QSize picture_;
};

}  // namespace qvr
