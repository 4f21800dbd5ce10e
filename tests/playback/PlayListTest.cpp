// The controller's play list operations with real files in a temporary folder: edits stop
// playback with the timer off around the change, a double-clicked entry plays even in random
// mode, closing takes the rows without stopping, and loading and saving play list files through
// the file commands, including every way a load can fail and the folder that cannot be written.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"
#include "dialogs/PlayListCommands.h"
#include "support/RecordingFileDialogs.h"
#include "util/AtomicFile.h"

namespace qvr::test {
namespace {

constexpr const char* kNotAPlayList = "プレイリストロードエラー: 有効なプレイリストファイルではありません";

class PlayListTest : public ControllerFixture {
 protected:
  // A stopped four-track disc of 10 s tracks.
  TQVRDM& StartWithDisc() {
    WriteSettings();
    drive.InsertDisc(Toc({10, 10, 10, 10}));
    TQVRDM& dm = Started();
    key = dm.Disc.DiscKey.Str();
    return dm;
  }

  // Loads through the file command, the open dialog answering `path`.
  PlayListLoad Load(TQVRDM& dm, const std::filesystem::path& path) {
    port.Answers.push_back(path.string());
    return LoadPlayListCommand(dm, files);
  }

  RecordingFileDialogs port;
  FileDialogs files{port};
  std::string key;
};

using Entries = std::vector<std::string>;

TEST_F(PlayListTest, AnEditStopsPlaybackAndReplacesTheOrderWithTheTimerOff) {
  TQVRDM& dm = StartWithDisc();
  dm.PlayIndex = 3;
  dm.PlayMNUClick();
  ASSERT_EQ(dm.CD.CDState, TCDState::cdPlaying);
  timer.changes.clear();
  dm.ApplyPlayOrder({"3", "1", "2"});
  EXPECT_EQ(dm.CD.CDState, TCDState::cdStopped);
  EXPECT_EQ(dm.PlayIndex, 1u);
  EXPECT_EQ(dm.PlayOrder, (Entries{"3", "1", "2"}));
  EXPECT_EQ(timer.changes, (std::vector<bool>{false, true}));
  // The next play starts at the first entry, a range of its own.
  dm.PlayMNUClick();
  EXPECT_EQ(dm.CD.PlayFrom, 3);
  EXPECT_EQ(dm.CD.PlayTo, 3);
}

TEST_F(PlayListTest, ClosingTakesTheRowsWithoutStopping) {
  TQVRDM& dm = StartWithDisc();
  dm.PlayMNUClick();
  const int plays = PlayRequests();
  dm.TakePlayOrder({"4", "4"});
  EXPECT_EQ(dm.CD.CDState, TCDState::cdPlaying);
  EXPECT_EQ(PlayRequests(), plays);
  EXPECT_EQ(dm.PlayOrder, (Entries{"4", "4"}));
  EXPECT_EQ(drive.Requests.back().rfind("Stop", 0), std::string::npos);
}

TEST_F(PlayListTest, ADoubleClickedEntryPlaysEvenInRandomModeWhichStaysOn) {
  TQVRDM& dm = StartWithDisc();
  dm.RandomMNUClick();
  dm.ApplyPlayOrder({"3", "1", "2", "4"});
  random.draws = {1, 1, 1};
  dm.PlayPlayListEntry(2);
  EXPECT_EQ(dm.PlayIndex, 2u);
  EXPECT_EQ(dm.CD.PlayFrom, 1);
  EXPECT_EQ(dm.CD.PlayTo, 2);  // random play was off while the range was chosen
  EXPECT_EQ(random.draws.size(), 3u);
  EXPECT_TRUE(dm.QVRMenu.Checked(MenuItemId::RandomMNU));
  EXPECT_TRUE(view.toggles[PadToggle::RandomBTN]);
  // A position that is not there plays nothing.
  const int plays = PlayRequests();
  dm.PlayPlayListEntry(9);
  EXPECT_EQ(PlayRequests(), plays);
}

struct LoadCase {
  const char* name;
  std::optional<std::string> text;  // the file after the disc key placeholder "K"; none: no file
  Entries order;                    // the play order afterwards
  PlayListLoad result;              // when the load did not raise
  const char* error = nullptr;      // a part of the error raised instead
  bool message = false;             // the not-a-play-list message was shown
};

class PlayListLoadTest : public PlayListTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(PlayListLoadTest, Loads) {
  const LoadCase& c = GetParam();
  TQVRDM& dm = StartWithDisc();
  dm.ApplyPlayOrder({"4", "3"});
  dm.PlayMNUClick();
  const std::filesystem::path path = dir / ("list." + key);
  if (c.text) {
    std::string text = *c.text;
    if (text.rfind("K", 0) == 0) text.replace(0, 1, key);
    WriteFile(path, text);
  }
  timer.changes.clear();
  if (c.error) {
    try {
      Load(dm, path);
      FAIL() << "no error";
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
    }
  } else {
    EXPECT_EQ(Load(dm, path), c.result);
  }
  EXPECT_EQ(dm.PlayOrder, c.order);
  EXPECT_EQ(dm.CD.CDState, TCDState::cdStopped);  // stopped whatever the file held
  EXPECT_EQ(timer.changes, (std::vector<bool>{false, true}));
  EXPECT_EQ(view.messages, c.message ? Entries{kNotAPlayList} : Entries{});
  // Only a play list of this disc becomes the current one.
  const bool loaded = !c.error && c.result == PlayListLoad::Loaded;
  EXPECT_EQ(dm.PlayListName, loaded ? "list." + key : "Default");
  EXPECT_EQ(dm.PlayListPath, loaded ? path.string() : "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayListLoadTest,
    testing::Values(
        LoadCase{"ThisDisc", "K\r\n3\r\n1\r\n3\r\n", {"3", "1", "3"}, PlayListLoad::Loaded},
        LoadCase{"MixedValidAndInvalidEntries", "K\r\n2\r\n12\r\n0\r\n4\r\n", {"2", "4"}, PlayListLoad::Loaded},
        LoadCase{"NoUsableEntryGivesDiscOrder", "K\r\n7\r\n", {"1", "2", "3", "4"}, PlayListLoad::Loaded},
        LoadCase{"OnlyTheKey", "K\r\n", {"1", "2", "3", "4"}, PlayListLoad::Loaded},
        LoadCase{"OtherDisc", "0000ABCD\r\n1\r\n", {"1", "2", "3", "4"}, PlayListLoad::OtherFile, nullptr, true},
        LoadCase{"Empty", "", {"1", "2", "3", "4"}, PlayListLoad::OtherFile, nullptr, true},
        LoadCase{"NotANumber", "K\r\n2\r\nzwei\r\n", {"4", "3"}, PlayListLoad::Loaded, "3 行目「zwei」"},
        LoadCase{"Missing", std::nullopt, {"4", "3"}, PlayListLoad::Loaded, "を読み込めません"}),
    CaseName());

TEST_F(PlayListTest, CancellingTheOpenDialogLeavesPlaybackRunning) {
  TQVRDM& dm = StartWithDisc();
  dm.PlayMNUClick();
  EXPECT_EQ(LoadPlayListCommand(dm, files), PlayListLoad::Cancelled);
  EXPECT_EQ(dm.CD.CDState, TCDState::cdPlaying);
  ASSERT_EQ(port.Requests.size(), 1u);
  EXPECT_EQ(port.Requests[0].kind, FileDialogKind::OpenExisting);
  EXPECT_EQ(port.Requests[0].filters, (std::vector<FileFilter>{{"のプレイリスト", {"*." + key}}}));
}

TEST_F(PlayListTest, SaveBeforeAnyFileAsksForANameAndWritesTheOrder) {
  TQVRDM& dm = StartWithDisc();
  dm.ApplyPlayOrder({"3", "1", "3"});
  const std::filesystem::path path = dir / ("mine." + key);
  port.Answers.push_back(path.string());
  EXPECT_TRUE(SavePlayListCommand(dm, files));
  ASSERT_EQ(port.Requests.size(), 1u);
  EXPECT_EQ(port.Requests[0].kind, FileDialogKind::Save);
  EXPECT_EQ(port.Requests[0].default_suffix, key);
  EXPECT_EQ(ReadFile(path), key + "\r\n3\r\n1\r\n3\r\n");
  EXPECT_EQ(dm.PlayListName, "mine." + key);
  EXPECT_EQ(PlayListCaption(dm.PlayListName, true), "プレイリスト ... mine");
  // Saving stops nothing and leaves no temporary file behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);  // DB, Qvr.ini, mine
}

TEST_F(PlayListTest, SaveWritesBackToTheFileLoadedWhereverTheProgramRuns) {
  TQVRDM& dm = StartWithDisc();
  std::filesystem::create_directories(dir / "lists");
  const std::filesystem::path path = dir / "lists" / ("a." + key);
  WriteFile(path, key + "\r\n2\r\n");
  ASSERT_EQ(Load(dm, path), PlayListLoad::Loaded);
  dm.ApplyPlayOrder({"4", "1"});
  EXPECT_FALSE(SavePlayListCommand(dm, files));
  EXPECT_EQ(port.Requests.size(), 1u);  // only the open dialog
  EXPECT_EQ(ReadFile(path), key + "\r\n4\r\n1\r\n");
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / ("a." + key)));

