// The settings keys: first-run defaults, the round trip through the file, the play mode, the
// lyrics font and window, and the options dialog.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"

namespace qvr::test {
namespace {

using SettingsTest = ControllerFixture;

const std::string kMsPGothic = "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";

TEST_F(SettingsTest, FirstRunUsesEveryDefault) {
  TQVRDM& dm = Make();
  dm.LoadSettings();
  EXPECT_TRUE(dm.LyricsAtTop);
  EXPECT_TRUE(dm.QVRMenu.Checked(MenuItemId::LyricsViewMNU));
  EXPECT_TRUE(dm.Lyrics.stay_on_top);
  EXPECT_EQ(dm.Lyrics.background, 0);
  EXPECT_EQ(dm.Lyrics.font, (TIniFont{kMsPGothic, 9, 0, 0x0000FFFF}));
  EXPECT_EQ(dm.Lyrics.client_height, 16);
  for (bool value : {dm.PadStatus, dm.PadStayOnTop, dm.PadDockInfo, dm.PadChildrenStatus, dm.PadSnap})
    EXPECT_TRUE(value);
  EXPECT_EQ(dm.RepeatOneUnlock, 2);
  EXPECT_EQ(dm.RepeatAllUnlock, 2);
  EXPECT_EQ(dm.RandomUnlock, 2);
  EXPECT_TRUE(dm.AutoPlay);
  EXPECT_FALSE(dm.AutoWall);
  EXPECT_TRUE(dm.AutoDLGOpen);
  EXPECT_TRUE(dm.HelpHint);
  EXPECT_EQ(dm.DataBasePath, dir.Path().string() + "/DB/");
  EXPECT_EQ(dm.PluginPath, dir.Path().string() + "/Plugin/");
  EXPECT_EQ(dm.Drive, "");
  for (MenuItemId mode : {MenuItemId::RepeatOneMNU, MenuItemId::RepeatAllMNU, MenuItemId::RandomMNU}) {
    EXPECT_FALSE(dm.QVRMenu.Checked(mode));
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "Qvr.ini"));
}

TEST_F(SettingsTest, SavedValuesComeBack) {
  TQVRDM& first = Make();
  first.LoadSettings();
  first.LyricsAtTop = false;
  first.Lyrics.font = {"Noto Sans", 14, fsBold, 0x00FFFFFF};
  first.Lyrics.background = 0x00102030;
  first.Lyrics.stay_on_top = false;
  first.QVRMenu.SetChecked(MenuItemId::LyricsViewMNU, false);
  first.PadSnap = false;
  first.RepeatAllUnlock = 1;
  first.AutoWall = true;
  first.DataBasePath = " /data/db/ ";
  first.Drive = "/media/images/";
  first.RepeatAllMNUClick();
  first.SaveSettings();

  const std::string text = ReadFile(dir / "Qvr.ini");
  EXPECT_NE(text.find("DataBasePath=\xA2 /data/db/ \xA3\r\n"), std::string::npos);
  EXPECT_NE(text.find("Font.Color=0x00FFFFFF\r\n"), std::string::npos);
  EXPECT_NE(text.find("PlayMode=2\r\n"), std::string::npos);

  TQVRDM& second = Make();  // replaces the first controller
  second.LoadSettings();
  EXPECT_FALSE(second.LyricsAtTop);
  EXPECT_EQ(second.Lyrics.font, (TIniFont{"Noto Sans", 14, fsBold, 0x00FFFFFF}));
  EXPECT_EQ(second.Lyrics.background, 0x00102030);
  EXPECT_FALSE(second.Lyrics.stay_on_top);
  EXPECT_FALSE(second.QVRMenu.Checked(MenuItemId::LyricsViewMNU));
  EXPECT_FALSE(second.PadSnap);
  EXPECT_EQ(second.RepeatAllUnlock, 1);
  EXPECT_TRUE(second.AutoWall);
  EXPECT_EQ(second.DataBasePath, " /data/db/ ");
  EXPECT_EQ(second.Drive, "/media/images/");
  EXPECT_TRUE(second.QVRMenu.Checked(MenuItemId::RepeatAllMNU));
}

TEST_F(SettingsTest, PlayModeChecksOneItemOrNone) {
  struct {
    const char* stored;
    bool one, all, random;
  } cases[] = {{"0", false, false, false}, {"1", true, false, false},  {"2", false, true, false},
               {"3", false, false, true},  {"7", false, false, false}, {"x", false, false, false}};
  for (const auto& c : cases) {
    WriteFile(dir / "Qvr.ini", std::string("[Repeat]\r\nPlayMode=") + c.stored + "\r\n");
    TQVRDM& loaded = Make();
    loaded.LoadSettings();
    EXPECT_EQ(loaded.QVRMenu.Checked(MenuItemId::RepeatOneMNU), c.one) << c.stored;
    EXPECT_EQ(loaded.QVRMenu.Checked(MenuItemId::RepeatAllMNU), c.all) << c.stored;
    EXPECT_EQ(loaded.QVRMenu.Checked(MenuItemId::RandomMNU), c.random) << c.stored;
  }
}

TEST_F(SettingsTest, LyricsWindowFollowsPositionVisibilityAndFontSize) {
  WriteFile(dir / "Qvr.ini", "[Lyrics]\r\nPosition=0\r\nVisible=0\r\nFont.Size=20\r\n[Other]\r\nAutoDLGOpen=0\r\n");
  TQVRDM& loaded = Started();
  EXPECT_FALSE(loaded.QVRMenu.Checked(MenuItemId::LyricsViewMNU));
  EXPECT_FALSE(view.at_top);
  EXPECT_EQ(view.appearance.font, (TIniFont{kMsPGothic, 20, 0, 0x0000FFFF}));
  EXPECT_EQ(view.appearance.client_height, 27 + 4);  // 20 points at 96 pixels per inch
}

TEST_F(SettingsTest, OptionsDialogAppliesOnOkOnly) {
  WriteSettings();
  TQVRDM& options = Started();
  view.options_action = [&](TOptionValues& values) {
    EXPECT_EQ(options.DialogState, 4);
    values.auto_play = true;
    values.help_hint = false;
    values.pad_stay_on_top = false;
    values.font.Size = 12;
    values.plugin_path = "/plugins/";
    return ModalResult::Ok;
  };
  options.OptionMNUClick();
  EXPECT_TRUE(options.AutoPlay);
  EXPECT_FALSE(options.HelpHint);
  EXPECT_FALSE(view.hints);
  EXPECT_FALSE(view.pad_stay_on_top);
  EXPECT_EQ(view.appearance.client_height, 20);
  EXPECT_EQ(options.PluginPath, "/plugins/");
  EXPECT_EQ(options.DialogState, 0);

  view.options_action = [](TOptionValues& values) {
    values.auto_play = false;
    return ModalResult::Cancel;
  };
  options.OptionMNUClick();
  EXPECT_TRUE(options.AutoPlay);
}

}  // namespace
}  // namespace qvr::test
