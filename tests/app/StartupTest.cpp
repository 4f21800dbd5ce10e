// Start-up and shut-down of the controller: the order of the steps, the splash screen, the
// first tick by hand, and errors that end a sequence without ending the program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "app/ControllerFixture.h"

namespace qvr::test {
namespace {

using StartupTest = ControllerFixture;

// True when `expected` occurs in `log` in this order (other lines may come between).
testing::AssertionResult InOrder(const std::vector<std::string>& log, const std::vector<std::string>& expected) {
  std::size_t at = 0;
  for (const std::string& line : log) {
    if (at < expected.size() && line == expected[at]) ++at;
  }
  if (at == expected.size()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "missing or out of order: " << expected[at];
}

TEST_F(StartupTest, RunsTheSequenceInOrderAndTicksOnceByHand) {
  WriteSettings();
  drive.InsertDisc(Toc({10, 10, 10}));
  TQVRDM& dm = Started();
  EXPECT_TRUE(InOrder(view.log,
                      {"SplashCreate", "SplashProgress 0 Please wait...", "SplashProgress 20 Please wait...",
                       "PluginPadApplyHintSetting", "ActivateTray", "SplashProgress 40 Please wait...",
                       "SplashProgress 60 Please wait...", "ApplyLyricsAppearance", "SplashProgress 80 Please wait...",
                       "SplashProgress 100 Please wait...", "SetTrayIcon STOP", "SetPadGeometry", "SplashRelease"}));
  EXPECT_EQ(view.splash.version, "1.2");
  EXPECT_EQ(view.splash.release, "2");
  EXPECT_EQ(view.splash.build, "249");
  EXPECT_TRUE(random.seeded);
  EXPECT_EQ(timer.changes, std::vector<bool>{true});
  EXPECT_EQ(dm.DialogState, 0);
  EXPECT_EQ(dm.PlayListName, "Default");
  EXPECT_EQ(drive_names, std::vector<std::string>{""});
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  EXPECT_EQ(dm.PlayOrder, (std::vector<std::string>{"1", "2", "3"}));
  // The database was pointed at the configured folder: the first lookup created the files there.
  EXPECT_TRUE(std::filesystem::exists(dir / "DB" / "MasterDB.QVR"));
}

TEST_F(StartupTest, FirstStartMakesTheMissingDatabaseFolder) {
  std::filesystem::remove_all(dir / "DB");
  WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");
  drive.InsertDisc(Toc({10, 10}));
  Started();
  EXPECT_TRUE(view.errors.empty()) << view.errors.front();
  EXPECT_TRUE(std::filesystem::exists(dir / "DB" / "MasterDB.QVR"));
}

TEST_F(StartupTest, RegistrationDialogAtStartHidesAndShowsTheSplash) {
  WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=1\r\n");
  drive.InsertDisc(Toc({10, 10}));
  int state_in_dialog = -1;
  view.dialog_actions[DialogKind::Registration] = [&] {
    state_in_dialog = controller->DialogState;
    return ModalResult::Cancel;
  };
  Started();
  EXPECT_EQ(state_in_dialog, 5);
  EXPECT_TRUE(InOrder(view.log, {"SplashProgress 100 Please wait...", "SplashHide", "RunDialog 5", "SplashShow",
                                 "SetPadGeometry", "SplashRelease"}));
  EXPECT_EQ(controller->DialogState, 0);
}

TEST_F(StartupTest, ErrorEndsTheSequenceReleasesTheSplashAndKeepsTheProgramUsable) {
  WriteFile(dir / "Qvr.ini", "[Lyrics]\r\nFont.Color=0xZZ\r\n[Other]\r\nAutoPlay=1\r\n");
  drive.InsertDisc(Toc({10}));
  TQVRDM& dm = Started();
  EXPECT_EQ(view.errors, std::vector<std::string>{(dir / "Qvr.ini").string() +
                                                  " の [Lyrics] Font.Color: '$ZZ' は整数ではありません"});
  EXPECT_TRUE(view.Lines("ActivateTray").empty());
  EXPECT_TRUE(view.Lines("SetPadGeometry").empty());
  EXPECT_EQ(view.Lines("SplashRelease").size(), 1u);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_TRUE(drive.Requests.empty());
  // Settings after the font keep the controller's initial values.
  EXPECT_FALSE(dm.AutoPlay);
  EXPECT_TRUE(dm.DataBasePath.empty());
  // The tray menu still opens: the start-up state is not left behind.
  EXPECT_EQ(dm.DialogState, 0);
  dm.TaskTrayClick(TQVRDM::MouseButton::Right);
  EXPECT_EQ(view.Lines("PopupMenu").size(), 1u);
}

struct FirstTickCase {
  const char* name;
  std::function<void(SimulatedDrive&)> script;
};

class FirstTickError : public StartupTest, public testing::WithParamInterface<FirstTickCase> {};

TEST_P(FirstTickError, StillFinishesTheStartUp) {
  WriteSettings("AutoPlay=1\r\n", "[Control Pad]\r\nLeft=321\r\n");
  drive.InsertDisc(Toc({10, 10}));
  GetParam().script(drive);
  TQVRDM& dm = Started();
  EXPECT_EQ(view.errors.size(), 1u);
  EXPECT_EQ(view.Lines("SetPadGeometry").size(), 1u);
  EXPECT_EQ(view.pad.window.left, 321);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(view.Lines("SplashRelease").size(), 1u);
  EXPECT_EQ(dm.DialogState, 0);
  // The restored layout is what goes back to the file.
  dm.QVRDMDestroy();
  EXPECT_NE(ReadFile(dir / "Qvr.ini").find("Left=321\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, FirstTickError,
                         testing::Values(FirstTickCase{"NoAudioOutput", [](SimulatedDrive& d) { d.FailPlay(true); }},
                                         FirstTickCase{"UnreadableIdentity",
                                                       [](SimulatedDrive& d) { d.SetMediaIdentity("no number"); }}),
                         CaseName());

TEST_F(StartupTest, SettingsThatFailedToLoadAreNotOverwrittenAtShutDown) {
  const std::string text = "[Lyrics]\r\nFont.Color=0xZZ\r\n[Control Pad]\r\nLeft=321\r\n[Other]\r\nAutoPlay=0\r\n";
  WriteFile(dir / "Qvr.ini", text);
  TQVRDM& dm = Started();
  ASSERT_EQ(view.errors.size(), 1u);
  dm.QVRDMDestroy();
  EXPECT_EQ(view.errors.size(), 1u);  // a device never bound is nothing to close
  EXPECT_EQ(ReadFile(dir / "Qvr.ini"), text);
}

TEST_F(StartupTest, ReadOnlySettingsFileIsKeptAndReportedOnceAtStartUp) {
  WriteSettings();
  const std::string text = ReadFile(dir / "Qvr.ini");
  std::filesystem::permissions(dir / "Qvr.ini",
                               std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  TQVRDM& dm = Started();
  const std::string cannot_write = (dir / "Qvr.ini").string() + " に書き込めません: " + std::strerror(EACCES);
  EXPECT_EQ(view.errors, std::vector<std::string>{cannot_write});
  EXPECT_TRUE(InOrder(
      view.log, {"SplashProgress 0 Please wait...", "ShowError " + cannot_write, "SplashProgress 20 Please wait..."}));
  // The save at the end fails the same way: logged, not asked about again.
  dm.RepeatAllMNUClick();
  dm.QVRDMDestroy();
  EXPECT_EQ(view.errors.size(), 1u);
  EXPECT_EQ(view.logged, std::vector<std::string>{cannot_write});
  EXPECT_EQ(ReadFile(dir / "Qvr.ini"), text);
  EXPECT_EQ(std::filesystem::status(dir / "Qvr.ini").permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
}

// A settings file that cannot be read (a FIFO would block the reader for good) is said at
// start-up with its reason; the program starts on the defaults.
TEST_F(StartupTest, UnreadableSettingsFileIsReportedAtStartUp) {
  ASSERT_EQ(mkfifo((dir / "Qvr.ini").c_str(), 0644), 0);
  drive.InsertDisc(Toc({10}));
  TQVRDM& dm = Started();
  ASSERT_FALSE(view.errors.empty());
  EXPECT_EQ(view.errors[0], (dir / "Qvr.ini").string() + " を読み込めません: 通常のファイルではありません");
  EXPECT_TRUE(dm.AutoPlay);
  EXPECT_TRUE(timer.Enabled());
  dm.QVRDMDestroy();
  EXPECT_FALSE(view.logged.empty());
}

TEST_F(StartupTest, LinkedSettingsFileIsSavedThroughTheLink) {
  std::filesystem::create_directories(dir / "dotfiles");
  WriteFile(dir / "dotfiles" / "qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");
  std::filesystem::create_symlink("dotfiles/qvr.ini", dir / "Qvr.ini");
  TQVRDM& dm = Started();
  dm.RepeatAllMNUClick();
  dm.QVRDMDestroy();
  EXPECT_TRUE(view.errors.empty());
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "Qvr.ini"));
  EXPECT_NE(ReadFile(dir / "dotfiles" / "qvr.ini").find("PlayMode=2\r\n"), std::string::npos);
}

TEST_F(StartupTest, ShutDownClosesTheDeviceSavesSettingsThenThePads) {
  WriteSettings();
  drive.InsertDisc(Toc({10}));
  TQVRDM& dm = Started();
  view.log.clear();
  dm.QVRDMDestroy();
  EXPECT_EQ(drive.Requests.back(), "Close");
  EXPECT_TRUE(InOrder(view.log, {"PluginPadSave", "PadGeometry"}));
  EXPECT_TRUE(view.errors.empty());
  const std::string saved = ReadFile(dir / "Qvr.ini");
  EXPECT_NE(saved.find("AutoPlay=0\r\n"), std::string::npos);
  EXPECT_NE(saved.find("PlayMode=0\r\n"), std::string::npos);
  EXPECT_TRUE(dm.PlayOrder.empty());
}

TEST_F(StartupTest, ShutDownErrorIsShownAndSkipsTheRest) {
  WriteSettings();
  TQVRDM& dm = Started();
  ASSERT_TRUE(view.errors.empty());
  // The file becomes unwritable after start-up: the failure is news, shown in a box.
  std::filesystem::remove(dir / "Qvr.ini");
  std::filesystem::create_directory(dir / "Qvr.ini");
  view.log.clear();
  dm.QVRDMDestroy();
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_EQ(view.errors[0].rfind((dir / "Qvr.ini").string() + " に書き込めません: ", 0), 0u) << view.errors[0];
  EXPECT_TRUE(view.logged.empty());
  EXPECT_TRUE(view.Lines("PluginPadSave").empty());
  EXPECT_TRUE(view.Lines("PadGeometry").empty());
}

}  // namespace
}  // namespace qvr::test
