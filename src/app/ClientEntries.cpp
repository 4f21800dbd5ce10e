// The controller's entry points for clients outside the windows (the command line's hand-over,
// the media-player bus interface): another drive or image, a seek inside the track being heard,
// and a picture of what plays. Each is a thin step over the existing handlers.
#include "app/TQVRDM.h"
#include "cdda/HiddenTrack.h"
#include "util/Msf.h"
#include "util/ShiftJis.h"

namespace qvr {

namespace {

constexpr std::uint32_t FramesAsMilliseconds(std::uint32_t frames) { return frames * 1000 / 75; }

}  // namespace

bool TQVRDM::ChangeDrive(const std::string& drive) {
  // A disc check in progress keeps the device it reads; the caller tries again later.
  if (looking_up_) return false;
  SwitchDevice(drive);
  // Opening a disc means hearing it, also when the player does not start discs by itself.
  if (CD.CDState == TCDState::cdStopped) PlayMNUClick();
  return true;
}

bool TQVRDM::SeekTo(std::uint32_t milliseconds) {
  if (CD.CDState != TCDState::cdPlaying && CD.CDState != TCDState::cdPaused) return false;
  const std::uint8_t track = CD.CDCurrentTrack() & 0x7F;
  if (track > 99 || (track == 0 && !CD.CDHasHiddenTrack())) return false;
  const std::uint32_t length = MSFToFrames(CD.CDTrackLength(track));
  const std::uint32_t frame = static_cast<std::uint32_t>(std::uint64_t{milliseconds} * 75 / 1000);
  if (frame >= length) return false;
  if (!CD.CDSeek(track, frame)) return false;
  // The lyrics line shows the line of the new place at once.
  if (LyricsLoaded) LyricsStep();
  return true;
}

NowPlaying TQVRDM::NowPlayingSnapshot() {
  NowPlaying now;
  switch (CD.CDState) {
    case TCDState::cdPlaying: now.status = NowPlaying::Status::Playing; break;
    case TCDState::cdPaused: now.status = NowPlaying::Status::Paused; break;
    default: now.status = NowPlaying::Status::Stopped; break;
  }
  now.disc = CD.CDState != TCDState::cdNotReady && CD.CDState != TCDState::cdOpen;
  if (!now.disc) return now;
  now.disc_key = std::string(Disc.DiscKey.View());
  now.album = Disc.DiscName.ToUtf8();
  now.artist = Disc.ArtistName.ToUtf8();
  now.jacket = SjisToUtf8(Disc.JacketFile.View());
  const std::size_t next = PlayIndex >= 1 && PlayIndex <= PlayOrder.size() ? PlayIndex : 1;
  now.can_play = TrackAt(next) != kNoTrack;
  const bool heard = now.status != NowPlaying::Status::Stopped;
  std::uint32_t position = 0;
  if (heard) {
    position = CD.CDPosition();
    now.track = static_cast<int>(position & 0x7F);
  } else {
    now.track = TrackAt(next);
  }
  const bool hidden = now.track == 0 && CD.CDHasHiddenTrack();
  if (!hidden &&
      (now.track < 1 || now.track > static_cast<int>(UsedTracks(Disc.TrackCount)) || now.track > CD.CDTrackCount())) {
    now.track = NowPlaying::kNoTrack;
    return now;
  }
  const auto track = static_cast<std::uint8_t>(now.track);
  now.title = hidden ? std::string(kHiddenTrackTitle) : Disc.Tracks[track].TrackName.ToUtf8();
  now.length_ms = FramesAsMilliseconds(MSFToFrames(CD.CDTrackLength(track)));
  if (heard) now.position_ms = FramesAsMilliseconds(MSFToFrames(position >> 8));
  return now;
}

}  // namespace qvr
