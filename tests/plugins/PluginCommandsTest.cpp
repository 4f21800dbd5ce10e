// The controller's plug-in commands with real plug-in libraries in a temporary plug-in folder,
// each in its own host process: the scan, the menu entries and pad buttons with their tags,
// runs, refreshes and the error boxes; start-up and shut-down that go on whatever a plug-in
// does; and the plug-in pad's geometry.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/ControllerFixture.h"
#include "plugins/PluginPadLayout.h"
#include "support/TestPlugins.h"

namespace qvr::test {
namespace {

class PluginCommandsTest : public ControllerFixture {
 protected:
  PluginCommandsTest() { std::filesystem::create_directories(dir / "Plugin"); }

  // Copies the test plug-in of `kind` into the plug-in folder as `name`; returns its path.
  std::string Install(const std::string& kind, const std::string& name) {
    return InstallTestPlugin(dir / "Plugin", kind, name);
  }

  TQVRDM& StartQuietly() {
    WriteSettings();
    return Started();
  }

  // The settings file holds what the shut-down saved (the settings' own keys are written then).
  bool SettingsSaved() const { return ReadFile(dir / "Qvr.ini").find("PluginPath=") != std::string::npos; }
};

TEST_F(PluginCommandsTest, AcceptedPluginsGetAMenuEntryAndAButtonWithTheSameTag) {
  const std::string beta = Install("VALID", "a_beta.qpi");
  const std::string alpha = Install("VALID_IMAGE", "b_alpha.QPI");
  const std::string declines = Install("DECLINE", "c_declines.QPI");
  WriteFile(dir / "Plugin" / "notes.txt", "not a plug-in");
  TQVRDM& dm = StartQuietly();

  EXPECT_EQ(dm.PluginList, (std::vector<std::string>{beta, alpha}));
  EXPECT_EQ(dm.QVRMenu.PluginEntries(),
            (std::vector<PluginMenuEntry>{{"Beta", "Beta caption", 0}, {"Alpha", "アルファ", 1}}));
  ASSERT_EQ(view.plugin_buttons.size(), 2u);
  EXPECT_EQ(view.plugin_buttons[0].tag, 0u);
  EXPECT_EQ(view.plugin_buttons[1].name, "Alpha");
  EXPECT_EQ(view.plugin_buttons[1].hint, "アルファ");
  EXPECT_EQ(view.plugin_buttons[1].image.substr(0, 2), "BM");
  EXPECT_TRUE(view.plugin_buttons[0].image.empty());
  EXPECT_TRUE(dm.QVRMenu.Enabled(MenuItemId::PluginMNU));
  EXPECT_TRUE(view.messages.empty());
  // Two identification calls for each accepted plug-in, one for the one that declined.
  EXPECT_EQ(CallsOf(beta).id, 2);
  EXPECT_EQ(CallsOf(alpha).id, 2);
  EXPECT_EQ(CallsOf(declines).id, 1);
  // The accepted ones keep their hosts; the one that declined has none left.
  EXPECT_EQ(ChildProcesses().size(), 2u);
  // The refresh comes between 80 and 100 on the splash screen.
  auto at = [&](const std::string& line) {
    return std::find(view.log.begin(), view.log.end(), line) - view.log.begin();
  };
  EXPECT_LT(at("SplashProgress 80 Please wait..."), at("SetPluginButtons 2"));
  EXPECT_LT(at("SetPluginButtons 2"), at("SplashProgress 100 Please wait..."));
}

// A plug-in whose pad picture cannot be decoded keeps its button (with the program's picture)
// and the refresh's error box says so.
TEST_F(PluginCommandsTest, APadPictureThatDoesNotDecodeIsSaid) {
  const std::string bad = Install("BAD_IMAGE", "bad_image.QPI");
  TQVRDM& dm = StartQuietly();
  EXPECT_EQ(dm.PluginList, std::vector<std::string>{bad});
  ASSERT_EQ(view.plugin_buttons.size(), 1u);
  EXPECT_EQ(view.messages, std::vector<std::string>{"プラグインロードエラー: [" + bad +
                                                    "] のボタン画像は読めない形式のため使いません"});
}

TEST_F(PluginCommandsTest, EveryRejectedLibraryIsALineOfOneErrorBox) {
  const std::string junk = (dir / "Plugin" / "a_junk.QPI").string();
  WriteFile(junk, "not a library");
  const std::string empty = (dir / "Plugin" / "b_empty.QPI").string();
  WriteFile(empty, "");
  const std::string no_id = Install("NO_ID", "c_no_id.QPI");
  const std::string throws = Install("THROWS", "d_throws.QPI");
  const std::string bad_name = Install("BADNAME", "e_bad_name.QPI");
  Install("VALID_IMAGE", "f_alpha.QPI");
  const std::string duplicate = Install("DUPLICATE", "g_alpha_again.QPI");
  TQVRDM& dm = StartQuietly();
  ASSERT_EQ(view.messages.size(), 1u);
  std::vector<std::string> lines;
  std::istringstream box(view.messages[0].substr(std::string("プラグインロードエラー: ").size()));
  for (std::string line; std::getline(box, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 6u) << view.messages[0];
  // Each line names the file and says why, with the loader's own reason.
  EXPECT_EQ(lines[0].rfind("[" + junk + "] をロードできません: ", 0), 0u) << lines[0];
  EXPECT_GT(lines[0].size(), ("[" + junk + "] をロードできません: ").size());
  EXPECT_EQ(lines[1].rfind("[" + empty + "] をロードできません: ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2], "[" + no_id + "] はＱＶＲ用のプラグインではありません: undefined symbol: QVR_Plugin_ID");
  EXPECT_EQ(lines[3], "[" + throws + "] の QVR_Plugin_ID で例外が発生しました: std::runtime_error: refused");
  EXPECT_EQ(lines[4], "[" + bad_name + "] のプラグイン名「9 lives」は使えません");
  EXPECT_EQ(lines[5], "[" + duplicate + "] のプラグイン名「Alpha」は他のプラグインが使っています");
  EXPECT_EQ(dm.PluginList.size(), 1u);
  EXPECT_EQ(CallsOf(duplicate).id, 1);
  EXPECT_EQ(ChildProcesses().size(), 1u);
}

TEST_F(PluginCommandsTest, AFolderFullOfJunkIsOneBoxThatStillFitsTheScreen) {
  for (int i = 0; i < 30; ++i) WriteFile(dir / "Plugin" / ("junk" + std::to_string(100 + i) + ".QPI"), "junk");
  TQVRDM& dm = StartQuietly();
  ASSERT_EQ(view.messages.size(), 1u);
  const std::string& box = view.messages[0];
  EXPECT_EQ(std::count(box.begin(), box.end(), '\n'), 20);
  EXPECT_TRUE(box.ends_with("\nほか 10 件")) << box;
  EXPECT_TRUE(dm.PluginList.empty());
  EXPECT_TRUE(ChildProcesses().empty());
}

TEST_F(PluginCommandsTest, StartUpGoesOnPastPluginsThatCrashHangOrOverstate) {
  const std::string crash = Install("ID_CRASH", "a_crash.QPI");
  const std::string hang = Install("ID_HANG", "b_hang.QPI");
  const std::string huge = Install("HUGE_IMAGE", "c_huge.QPI");
  const std::string beta = Install("VALID", "d_beta.QPI");
  WriteSettings();
  TQVRDM& dm = Make();
  dm.PluginHosts.limits.identify = std::chrono::milliseconds(1500);
  dm.QVRDMCreate();
  // Start-up finished: the first tick ran, the timer is on, the splash is gone.
  EXPECT_TRUE(timer.Enabled());
  EXPECT_FALSE(view.Lines("SplashRelease").empty());
  EXPECT_FALSE(view.Lines("SplashProgress 100").empty());
  EXPECT_TRUE(view.errors.empty());
  EXPECT_EQ(dm.PluginList, (std::vector<std::string>{huge, beta}));
  ASSERT_EQ(view.plugin_buttons.size(), 2u);
  EXPECT_TRUE(view.plugin_buttons[0].image.empty()) << "the program's own picture";
  EXPECT_EQ(view.messages,
            (std::vector<std::string>{
                "プラグインロードエラー: [" + crash +
                "] は QVR_Plugin_ID の実行中に異常終了しました: SIGSEGV (Segmentation fault)\n[" + hang +
                "] が応答しません: QVR_Plugin_ID が 1.5 秒たっても終わらないため終了させました\n[" + huge +
                "] のボタン画像は大きすぎるため使いません（9223372036854775807 バイト、65536 バイトまで）"}));
  EXPECT_EQ(ChildProcesses().size(), 2u) << "the hung host was killed";
  dm.QVRDMDestroy();
  EXPECT_TRUE(SettingsSaved());
}

TEST_F(PluginCommandsTest, RunsKeepTheirStateAndFailuresAreShown) {
  const std::string beta = Install("VALID", "a_beta.QPI");
  const std::string no_exec = Install("NO_EXEC", "b_no_exec.QPI");
  const std::string exec_throws = Install("EXEC_THROWS", "c_exec_throws.QPI");
  TQVRDM& dm = StartQuietly();
  int pending = 0;
  view.on_pending_work = [&] { ++pending; };
  dm.PluginClick(view.plugin_buttons[0].tag);         // the button
  dm.PluginClick(dm.QVRMenu.PluginEntries()[0].tag);  // the menu entry: the same library, the same host
  EXPECT_EQ(CallsOf(beta), (PluginCalls{2, 2}));
  EXPECT_GE(pending, 2);
  EXPECT_FALSE(dm.RunPlugin(no_exec));
  EXPECT_FALSE(dm.RunPlugin(exec_throws));
  EXPECT_EQ(view.messages,
            (std::vector<std::string>{
                "プラグインロードエラー: [" + no_exec + "] を実行できません: undefined symbol: QVR_Plugin_Exec",
                "プラグインロードエラー: 「EXEC_THROWS」[" + exec_throws +
                    "] の QVR_Plugin_Exec で例外が発生しました: std::logic_error: failed"}));
  EXPECT_EQ(ChildProcesses().size(), 3u) << "a plug-in that threw stays loaded";
}

TEST_F(PluginCommandsTest, ARunThatCrashesOrHangsCostsABoxAndTheSettingsStillSave) {
  const std::string crash = Install("EXEC_CRASH", "a_crash.QPI");
  const std::string hang = Install("EXEC_HANG", "b_hang.QPI");
  WriteSettings();
  TQVRDM& dm = Make();
  dm.PluginHosts.limits.run = std::chrono::milliseconds(300);
  dm.QVRDMCreate();
  int pending = 0;
  view.on_pending_work = [&] { ++pending; };
  ASSERT_EQ(dm.PluginList.size(), 2u);

  dm.PluginClick(0);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0], "プラグインロードエラー: 「EXEC_CRASH」[" + crash +
                                  "] は QVR_Plugin_Exec の実行中に異常終了しました: SIGSEGV (Segmentation fault)");
  // The user is asked about the one that does not return: "No" waits on, "Yes" ends it.
  view.answers = {MessageAnswer::No, MessageAnswer::Yes};
  EXPECT_FALSE(dm.RunPlugin(hang));
  ASSERT_EQ(view.messages.size(), 3u);
  for (int i : {1, 2}) {
    EXPECT_EQ(view.messages[i].rfind("プラグイン: 「EXEC_HANG」[" + hang + "] が応答しません: QVR_Plugin_Exec が ", 0),
              0u)
        << view.messages[i];
  }
  EXPECT_GT(pending, 10) << "the GUI's pending work ran while the plug-in did not answer";
  EXPECT_TRUE(ChildProcesses().empty());
  // Both stay listed: the next click starts a new host.
  EXPECT_EQ(dm.PluginList.size(), 2u);
  dm.QVRDMDestroy();
  EXPECT_TRUE(SettingsSaved());
}

TEST_F(PluginCommandsTest, ARefreshAskedForDuringARunComesAfterIt) {
  Install("VALID", "a_beta.QPI");
  TQVRDM& dm = StartQuietly();
  int calls = 0;
  view.on_pending_work = [&] {
    if (calls++ == 0) dm.ApplyOptions(dm.CurrentOptions());  // the options applied meanwhile
  };
  EXPECT_EQ(view.Lines("SetPluginButtons").size(), 2u);
  dm.PluginClick(0);
  EXPECT_EQ(view.Lines("SetPluginButtons").size(), 4u) << "one more refresh, after the run";
  EXPECT_EQ(view.plugin_buttons.size(), 1u);
}

TEST_F(PluginCommandsTest, RefreshAfterTheFolderWasEmptiedRemovesEverything) {
  const std::string beta = Install("VALID", "a_beta.QPI");
  TQVRDM& dm = StartQuietly();
  ASSERT_EQ(dm.PluginList.size(), 1u);
  std::filesystem::remove(beta);
  dm.ApplyOptions(dm.CurrentOptions());
  EXPECT_TRUE(dm.PluginList.empty());
  EXPECT_TRUE(dm.QVRMenu.PluginEntries().empty());
  EXPECT_TRUE(view.plugin_buttons.empty());
  EXPECT_FALSE(dm.QVRMenu.Enabled(MenuItemId::PluginMNU));
  EXPECT_TRUE(ChildProcesses().empty()) << "the host of a plug-in no longer listed ends";
}

TEST(PluginPadLayout, ThreePluginsAndTheExitButtonInARow) {
  PluginPadLayout layout = LayOutPluginPad(3);
  ASSERT_EQ(layout.buttons.size(), 3u);
  EXPECT_EQ(layout.buttons[0], (PadRect{2, 2, 21, 21}));
  EXPECT_EQ(layout.buttons[1].left, 23);
  EXPECT_EQ(layout.buttons[2].left, 44);
  EXPECT_EQ(layout.exit, (PadRect{65, 2, 21, 21}));
  EXPECT_EQ(layout.client_width, 88);
  EXPECT_EQ(layout.client_height, 25);
}

TEST(PluginPadLayout, OpensBelowTheAnchorOrAboveItAndStaysOnTheScreen) {
  const PadRect control_pad{100, 200, 500, 53};
  EXPECT_EQ(PlacePluginPad(94, 31, 480, control_pad, 1024, 768), (PadRect{480, 253, 94, 31}));
  // Near the bottom edge the pad opens above the control pad.
  const PadRect low_pad{100, 720, 500, 40};
  EXPECT_EQ(PlacePluginPad(94, 31, 480, low_pad, 1024, 768), (PadRect{480, 689, 94, 31}));
  // Near the right edge it is pulled in so that it ends at the screen edge.
  EXPECT_EQ(PlacePluginPad(94, 31, 1000, control_pad, 1024, 768).left, 930);
}

}  // namespace
}  // namespace qvr::test
