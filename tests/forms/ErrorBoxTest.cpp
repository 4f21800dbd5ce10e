// The application's error box: modal, over everything, with the program's caption whenever it
// comes (during start-up, while running, at exit).
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "forms/ControllerLink.h"

namespace qvr {
namespace {

TEST(ErrorBox, CarriesTheProgramsCaptionAndTheMessage) {
  QString title, text;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      title = box->windowTitle();
      text = box->text();
      box->accept();
    }
  });
  poll.start(10);
  ControllerLink::ShowError("設定ファイルに書き込めません");
  EXPECT_EQ(title.toStdString(), "QVR");
  EXPECT_EQ(text.toStdString(), "設定ファイルに書き込めません");
}

}  // namespace
}  // namespace qvr
