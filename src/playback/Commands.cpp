// The play commands, the three play modes, the tray icon's clicks, and the rule that turns the
// play order into the range of tracks the device plays: a run of consecutive track numbers is
// one range, so the drive plays across it without a gap.
#include <filesystem>
#include <optional>
#include <tuple>

#include "app/TQVRDM.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

constexpr const char* kPausing = "Pausing...";

// Marks a modal window as up for the life of a command, and none on every way out.
class DialogStateScope {
 public:
  DialogStateScope(std::uint8_t& state, DialogKind kind) : state_(state) { state_ = static_cast<std::uint8_t>(kind); }
  ~DialogStateScope() { state_ = 0; }
  DialogStateScope(const DialogStateScope&) = delete;
  DialogStateScope& operator=(const DialogStateScope&) = delete;

 private:
  std::uint8_t& state_;
};

}  // namespace

int TQVRDM::TrackAt(std::size_t position) const {
  if (position < 1 || position > PlayOrder.size()) return kNoTrack;
  std::int32_t track = 0;
  // Entry 0 is the hidden first track, which the play list offers only for a disc that has one.
  if (!StrToInt32(PlayOrder[position - 1], track) || track < 0 || track > 99) return kNoTrack;
  return track;
}

std::size_t TQVRDM::DrawOtherEntry(std::size_t previous) {
  const std::size_t count = PlayOrder.size();
  if (count == 2) return previous == 1 ? 2 : 1;
  if (count < 2) return previous;
  std::size_t drawn = 0;
  do {
    drawn = ports_.random.Draw(count);
  } while (drawn == previous);
  return drawn;
}

std::optional<std::pair<std::uint8_t, std::uint8_t>> TQVRDM::RangeAt(std::size_t position) const {
  const std::size_t count = PlayOrder.size();
  if (TrackAt(position) == kNoTrack) return std::nullopt;
  std::size_t i = position;
  // Whether the entry at `next` plays on from the one at `at` without a break.
  auto follows = [this](std::size_t at, std::size_t next) { return TrackAt(next) == TrackAt(at) + 1; };
  if (!QVRMenu.Checked(MenuItemId::RepeatOneMNU) && !QVRMenu.Checked(MenuItemId::RandomMNU)) {
    const bool repeat_all = QVRMenu.Checked(MenuItemId::RepeatAllMNU);
    for (std::size_t steps = 0; steps < count; ++steps) {
      if (i < count && follows(i, i + 1)) {
        ++i;
      } else if (i == count && repeat_all && follows(count, 1)) {
        i = 1;
      } else {
        break;
      }
    }
  }
  return std::pair{static_cast<std::uint8_t>(TrackAt(position)), static_cast<std::uint8_t>(TrackAt(i))};
}

void TQVRDM::SelectPlayRange() {
  const std::size_t count = PlayOrder.size();
  if (QVRMenu.Checked(MenuItemId::RandomMNU)) PlayIndex = DrawOtherEntry(PlayIndex);
  // A play order replaced by a shorter one can leave the position behind its end.
  if (PlayIndex < 1 || PlayIndex > count) PlayIndex = 1;
  const auto range = RangeAt(PlayIndex);
  range_chosen_ = range.has_value();
  std::tie(CD.PlayFrom, CD.PlayTo) = range.value_or(std::pair<std::uint8_t, std::uint8_t>{0, 0});
}

void TQVRDM::PlayMNUClick() {
  // An empty play order, or an entry that names no track, has nothing to play: the state stays.
  if (PlayOrder.empty()) return;
  ForgetHandOver();
  SelectPlayRange();
  if (!range_chosen_) return;
  CD.CDPlay(CD.PlayFrom, CD.PlayTo);
  LastTrack = CD.CDCurrentTrack();
  UpdateControls();
  UpdateStatus();
}

void TQVRDM::StopMNUClick(StopSender sender) {
  if (sender != StopSender::Timer) CD.CDStop();
  ForgetHandOver();
  ports_.view.SetTrayIcon("STOP");
  PlayIndex = 1;
  LastTrack = 0;
  LyricsIndex = 0;
  ReleaseModes(false);
  UpdateControls();
  UpdateStatus();
}

void TQVRDM::ReleaseModes(bool disc_removed) {
  auto released = [disc_removed](int unlock) { return unlock == 0 || (disc_removed && unlock == 1); };
  if (QVRMenu.Checked(MenuItemId::RepeatOneMNU) && released(RepeatOneUnlock)) RepeatOneMNUClick();
  if (QVRMenu.Checked(MenuItemId::RepeatAllMNU) && released(RepeatAllUnlock)) RepeatAllMNUClick();
  if (QVRMenu.Checked(MenuItemId::RandomMNU) && released(RandomUnlock)) RandomMNUClick();
}

