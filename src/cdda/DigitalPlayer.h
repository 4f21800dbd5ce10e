// Plays stretches of a disc's audio sectors through the audio output, from a reader thread, with
// the heard position, pause without loss, gapless runs of consecutive tracks, ranges handed over
// to follow what plays at the next sample, and news of what was read and heard.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioSink.h"
#include "cdda/AudioSectorSource.h"
#include "cdda/DeEmphasis.h"
#include "cdda/DiscToc.h"

namespace qvr {

class DigitalPlayer {
 public:
  enum class State { Stopped, Playing, Paused };
  // Called on the reader thread, without the player's lock.
  using NewsListener = std::function<void(DeviceNews)>;

  explicit DigitalPlayer(AudioSink& sink);
  ~DigitalPlayer();
  DigitalPlayer(const DigitalPlayer&) = delete;
  DigitalPlayer& operator=(const DigitalPlayer&) = delete;

  // Plays `ranges` of `source` one after the other with no gap, replacing what plays now; returns
  // at once. Opens the audio output first and throws qvr::Error (Japanese, with the system's
  // reason) when it cannot, leaving the current playback as it was. `source` must stay valid
  // until Stop, Detach or another Play. `paused`: the new playback starts paused (a seek while
  // paused), so nothing of it is heard before Resume.
  void Play(AudioSectorSource& source, std::vector<FrameRange> ranges, bool paused = false);
  // Stops and closes the audio output; the heard position stays where it was. Does not wait
  // for a disc read in progress.
  void Stop();
  // Stop, and wait until the reader thread no longer uses the source (before it is destroyed).
  void Detach();
  // Pause a playing range (true) / resume a paused one (true); false when nothing to do.
  bool Pause();
  bool Resume();
  // Playing turns into Stopped once the whole range has been heard or a read failed.
  State CurrentState();
  // The absolute frame the listener hears now; when stopped, where playback ended.
  std::uint32_t HeardFrame();
  // Why the last playback ended early (a read error), empty when it did not.
  std::string LastError();
  // Whether all of what plays has been read (the RangeRead news is given or due).
  bool ReadThrough();

  // Where news goes: RangeRead once the last range has been read, Heard when the heard position
  // reaches a mark or a handed-over range, Ended when all was heard and the player stopped.
  void SetListener(NewsListener listener);
  // Absolute frames whose hearing is news (track starts, lyrics times).
  void SetMarks(std::vector<std::uint32_t> frames);
  // At frame `at` of what plays (in the range being read or a later one), goes on with `ranges`
  // instead of the rest; empty `ranges` end there. Replaces a hand-over not yet begun. False
  // when the reader has read past `at` or begun the earlier hand-over.
  bool PlayNext(std::uint32_t at, std::vector<FrameRange> ranges);
  // Whether ranges handed over have not been heard yet.
  bool NextPending();

  // The disc's tracks: where each begins and whether the table of contents flags it as recorded
  // with pre-emphasis. Replaced with every disc; sound already read keeps what it was read with.
  void SetTracks(const DiscToc& toc);
  // Whether flagged tracks are de-emphasised (on at first); from the sound read next on.
  void SetDeEmphasis(bool on);
  // Whether `track` is de-emphasised as it plays: flagged, by the table of contents or, on a
  // drive, by the Q sub-channel read while it played, and de-emphasis on. Track 0 (the hidden
  // first track, track 1's pregap) follows track 1.
  bool DeEmphasised(std::uint32_t track);

 private:
  struct HeardAt {
    std::size_t range = 0;  // index into ranges_
    std::uint32_t frame = 0;
  };
  void Run();
  void FinishLocked();
  HeardAt HeardLocked();
  std::uint32_t HeardFrameLocked();
  void StopLocked();
  bool MayReadLocked(std::size_t queued);
  bool FollowHeardRangeLocked();
  void WatchLocked(std::vector<DeviceNews>& news);
  std::size_t MarkIndexLocked(std::uint32_t frame) const;
  std::size_t RefillMarkLocked() const;
  std::chrono::milliseconds SleepLocked(std::size_t queued, std::size_t mark);
  std::size_t TrackIndexLocked(std::uint32_t frame) const;
  std::vector<bool> EmphasisLocked(std::uint32_t frame, std::uint32_t count) const;
  void DeEmphasise(std::uint32_t frame, const std::vector<bool>& flagged, std::int16_t* samples);

  AudioSink& sink_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  bool quit_ = false;

  // The current job, guarded by mutex_. The generation changes with every Play and Stop, so that
  // a chunk read for an older job is dropped.
  std::uint64_t generation_ = 0;
  bool active_ = false;
  bool paused_ = false;
  bool readDone_ = false;
  bool reading_ = false;
  AudioSectorSource* source_ = nullptr;
  std::vector<FrameRange> ranges_;
  std::size_t rangeIndex_ = 0;
  std::uint32_t nextFrame_ = 0;
  std::uint64_t playedBase_ = 0;  // the sink's played count when the job started
  std::uint32_t stoppedAt_ = 0;
  std::string lastError_;
  std::uint32_t readingTo_ = 0;          // the end of the chunk being read
  bool replacing_ = false;               // the old job's sound plays until the new job's first chunk
  std::optional<std::size_t> handover_;  // where ranges handed over begin in ranges_
  bool readNews_ = false;                // RangeRead is due
  std::size_t heardRange_ = 0;           // the range of ranges_ heard at the last look
  std::vector<std::uint32_t> marks_;     // sorted
  std::size_t heardMark_ = 0;            // marks at or before the heard frame at the last look
  NewsListener listener_;

  // De-emphasis, guarded by mutex_: each track's start and flag, whether it is on.
  std::vector<std::uint32_t> trackStarts_;
  std::vector<bool> emphasis_;
  bool deEmphasisOn_ = true;
  // The filter and the frame after the last sector it filtered: used by the reader thread only.
  DeEmphasis filter_;
  std::optional<std::uint32_t> filteredTo_;

  std::thread reader_;
};

}  // namespace qvr
