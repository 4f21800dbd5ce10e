// The database is the truth, not the player's memory of it. Other writers share the database
// folder (`qvrdb import`, a second player, a synced folder): the stamps of the five files are
// kept from the last time the player read or wrote them, and when one moved the disc record is
// read again, by the tick (the lyrics line and the tray follow without a restart) and before the
// registration dialog opens. At 更新 the record as stored now is compared with the one the
// dialog started from; a record changed meanwhile is never overwritten without asking.
#include "app/TQVRDM.h"

namespace qvr {
namespace {

constexpr const char* kConflictCaption = "データベース登録";
constexpr const char* kConflictText =
    "このディスクの登録内容は、登録ダイアログを開いた後に別のプログラムで変更されました。\n\n"
    "はい: 編集した内容で上書きします\n"
    "いいえ: 変更後の登録内容を採用し、編集した内容を破棄します\n"
    "キャンセル: 保存せずに登録ダイアログに戻ります";

// The database's part of a record: what a store writes and a lookup gives back. Two unregistered
// records agree whatever their guessed type and date.
bool SameStoredContents(const TDiscRecord& a, const TDiscRecord& b) {
  if (!(a.DiscName == b.DiscName) || !(a.ArtistName == b.ArtistName) || !(a.LabelName == b.LabelName) ||
      !(a.JacketFile == b.JacketFile) || !(a.LyricsFile == b.LyricsFile)) {
    return false;
  }
  const bool registered = !a.DiscName.Empty();
  if (registered && (a.SaleDate != b.SaleDate || a.DiscType != b.DiscType)) return false;
  for (std::size_t n = 1; n <= UsedTracks(a.TrackCount); ++n) {
    const TTrackEntry &x = a.Tracks[n], &y = b.Tracks[n];
    if (!(x.TrackName == y.TrackName) || !(x.Lyricsby == y.Lyricsby) || !(x.Musicby == y.Musicby) ||
        !(x.Arrangeby == y.Arrangeby) || !(x.Genre == y.Genre)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::array<std::optional<FileStamp>, kAllDBFiles.size()> TQVRDM::DatabaseStamps() const {
  std::array<std::optional<FileStamp>, kAllDBFiles.size()> stamps;
  for (std::size_t i = 0; i < kAllDBFiles.size(); ++i) stamps[i] = StampOf(Database.FilePath(kAllDBFiles[i]));
  return stamps;
}

void TQVRDM::RememberDatabaseStamps() { database_stamps_ = DatabaseStamps(); }

bool TQVRDM::DatabaseChanged() const { return DatabaseStamps() != database_stamps_; }

TDiscRecord TQVRDM::StoredRecordOfDisc() const {
  TDiscRecord probe;
  ClearDisc(probe, ports_.today);
  probe.DiscKey = Disc.DiscKey;
  probe.TrackCount = Disc.TrackCount;
  probe.DiscTime = Disc.DiscTime;
  for (std::size_t n = 1; n <= UsedTracks(Disc.TrackCount); ++n) {
    probe.Tracks[n].StartPos = Disc.Tracks[n].StartPos;
    probe.Tracks[n].Length = Disc.Tracks[n].Length;
  }
  // A quiet lookup: no progress on the lyrics line and no nested ticks for a record read again.
  TNoSearchProgress quiet;
  return Database.DBLookup(probe, quiet);
}

void TQVRDM::TakeStoredRecord(const TDiscRecord& stored) {
  const bool lyrics_changed = !(stored.LyricsFile == Disc.LyricsFile);
  Disc = stored;
  if (lyrics_changed) LoadLyrics();
  if (AutoWall) Wallpaper.ShowJacket(Disc.JacketFile.Str(), true);
  UpdateStatus();
}

void TQVRDM::FollowDatabase() {
  if (DialogState != 0 || looking_up_ || Disc.DiscKey.Empty() || !DatabaseChanged()) return;
  // Remembered first: a file that cannot be read is reported once, not every second.
  RememberDatabaseStamps();
  const TDiscRecord stored = StoredRecordOfDisc();
  if (!(stored == Disc)) TakeStoredRecord(stored);
}

bool TQVRDM::RunRegistrationDialog() {
  if (DatabaseChanged()) {
    RememberDatabaseStamps();
    const TDiscRecord stored = StoredRecordOfDisc();
    if (!(stored == Disc)) TakeStoredRecord(stored);
  }
  TDiscRecord base = Disc;  // what the dialog starts from; Disc again when it is cancelled
  for (;;) {
    if (ports_.view.RunDialog(DialogKind::Registration) != ModalResult::Update) {
      Disc = base;
      return false;
    }
    const TDiscRecord stored = StoredRecordOfDisc();
    if (SameStoredContents(stored, base)) return true;
    const MessageAnswer answer =
        ports_.view.ShowMessage(kConflictText, kConflictCaption, MessageIcon::Warning, MessageButtons::YesNoCancel);
    if (answer == MessageAnswer::Yes) return true;
    const TDiscRecord edited = Disc;
    RememberDatabaseStamps();
    Disc = base;
    TakeStoredRecord(stored);
    base = stored;
    // Back to the dialog with the edits, over what is stored now, while the disc is there.
    const bool disc_there =
        CD.CDState == TCDState::cdStopped || CD.CDState == TCDState::cdPlaying || CD.CDState == TCDState::cdPaused;
    if (answer != MessageAnswer::Cancel || !disc_there) return false;
    Disc = edited;
  }
}

}  // namespace qvr
