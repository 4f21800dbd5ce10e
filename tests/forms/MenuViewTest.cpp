// The Qt pop-up menu over the controller's menu model: rows and exact captions, check marks and
// enabled states from the start and as the model changes, and choosing an item.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTabWidget>
#include <QTimer>

#include "forms/DesktopFixture.h"
#include "forms/TOptionDlg.h"

namespace qvr::test {
namespace {

using MenuViewTest = DesktopFixture;

DiscToc TwoTracks() {
  DiscToc toc;
  toc.Tracks = {{150, true}, {150 + 30 * 75, true}};
  toc.LeadOut = 150 + 60 * 75;
  return toc;
}

// The menu's rows as the user sees them: each shown caption, "-" for a shown separator.
std::vector<std::string> Rows(const QMenu& menu) {
  std::vector<std::string> rows;
  for (const QAction* action : menu.actions()) {
    if (!action->isVisible()) continue;
    rows.push_back(action->isSeparator() ? "-" : action->text().toStdString());
  }
  return rows;
}

TEST_F(MenuViewTest, RowsCarryTheExactCaptions) {
  auto program = Start();
  MenuView& menu = *program->view.Menu();
  EXPECT_EQ(Rows(menu.Menu()), (std::vector<std::string>{"再生",
                                                         "停止",
                                                         "一時停止",
                                                         "-",
                                                         "次の曲へ",
                                                         "前の曲へ",
                                                         "プレイリスト...",
                                                         "-",
                                                         "1曲リピート",
                                                         "全曲リピート",
                                                         "ランダム再生",
                                                         "-",
                                                         "歌詞表示",
                                                         "コントロールパッド表示",
                                                         "-",
                                                         "ジャケット表示...",
                                                         "データベース登録...",
                                                         "-",
                                                         "プラグイン",
                                                         "CD取り出し",
                                                         "環境設定...",
                                                         "ヘルプ(&H)...",
                                                         "終了"}));
  ASSERT_NE(menu.Action(MenuItemId::PadMNU)->menu(), nullptr);
  EXPECT_EQ(Rows(*menu.Action(MenuItemId::PadMNU)->menu()),
            (std::vector<std::string>{"ドッキングベース", "-", "基本", "制御", "再生モード", "ウィンドウ",
                                      "ディスク情報", "その他"}));
}

TEST_F(MenuViewTest, StatesFollowTheModel) {
  auto program = Start();
  MenuView& menu = *program->view.Menu();
  TQVRMenu& model = program->controller.QVRMenu;
  for (std::size_t i = 0; i < kMenuItemCount; ++i) {
    const auto item = static_cast<MenuItemId>(i);
    EXPECT_EQ(menu.Action(item)->isVisible(), model.Visible(item)) << TQVRMenu::Name(item);
    // Qt disables what it hides.
    EXPECT_EQ(menu.Action(item)->isEnabled(), model.Enabled(item) && model.Visible(item)) << TQVRMenu::Name(item);
    if (menu.Action(item)->isCheckable()) {
      EXPECT_EQ(menu.Action(item)->isChecked(), model.Checked(item));
    }
  }
  EXPECT_FALSE(menu.Action(MenuItemId::NextMNU)->isEnabled());
  EXPECT_FALSE(menu.Action(MenuItemId::PluginMNU)->isEnabled());
  EXPECT_TRUE(menu.Action(MenuItemId::LyricsViewMNU)->isChecked());
  model.SetCaption(MenuItemId::PauseMNU, "一時停止解除");
  model.SetEnabled(MenuItemId::NextMNU, true);
  model.SetChecked(MenuItemId::RandomMNU, true);
  EXPECT_EQ(menu.Action(MenuItemId::PauseMNU)->text(), QString::fromUtf8("一時停止解除"));
  EXPECT_TRUE(menu.Action(MenuItemId::NextMNU)->isEnabled());
  EXPECT_TRUE(menu.Action(MenuItemId::RandomMNU)->isChecked());
}

TEST_F(MenuViewTest, ChoosingAnItemRunsItsHandler) {
  auto program = Start();
  MenuView& menu = *program->view.Menu();
  menu.Action(MenuItemId::RepeatAllMNU)->trigger();
  EXPECT_TRUE(program->controller.QVRMenu.Checked(MenuItemId::RepeatAllMNU));
  EXPECT_TRUE(menu.Action(MenuItemId::RepeatAllMNU)->isChecked());
  EXPECT_TRUE(program->pad.Button(PadButton::RepeatAllBTN)->isChecked());
  menu.Action(MenuItemId::LyricsViewMNU)->trigger();
  EXPECT_FALSE(menu.Action(MenuItemId::LyricsViewMNU)->isChecked());
  EXPECT_FALSE(program->main.isVisible());
  EXPECT_FALSE(program->pad.Button(PadButton::LyricsViewBTN)->isChecked());
  menu.Action(MenuItemId::HelpMNU)->trigger();
  EXPECT_TRUE(program->help.isVisible());
  EXPECT_TRUE(program->help.Browser->source().toString().endsWith("/1.html"));
}

// Without a usable drive the menu leads with the ways forward, above a separator: the options
// dialog opened at the drive setting, and the installed demo disc. A disc that arrives takes
// them away with their separator.
TEST_F(MenuViewTest, WithoutADriveTheWaysForwardLeadTheMenu) {
  WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");
  demo_disc = dir / "demo" / "QvrDemo.cue";
  drive.RefuseOpen(true);
  auto program = Start();
  MenuView& menu = *program->view.Menu();
  std::vector<std::string> rows = Rows(menu.Menu());
  ASSERT_GE(rows.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(rows.begin(), rows.begin() + 4),
            (std::vector<std::string>{"CDドライブの設定...", "デモディスクを再生", "-", "再生"}));

  std::string page, focus;
  QTimer::singleShot(0, [&] {
    auto* dialog = dynamic_cast<TOptionDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    page = dialog->findChild<QTabWidget*>("PageCTRL")->currentWidget()->objectName().toStdString();
    focus = dialog->focusWidget() ? dialog->focusWidget()->objectName().toStdString() : "";
    dialog->CloseWith(ModalResult::Cancel);
  });
  menu.Action(MenuItemId::DriveSetupMNU)->trigger();
  EXPECT_EQ(page, "OtherPage");
  EXPECT_EQ(focus, "DriveCMB");

  drive.RefuseOpen(false);
  drive.InsertDisc(TwoTracks());
  program->controller.TimerTimer();
  EXPECT_EQ(Rows(menu.Menu()).front(), "再生");
}

}  // namespace
}  // namespace qvr::test
