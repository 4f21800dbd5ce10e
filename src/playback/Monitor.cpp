// The playback monitor: the one-second tick that polls the drive and acts on what changed (a
// disc inserted or removed, a range that ran out, the play head entering another track), and
// the disc check that reloads the disc record when the disc in the drive is another one.
//
// Ticks run nested inside modal dialogs and inside the database lookup (both let pending work
// run). A nested tick may close the dialog that is up; a tick during a lookup returns at once.
// The device's news runs the same steps (MonitorSteps) between ticks, without blinking the icon.
#include <algorithm>

#include "app/TQVRDM.h"

namespace qvr {
namespace {

constexpr const char* kRegistrationCaption = "データベース登録";
constexpr const char* kSaveRegistration = "登録したデータを保存しますか？";

}  // namespace

void TQVRDM::TimerTimer() { MonitorSteps(true); }

void TQVRDM::MonitorSteps(bool blink) {
  if (looking_up_) return;
  if (drive_changed_) {
    ReopenDrive();
    return;
  }
  const TCDState prev = CD.CDState;
  CD.CDPoll();
  switch (CD.CDState) {
    case TCDState::cdNotReady: {
      ports_.view.SetTrayIcon("NOTREADY");
      // The texts say why the drive cannot be used: written when it becomes unusable and again
      // when the driver's reason changes, not every second.
      std::string reason = CD.CDProblem();
      if (reason != shown_reason_) {
        shown_reason_ = std::move(reason);
        UpdateStatus();
      }
      break;
    }
    case TCDState::cdOpen:
      if (prev != TCDState::cdOpen) DiscRemovedSteps();
      break;
    case TCDState::cdStopped:
      if (prev == TCDState::cdPlaying) {
        RangeEndedSteps();
      } else if (prev == TCDState::cdPaused) {
        ports_.view.SetTrayIcon("STOP");
        StopMNUClick(StopSender::Timer);
        UpdateStatus();
      } else if (prev == TCDState::cdNotReady || prev == TCDState::cdOpen) {
        DiscArrivedSteps();
      }
      break;
    case TCDState::cdPlaying:
      if (prev == TCDState::cdNotReady) AlreadyPlayingSteps();
      PlayingSteps(blink);
      break;
    case TCDState::cdPaused:
      if (prev == TCDState::cdPaused) UpdateStatus();
      break;
  }
  if (CD.CDState != TCDState::cdNotReady) shown_reason_.reset();
  if (CD.CDState == TCDState::cdStopped || CD.CDState == TCDState::cdPlaying || CD.CDState == TCDState::cdPaused) {
    FollowDatabase();
  }
  UpdateControls();
  // With no drive on the computer a tick a second would find nothing new: the timer sleeps
  // until one appears (news of the drives changing runs these steps at once), or ticks every
  // ten seconds where the device cannot tell.
  using Pace = QVRTimer::Pace;
  Pace pace = Pace::EverySecond;
  if (CD.CDState == TCDState::cdNotReady && CD.CDAwaitsDrive()) {
    pace = CD.CDAnnouncesDrives() ? Pace::OnNewsOnly : Pace::EveryTenSeconds;
  }
  ports_.timer.SetPace(pace);
}

void TQVRDM::DiscRemovedSteps() {
  QVRView& view = ports_.view;
  if (DialogState == static_cast<std::uint8_t>(DialogKind::Registration)) {
    const bool was_enabled = ports_.timer.Enabled();
    ports_.timer.SetEnabled(false);
    MessageAnswer answer =
        view.ShowMessage(kSaveRegistration, kRegistrationCaption, MessageIcon::Warning, MessageButtons::YesNo);
    view.CloseDialog(DialogKind::Registration,
                     answer == MessageAnswer::Yes ? ModalResult::Update : ModalResult::Cancel);
    ports_.timer.SetEnabled(was_enabled);
  }
  if (DialogState == static_cast<std::uint8_t>(DialogKind::PlayList)) {
    view.CloseDialog(DialogKind::PlayList, ModalResult::Cancel);
  }
  if (DialogState == static_cast<std::uint8_t>(DialogKind::JacketView)) {
    view.CloseDialog(DialogKind::JacketView, ModalResult::Cancel);
  }
  view.SetTrayIcon("OPEN");
  ForgetHandOver();
  PlayIndex = 1;
  LastTrack = 0;
  LyricsLoaded = false;
  LyricsIndex = 0;
  ReleaseModes(true);
  UpdateControls();
  UpdateStatus();
}

// The range ended with nothing handed over to follow it. Repeat-one plays the entry just heard
// again and random draws another one; neither moves the position on first (moving it would
// repeat the next entry instead, and let random draw the entry just heard).
void TQVRDM::RangeEndedSteps() {
  ForgetHandOver();
  const std::size_t count = PlayOrder.size();
  const bool repeat_one = QVRMenu.Checked(MenuItemId::RepeatOneMNU);
  const bool repeat_all = QVRMenu.Checked(MenuItemId::RepeatAllMNU);
  const bool random = QVRMenu.Checked(MenuItemId::RandomMNU);
  if (repeat_one || random) {
    PlayMNUClick();
  } else if (PlayIndex == count && repeat_all) {
    PlayIndex = 1;
    PlayMNUClick();
  } else if (PlayIndex == count) {
    ports_.view.SetTrayIcon("STOP");
    StopMNUClick(StopSender::Timer);
  } else {
    if (PlayIndex < count) ++PlayIndex;
    PlayMNUClick();
  }
}

void TQVRDM::DiscArrivedSteps() {
  ports_.view.SetTrayIcon("STOP");
  StopMNUClick(StopSender::Timer);
  CheckDisc();
  if (AutoPlay) PlayMNUClick();
  if ((AutoDLGOpen || AutoLookup) && Disc.DiscName.Empty()) RegistrationDialogSteps();
  UpdateStatus();
}

void TQVRDM::AlreadyPlayingSteps() {
  CheckDisc();
  UpdateStatus();
  LastTrack = CD.CDCurrentTrack();
  if ((AutoDLGOpen || AutoLookup) && Disc.DiscName.Empty()) RegistrationDialogSteps();
}

void TQVRDM::RegistrationDialogSteps() {
  const std::uint8_t saved = DialogState;
  if (saved == 1) ports_.view.SplashHide();
  auto restore = [&] {
    DialogState = saved;
    if (saved == 1) ports_.view.SplashShow();
  };
  try {
    LibraryEditMNUClick();
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

void TQVRDM::PlayingSteps(bool blink) {
  if (blink) {
    ports_.view.SetTrayIcon(BlinkPhase ? "PLAY1" : "PLAY2");
    BlinkPhase = !BlinkPhase;
  }
  // The range handed over is heard now: it is the range being played from here on.
  if (handed_.pending && !CD.CDNextPending()) TakeOverHandedRange();
  // News that the range was read through came while it had to wait: hand over what follows now.
  if (range_read_ && !handed_.pending) HandOverNextRange();
  const std::uint8_t current = CD.CDCurrentTrack();
  if (current != LastTrack) {
    if (QVRMenu.Checked(MenuItemId::RepeatOneMNU) || QVRMenu.Checked(MenuItemId::RandomMNU)) {
      PlayMNUClick();
    } else {
      ++PlayIndex;
      if (PlayIndex > PlayOrder.size()) PlayIndex = 1;
      if (TrackAt(PlayIndex) != (current & 0x7F)) PlayMNUClick();
    }
    LastTrack = CD.CDCurrentTrack();
    UpdateStatus();
  } else if (CD.CDTrackDeEmphasised(current & 0x7F) != de_emphasis_shown_) {
    // A drive's sub-channel flagged the track while it played, or the option changed.
    UpdateStatus();
  }
  if (LyricsLoaded) LyricsStep();
}

void TQVRDM::CheckDisc() {
  bool differs =
      !(CD.CDMediaID() == Disc.DiscKey) || CD.CDTrackCount() != Disc.TrackCount || CD.CDDiscLength() != Disc.DiscTime;
  for (int n = 1; !differs && n <= Disc.TrackCount; ++n) {
    const TTrackEntry& track = Disc.Tracks[n];
    differs = CD.CDTrackStart(static_cast<std::uint8_t>(n)) != track.StartPos ||
              CD.CDTrackLength(static_cast<std::uint8_t>(n)) != track.Length;
  }
  if (differs) LoadDisc();
  if (AutoWall) Wallpaper.ShowJacket(Disc.JacketFile.Str(), true);
}

void TQVRDM::LoadDisc() {
  ClearDisc(Disc, ports_.today);
  TDiscRecord drive;
  ClearDisc(drive, ports_.today);
  drive.DiscKey = CD.CDMediaID();
  drive.TrackCount = static_cast<std::uint8_t>(std::min(CD.CDTrackCount(), 99));
  drive.DiscTime = CD.CDDiscLength();
  for (int n = 1; n <= drive.TrackCount; ++n) {
    drive.Tracks[n].StartPos = CD.CDTrackStart(static_cast<std::uint8_t>(n));
    drive.Tracks[n].Length = CD.CDTrackLength(static_cast<std::uint8_t>(n));
  }
  looking_up_ = true;
  try {
    RememberDatabaseStamps();
    Disc = Database.DBLookup(drive, ports_.progress);
  } catch (...) {
    looking_up_ = false;
    throw;
  }
  // Files the lookup itself created are no news from another writer.
  const auto after = DatabaseStamps();
  for (std::size_t i = 0; i < after.size(); ++i) {
    if (!database_stamps_[i]) database_stamps_[i] = after[i];
  }
  looking_up_ = false;
  DiscCdText.DiscLoaded(CD, Disc);
  ResetPlayOrder();
  LoadLyrics();
}

}  // namespace qvr
