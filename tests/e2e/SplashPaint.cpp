// qvr_e2e_splash: under a real X server (DISPLAY), the splash screen is on the screen, painted,
// as soon as it is shown, and each progress step is on the screen as soon as it is set, with
// no event loop running in between (start-up runs none). What the X server holds in the
// splash's place is compared with what the splash paints. Exit 0: painted; 1: not.
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <cstdio>

#include "forms/TSplashDLG.h"

namespace {

// The share of pixels where the screen shows what the widget paints.
double ShownShare(qvr::TSplashDLG& splash) {
  const QImage painted = splash.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRect place = splash.geometry();
  const QImage shown = QGuiApplication::primaryScreen()
                           ->grabWindow(0, place.x(), place.y(), place.width(), place.height())
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32);
  std::printf("splash at %d,%d %dx%d, exposed %d\n", place.x(), place.y(), place.width(), place.height(),
              splash.windowHandle() && splash.windowHandle()->isExposed());
  // QVR_SPLASH_SHOT=prefix keeps both pictures for a look.
  if (qEnvironmentVariableIsSet("QVR_SPLASH_SHOT")) {
    shown.save(qEnvironmentVariable("QVR_SPLASH_SHOT") + "-shown.png");
    painted.save(qEnvironmentVariable("QVR_SPLASH_SHOT") + "-painted.png");
  }
  if (shown.size() != painted.size()) return 0;
  long same = 0;
  for (int y = 0; y < shown.height(); ++y) {
    for (int x = 0; x < shown.width(); ++x) same += shown.pixel(x, y) == painted.pixel(x, y);
  }
  return static_cast<double>(same) / (shown.width() * shown.height());
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  qvr::TSplashDLG splash({"Quaver CD-DA Player [Q.V.R.]", "1.2", "2", "249", "2026 QVR Project"});
  splash.FormShow();
  int failures = 0;
  const double first = ShownShare(splash);
  std::printf("shown: %.3f of the splash on the screen\n", first);
  failures += first < 0.98;
  for (int position : {20, 60, 100}) {
    splash.ShowProgress(position, "Please wait...", "step " + std::to_string(position));
    const double share = ShownShare(splash);
    std::printf("progress %d: %.3f of the splash on the screen\n", position, share);
    failures += share < 0.98;
  }
  return failures == 0 ? 0 : 1;
}
