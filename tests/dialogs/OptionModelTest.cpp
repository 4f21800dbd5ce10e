// The options dialog's model: snapshot, the changed state each control's edit sets, undo,
// defaults, apply (also through the real controller, where a cancel afterwards keeps what was
// applied), and the folder and drive choices with their checks on real folders.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"
#include "dialogs/OptionModel.h"
#include "support/CaseName.h"
#include "support/RecordingFileDialogs.h"
#include "support/TempDir.h"
#include "util/ShiftJis.h"

namespace qvr::test {
namespace {

namespace fs = std::filesystem;

TOptionValues Opened() {
  TOptionValues values;
  values.font = {"Sans", 12, 1, 0x00FF00FF};
  values.background = 0x00123456;
  values.data_base_path = "/db/";
  values.plugin_path = "/plugins/";
  values.drive = "/images/a.cue";
  return values;
}

class OptionModelTest : public testing::Test {
 protected:
  OptionModel Model(bool apply_ok = true) {
    TOptionValues defaults;
    defaults.data_base_path = "/program/DB/";
    defaults.plugin_path = "/program/Plugin/";
    return OptionModel(Opened(), defaults, dir.Path(), [this, apply_ok](const TOptionValues& values) {
      applied.push_back(values);
      return apply_ok;
    });
  }
  static bool Agree(const std::string&) { return true; }

  TempDir dir;
  std::vector<TOptionValues> applied;
  RecordingFileDialogs port;
  FileDialogs files{port};
};

// Every control of the four pages, as the edit its change makes.
struct ControlCase {
  std::string name;
  std::function<void(TOptionValues&)> edit;
  friend void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.name; }
};

class EachControlTest : public OptionModelTest, public testing::WithParamInterface<ControlCase> {};

TEST_P(EachControlTest, EnablesApplyAndUndoAndIsUndoneAndApplied) {
  OptionModel model = Model();
  ASSERT_FALSE(model.Changed());
  model.Change(GetParam().edit);
  EXPECT_TRUE(model.Changed());
  EXPECT_FALSE(model.Values() == Opened());
  model.Undo();
  EXPECT_FALSE(model.Changed());
  EXPECT_EQ(model.Values(), Opened());

  model.Change(GetParam().edit);
  const TOptionValues edited = model.Values();
  ASSERT_TRUE(model.Apply());
  ASSERT_EQ(applied.size(), 1u);
  EXPECT_EQ(applied[0], edited);
  EXPECT_EQ(model.Snapshot(), edited);
  EXPECT_FALSE(model.Changed());
}

INSTANTIATE_TEST_SUITE_P(
    Controls, EachControlTest,
    testing::Values(ControlCase{"Font", [](TOptionValues& v) { v.font.Name = "Serif"; }},
                    ControlCase{"FontColor", [](TOptionValues& v) { v.font.Color = 0x000000FF; }},
                    ControlCase{"Background", [](TOptionValues& v) { v.background = 0x00FFFFFF; }},
                    ControlCase{"LyricsStayOnTop", [](TOptionValues& v) { v.lyrics_stay_on_top = false; }},
                    ControlCase{"PadStatus", [](TOptionValues& v) { v.pad_status = false; }},
                    ControlCase{"PadStayOnTop", [](TOptionValues& v) { v.pad_stay_on_top = false; }},
                    ControlCase{"DockSave", [](TOptionValues& v) { v.pad_dock_info = false; }},
                    ControlCase{"PadChildrenStatus", [](TOptionValues& v) { v.pad_children_status = false; }},
                    ControlCase{"RepeatOne", [](TOptionValues& v) { v.repeat_one_unlock = 0; }},
                    ControlCase{"RepeatAll", [](TOptionValues& v) { v.repeat_all_unlock = 1; }},
                    ControlCase{"Random", [](TOptionValues& v) { v.random_unlock = 0; }},
                    ControlCase{"AutoPlay", [](TOptionValues& v) { v.auto_play = false; }},
                    ControlCase{"AutoWall", [](TOptionValues& v) { v.auto_wall = true; }},
                    ControlCase{"AutoDLGOpen", [](TOptionValues& v) { v.auto_dlg_open = false; }},
                    ControlCase{"TipHelp", [](TOptionValues& v) { v.help_hint = false; }},
                    ControlCase{"DataBasePath", [](TOptionValues& v) { v.data_base_path = "/other/"; }},
                    ControlCase{"PluginPath", [](TOptionValues& v) { v.plugin_path = "/other/"; }},
                    ControlCase{"Drive", [](TOptionValues& v) { v.drive = ""; }}),
    CaseName());

TEST_F(OptionModelTest, DefaultPutsTheBuiltInValuesAndTheDatabaseFolderOfAMissingKey) {
  OptionModel model = Model();
  model.Default();
  EXPECT_TRUE(model.Changed());
  EXPECT_EQ(model.Values().data_base_path, "/program/DB/");
  EXPECT_EQ(model.Values().plugin_path, "/program/Plugin/");
  EXPECT_EQ(model.Values().drive, "");
  EXPECT_TRUE(applied.empty());  // nothing is applied before Apply or Ok
  model.Undo();
  EXPECT_EQ(model.Values(), Opened());
}

TEST_F(OptionModelTest, FailedApplyKeepsTheEditsAndApplyEnabled) {
  OptionModel model = Model(false);
  model.Change([](TOptionValues& v) { v.auto_play = false; });
  EXPECT_FALSE(model.Apply());
  EXPECT_TRUE(model.Changed());
  EXPECT_EQ(model.Snapshot(), Opened());
  EXPECT_FALSE(model.Values().auto_play);
}

// Folder fields take what the folder dialog gives: a missing folder only after the user agreed,
// and never a value the settings file cannot hold.
struct FolderCase {
  std::string name;
  std::string chosen;  // below the test folder; "@file" is a plain file there
  bool agree;
  OptionChoice::Outcome outcome;
  std::string stored;  // the field afterwards, below the test folder; empty: unchanged
  bool asked;          // the user was asked whether to create the folder
  friend void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.name; }
};

