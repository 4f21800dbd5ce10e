// The jacket viewer: client area the picture's size, three quarters of the screen where the
// picture is larger, opened by the menu command over the disc's jacket file, closed by the
// controller, and an unreadable picture reported with the reason.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QTimer>

#include "forms/DesktopFixture.h"
#include "forms/TJacketViewDLG.h"
#include "util/Error.h"

namespace qvr::test {
namespace {

TEST(JacketViewSizeTest, ThreeQuartersOfTheScreenWhereThePictureIsLarger) {
  EXPECT_EQ(TJacketViewDLG::OuterSize({1200, 900}, {0, 0}, {1024, 768}), QSize(768, 576));
  EXPECT_EQ(TJacketViewDLG::OuterSize({300, 300}, {0, 0}, {1024, 768}), QSize(300, 300));
  // Only the side that does not fit is cut; the frame counts.
  EXPECT_EQ(TJacketViewDLG::OuterSize({500, 760}, {8, 30}, {1024, 768}), QSize(508, 576));
  EXPECT_EQ(TJacketViewDLG::OuterSize({1100, 300}, {8, 30}, {1024, 768}), QSize(768, 330));
}

TEST(JacketViewSizeTest, ClientAreaIsThePictureAndScrollsWhenCut) {
  ControllerLink link;
  QImage small(300, 300, QImage::Format_RGB32);
  small.fill(Qt::red);
  TJacketViewDLG exact(link, small);
  exact.FitToScreen({0, 0, 1024, 768});
  EXPECT_EQ(exact.size(), QSize(300, 300));
  EXPECT_EQ(exact.windowTitle(), "ジャケット");
  EXPECT_EQ(exact.HelpContext(), 1000);

  QImage large(1200, 900, QImage::Format_RGB32);
  large.fill(Qt::blue);
  TJacketViewDLG cut(link, large);
  cut.FitToScreen({0, 0, 1024, 768});
  EXPECT_EQ(cut.size(), QSize(768, 576));
  EXPECT_EQ(cut.JacketIMG->size(), QSize(1200, 900));
  EXPECT_EQ(cut.pos(), QPoint(128, 96));  // centred
}

class JacketViewCommandTest : public DesktopFixture {};

TEST_F(JacketViewCommandTest, OpensTheDiscsJacketAndClosesFromOutside) {
  WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");
  auto program = Start();
  QImage picture(200, 150, QImage::Format_RGB32);
  picture.fill(Qt::green);
  ASSERT_TRUE(picture.save(QString::fromStdString((dir / "jacket.png").string())));
  program->controller.Disc.JacketFile = (dir / "jacket.png").string();

  QSize shown;
  QTimer::singleShot(0, [&] {
    ModalDialog* dialog = program->view.ActiveDialog();
    ASSERT_NE(dialog, nullptr);
    shown = dialog->size();
    EXPECT_EQ(program->controller.DialogState, 3);
    program->view.CloseDialog(DialogKind::JacketView, ModalResult::Cancel);
  });
  program->controller.JacketViewMNUClick();
  EXPECT_EQ(shown, QSize(200, 150));
  EXPECT_EQ(program->controller.DialogState, 0);
  EXPECT_EQ(program->view.ActiveDialog(), nullptr);
}

TEST_F(JacketViewCommandTest, UnreadablePictureIsAnErrorWithTheReason) {
  WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");
  auto program = Start();
  WriteFile(dir / "jacket.png", "not a picture");
  program->controller.Disc.JacketFile = (dir / "jacket.png").string();
  try {
    program->controller.JacketViewMNUClick();
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("画像を読み込めません"), std::string::npos) << message;
    EXPECT_NE(message.find("jacket.png"), std::string::npos) << message;
  }
  EXPECT_EQ(program->controller.DialogState, 0);
}

}  // namespace
}  // namespace qvr::test
