// The Qt pop-up menu over the controller's menu model: rows and exact captions, check marks and
// enabled states from the start and as the model changes, and choosing an item.
#include <gtest/gtest.h>

#include "forms/DesktopFixture.h"

namespace qvr::test {
namespace {

using MenuViewTest = DesktopFixture;

// The menu's rows as text: each caption, "-" for a separator.
std::vector<std::string> Rows(const QMenu& menu) {
  std::vector<std::string> rows;
  for (const QAction* action : menu.actions())
    rows.push_back(action->isSeparator() ? "-" : action->text().toStdString());
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
    EXPECT_EQ(menu.Action(item)->isEnabled(), model.Enabled(item)) << TQVRMenu::Name(item);
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

}  // namespace
}  // namespace qvr::test
