// The CD audio device layer: the drive state the program reads (CDState) and the operations that
// open, poll, read and play the drive, each turned into the media player control's requests on
// the bound CDDevice. The controller owns one instance; everything runs on the GUI thread.
#pragma once

#include <cstdint>
#include <vector>

#include "cdda/CDDevice.h"
#include "cdda/CDState.h"
#include "util/ShortString.h"

namespace qvr {

class CDDA {
 public:
  CDDA() = default;
  explicit CDDA(CDDevice& control) { CDInit(control); }

  // Layer variables.
  TCDState CDState = cdNotReady;  // the device state as last determined
  bool CDPausedFlag = false;      // paused by the program and not yet resumed or stopped
  // The range last started by the play command: its first and last track (0: the hidden first track).
  std::uint8_t PlayFrom = 0;
  std::uint8_t PlayTo = 0;

  // Binds the control; sends nothing; CDState := cdNotReady.
  void CDInit(CDDevice& control);
  // (Re)opens the device and takes the state from its mode; false when the open was refused.
  bool CDOpen();
  void CDClose();
  // Refreshes CDState: opens the device while not ready, else reads its mode.
  void CDPoll();
  TCDState CDMode();
  // Sets the control's play range (milliseconds) from the start of `from` to the end of `to`.
  void CDSetRange(std::uint8_t from, std::uint8_t to);
  // Plays from the start of track `from` to the end of track `to` without waiting.
  void CDPlay(std::uint8_t from, std::uint8_t to);
  void CDStop();
  // Moves the play head to `frame` frames after the start of `track` inside the range being
  // played or paused (the state stays); false when the device refuses (stopped, or outside the
  // range).
  bool CDSeek(std::uint8_t track, std::uint32_t frame);
  // Pause/resume toggle.
  void CDPause();
  // Opens the door when the device said at open time that it can.
  void CDEject();
  // Why the drive cannot be used: the reason its last open was refused, else the device's own
  // (empty when it can be used or nobody knows why not).
  std::string CDProblem();
  // Whether the drive is not ready for want of any drive on the computer (see
  // CDDevice::AwaitsDrive): polling it often would find nothing new.
  bool CDAwaitsDrive();
  // Whether the device announces the drives changing (see CDDevice::AnnouncesDrives).
  bool CDAnnouncesDrives();
  // The disc key: the media identity as 8 upper-case hexadecimal digits.
  ShortString<8> CDMediaID();
  int CDTrackCount();
  std::uint32_t CDDiscLength();                     // packed MSF
  std::uint8_t CDCurrentTrack();                    // track under the play head
  std::uint32_t CDPosition();                       // packed TMSF
  std::uint32_t CDTrackStart(std::uint8_t track);   // packed MSF
  std::uint32_t CDTrackLength(std::uint8_t track);  // packed MSF
  // Whether the disc has a hidden first track, played as track 0 (see CDDevice::StatusHiddenTrack).
  bool CDHasHiddenTrack();
  // False for a data track; true for an audio track and whenever the device cannot tell.
  bool CDTrackIsAudio(std::uint8_t track);
  // Whether the track is de-emphasised as it plays (flagged with pre-emphasis, de-emphasis on).
  bool CDTrackDeEmphasised(std::uint8_t track);
  // De-emphasis of flagged tracks on or off: told to the device now and after every open.
  void CDSetDeEmphasis(bool on);
  // The disc's CD-Text; empty when the device is not open or the disc has none.
  CdText CDText();

  // Hands the device the range from the start of track `from` to the end of track `to`, to
  // follow at the next sample once the end of track `after` is heard. False when the device
  // came too late or cannot; the state is not changed.
  bool CDPlayNext(std::uint8_t after, std::uint8_t from, std::uint8_t to);
  // Ends playback at the end of track `after` instead of what was handed over to follow it.
  bool CDEndAfter(std::uint8_t after);
  // Whether a range handed over by CDPlayNext has not been heard yet.
  bool CDNextPending();
  // Play-head positions (packed TMSF) whose hearing the device reports, besides track starts.
  void CDNotifyAt(const std::vector<std::uint32_t>& positions);
  // Ends sound the device began ahead of the start-up that no play request took over (the
  // start-up's first tick is over, or failed); nothing when no device is bound.
  void CDDropAhead();

  // The control's play range as CDSetRange left it, in milliseconds.
  std::uint32_t StartPos() const { return startPos_; }
  std::uint32_t EndPos() const { return endPos_; }

 private:
  CDDevice& Control();
  void ResumeOrPlayOn();

  CDDevice* control_ = nullptr;
  bool canEject_ = false;
  bool deEmphasis_ = true;
  std::string openError_;  // the reason the last open was refused
  std::uint32_t startPos_ = 0;
  std::uint32_t endPos_ = 0;
};

// Converts the device's media identity text (decimal, leading blanks and a sign accepted) into
// the 8-digit disc key. Throws qvr::Error when the text is not a 32-bit integer.
ShortString<8> MediaIDFromText(std::string_view text);

}  // namespace qvr
