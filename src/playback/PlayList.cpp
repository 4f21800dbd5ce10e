// The controller's operations for the play list dialog and play list files: replacing the play
// order after an edit (playback stopped, the timer off around the change so that no tick sees a
// half-made order), playing the entry the user double-clicked, taking the rows when the dialog
// closes, and reading and writing play list files of the disc in the drive.
#include <filesystem>

#include "app/TQVRDM.h"
#include "dialogs/PlayListFile.h"

namespace qvr {
namespace {

constexpr const char* kNotAPlayList = "有効なプレイリストファイルではありません";
constexpr const char* kLoadErrorCaption = "プレイリストロードエラー";
constexpr const char* kSaveCaption = "プレイリスト保存";
constexpr const char* kChangedMeanwhile =
    " は、読み込みまたは保存の後に別のプログラムで変更されています。\n上書きしますか？";

// Switches the timer off for a scope and back to what it was on every way out. Switching it on
// again starts a fresh one-second interval.
class TimerOff {
 public:
  explicit TimerOff(QVRTimer& timer) : timer_(timer), was_enabled_(timer.Enabled()) { timer_.SetEnabled(false); }
  ~TimerOff() { timer_.SetEnabled(was_enabled_); }
  TimerOff(const TimerOff&) = delete;
  TimerOff& operator=(const TimerOff&) = delete;

 private:
  QVRTimer& timer_;
  bool was_enabled_;
};

// Marks an item checked or not without running its click handler, and restores the mark on
// every way out.
class CheckMarkSuspended {
 public:
  CheckMarkSuspended(TQVRMenu& menu, MenuItemId item) : menu_(menu), item_(item), was_checked_(menu.Checked(item)) {
    if (was_checked_) menu_.SetChecked(item_, false);
  }
  ~CheckMarkSuspended() {
    if (was_checked_) menu_.SetChecked(item_, true);
  }
  CheckMarkSuspended(const CheckMarkSuspended&) = delete;
  CheckMarkSuspended& operator=(const CheckMarkSuspended&) = delete;

 private:
  TQVRMenu& menu_;
  MenuItemId item_;
  bool was_checked_;
};

}  // namespace

void TQVRDM::ApplyPlayOrder(std::vector<std::string> entries) {
  StopMNUClick();
  TimerOff off(ports_.timer);
  PlayOrder = std::move(entries);
}

void TQVRDM::TakePlayOrder(std::vector<std::string> entries) { PlayOrder = std::move(entries); }

void TQVRDM::PlayPlayListEntry(std::size_t position) {
  if (position < 1 || position > PlayOrder.size()) return;
  PlayIndex = position;
  // Random play would draw another entry: it is suspended while the play command picks this one.
  CheckMarkSuspended random(QVRMenu, MenuItemId::RandomMNU);
  PlayMNUClick();
}

bool TQVRDM::LoadPlayList(const std::string& path) {
  StopMNUClick();
  TimerOff off(ports_.timer);
  std::optional<std::vector<std::string>> entries =
      ReadPlayListFile(path, Disc.DiscKey.View(), static_cast<int>(UsedTracks(Disc.TrackCount)), CD.CDHasHiddenTrack());
  if (!entries) {
    // Not a play list of this disc: the disc order, and the name of the last play list stays, so
    // that "save" never overwrites the foreign file.
    ports_.view.ShowMessage(kNotAPlayList, kLoadErrorCaption, MessageIcon::None, MessageButtons::Ok);
    ResetPlayOrder();
    return false;
  }
  if (entries->empty()) {
    ResetPlayOrder();
  } else {
    PlayOrder = std::move(*entries);
  }
  PlayListName = std::filesystem::path(path).filename().string();
  PlayListPath = path;
  play_list_stamp_ = StampOf(path);
  return true;
}

std::optional<std::uint32_t> TQVRDM::HiddenTrackLength() {
  if (!CD.CDHasHiddenTrack()) return std::nullopt;
  return CD.CDTrackLength(0);
}

bool TQVRDM::SavePlayList(const std::string& path) {
  // Another player (or any program) may have saved the same file since this one read or wrote
  // it: its newer contents are not replaced without asking.
  if (path == PlayListPath) {
    const std::optional<FileStamp> now = StampOf(path);
    if (now && now != play_list_stamp_ &&
        ports_.view.ShowMessage("プレイリスト " + path + kChangedMeanwhile, kSaveCaption, MessageIcon::Warning,
                                MessageButtons::YesNo) != MessageAnswer::Yes) {
      return false;
    }
  }
  WritePlayListFile(path, Disc.DiscKey.View(), PlayOrder);
  PlayListName = std::filesystem::path(path).filename().string();
  PlayListPath = path;
  play_list_stamp_ = StampOf(path);
  return true;
}

}  // namespace qvr
