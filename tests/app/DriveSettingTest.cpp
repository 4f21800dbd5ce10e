// Changing the "Drive" setting through the options: the device layer closes the old device and
// opens the new one at once, the monitor takes it as a disc change, and a drive that cannot be
// used says why in the status texts. On the simulated drive and on the cdio driver with
// generated images played through SDL's disk audio driver.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/ControllerFixture.h"
#include "audio/SdlAudioSink.h"
#include "cdda/CdioDrive.h"
#include "support/CdImage.h"

namespace qvr::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kOther = "/images/other.cue";

// Apply of the options dialog with another "Drive" setting and everything else as it is.
void ApplyDrive(TQVRDM& dm, const std::string& setting) {
  TOptionValues values = dm.CurrentOptions();
  values.drive = setting;
  dm.ApplyOptions(values);
}

class DriveSettingTest : public ControllerFixture {};

TEST_F(DriveSettingTest, ApplyMovesThePlayerToTheNewDriveAsADiscChange) {
  WriteSettings();
  Register(Toc({60, 60}), "First", "A");
  Register(Toc({30, 30, 30}), "Second", "B");
  drive.InsertDisc(Toc({60, 60}));
  other_drives[kOther].InsertDisc(Toc({30, 30, 30}));
  TQVRDM& dm = Started();
  ASSERT_EQ(dm.Disc.DiscName.ToUtf8(), "First");
  dm.PlayMNUClick();
  ASSERT_EQ(dm.CD.CDState, cdPlaying);
  dm.QVRMenu.SetChecked(MenuItemId::RepeatOneMNU, true);
  dm.RepeatOneUnlock = 1;  // released when the disc is taken out

  view.options_action = [&](TOptionValues& values) {
    values.drive = kOther;
    return ModalResult::Ok;
  };
  dm.OptionMNUClick();

  EXPECT_EQ(drive_names, (std::vector<std::string>{"", kOther}));
  EXPECT_FALSE(drive.IsOpen());
  EXPECT_EQ(drive.Requests.back(), "Close");
  EXPECT_EQ(dm.Drive, kOther);
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  EXPECT_EQ(dm.Disc.DiscName.ToUtf8(), "Second");
  EXPECT_EQ(dm.Disc.TrackCount, 3);
  EXPECT_EQ(dm.PlayOrder, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_FALSE(dm.QVRMenu.Checked(MenuItemId::RepeatOneMNU));
  EXPECT_EQ(view.lyrics_text, "[Second]  B");
  EXPECT_EQ(view.tray_icon, "STOP");

  // The same setting applied again changes nothing.
  ApplyDrive(dm, kOther);
  EXPECT_EQ(drive_names.size(), 2u);

  // The new choice is what the settings file keeps.
  dm.QVRDMDestroy();
  EXPECT_NE(ReadFile(dir / "Qvr.ini").find("Drive=\xA2/images/other.cue\xA3"), std::string::npos);
}

TEST_F(DriveSettingTest, AutoPlayStartsTheNewDisc) {
  WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=1\r\nAutoDLGOpen=0\r\n");
  other_drives[kOther].InsertDisc(Toc({30, 30}));
  TQVRDM& dm = Started();
  ASSERT_NE(dm.CD.CDState, cdStopped);  // the default drive has no disc
  ApplyDrive(dm, kOther);
  EXPECT_EQ(dm.CD.CDState, cdPlaying);
  EXPECT_EQ(PlayRequests(), 0);  // the old drive got no play request
}

TEST_F(DriveSettingTest, ADriveThatCannotBeOpenedSaysWhy) {
  WriteSettings();
  drive.InsertDisc(Toc({60}));
  other_drives[kOther].RefuseOpen(true);
  TQVRDM& dm = Started();
  ApplyDrive(dm, kOther);
  EXPECT_EQ(dm.CD.CDState, cdNotReady);
  EXPECT_EQ(view.lyrics_text, "シミュレーションのドライブが開けません　" + kChooseDriveAdvice);
  EXPECT_EQ(view.pad_caption, "ＣＤ－ＲＯＭドライブを使用できません");
  EXPECT_NE(view.tray_hint.find("シミュレーションのドライブが開けません"), std::string::npos) << view.tray_hint;
  EXPECT_EQ(view.tray_icon, "NOTREADY");

  // Back to a drive that works: its disc is found, the reason goes.
  ApplyDrive(dm, "");
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  EXPECT_EQ(view.lyrics_text.find("使用できません"), std::string::npos) << view.lyrics_text;
}

// The two ways forward the menu offers without a usable drive: the options dialog opened at the
// drive setting, whose choice is applied like any other; and the installed demo disc, played
// for this run while the "Drive" setting stays.
TEST_F(DriveSettingTest, WithoutADriveTheMenuLeadsToTheDriveSettingOrTheDemoDisc) {
  const std::string demo = (dir / "demo" / "QvrDemo.cue").string();
  demo_disc = demo;
  WriteSettings();
  drive.RefuseOpen(true);
  other_drives[kOther].InsertDisc(Toc({30, 30}));
  other_drives[demo].InsertDisc(Toc({20, 20, 20}));
  TQVRDM& dm = Started();
  ASSERT_EQ(dm.CD.CDState, cdNotReady);

  view.options_action = [&](TOptionValues& values) {
    values.drive = kOther;
    return ModalResult::Ok;
  };
  dm.DriveSetupMNUClick();
  EXPECT_EQ(view.Lines("RunOptionsDialog Drive").size(), 1u);
  EXPECT_EQ(dm.Drive, kOther);
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  EXPECT_FALSE(dm.QVRMenu.Visible(MenuItemId::DriveSetupMNU));

  ApplyDrive(dm, "");
  ASSERT_EQ(dm.CD.CDState, cdNotReady);
  ASSERT_TRUE(dm.QVRMenu.Visible(MenuItemId::DemoDiscMNU));
  dm.DemoDiscMNUClick();
  EXPECT_EQ(drive_names.back(), demo);
  EXPECT_EQ(dm.CD.CDState, cdPlaying);
  EXPECT_EQ(dm.CD.CDTrackCount(), 3);
  EXPECT_EQ(dm.Drive, "");
  EXPECT_FALSE(dm.QVRMenu.Visible(MenuItemId::DemoDiscMNU));
}

TEST_F(DriveSettingTest, AChangeDuringALookupWaitsForTheNextTick) {
  WriteSettings();
  Register(Toc({45}), "Stored", "S");  // a record for the lookup to step over
  other_drives[kOther].InsertDisc(Toc({30, 30, 30}));
  TQVRDM& dm = Started();
  bool applied = false;
  progress.on_step = [&] {
    if (applied) return;
    applied = true;
    ApplyDrive(dm, kOther);
  };
  drive.InsertDisc(Toc({60, 60}));
  Tick();
  ASSERT_TRUE(applied);
  EXPECT_EQ(drive_names, (std::vector<std::string>{""}));  // the lookup still reads the old drive
  EXPECT_EQ(dm.Disc.TrackCount, 2);
  Tick();
  EXPECT_EQ(drive_names, (std::vector<std::string>{"", kOther}));
  EXPECT_EQ(dm.Disc.TrackCount, 3);
}

// The cdio driver: a factory that builds a drive per setting, as the program's entry does.
class RealDriveSettingTest : public ControllerFixture {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir / "played.raw").c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY");  // one buffer's length: the real pace, so that ticks see each track
  }
  void TearDown() override { unsetenv("SDL_AUDIODRIVER"); }

  TQVRDM& StartOn(const std::string& setting) {
    sink = std::make_unique<SdlAudioSink>();
    WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=1\r\nAutoDLGOpen=0\r\nDrive=" + setting + "\r\n");
    controller = std::make_unique<TQVRDM>(TQVRDMPorts{view,
                                                      timer,
                                                      random,
                                                      wallpaper,
                                                      [this](const std::string& name) -> CDDevice& {
                                                        drive_names.push_back(name);
                                                        cdio.reset();
                                                        cdio = std::make_unique<CdioDrive>(name, *sink);
                                                        return *cdio;
                                                      },
                                                      today,
                                                      progress,
                                                      {"qvr", dir.Path(), dir.Path()},
                                                      {}});
    controller->QVRDMCreate();
    return *controller;
  }

  std::unique_ptr<SdlAudioSink> sink;
  std::unique_ptr<CdioDrive> cdio;  // destroyed before the sink it plays through
};

