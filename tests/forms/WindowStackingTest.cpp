// Boxes and dialogs of the program that must never hide or hold it: a window opened while a
// modal one is up is its transient and stays on top with it; the box for news that needs no
// answer is one at a time; and once the program ends without asking, every box and dialog that
// is up ends and later errors are only logged.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "forms/ControllerLink.h"
#include "forms/WindowStacking.h"
#include "platform/HelpViewer.h"

namespace qvr {
namespace {

// Runs `step` from the event loop of the modal window that will be up then.
void Soon(std::function<void()> step) { QTimer::singleShot(20, std::move(step)); }

TEST(WindowStacking, AWindowOpenedOverAModalOneIsItsTransientAndStaysOnTopWithIt) {
  QDialog options;
  options.setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
  options.setModal(true);
  QWidget* parent = nullptr;
  bool on_top = false, inner_active = false;
  Soon([&] {
    QDialog registration;  // opened by the program, not by a click in the options dialog
    registration.setModal(true);
    StackAboveModal(registration);
    parent = registration.parentWidget();
    on_top = registration.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    Soon([&] {
      inner_active = QApplication::activeModalWidget() == &registration;
      registration.reject();
    });
    registration.exec();
    options.reject();
  });
  options.exec();
  EXPECT_EQ(parent, &options);
  EXPECT_TRUE(on_top);
  EXPECT_TRUE(inner_active);
}

// F1 in a dialog that stays on top: the help comes above the dialog and takes input there.
TEST(WindowStacking, HelpOpenedFromAModalDialogIsItsTransient) {
  HelpViewer help;
  QDialog options;
  options.setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
  options.setModal(true);
  QWindow* transient_parent = nullptr;
  bool on_top = false;
  Soon([&] {
    help.Open(1);
    transient_parent = help.windowHandle()->transientParent();
    on_top = help.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    options.reject();
  });
  options.exec();
  EXPECT_EQ(transient_parent, options.windowHandle());
  EXPECT_TRUE(on_top);
  help.Open(1);  // without a modal dialog: a window of its own again
  EXPECT_EQ(help.windowHandle()->transientParent(), nullptr);
  EXPECT_FALSE(help.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

std::vector<QMessageBox*> VisibleBoxes() {
  std::vector<QMessageBox*> boxes;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible()) boxes.push_back(box);
  }
  return boxes;
}

TEST(NoticeBox, ANewMessageReplacesTheOneShownAndNothingWaits) {
  ControllerLink::ShowNotice("CDイメージが見つかりません: /a.cue");
  ControllerLink::ShowNotice("CDイメージが見つかりません: /b.cue");
  ControllerLink::ShowNotice("CDイメージが見つかりません: /c.cue");
  std::vector<QMessageBox*> boxes = VisibleBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]->text().toStdString(), "CDイメージが見つかりません: /c.cue");
  EXPECT_EQ(boxes[0]->windowTitle().toStdString(), "QVR");
  boxes[0]->accept();
  QApplication::processEvents();
  EXPECT_TRUE(VisibleBoxes().empty());
}

// In a child process: the switch is for the rest of the program's life.
TEST(EndWithoutAsking, EndsEveryWaitingWindowAndLogsWhatFollows) {
  EXPECT_EXIT(
      {
        std::vector<std::string> log;
        ControllerLink::SetLog([&log](const std::string& message) { log.push_back(message); });
        bool dialog_ended = false;
        Soon([&] {
          QDialog dialog;  // a dialog with a box over it, as at start-up
          dialog.setModal(true);
          Soon([] { ControllerLink::ShowError("プラグインをロードできません"); });
          Soon([] { QTimer::singleShot(50, [] { ControllerLink::EndWithoutAsking(); }); });
          dialog.exec();
          dialog_ended = true;
        });
        QTimer::singleShot(5000, [] { std::_Exit(3); });  // something still waits
        while (!dialog_ended) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ControllerLink::ShowError("設定ファイルに書き込めません");  // returns at once
        const bool ok = ControllerLink::Unattended() && log.size() == 2 && log[0] == "プラグインをロードできません" &&
                        log[1] == "設定ファイルに書き込めません" && VisibleBoxes().empty();
        std::_Exit(ok ? 0 : 2);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qvr
