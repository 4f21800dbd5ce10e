// The plug-in pad's window.
#include "forms/TPlugInPad.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>

#include "app/TQVRDM.h"
#include "forms/Icons.h"
#include "plugins/PluginPadLayout.h"

namespace qvr {
namespace {

constexpr int kHelpContext = 1000;
constexpr int kFrame = 1;  // the thin dialog frame around the client area
constexpr const char* kHintProperty = "qvrHint";

QToolButton* FlatButton(QWidget* parent, const QRect& bounds) {
  auto* button = new QToolButton(parent);
  button->setAutoRaise(true);
  button->setIconSize(QSize(16, 16));
  button->setGeometry(bounds);
  button->show();
  return button;
}

QRect ToQRect(const PadRect& rect) { return QRect(rect.left + kFrame, rect.top + kFrame, rect.width, rect.height); }

}  // namespace

TPlugInPad::TPlugInPad(ControllerLink& link)
    : QFrame(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), link_(link) {
  setObjectName("PlugInPad");
  setWindowTitle(QString::fromUtf8("プラグイン"));
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(kFrame);
  const PluginPadLayout empty = LayOutPluginPad(0);
  ExitBTN = FlatButton(this, ToQRect(empty.exit));
  ExitBTN->setObjectName("ExitBTN");
  ExitBTN->setIcon(ButtonIcon("close"));  // closes the pad; "exit" ends the program
  ExitBTN->setProperty(kHintProperty, QString::fromUtf8("閉じる"));
  ExitBTN->setToolTip(ExitBTN->property(kHintProperty).toString());
  ExitBTN->setAccessibleName(QString::fromUtf8("プラグインパッドを閉じる"));
  connect(ExitBTN, &QToolButton::clicked, this, &QWidget::hide);
  setFixedSize(empty.client_width + 2 * kFrame, empty.client_height + 2 * kFrame);
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, [this] { link_.ShowHelp(kHelpContext); });
}

// Each button keeps its hint in a property; its tooltip holds it only while hints are on.
void TPlugInPad::ApplyHintSetting(bool help_hint) {
  hints_ = help_hint;
  for (QToolButton* button : findChildren<QToolButton*>()) {
    button->setToolTip(hints_ ? button->property(kHintProperty).toString() : QString());
  }
}

std::vector<std::size_t> TPlugInPad::SetButtons(const std::vector<PluginButton>& buttons) {
  for (QToolButton* button : buttons_) delete button;
  buttons_.clear();
  std::vector<std::size_t> undecodable;
  if (buttons.empty()) return undecodable;
  const PluginPadLayout layout = LayOutPluginPad(buttons.size());
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const PluginButton& plugin = buttons[i];
    QToolButton* button = FlatButton(this, ToQRect(layout.buttons[i]));
    button->setObjectName(QString::fromStdString(plugin.name));
    button->setProperty(kHintProperty, QString::fromStdString(plugin.hint));
    if (hints_) button->setToolTip(QString::fromStdString(plugin.hint));
    button->setAccessibleName(QString::fromStdString(plugin.hint.empty() ? plugin.name : plugin.hint));
    QPixmap picture;
    const bool own = !plugin.image.empty() && picture.loadFromData(reinterpret_cast<const uchar*>(plugin.image.data()),
                                                                   static_cast<uint>(plugin.image.size()));
    if (!plugin.image.empty() && !own) undecodable.push_back(plugin.tag);
    button->setIcon(own ? QIcon(picture) : ButtonIcon("plugin"));
    const std::size_t tag = plugin.tag;
    connect(button, &QToolButton::clicked, this,
            [this, tag] { link_.Run([tag](TQVRDM& dm) { dm.PluginClick(tag); }); });
    buttons_.push_back(button);
  }
  ExitBTN->setGeometry(ToQRect(layout.exit));
  setFixedSize(layout.client_width + 2 * kFrame, layout.client_height + 2 * kFrame);
  return undecodable;
}

void TPlugInPad::ShowAt(int button_left, const QRect& anchor) {
  QScreen* screen = QGuiApplication::screenAt(anchor.center());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  const PadRect place =
      PlacePluginPad(width(), height(), button_left - area.left(),
                     {anchor.left() - area.left(), anchor.top() - area.top(), anchor.width(), anchor.height()},
                     area.width(), area.height());
  move(area.left() + place.left, area.top() + place.top);
  show();
  raise();
}

// A press on the pad's free surface drags the pad.
void TPlugInPad::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QFrame::mousePressEvent(event);
  dragging_ = true;
  grab_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TPlugInPad::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) move(event->globalPosition().toPoint() - grab_);
}

void TPlugInPad::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QFrame::mouseReleaseEvent(event);
}

}  // namespace qvr