class FolderChoiceTest : public OptionModelTest, public testing::WithParamInterface<FolderCase> {};

TEST_P(FolderChoiceTest, TakesOrRefusesTheFolder) {
  const FolderCase& c = GetParam();
  fs::create_directories(dir / "existing");
  WriteFile(dir / "file", "x");
  OptionModel model = Model();
  std::vector<std::string> asked;
  const std::string chosen = (dir.Path() / c.chosen).string();
  port.Answers.push_back(chosen);
  const OptionChoice choice = model.BrowseFolder(OptionModel::Folder::DataBase, files, [&](const std::string& folder) {
    asked.push_back(folder);
    return c.agree;
  });
  EXPECT_EQ(choice.outcome, c.outcome) << choice.message;
  EXPECT_EQ(choice.message.empty(), c.outcome != OptionChoice::Outcome::Failed);
  if (c.stored.empty()) {
    EXPECT_EQ(model.Values().data_base_path, "/db/");
    EXPECT_FALSE(model.Changed());
  } else {
    EXPECT_EQ(model.Values().data_base_path, Utf8ToSjis((dir.Path() / c.stored).string()).bytes);
    EXPECT_TRUE(model.Changed());
  }
  EXPECT_EQ(fs::is_directory(chosen), c.outcome == OptionChoice::Outcome::Chosen);
  EXPECT_EQ(asked.size(), c.asked ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, FolderChoiceTest,
    testing::Values(
        FolderCase{"ExistingGetsItsSeparator", "existing", false, OptionChoice::Outcome::Chosen, "existing/", false},
        FolderCase{"MissingIsCreatedWhenAgreed", "new/DB", true, OptionChoice::Outcome::Chosen, "new/DB/", true},
        FolderCase{"MissingIsLeftWhenDeclined", "new", false, OptionChoice::Outcome::Declined, "", true},
        FolderCase{"JapaneseNameIsStoredInShiftJis", "ＣＤ一覧", true, OptionChoice::Outcome::Chosen, "ＣＤ一覧/",
                   true},
        FolderCase{"PlainFileIsRefused", "file", true, OptionChoice::Outcome::Failed, "", false},
        FolderCase{"UncreatableKeepsTheOldValue", "file/sub", true, OptionChoice::Outcome::Failed, "", true},
        FolderCase{"NoShiftJisFormIsRefused", "\xF0\x9F\x8E\xB5", true, OptionChoice::Outcome::Failed, "", false}),
    CaseName());

TEST_F(OptionModelTest, FolderDialogStartsAtTheFieldOrElseTheProgramFolder) {
  OptionModel model = Model();
  model.BrowseFolder(OptionModel::Folder::Plugin, files, Agree);  // "/plugins/" does not exist
  ASSERT_EQ(port.Requests.size(), 1u);
  EXPECT_EQ(port.Requests[0].kind, FileDialogKind::Folder);
  EXPECT_EQ(port.Requests[0].folder, dir.Path().string());

  fs::create_directories(dir / "plugins");
  ASSERT_EQ(model.AcceptFolder(OptionModel::Folder::Plugin, (dir / "plugins").string(), Agree).outcome,
            OptionChoice::Outcome::Chosen);
  model.BrowseFolder(OptionModel::Folder::Plugin, files, Agree);
  EXPECT_EQ(port.Requests[1].folder, (dir / "plugins/").string());
}

TEST_F(OptionModelTest, DriveImageBinIsTakenThroughItsCueSheetAndFoldersNeedImages) {
  WriteFile(dir / "disc.bin", "x");
  WriteFile(dir / "disc.cue", "x");
  WriteFile(dir / "alone.bin", "x");
  fs::create_directories(dir / "empty");
  OptionModel model = Model();

  port.Answers.push_back((dir / "disc.bin").string());
  EXPECT_EQ(model.BrowseDriveImage(files).outcome, OptionChoice::Outcome::Chosen);
  EXPECT_EQ(model.DriveText(), (dir / "disc.cue").string());
  EXPECT_EQ(port.Requests.back().kind, FileDialogKind::OpenExisting);
  ASSERT_FALSE(port.Requests.back().filters.empty());
  EXPECT_EQ(port.Requests.back().filters[0].patterns,
            (std::vector<std::string>{"*.cue", "*.toc", "*.nrg", "*.bin", "*.flac"}));

  port.Answers.push_back((dir / "alone.bin").string());
  EXPECT_EQ(model.BrowseDriveImage(files).outcome, OptionChoice::Outcome::Chosen);
  EXPECT_EQ(model.DriveText(), (dir / "alone.bin").string());

  port.Answers.push_back((dir / "empty").string());
  const OptionChoice empty = model.BrowseDriveFolder(files);
  EXPECT_EQ(empty.outcome, OptionChoice::Outcome::Failed);
  EXPECT_NE(empty.message.find("CDイメージ"), std::string::npos) << empty.message;
  EXPECT_EQ(model.DriveText(), (dir / "alone.bin").string());

  port.Answers.push_back(dir.Path().string());
  EXPECT_EQ(model.BrowseDriveFolder(files).outcome, OptionChoice::Outcome::Chosen);
  EXPECT_EQ(model.DriveText(), dir.Path().string());
  EXPECT_EQ(DriveCaption(model.DriveText()), "CDイメージのフォルダ: " + dir.Path().string());

  EXPECT_EQ(model.BrowseDriveImage(files).outcome, OptionChoice::Outcome::Cancelled);  // nothing queued
  EXPECT_EQ(model.SetDrive("").outcome, OptionChoice::Outcome::Chosen);
  EXPECT_EQ(DriveCaption(model.DriveText()), "システムの既定のドライブ");
}

// The model over the real controller: Apply while open reaches ApplyOptions at once; a Cancel
// afterwards keeps what was applied and drops the later edits.
class OptionModelControllerTest : public ControllerFixture {};

TEST_F(OptionModelControllerTest, ApplyThenCancelKeepsWhatWasApplied) {
  WriteSettings();
  TQVRDM& dm = Started();
  view.options_action = [&](TOptionValues& values) {
    OptionModel model(values, dm.DefaultOptions(), dm.ProgramFolder(), [&](const TOptionValues& v) {
      dm.ApplyOptions(v);
      return true;
    });
    model.Change([](TOptionValues& v) { v.background = 0x000000FF; });
    EXPECT_TRUE(model.Apply());
    EXPECT_EQ(view.appearance.background, 0x000000FF);  // the lyrics line changes at once
    model.Change([](TOptionValues& v) { v.background = 0x00FF0000; });
    values = model.Values();
    return ModalResult::Cancel;
  };
  dm.OptionMNUClick();
  EXPECT_EQ(dm.Lyrics.background, 0x000000FF);
  EXPECT_EQ(dm.CurrentOptions().background, 0x000000FF);
}

TEST_F(OptionModelControllerTest, DefaultThenOkPointsTheDatabaseAtTheProgramFoldersDB) {
  WriteSettings("DataBasePath=\"/elsewhere/\"\r\n");
  TQVRDM& dm = Started();
  view.options_action = [&](TOptionValues& values) {
    OptionModel model(values, dm.DefaultOptions(), dm.ProgramFolder(), [](const TOptionValues&) { return true; });
    model.Default();
    values = model.Values();
    return ModalResult::Ok;
  };
  dm.OptionMNUClick();
  EXPECT_EQ(dm.DataBasePath, Utf8ToSjis(dir.Path().string()).bytes + "/DB/");
}

}  // namespace
}  // namespace qvr::test