  // "Save as" proposes that file, and a new name becomes the current one.
  const std::filesystem::path other = dir / ("b." + key);
  port.Answers.push_back(other.string());
  EXPECT_TRUE(SaveAsPlayListCommand(dm, files));
  EXPECT_EQ(port.Requests.back().folder, (dir / "lists").string());
  EXPECT_EQ(port.Requests.back().file_name, "a." + key);
  EXPECT_EQ(dm.PlayListPath, other.string());
}

// Two players on one play list: a save never silently replaces a newer file it did not read.
TEST_F(PlayListTest, SaveOverAFileAnotherPlayerSavedMeanwhileAsksFirst) {
  TQVRDM& dm = StartWithDisc();
  const std::filesystem::path path = dir / ("shared." + key);
  WriteFile(path, key + "\r\n2\r\n");
  ASSERT_EQ(Load(dm, path), PlayListLoad::Loaded);
  // The other player's save replaces the file (a new inode, as its atomic replace gives).
  ReplaceFileContents(path, key + "\r\n4\r\n4\r\n");
  dm.ApplyPlayOrder({"1"});
  view.answers = {MessageAnswer::No};
  SavePlayListCommand(dm, files);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find("別のプログラムで変更されています"), std::string::npos) << view.messages[0];
  EXPECT_EQ(ReadFile(path), key + "\r\n4\r\n4\r\n");

