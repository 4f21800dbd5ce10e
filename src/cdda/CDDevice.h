// The CD audio device port: one method per request of the media player control that drives the
// platform's CD audio device. The device layer (CDDA) turns each of its operations into these
// requests; the cdio driver and the simulated drive answer them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cdda/CdText.h"

namespace qvr {

// Time formats of positions and lengths, with the device's own numbers.
enum class TimeFormat : std::uint8_t { Milliseconds = 0, MSF = 2, TMSF = 10 };

// Device modes as the device reports them (its mode numbers less 524).
enum DeviceMode : std::uint32_t {
  kModeNotReady = 0,
  kModeStopped = 1,
  kModePlaying = 2,
  kModeRecording = 3,
  kModeSeeking = 4,
  kModePaused = 5,
  kModeOpen = 6,
};

// News a playing device gives from its own threads, the moment it happens.
enum class DeviceNews : std::uint8_t {
  // The last sample of what plays has been read and queued: what follows can be handed over
  // (PlayNext) in time to follow without a gap.
  RangeRead,
  // The listener has just heard the first sample of a track, of a handed-over range, or at a
  // position given to NotifyAt.
  Heard,
  // What played has been heard to its end; the device has stopped.
  Ended,
  // The computer's drives may have changed (one plugged in or removed, a disc inserted): a
  // device that awaits a drive may find one now.
  DrivesChanged,
};

// All methods run on the GUI thread. Positions and lengths are in the current time format:
// milliseconds (a frame count f is f * 1000 / 75 + 1), packed MSF, or packed TMSF (track number in
// the low byte, then minutes, seconds, frames relative to that track's start). Positions are
// absolute addresses including the 2-second lead-in. Requests that need an open device throw
// qvr::Error when it is not open; status requests that the device cannot answer return 0.
class CDDevice {
 public:
  virtual ~CDDevice() = default;

  // Opens the device (exclusive; the current time format becomes TMSF). Throws qvr::Error with
  // a Japanese message when the device refuses. May block while the device opens.
  virtual void Open() = 0;
  // Closes the device; playback stops. Nothing happens when it is not open.
  virtual void Close() = 0;
  // Whether Open succeeded and no Close followed.
  virtual bool IsOpen() const = 0;

  // The capability query: whether the device can open its door.
  virtual bool CanEject() = 0;
  // Sets the current time format of later positions, lengths and play addresses.
  virtual void SetTimeFormat(TimeFormat format) = 0;

  // The device mode (DeviceMode); kModeNotReady when it cannot be read or is not open.
  virtual std::uint32_t StatusMode() = 0;
  // Number of tracks on the disc, data tracks included. Needs an open device.
  virtual std::uint32_t StatusNumberOfTracks() = 0;
  // Length of the whole disc: lead-out less the first track's start less 1 frame.
  virtual std::uint32_t StatusLength() = 0;
  // Length of one track: the next track's start less its start (the last track: lead-out less
  // its start less 1 frame). 0 for a track the disc does not have. Track 0 is the hidden first
  // track (StatusHiddenTrack): from the disc's first sector to track 1's start.
  virtual std::uint32_t StatusTrackLength(std::uint8_t track) = 0;
  // Position of the play head (what the listener hears); in the hidden first track, track 0.
  virtual std::uint32_t StatusPosition() = 0;
  // Start position of one track. 0 for a track the disc does not have. Track 0, the hidden
  // first track, starts at the disc's first sector.
  virtual std::uint32_t StatusTrackPosition(std::uint8_t track) = 0;
  // Whether the disc has a hidden first track: audio before track 1 that plays as track 0 (it
  // is not counted in the number of tracks). A drive may find it a while after the disc came
  // (it reads the sound to decide); false until then, when not open and when there is none.
  virtual bool StatusHiddenTrack() { return false; }
  // Whether one track holds audio: false for a data track (an enhanced CD's last track, a mixed
  // mode CD's first). True when the device cannot tell, is not open or the disc has no such track.
  virtual bool StatusTrackIsAudio(std::uint8_t /*track*/) { return true; }
  // Whether one track is de-emphasised as it plays: it was recorded with pre-emphasis (as the
  // table of contents, the image or the sub-channel heard while playing says) and de-emphasis is
  // on. False when the device cannot tell or does not de-emphasise.
  virtual bool StatusTrackDeEmphasised(std::uint8_t /*track*/) { return false; }
  // Whether tracks recorded with pre-emphasis are de-emphasised (on until told otherwise); kept
  // across opens and discs, heard from the sound read next on (within about a second).
  virtual void SetDeEmphasis(bool /*on*/) {}

