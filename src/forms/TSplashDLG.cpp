// The splash screen's fixed layout.
#include "forms/TSplashDLG.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QWindow>

#include "forms/Icons.h"
#include "forms/QtSupport.h"

namespace qvr {
namespace {

// How long the splash waits for the window system to put it on the screen.
constexpr int kExposeWaitMilliseconds = 2000;

QLabel* CentredLabel(QWidget* parent, const char* name, int left, int top, int width) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignCenter);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(left, top, width, 13);
  return label;
}

}  // namespace

TSplashDLG::TSplashDLG(const SplashTexts& texts)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("SplashDLG");
  setFixedSize(325, 225);
  setFont(FontFromIni({"\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 9, 0, 0}, 12));
  // The thin frame around the window, and the bevel around everything inside.
  auto* frame = new QFrame(this);
  frame->setFrameStyle(QFrame::Box | QFrame::Plain);
  frame->setGeometry(0, 0, 325, 225);
  auto* bevel = new QFrame(this);
  bevel->setObjectName("Bevel1");
  bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
  bevel->setGeometry(8, 10, 309, 205);
  auto* panel = new QFrame(this);
  panel->setObjectName("ImagePanel");
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(2);
  panel->setGeometry(16, 17, 100, 132);
  AppImage = new QLabel(panel);
  AppImage->setObjectName("AppImage");
  AppImage->setGeometry(2, 2, 96, 128);
  AppImage->setPixmap(ProductPicture());

  AppNameLBL = CentredLabel(this, "AppNameLBL", 120, 48, 189);
  AppVersionLBL = CentredLabel(this, "AppVersionLBL", 120, 61, 189);
  AppReleaseLBL = CentredLabel(this, "AppReleaseLBL", 120, 74, 189);
  AppBuildLBL = CentredLabel(this, "AppBuildLBL", 120, 87, 189);
  CopyrightLBL = CentredLabel(this, "CopyrightLBL", 120, 113, 189);
  OtherInfoLBL1 = CentredLabel(this, "OtherInfoLBL1", 24, 159, 277);
  OtherInfoLBL2 = CentredLabel(this, "OtherInfoLBL2", 24, 172, 277);
  ProgressGauge = new QProgressBar(this);
  ProgressGauge->setObjectName("ProgressGauge");
  ProgressGauge->setGeometry(24, 192, 277, 13);
  ProgressGauge->setRange(0, 100);
  ProgressGauge->setTextVisible(false);

  AppNameLBL->setText(QString::fromStdString(texts.product));
  AppVersionLBL->setText(QString::fromStdString("Version " + texts.version));
  AppReleaseLBL->setText(QString::fromStdString("Release " + texts.release));
  AppBuildLBL->setText(QString::fromStdString("Build " + texts.build));
  CopyrightLBL->setText(QString::fromStdString("Copyright(c) " + texts.copyright));
}

void TSplashDLG::FormShow() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  show();
  PaintNow();
}

void TSplashDLG::ShowProgress(int position, const std::string& first_line, const std::string& second_line) {
  ProgressGauge->setValue(position);
  OtherInfoLBL1->setText(QString::fromStdString(first_line));
  OtherInfoLBL2->setText(QString::fromStdString(second_line));
  PaintNow();
}

// Start-up runs no event loop, so the window system's news (the window is mapped and exposed)
// is taken here; painting before the window is exposed reaches no screen. User input waits.
void TSplashDLG::PaintNow() {
  if (!isVisible()) return;
  QDeadlineTimer deadline(kExposeWaitMilliseconds);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  while ((windowHandle() == nullptr || !windowHandle()->isExposed()) && !deadline.hasExpired()) {
    QThread::msleep(5);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  repaint();
}

}  // namespace qvr
