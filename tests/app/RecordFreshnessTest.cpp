// The database is the truth: the disc record follows stores by other writers (a second player,
// `qvrdb import`), the registration dialog opens on the record as stored now, and 更新 never
// overwrites a record another writer changed meanwhile without asking.
#include "app/ControllerFixture.h"

namespace qvr::test {
namespace {

class RecordFreshnessTest : public ControllerFixture {
 protected:
  TQVRDM& StartWithRegisteredDisc() {
    Register(Toc({10, 20}), "First", "Artist", {"One", "Two"});
    WriteSettings();
    drive.InsertDisc(Toc({10, 20}));
    TQVRDM& dm = Started();
    EXPECT_EQ(dm.Disc.DiscName.ToUtf8(), "First");
    return dm;
  }

  // Another writer stores the disc with these texts through a database handle of its own.
  void StoreFromElsewhere(const TDiscRecord& disc, const std::string& name, const std::string& first_title) {
    TDiscRecord record = disc;
    record.DiscName = ShortString<96>::FromUtf8(name);
    record.Tracks[1].TrackName = ShortString<96>::FromUtf8(first_title);
    Database().DBStore(record);
  }

  std::string StoredTitle(const TDiscRecord& disc) const {
    TDiscRecord key = disc;
    key.DiscName = "";
    return Database().DBLookup(key, progress_of_checks).Tracks[1].TrackName.ToUtf8();
  }

  static constexpr const char* kConflict = "別のプログラムで変更されました";
};

TEST_F(RecordFreshnessTest, DialogOpensOnWhatTheOtherWriterStored) {
  TQVRDM& dm = StartWithRegisteredDisc();
  StoreFromElsewhere(dm.Disc, "Second", "Second's One");
  std::string shown_name, shown_title;
  view.dialog_actions[DialogKind::Registration] = [&] {
    shown_name = dm.Disc.DiscName.ToUtf8();
    shown_title = dm.Disc.Tracks[1].TrackName.ToUtf8();
    return ModalResult::Update;  // 更新 without an edit
  };
  dm.LibraryEditMNUClick();
  EXPECT_EQ(shown_name, "Second");
  EXPECT_EQ(shown_title, "Second's One");
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(StoredName(dm.Disc), "Second");
  EXPECT_EQ(StoredTitle(dm.Disc), "Second's One");
}

// Another writer stores while the dialog is up; 更新 then asks, and each answer does what it says.
TEST_F(RecordFreshnessTest, StoreOverARecordChangedMeanwhileAsks) {
  const struct {
    const char* name;
    MessageAnswer answer;
    const char* stored;  // the disc title the database holds afterwards
    int dialog_runs;
  } cases[] = {
      {"cancel: back to the dialog, which is then cancelled", MessageAnswer::Cancel, "Second", 2},
      {"take theirs", MessageAnswer::No, "Second", 1},
      {"overwrite", MessageAnswer::Yes, "Mine", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    controller.reset();
    view = RecordingView();
    std::filesystem::remove_all(dir / "DB");
    std::filesystem::create_directories(dir / "DB");
    TQVRDM& dm = StartWithRegisteredDisc();
    int runs = 0;
    std::string reopened_with;
    view.dialog_actions[DialogKind::Registration] = [&] {
      if (++runs == 1) {
        StoreFromElsewhere(dm.Disc, "Second", "Second's One");
        dm.Disc.DiscName = "Mine";  // the user's edit, committed by 更新
        return ModalResult::Update;
      }
      reopened_with = dm.Disc.DiscName.ToUtf8();
      return ModalResult::Cancel;
    };
    view.answers = {c.answer};
    dm.LibraryEditMNUClick();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_NE(view.messages[0].find(kConflict), std::string::npos) << view.messages[0];
    EXPECT_EQ(runs, c.dialog_runs);
    EXPECT_EQ(StoredName(dm.Disc), c.stored);
    if (c.answer == MessageAnswer::Cancel) {
      EXPECT_EQ(reopened_with, "Mine");  // the edits are not lost
    }
    if (c.answer == MessageAnswer::Yes) {
      EXPECT_EQ(StoredTitle(dm.Disc), "One");  // the whole record is the user's
    } else {
      // Nothing stored: the player shows what the other writer left.
      EXPECT_EQ(StoredTitle(dm.Disc), "Second's One");
      EXPECT_EQ(dm.Disc.DiscName.ToUtf8(), "Second");
      EXPECT_EQ(view.pad_caption, "[Second]  Artist");
    }
    EXPECT_EQ(dm.DialogState, 0);
  }
}

TEST_F(RecordFreshnessTest, TheTickFollowsAStoreByAnotherProcess) {
  TQVRDM& dm = StartWithRegisteredDisc();
  dm.PlayMNUClick();
  Tick();
  EXPECT_EQ(view.pad_caption, "[One]");
  StoreFromElsewhere(dm.Disc, "Imported", "Imported One");
  Tick();
  EXPECT_EQ(dm.Disc.DiscName.ToUtf8(), "Imported");
  EXPECT_EQ(dm.Disc.Tracks[1].TrackName.ToUtf8(), "Imported One");
  // The track title on the pad, the lyrics line and in the tray's hint.
  EXPECT_EQ(view.pad_caption, "[Imported One]");
  EXPECT_NE(view.lyrics_text.find("Imported One"), std::string::npos) << view.lyrics_text;
  EXPECT_NE(view.tray_hint.find("Imported"), std::string::npos) << view.tray_hint;
}

}  // namespace
}  // namespace qvr::test