  // Starts playing from `from` up to `to` (exclusive) and returns without waiting. Audio is
  // never made from data tracks. Throws qvr::Error when playback cannot start (no audio output);
  // the device then keeps what it was doing.
  virtual void Play(std::uint32_t from, std::uint32_t to) = 0;
  // Play without start or end: from the current position to the end of the disc.
  virtual void PlayOn() = 0;
  virtual void Stop() = 0;
  // Pauses playback; nothing when not playing.
  virtual void Pause() = 0;
  // Resumes a paused playback; false (the device rejects it) when it is not paused.
  virtual bool Resume() = 0;
  // Moves the play head of the range last started by Play to `position` (current time format)
  // and plays on from there to that range's end: audio comes from `position` at once, a paused
  // device stays paused there (Resume plays from it). Refused (false, nothing changes) when
  // nothing is playing or paused, or when `position` lies outside the range, so a seek never
  // plays what the range excludes.
  virtual bool Seek(std::uint32_t position) = 0;
  // Opens the door (for an image changer: takes the image out).
  virtual void OpenDoor() = 0;

  // The media identity of the disc as unsigned decimal text; empty when there is no disc.
  virtual std::string MediaIdentity() = 0;
  // The disc's CD-Text, read with its table of contents (a drive's lead-in, an image's cue sheet,
  // CDTEXTFILE or .toc file); empty when the disc has none or the device cannot read it.
  virtual CdText ReadCdText() { return {}; }

  // Why the device reports itself not ready, in the user's language, as the driver knows it (an
  // image that is missing or not a cue sheet, a drive without permission); empty when it is
  // ready or the driver cannot tell. Reasons of a refused Open travel in its exception instead.
  virtual std::string Problem() = 0;
  // True while the device is not ready because the computer has no drive for it to use (it is
  // set to use the default drive and none was found): nothing about it changes until the drives
  // do, which it announces as DrivesChanged news where the system tells it, so that it need not
  // be polled often meanwhile.
  virtual bool AwaitsDrive() { return false; }
  // Whether the device tells DrivesChanged of every change that could end AwaitsDrive, so that
  // it need not be polled at all meanwhile.
  virtual bool AnnouncesDrives() { return false; }
  // Where the device's news goes. The listener is called on the device's own threads (the
  // simulated drive: inside Advance) and must do no more than post the news to the GUI thread.
  // A device without news never calls it.
  // NOLINTNEXTLINE(performance-unnecessary-value-param): by value, as the devices with news keep it
  virtual void SetNewsListener(std::function<void(DeviceNews)> /*listener*/) {}
  // Hands over what plays after what plays now, so that it follows at the next sample: once the
  // play head reaches `at` (inside what plays now or at its end), play from `from` up to `to`
  // (exclusive) instead of the rest; `from` >= `to` ends playback at `at`. Replaces an earlier
  // hand-over that has not started. False, and nothing changes, when it comes too late (the
  // device has read past `at`, or has begun the earlier hand-over) or the device cannot do it.
  virtual bool PlayNext(std::uint32_t /*at*/, std::uint32_t /*from*/, std::uint32_t /*to*/) { return false; }
  // Whether a range handed over by PlayNext has not been heard yet.
  virtual bool NextPending() { return false; }
  // Positions (current time format) at which to give Heard news, besides the track starts:
  // the times of timed lyrics. Replaces the earlier ones; forgotten when the disc changes.
  // NOLINTNEXTLINE(performance-unnecessary-value-param): by value, as the devices with news keep them
  virtual void NotifyAt(std::vector<std::uint32_t> /*positions*/) {}
  // Ends sound that the device began ahead of the program's start-up (see CdioDrive::PlayAhead)
  // and that no play request has taken over: the start-up's first tick chose not to play it.
  // Nothing when there is none.
  virtual void DropAhead() {}
};

}  // namespace qvr
