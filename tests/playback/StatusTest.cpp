// Status presentation: enabled menu items by drive state, and the texts of the pad caption,
// the lyrics line and the tray hint for every combination of known and unknown names.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"

namespace qvr::test {
namespace {

using StatusTest = ControllerFixture;

TEST_F(StatusTest, ControlsAreEnabledByState) {
  using enum MenuItemId;
  const MenuItemId items[] = {PlayMNU,     StopMNU,     PauseMNU,      NextMNU,
                              PreviousMNU, PlayListMNU, JacketViewMNU, LibraryEditMNU};
  struct {
    const char* name;
    std::function<void(TQVRDM&)> reach;
    std::vector<bool> enabled;  // in the order of `items`
  } cases[] = {
      {"NotReady", [&](TQVRDM&) { drive.SetNotReady(true); }, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"Open", [&](TQVRDM&) { drive.OpenTray(); }, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"Stopped", [&](TQVRDM&) {}, {1, 0, 0, 0, 0, 1, 1, 1}},
      {"Playing", [&](TQVRDM& dm) { dm.PlayMNUClick(); }, {0, 1, 1, 1, 1, 1, 1, 1}},
      {"Paused",
       [&](TQVRDM& dm) {
         dm.PlayMNUClick();
         dm.PauseMNUClick();
       },
       {0, 1, 1, 1, 1, 1, 1, 1}},
  };
  for (auto& c : cases) {
    WriteSettings();
    drive.SetNotReady(false);
    drive.InsertDisc(Toc({10, 10}));
    TQVRDM& dm = Started();
    c.reach(dm);
    Tick();
    for (std::size_t i = 0; i < std::size(items); ++i) {
      EXPECT_EQ(dm.QVRMenu.Enabled(items[i]), c.enabled[i]) << c.name << " " << TQVRMenu::Name(items[i]);
    }
    EXPECT_TRUE(dm.QVRMenu.Enabled(EjectMNU));
  }
}

struct TextCase {
  const char* name;
  std::string disc, artist, title;
  bool playing;
  std::string pad, line, hint;
};

class StatusTexts : public StatusTest, public testing::WithParamInterface<TextCase> {};

TEST_P(StatusTexts, ComposeFromTheDiscRecord) {
  const TextCase& c = GetParam();
  Register(Toc({10}), c.disc, c.artist, {c.title});
  WriteSettings();
  drive.InsertDisc(Toc({10}));
  TQVRDM& dm = Started();
  if (c.playing) dm.PlayMNUClick();
  EXPECT_EQ(view.pad_caption, c.pad);
  EXPECT_EQ(view.lyrics_text, c.line);
  EXPECT_EQ(view.tray_hint, c.hint);
  EXPECT_EQ(dm.TitleShown, c.playing);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatusTexts,
    testing::Values(TextCase{"StoppedAllKnown", "Alpha", "Beta", "Gamma", false, "[Alpha]  Beta", "[Alpha]  Beta",
                             "[Alpha]  Beta"},
                    TextCase{"StoppedTitleOnly", "Alpha", "", "", false, "[Alpha] アーティスト名未登録",
                             "[Alpha] アーティスト名未登録", "[Alpha] アーティスト名未登録"},
                    TextCase{"StoppedArtistOnly", "", "Beta", "", false, "ＣＤ名未登録  Beta", "ＣＤ名未登録  Beta",
                             "ＣＤ名未登録  Beta"},
                    TextCase{"StoppedAmpersand", "R&B", "A&B", "", false, "[R&B]  A&B", "[R&&B]  A&&B", "[R&&B]  A&&B"},
                    TextCase{"PlayingAllKnown", "Alpha", "Beta", "Gamma", true, "[Gamma]", "[Gamma]", "[Alpha]  Beta"},
                    TextCase{"PlayingNoTitle", "Alpha", "Beta", "", true, "曲名未登録", "曲名未登録", "[Alpha]  Beta"},
                    TextCase{"PlayingAmpersand", "R&B", "", "Rock & Roll", true, "[Rock & Roll]", "[Rock && Roll]",
                             "[R&&B] アーティスト名未登録"}),
    CaseName());

TEST_F(StatusTest, UnknownDiscAndEmptyDrive) {
  WriteSettings();
  TQVRDM& dm = Started();
  EXPECT_EQ(view.pad_caption, "ＣＤをセットしてください");
  EXPECT_EQ(view.tray_hint, "No Disc");
  drive.InsertDisc(Toc({10}));
  Tick();
  EXPECT_EQ(view.pad_caption, "ＣＤ名未登録 アーティスト名未登録");
  drive.SetNotReady(true);
  Tick();
  dm.UpdateStatus();
  EXPECT_EQ(view.pad_caption, "ＣＤ－ＲＯＭドライブを使用できません");
  EXPECT_EQ(view.lyrics_text, "ＣＤ－ＲＯＭドライブを使用できません　" + kChooseDriveAdvice);
  EXPECT_EQ(view.tray_hint, "Not Ready\n" + kChooseDriveAdvice);
}

// Without a usable drive the texts say what to do and the menu offers it: the drive setting
// always, the demo disc only when one is installed. A disc that arrives takes both away.
TEST_F(StatusTest, NoUsableDriveAdvisesAndOffersAWayForward) {
  const std::filesystem::path sheet = dir / "demo" / "QvrDemo.cue";
  for (const bool demo : {false, true}) {
    SCOPED_TRACE(demo ? "demo disc installed" : "no demo disc");
    demo_disc = demo ? sheet : std::filesystem::path();
    drive.RefuseOpen(true);
    WriteSettings();
    TQVRDM& dm = Started();
    const std::string advice = demo ? kChooseDriveOrDemoAdvice : kChooseDriveAdvice;
    EXPECT_EQ(view.lyrics_text, "シミュレーションのドライブが開けません　" + advice);
    EXPECT_EQ(view.tray_hint, "Not Ready: シミュレーションのドライブが開けません\n" + advice);
    EXPECT_TRUE(dm.QVRMenu.Visible(MenuItemId::DriveSetupMNU));
    EXPECT_EQ(dm.QVRMenu.Visible(MenuItemId::DemoDiscMNU), demo);
    EXPECT_TRUE(dm.QVRMenu.Visible(MenuItemId::OptionMNU));

    drive.RefuseOpen(false);
    drive.InsertDisc(Toc({10}));
    Tick();
    EXPECT_EQ(view.lyrics_text, "ＣＤ名未登録 アーティスト名未登録");
    EXPECT_FALSE(dm.QVRMenu.Visible(MenuItemId::DriveSetupMNU));
    EXPECT_FALSE(dm.QVRMenu.Visible(MenuItemId::DemoDiscMNU));
  }
}

// A track recorded with pre-emphasis says so while it plays: the track's caption and the tray
// hint carry the note, the unflagged track before it does not. Switching the option off in the
// options dialog takes the note away at once and tells the device; the setting is kept under
// "Other"/"DeEmphasis" and read back from there.
TEST_F(StatusTest, DeEmphasisedTrackSaysSoWhilePlaying) {
  DiscToc toc = Toc({10, 10});
  toc.Tracks[1].PreEmphasis = true;
  Register(toc, "Alpha", "Beta", {"One", "Two"});
  WriteSettings();
  drive.InsertDisc(toc);
  TQVRDM& dm = Started();
  EXPECT_TRUE(dm.DeEmphasis);
  dm.PlayMNUClick();
  EXPECT_EQ(view.pad_caption, "[One]");
  EXPECT_EQ(view.tray_hint, "[Alpha]  Beta");
  PlayFor(11000);
  EXPECT_EQ(view.pad_caption, "[Two] (デエンファシス)");
  EXPECT_EQ(view.lyrics_text, "[Two] (デエンファシス)");
  EXPECT_EQ(view.tray_hint, "[Alpha]  Beta (デエンファシス)");

  TOptionValues values = dm.CurrentOptions();
  EXPECT_TRUE(values.de_emphasis);
  values.de_emphasis = false;
  dm.ApplyOptions(values);
  EXPECT_FALSE(drive.DeEmphasisOn());
  EXPECT_EQ(view.pad_caption, "[Two]");
  EXPECT_EQ(view.tray_hint, "[Alpha]  Beta");
  dm.QVRDMDestroy();
  EXPECT_NE(ReadFile(dir / "Qvr.ini").find("DeEmphasis=0"), std::string::npos);

  Started();
  EXPECT_FALSE(controller->DeEmphasis);
  EXPECT_FALSE(drive.DeEmphasisOn());
}

}  // namespace
}  // namespace qvr::test
