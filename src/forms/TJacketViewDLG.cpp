// The jacket viewer and its factory, which reads the picture of the controller's disc record.
#include "forms/TJacketViewDLG.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/TQVRDM.h"
#include "forms/ControllerLink.h"
#include "forms/DialogFactories.h"
#include "util/Error.h"

namespace qvr {
namespace {

constexpr int kHelpContext = 1000;

}  // namespace

TJacketViewDLG::TJacketViewDLG(ControllerLink& link, const QImage& picture)
    : ModalDialog(link, "ジャケット", kHelpContext), picture_(picture.size()) {
  setObjectName("TJacketViewDLG");
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  SetHintBarVisible(false);
  Body()->setContentsMargins(0, 0, 0, 0);
  Scroller = new QScrollArea(this);
  Scroller->setFrameShape(QFrame::NoFrame);
  Scroller->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  JacketIMG = new QLabel;
  JacketIMG->setObjectName("JacketIMG");
  JacketIMG->setPixmap(QPixmap::fromImage(picture));
  JacketIMG->setFixedSize(picture.size());
  Scroller->setWidget(JacketIMG);
  Body()->addWidget(Scroller);
  layout()->setSizeConstraint(QLayout::SetNoConstraint);
  const QScreen* screen = QGuiApplication::primaryScreen();
  FitToScreen(screen ? screen->geometry() : QRect(0, 0, 1024, 768));
}

QSize TJacketViewDLG::OuterSize(QSize picture, QSize frame, QSize screen) {
  QSize outer = picture + frame;
  if (screen.height() < outer.height()) outer.setHeight(screen.height() * 3 / 4);
  if (screen.width() < outer.width()) outer.setWidth(screen.width() * 3 / 4);
  return outer;
}

void TJacketViewDLG::FitToScreen(const QRect& screen) {
  // The window manager's frame is known once the window has been shown; before that the client
  // area is all there is.
  const QSize frame = frameGeometry().size() - geometry().size();
  const QSize client = OuterSize(picture_, frame, screen.size()) - frame;
  resize(client);
  move(screen.x() + (screen.width() - client.width()) / 2, screen.y() + (screen.height() - client.height()) / 2);
}

std::unique_ptr<ModalDialog> MakeJacketViewDialog(const DialogContext& context) {
  TQVRDM* controller = context.link.Controller();
  if (!controller) return nullptr;
  const QString file = QString::fromStdString(controller->Disc.JacketFile.ToUtf8());
  QImageReader reader(file);
  reader.setAutoTransform(true);
  const QImage picture = reader.read();
  if (picture.isNull()) {
    throw Error("画像を読み込めません: " + file.toStdString() + "\n" + reader.errorString().toStdString());
  }
  return std::make_unique<TJacketViewDLG>(context.link, picture);
}

}  // namespace qvr