TEST_F(RealDriveSettingTest, ApplyPlaysTheNewImageAndAMissingOneSaysWhy) {
  std::filesystem::create_directories(dir / "one");
  std::filesystem::create_directories(dir / "two");
  GeneratedImage first = WriteImage(dir / "one", {{150}, {150}});
  GeneratedImage second = WriteImage(dir / "two", {{75}, {75}, {75}});
  TQVRDM& dm = StartOn(first.cue.string());
  ASSERT_EQ(dm.CD.CDState, cdPlaying) << dm.CD.CDProblem();
  ASSERT_EQ(dm.Disc.TrackCount, 2);

  ApplyDrive(dm, second.cue.string());
  ASSERT_EQ(dm.CD.CDState, cdPlaying) << dm.CD.CDProblem();
  EXPECT_EQ(dm.Disc.TrackCount, 3);
  EXPECT_EQ(cdio->CurrentImage(), second.cue);

  // The second image's sound reaches the output: wait for its range to end.
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < deadline && dm.CD.CDState == cdPlaying) {
    std::this_thread::sleep_for(200ms);
    dm.TimerTimer();
  }
  EXPECT_EQ(dm.CD.CDState, cdStopped);
  const std::string played = WithoutSilence(ReadFile(dir / "played.raw"));
  const std::string expected = second.Bytes(second.toc.Tracks[0].Start, second.toc.LeadOut);
  ASSERT_EQ(played.size(), expected.size());
  EXPECT_TRUE(played == expected);

  const std::string missing = (dir / "gone.cue").string();
  ApplyDrive(dm, missing);
  EXPECT_EQ(dm.CD.CDState, cdNotReady);
  EXPECT_NE(view.lyrics_text.find("CDイメージが見つかりません: " + missing), std::string::npos) << view.lyrics_text;
  EXPECT_NE(view.tray_hint.find(missing), std::string::npos) << view.tray_hint;
}

}  // namespace
}  // namespace qvr::test
