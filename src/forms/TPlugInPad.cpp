// The plug-in pad's window.
#include "forms/TPlugInPad.h"

#include <QShortcut>

namespace qvr {

TPlugInPad::TPlugInPad(ControllerLink& link)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      link_(link) {
  setObjectName("PlugInPad");
  setWindowTitle(QString::fromUtf8("プラグイン"));
  resize(120, 26);
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, [this] { link_.ShowHelp(46); });
}

void TPlugInPad::ApplyHintSetting(bool help_hint) { setToolTipDuration(help_hint ? -1 : 0); }

void TPlugInPad::ShowUnder(const QWidget& anchor) {
  const QRect frame = anchor.frameGeometry();
  move(frame.left(), frame.bottom() + 1);
  show();
}

}  // namespace qvr