  view.answers = {MessageAnswer::Yes};
  SavePlayListCommand(dm, files);
  EXPECT_EQ(ReadFile(path), key + "\r\n1\r\n");
  // The file is this player's own now: the next save asks nothing.
  dm.ApplyPlayOrder({"2"});
  SavePlayListCommand(dm, files);
  EXPECT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(ReadFile(path), key + "\r\n2\r\n");
}

TEST_F(PlayListTest, SaveAfterAFailedLoadNeverOverwritesTheFileThatFailed) {
  TQVRDM& dm = StartWithDisc();
  const std::filesystem::path good = dir / ("good." + key), foreign = dir / ("foreign." + key),
                              broken = dir / ("broken." + key);
  WriteFile(good, key + "\r\n2\r\n");
  WriteFile(foreign, "0000ABCD\r\n1\r\n");
  WriteFile(broken, key + "\r\nx\r\n");
  ASSERT_EQ(Load(dm, good), PlayListLoad::Loaded);
  EXPECT_EQ(Load(dm, foreign), PlayListLoad::OtherFile);
  EXPECT_THROW(Load(dm, broken), Error);
  dm.ApplyPlayOrder({"1", "1"});
  SavePlayListCommand(dm, files);
  EXPECT_EQ(ReadFile(good), key + "\r\n1\r\n1\r\n");
  EXPECT_EQ(ReadFile(foreign), "0000ABCD\r\n1\r\n");
  EXPECT_EQ(ReadFile(broken), key + "\r\nx\r\n");
  EXPECT_EQ(dm.PlayListName, "good." + key);
}

TEST_F(PlayListTest, AFolderThatCannotBeWrittenIsReportedAndTheOldFileStaysWhole) {
  TQVRDM& dm = StartWithDisc();
  const std::filesystem::path folder = dir / "locked", path = folder / ("old." + key);
  std::filesystem::create_directories(folder);
  WriteFile(path, key + "\r\n2\r\n");
  chmod(dir.Path().c_str(), 0755);
  chmod(folder.c_str(), 0555);
  ASSERT_EQ(Load(dm, path), PlayListLoad::Loaded);
  dm.ApplyPlayOrder({"3", "4"});
  const std::filesystem::path elsewhere = folder / ("new." + key);
  const int result = RunUnprivileged([&] {
    try {
      SavePlayListCommand(dm, files);
      return 1;
    } catch (const FileWriteError& error) {
      if (std::string(error.what()).find(path.string()) == std::string::npos) return 2;
    }
    port.Answers.push_back(elsewhere.string());
    try {
      SaveAsPlayListCommand(dm, files);
      return 3;
    } catch (const FileWriteError&) {
    }
    // The failed "save as" did not make the file that was never written the current one.
    return dm.PlayListPath == path.string() ? 0 : 4;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFile(path), key + "\r\n2\r\n");
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

}  // namespace
}  // namespace qvr::test
