// Plays stretches of a disc's audio sectors through the audio output, from a reader thread, with
// the heard position, pause without loss, and gapless runs of consecutive tracks.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioSink.h"
#include "cdda/AudioSectorSource.h"
#include "cdda/DiscToc.h"

namespace qvr {

class DigitalPlayer {
 public:
  enum class State { Stopped, Playing, Paused };

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

 private:
  void Run();
  void FinishLocked();
  std::uint32_t HeardFrameLocked();
  void StopLocked();

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

  std::thread reader_;
};

}  // namespace qvr
