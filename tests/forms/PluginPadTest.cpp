// The plug-in pad and the plug-in menu with real test plug-ins: one button per plug-in in a
// row, the exit button after them, the menu entries with the same tags, clicks that run the
// plug-in, and where the pad opens next to the control pad.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QToolButton>

#include "forms/DesktopFixture.h"
#include "support/TestPlugins.h"

namespace qvr::test {
namespace {

class PluginPadTest : public DesktopFixture {
 protected:
  PluginPadTest() {
    std::filesystem::create_directories(dir / "Plugin");
    for (const char* kind : {"VALID_IMAGE", "VALID", "EXEC_THROWS"}) {
      std::filesystem::copy_file(std::string(QVR_TEST_PLUGIN_DIR) + "/" + kind + ".QPI",
                                 dir / "Plugin" / (std::string(kind) + ".QPI"));
    }
    WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");
  }

  int ExecCalls(const char* kind) const {
    return CallsOf((dir / "Plugin" / (std::string(kind) + ".QPI")).string()).exec;
  }
};

TEST_F(PluginPadTest, ButtonsInARowWithTheExitButtonAfterThem) {
  auto program = Start();
  TPlugInPad& pad = program->plugin_pad;
  const QRect client = pad.contentsRect();
  std::vector<int> lefts;
  for (const char* name : {"EXEC_THROWS", "Beta", "Alpha"}) {
    auto* button = pad.findChild<QToolButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    EXPECT_EQ(button->size(), QSize(21, 21));
    EXPECT_EQ(button->y() - client.top(), 2);
    lefts.push_back(button->x() - client.left());
  }
  EXPECT_EQ(lefts, (std::vector<int>{2, 23, 44}));  // in the order of the scan: file names sorted
  EXPECT_EQ(pad.ExitBTN->x() - client.left(), 65);
  EXPECT_EQ(client.size(), QSize(88, 25));
  EXPECT_TRUE(program->pad.Button(PadButton::PluginBTN)->isEnabled());

  QMenu* menu = program->view.Menu()->Action(MenuItemId::PluginMNU)->menu();
  ASSERT_EQ(menu->actions().size(), 3);
  EXPECT_EQ(menu->actions()[2]->text().toStdString(), "アルファ");
  EXPECT_EQ(pad.findChild<QToolButton*>("Alpha")->toolTip().toStdString(), "アルファ");
}

// A picture the pad cannot decode is reported by the button's tag; the button shows the
// program's own picture.
TEST_F(PluginPadTest, APictureThatDoesNotDecodeIsReported) {
  auto program = Start();
  const std::string bmp = "BM";  // a header and nothing after it
  const std::vector<std::size_t> undecodable = program->plugin_pad.SetButtons(
      {{"Good", "", "", 0}, {"Broken", "", "no picture at all", 1}, {"Cut", "", bmp, 2}});
  EXPECT_EQ(undecodable, (std::vector<std::size_t>{1, 2}));
  auto* broken = program->plugin_pad.findChild<QToolButton*>("Broken");
  ASSERT_NE(broken, nullptr);
  EXPECT_FALSE(broken->icon().isNull());
}

TEST_F(PluginPadTest, HintsFollowTheHelpHintSetting) {
  WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\nHelpHint=0\r\n");
  auto program = Start();
  TPlugInPad& pad = program->plugin_pad;
  for (const char* name : {"Alpha", "Beta", "ExitBTN"}) {
    EXPECT_TRUE(pad.findChild<QToolButton*>(name)->toolTip().isEmpty()) << name;
  }
  TOptionValues options = program->controller.CurrentOptions();
  options.help_hint = true;
  program->controller.ApplyOptions(options);
  EXPECT_EQ(pad.findChild<QToolButton*>("Alpha")->toolTip().toStdString(), "アルファ");
  EXPECT_EQ(pad.ExitBTN->toolTip().toStdString(), "閉じる");
  options.help_hint = false;
  program->controller.ApplyOptions(options);  // also lays the buttons out anew
  for (const char* name : {"Alpha", "Beta", "ExitBTN"}) {
    EXPECT_TRUE(pad.findChild<QToolButton*>(name)->toolTip().isEmpty()) << name;
  }
}

TEST_F(PluginPadTest, ButtonAndMenuEntryRunTheSamePlugin) {
  auto program = Start();
  program->plugin_pad.findChild<QToolButton*>("Beta")->click();
  program->view.Menu()->Action(MenuItemId::PluginMNU)->menu()->actions()[1]->trigger();
  EXPECT_EQ(ExecCalls("VALID"), 2);
  program->plugin_pad.ExitBTN->click();
  EXPECT_FALSE(program->plugin_pad.isVisible());
}

TEST_F(PluginPadTest, OpensUnderThePadAboveItNearTheBottomAndInsideTheRightEdge) {
  auto program = Start();
  TQVRPad& control = program->pad;
  TPlugInPad& plugin = program->plugin_pad;
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  control.show();

  control.move(screen.left() + 20, screen.top() + 40);
  control.ShowPluginPad();
  const int button_left = control.Button(PadButton::PluginBTN)->mapToGlobal(QPoint(0, 0)).x();
  EXPECT_EQ(plugin.x(), button_left);
  EXPECT_EQ(plugin.y(), control.frameGeometry().bottom() + 1);
  plugin.hide();

  control.move(screen.left() + 20, screen.bottom() - control.frameGeometry().height() + 1);
  control.ShowPluginPad();
  EXPECT_EQ(plugin.y(), control.frameGeometry().top() - plugin.height());
  plugin.hide();

  control.move(screen.right() - control.frameGeometry().width() + 1, screen.top() + 40);
  control.ShowPluginPad();
  EXPECT_LE(plugin.frameGeometry().right(), screen.right());
}

}  // namespace
}  // namespace qvr::test
