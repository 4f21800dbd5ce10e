// The lyrics line window.
#include "forms/TQVRMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QStringList>

#include "app/TQVRDM.h"
#include "forms/QtSupport.h"
#include "platform/ScreenEdgeStrut.h"

namespace qvr {
namespace {

constexpr int kHelpContext = 1000;
const char* const kHint = "右クリックでメニュー、ドラッグで上端と下端を切り替えます";

}  // namespace

TQVRMain::TQVRMain(ControllerLink& link)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), link_(link) {
  setObjectName("QVRMain");
  setAttribute(Qt::WA_ShowWithoutActivating);
  LrcLine = new QLabel(this);
  LrcLine->setObjectName("LrcLine");
  LrcLine->setAlignment(Qt::AlignCenter);
  LrcLine->setTextFormat(Qt::PlainText);
  LrcLine->setAutoFillBackground(true);
  LrcLine->setMouseTracking(false);
  LrcLine->setAttribute(Qt::WA_TransparentForMouseEvents);
  resize(202, 36);
  ApplyAppearance(appearance_, at_top_);
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, [this] { link_.ShowHelp(kHelpContext); });
  FollowScreen();
  connect(qApp, &QGuiApplication::primaryScreenChanged, this, [this] {
    FollowScreen();
    Relayout();
  });
}

void TQVRMain::FollowScreen() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    connect(screen, &QScreen::geometryChanged, this, &TQVRMain::Relayout, Qt::UniqueConnection);
  }
}

void TQVRMain::SetLineText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  const QString shown = LabelDisplayText(text);
  LrcLine->setText(shown);
  // Window lists and assistive tools read the line from the window's title.
  setWindowTitle(shown);
  UpdateToolTip();
}

void TQVRMain::UpdateToolTip() {
  QStringList parts;
  const QString shown = LrcLine->text();
  if (LrcLine->fontMetrics().horizontalAdvance(shown) > LrcLine->contentsRect().width()) {
    parts << shown.toHtmlEscaped();
  }
  if (hints_) parts << QString::fromUtf8(kHint).toHtmlEscaped();
  // Rich text, so that a long line wraps in the tooltip and its characters show as they are.
  setToolTip(parts.isEmpty() ? QString() : "<qt>" + parts.join("<br>") + "</qt>");
}

void TQVRMain::RepaintLine() { LrcLine->repaint(); }

void TQVRMain::ApplyAppearance(const LyricsAppearance& appearance, bool at_top) {
  appearance_ = appearance;
  at_top_ = at_top;
  LrcLine->setFont(FontFromIni(appearance.font, appearance.client_height - 4));
  QPalette palette = LrcLine->palette();
  palette.setColor(QPalette::Window, ColorFromRef(appearance.background));
  palette.setColor(QPalette::WindowText, ColorFromRef(appearance.font.Color));
  LrcLine->setPalette(palette);
  SetStayOnTop(appearance.stay_on_top);
  Relayout();
}

void TQVRMain::SetStayOnTop(bool stay_on_top) {
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == stay_on_top) return;
  const bool shown = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, stay_on_top);
  if (shown) show();
}

void TQVRMain::SetHintsEnabled(bool enabled) {
  hints_ = enabled;
  UpdateToolTip();
}

void TQVRMain::Relayout() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  const int height = std::max(1, appearance_.client_height);
  const int top = at_top_ ? area.top() : area.top() + area.height() - height;
  setGeometry(area.left(), top, area.width(), height);
  LrcLine->setGeometry(0, 0, area.width(), height);
  UpdateToolTip();
  if (isVisible()) ReserveScreenEdge(*this, at_top_);
}

void TQVRMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A dock with its strip reserved: maximised windows and panels keep clear of the line.
  ReserveScreenEdge(*this, at_top_);
}

void TQVRMain::mouseMoveEvent(QMouseEvent* event) {
  const Qt::KeyboardModifiers modifiers =
      event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const bool left_only = event->buttons() == Qt::LeftButton && modifiers == Qt::NoModifier;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  const double y = event->globalPosition().y() - area.top();
  link_.Run([&](TQVRDM& dm) { dm.LrcLinePosChange(left_only, y, area.height()); });
}

void TQVRMain::mouseReleaseEvent(QMouseEvent* event) {
  TQVRDM::MouseButton button = TQVRDM::MouseButton::Middle;
  if (event->button() == Qt::LeftButton) button = TQVRDM::MouseButton::Left;
  if (event->button() == Qt::RightButton) button = TQVRDM::MouseButton::Right;
  link_.Run([&](TQVRDM& dm) { dm.LrcLineMouseUp(button); });
}

void TQVRMain::closeEvent(QCloseEvent* event) {
  // The main window: closing it ends the event loop and so the program.
  event->accept();
  QCoreApplication::quit();
}

}  // namespace qvr
