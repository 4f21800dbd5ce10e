// Status presentation: the enabled state of the menu items and pad buttons, and the texts of
// the tray hint, the pad caption and the lyrics line, all taken from the drive state and the
// disc record (for an unregistered disc, the titles of its CD-Text). Record texts are Shift-JIS
// and are decoded here; '&' is doubled wherever a text reaches a label or the tray hint, so that
// it shows literally.
#include "app/TQVRDM.h"
#include "cdda/HiddenTrack.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

constexpr const char* kNoDrive = "ＣＤ－ＲＯＭドライブを使用できません";
constexpr const char* kNotReadyHint = "Not Ready";
constexpr const char* kReasonSeparator = ": ";
constexpr const char* kInsertDisc = "ＣＤをセットしてください";
constexpr const char* kNoDiscHint = "No Disc";
constexpr const char* kNoDiscName = "ＣＤ名未登録 ";
constexpr const char* kNoArtistName = "アーティスト名未登録";
constexpr const char* kNoTrackName = "曲名未登録";
constexpr const char* kPausedText = "一時停止中...";
constexpr const char* kPauseCaption = "一時停止";
constexpr const char* kResumeCaption = "一時停止解除";
// What to do while no drive or image can be used, after the reason on the lyrics line and on
// the tray hint's second line; the quoted names are the menu's items.
constexpr const char* kChooseDrive = "右クリックして「CDドライブの設定...」でCDドライブかCDイメージを選んでください";
constexpr const char* kChooseDriveOrDemo =
    "右クリックして「CDドライブの設定...」でCDドライブかCDイメージを選ぶか、「デモディスクを再生」をお試しください";
constexpr const char* kAdviceSeparator = "　";
// After the track's title and in the tray hint while a track recorded with pre-emphasis plays.
constexpr const char* kDeEmphasised = " (デエンファシス)";

std::string Amp(const std::string& text) { return DoubleChar(text, '&'); }

// "[title] " or the unregistered text, then " artist" or the unregistered text. With
// `double_amp` each name has its '&' doubled (the tray hint while playing and paused).
std::string DiscCaption(const TDiscRecord& disc, bool double_amp) {
  std::string name = disc.DiscName.ToUtf8();
  std::string artist = disc.ArtistName.ToUtf8();
  if (double_amp) {
    name = Amp(name);
    artist = Amp(artist);
  }
  std::string caption = name.empty() ? kNoDiscName : "[" + name + "] ";
  caption += artist.empty() ? std::string(kNoArtistName) : " " + artist;
  return caption;
}

}  // namespace

void TQVRDM::UpdateControls() {
  const TCDState state = CD.CDState;
  const bool stopped = state == TCDState::cdStopped;
  const bool running = state == TCDState::cdPlaying || state == TCDState::cdPaused;
  const bool disc = stopped || running;
  QVRMenu.SetEnabled(MenuItemId::PlayMNU, stopped);
  for (MenuItemId item : {MenuItemId::StopMNU, MenuItemId::PauseMNU, MenuItemId::NextMNU, MenuItemId::PreviousMNU}) {
    QVRMenu.SetEnabled(item, running);
  }
  for (MenuItemId item : {MenuItemId::PlayListMNU, MenuItemId::JacketViewMNU, MenuItemId::LibraryEditMNU}) {
    QVRMenu.SetEnabled(item, disc);
  }
  QVRMenu.SetCaption(MenuItemId::PauseMNU, state == TCDState::cdPaused ? kResumeCaption : kPauseCaption);
  const bool not_ready = state == TCDState::cdNotReady;
  QVRMenu.SetVisible(MenuItemId::DriveSetupMNU, not_ready);
  QVRMenu.SetVisible(MenuItemId::DemoDiscMNU, not_ready && !ports_.demo_disc.empty());
}

std::string TQVRDM::NotReadyAdvice() const { return ports_.demo_disc.empty() ? kChooseDrive : kChooseDriveOrDemo; }

std::string TQVRDM::TrackTitleCaption(int track) {
  std::string title;
  if (track >= 1 && track <= 99) {
    title = DiscCdText.Shown(Disc).Tracks[static_cast<std::size_t>(track)].TrackName.ToUtf8();
  } else if (track == 0 && CD.CDHasHiddenTrack()) {
    // The record has no entry for the hidden first track: it is shown by what it is.
    title = kHiddenTrackTitle;
  }
  std::string caption = title.empty() ? kNoTrackName : "[" + title + "]";
  return de_emphasis_shown_ ? caption + kDeEmphasised : caption;
}

void TQVRDM::UpdateStatus() {
  QVRView& view = ports_.view;
  switch (CD.CDState) {
    case TCDState::cdNotReady: {
      // The driver's reason, when it knows one, says more than the general text; then what to
      // do about it, so that a first start without a drive is not a dead end.
      const std::string reason = CD.CDProblem();
      const std::string advice = NotReadyAdvice();
      view.SetPadCaption(kNoDrive);
      view.SetLyricsText((reason.empty() ? std::string(kNoDrive) : Amp(reason)) + kAdviceSeparator + advice);
      view.SetTrayHint(
          (reason.empty() ? std::string(kNotReadyHint) : kNotReadyHint + (kReasonSeparator + Amp(reason))) + "\n" +
          advice);
      break;
    }
    case TCDState::cdOpen:
      view.SetPadCaption(kInsertDisc);
      view.SetLyricsText(kInsertDisc);
      view.SetTrayHint(kNoDiscHint);
      break;
    case TCDState::cdStopped: {
      const std::string caption = DiscCaption(DiscCdText.Shown(Disc), false);
      view.SetPadCaption(caption);
      view.SetLyricsText(Amp(caption));
      view.SetTrayHint(view.LyricsText());
      break;
    }
    case TCDState::cdPlaying: {
      const int track = CD.CDCurrentTrack() & 0x7F;
      de_emphasis_shown_ = CD.CDTrackDeEmphasised(static_cast<std::uint8_t>(track));
      view.SetTrayHint(DiscCaption(DiscCdText.Shown(Disc), true) + (de_emphasis_shown_ ? kDeEmphasised : ""));
      const std::string caption = TrackTitleCaption(track);
      view.SetPadCaption(caption);
      view.SetLyricsText(Amp(caption));
      TitleShown = true;
      break;
    }
    case TCDState::cdPaused: {
      const int track = CD.CDCurrentTrack() & 0x7F;
      de_emphasis_shown_ = CD.CDTrackDeEmphasised(static_cast<std::uint8_t>(track));
      view.SetTrayHint(DiscCaption(DiscCdText.Shown(Disc), true) + (de_emphasis_shown_ ? kDeEmphasised : ""));
      const std::string caption = view.LyricsText() == kPausedText ? TrackTitleCaption(track) : kPausedText;
      view.SetPadCaption(caption);
      view.SetLyricsText(Amp(caption));
      break;
    }
  }
}

}  // namespace qvr
