// The controller's plug-in commands with real plug-in libraries in a temporary plug-in folder:
// the scan, the menu entries and pad buttons with their tags, runs, refreshes and every error
// box; and the plug-in pad's geometry.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"
#include "plugins/PluginPadLayout.h"

namespace qvr::test {
namespace {

class PluginCommandsTest : public ControllerFixture {
 protected:
  PluginCommandsTest() { std::filesystem::create_directories(dir / "Plugin"); }

  // Copies the test plug-in of `kind` into the plug-in folder as `name`; returns its path.
  std::string Install(const std::string& kind, const std::string& name) {
    const auto path = dir / "Plugin" / name;
    std::filesystem::copy_file(std::string(QVR_TEST_PLUGIN_DIR) + "/" + kind + ".QPI", path);
    return path.string();
  }

  static int Counter(const std::string& path, const char* name) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr) return 0;
    auto counter = reinterpret_cast<int (*)()>(dlsym(library, name));
    const int value = counter ? counter() : -1;
    dlclose(library);
    return value;
  }

  TQVRDM& StartQuietly() {
    WriteSettings();
    return Started();
  }
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
  EXPECT_EQ(Counter(beta, "QVR_Test_IdCalls"), 2);
  EXPECT_EQ(Counter(alpha, "QVR_Test_IdCalls"), 2);
  EXPECT_EQ(Counter(declines, "QVR_Test_IdCalls"), 1);
  // The refresh comes between 80 and 100 on the splash screen.
  auto at = [&](const std::string& line) { return std::find(view.log.begin(), view.log.end(), line) - view.log.begin(); };
  EXPECT_LT(at("SplashProgress 80 Please wait..."), at("SetPluginButtons 2"));
  EXPECT_LT(at("SetPluginButtons 2"), at("SplashProgress 100 Please wait..."));
}

TEST_F(PluginCommandsTest, EveryRejectedLibraryHasItsErrorBox) {
  const std::string junk = (dir / "Plugin" / "a_junk.QPI").string();
  WriteFile(junk, "not a library");
  const std::string no_id = Install("NO_ID", "b_no_id.QPI");
  const std::string throws = Install("THROWS", "c_throws.QPI");
  const std::string bad_name = Install("BADNAME", "d_bad_name.QPI");
  Install("VALID_IMAGE", "e_alpha.QPI");
  const std::string duplicate = Install("DUPLICATE", "f_alpha_again.QPI");
  TQVRDM& dm = StartQuietly();
  const std::string caption = "プラグインロードエラー: ";
  EXPECT_EQ(view.messages, (std::vector<std::string>{
                               caption + "[" + junk + "] をロードできません",
                               caption + "[" + no_id + "] はＱＶＲ用のプラグインではありません",
                               caption + "std::runtime_error",
                               caption + "[" + bad_name + "] のプラグイン名「9 lives」は使えません",
                               caption + "[" + duplicate + "] のプラグイン名「Alpha」は他のプラグインが使っています",
                           }));
  EXPECT_EQ(dm.PluginList.size(), 1u);
  EXPECT_EQ(Counter(duplicate, "QVR_Test_IdCalls"), 1);
}

TEST_F(PluginCommandsTest, RunsKeepTheirStateAndFailuresAreShown) {
  const std::string beta = Install("VALID", "a_beta.QPI");
  const std::string no_exec = Install("NO_EXEC", "b_no_exec.QPI");
  const std::string exec_throws = Install("EXEC_THROWS", "c_exec_throws.QPI");
  TQVRDM& dm = StartQuietly();
  int pending = 0;
  view.on_pending_work = [&] { ++pending; };
  dm.PluginClick(view.plugin_buttons[0].tag);        // the button
  dm.PluginClick(dm.QVRMenu.PluginEntries()[0].tag);  // the menu entry: the same library
  EXPECT_EQ(Counter(beta, "QVR_Test_ExecCalls"), 2);
  EXPECT_EQ(pending, 2);
  EXPECT_FALSE(dm.RunPlugin(no_exec));
  EXPECT_FALSE(dm.RunPlugin(exec_throws));
  EXPECT_EQ(view.messages, (std::vector<std::string>{"プラグインロードエラー: [" + no_exec + "] を実行できません",
                                                     "プラグインロードエラー: std::logic_error"}));
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
