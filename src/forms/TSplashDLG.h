// TSplashDLG: the start-up splash screen with the product picture, name, version, release,
// build, copyright line, two status lines and a progress bar, centred and on top.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>
#include <string>

#include "app/QVRView.h"

namespace qvr {

class TSplashDLG : public QWidget {
 public:
  explicit TSplashDLG(const SplashTexts& texts);

  QLabel *AppImage, *AppNameLBL, *AppVersionLBL, *AppReleaseLBL, *AppBuildLBL, *CopyrightLBL;
  QLabel *OtherInfoLBL1, *OtherInfoLBL2;
  QProgressBar* ProgressGauge;

  // Shows the form centred on the screen and paints it at once.
  void FormShow();
  // Sets the bar and the two lines and paints at once, without waiting for the event loop.
  void ShowProgress(int position, const std::string& first_line, const std::string& second_line);

 private:
  void PaintNow();
};

}  // namespace qvr