void TQVRDM::PauseMNUClick() {
  CD.CDPause();
  if (CD.CDState == TCDState::cdPaused) {
    PauseSavedText = ports_.view.LyricsText();
    ports_.view.SetLyricsText(kPausing);
    ports_.view.SetTrayIcon("PAUSE");
  } else {
    ports_.view.SetLyricsText(PauseSavedText);
    ports_.view.SetTrayIcon("PLAY1");
  }
  UpdateControls();
  UpdateStatus();
}

void TQVRDM::NextMNUClick() {
  if (!QVRMenu.Checked(MenuItemId::RandomMNU)) {
    ++PlayIndex;
    if (PlayIndex > PlayOrder.size()) PlayIndex = 1;
  }
  PlayMNUClick();
}

void TQVRDM::PreviousMNUClick() {
  if (!QVRMenu.Checked(MenuItemId::RandomMNU)) {
    if (PlayIndex <= 1 || PlayIndex > PlayOrder.size()) {
      PlayIndex = PlayOrder.size();
    } else {
      --PlayIndex;
    }
  }
  PlayMNUClick();
}

void TQVRDM::EjectMNUClick() {
  CD.CDEject();
  UpdateControls();
  UpdateStatus();
}

void TQVRDM::ToggleMode(MenuItemId mode) {
  const bool now = !QVRMenu.Checked(mode);
  for (MenuItemId item : {MenuItemId::RepeatOneMNU, MenuItemId::RepeatAllMNU, MenuItemId::RandomMNU}) {
    QVRMenu.SetChecked(item, item == mode && now);
  }
  ports_.view.SetPadToggle(PadToggle::RepeatOneBTN, QVRMenu.Checked(MenuItemId::RepeatOneMNU));
  ports_.view.SetPadToggle(PadToggle::RepeatAllBTN, QVRMenu.Checked(MenuItemId::RepeatAllMNU));
  ports_.view.SetPadToggle(PadToggle::RandomBTN, QVRMenu.Checked(MenuItemId::RandomMNU));
  // While playing, the new mode applies to the entry being heard.
  if (CD.CDState == TCDState::cdPlaying || CD.CDState == TCDState::cdPaused) FollowModeChange();
}

void TQVRDM::RepeatOneMNUClick() { ToggleMode(MenuItemId::RepeatOneMNU); }
void TQVRDM::RepeatAllMNUClick() { ToggleMode(MenuItemId::RepeatAllMNU); }
void TQVRDM::RandomMNUClick() { ToggleMode(MenuItemId::RandomMNU); }

void TQVRDM::TaskTrayClick(MouseButton button) {
  if (button == MouseButton::Right) {
    if (DialogState == 0) ports_.view.PopupMenu();
  } else if (button == MouseButton::Left) {
    if (CD.CDState == TCDState::cdPlaying || CD.CDState == TCDState::cdPaused) {
      PauseMNUClick();
    } else if (CD.CDState == TCDState::cdStopped) {
      PlayMNUClick();
    }
  }
}

void TQVRDM::ResetPlayOrder() {
  PlayOrder.clear();
  for (int k = 1; k <= Disc.TrackCount; ++k) PlayOrder.push_back(std::to_string(k));
}

void TQVRDM::PlayListMNUClick() {
  DialogStateScope scope(DialogState, DialogKind::PlayList);
  ports_.view.RunDialog(DialogKind::PlayList);
}

void TQVRDM::JacketViewMNUClick() {
  DialogStateScope scope(DialogState, DialogKind::JacketView);
  if (Disc.JacketFile.Empty()) {
    ports_.view.ShowMessage("ジャケットファイルが指定されていません", "ジャケット無し", MessageIcon::Error,
                            MessageButtons::Ok);
  } else if (const std::string file = Disc.JacketFile.ToUtf8(); !std::filesystem::is_regular_file(file)) {
    ports_.view.ShowMessage("ファイルが見つかりません\n" + file, "読み込みエラー", MessageIcon::Error,
                            MessageButtons::Ok);
  } else {
    ports_.view.RunDialog(DialogKind::JacketView);
  }
}

void TQVRDM::LibraryEditMNUClick() {
  DialogStateScope scope(DialogState, DialogKind::Registration);
  if (RunRegistrationDialog()) {
    Database.DBStore(Disc);
    RememberDatabaseStamps();
    LoadLyrics();
    if (AutoWall) Wallpaper.ShowJacket(Disc.JacketFile.Str(), false);
    UpdateStatus();
  }
}

void TQVRDM::OptionMNUClick() { RunOptions(OptionsStart::FirstPage); }

void TQVRDM::RunOptions(OptionsStart start) {
  DialogStateScope scope(DialogState, DialogKind::Options);
  TOptionValues values = CurrentOptions();
  if (ports_.view.RunOptionsDialog(values, start) == ModalResult::Ok) ApplyOptions(values);
}

}  // namespace qvr
