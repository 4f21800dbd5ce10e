// The hidden first track ("track 0"): audio some discs hold before track 1, in its pregap, which
// a home player reaches by rewinding from the start of track 1. A disc offers it when track 1
// starts more than 2 seconds after the disc's first sector and that stretch is not digital
// silence. Deciding it reads the stretch from the disc's sector source, stopping at the first
// sample that is not zero.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>

#include "cdda/AudioSectorSource.h"
#include "cdda/DiscToc.h"

namespace qvr {

// The hidden track's title wherever the disc record has none for it (it never has: records
// describe tracks 1 and up).
inline constexpr const char* kHiddenTrackTitle = "トラック 0 (隠しトラック)";

// The shortest stretch before track 1 that can be a hidden track: shorter ones are the pregaps
// and count-ins of mastering, not tracks.
inline constexpr std::uint32_t kHiddenTrackMinFrames = 150;

// Whether the table of contents leaves room for a hidden track: track 1 holds audio and starts
// more than kHiddenTrackMinFrames after the disc's first sector.
bool MayHaveHiddenTrack(const DiscToc& toc);

// Whether the frames before track 1 hold a sample that is not zero. Reads `source` a few sectors
// at a time from the disc's first sector on and stops at the first such sample, or when
// `cancel` is set (false then). A sector that cannot be read ends the search with false: a drive
// that cannot read the pregap cannot play it either. False when MayHaveHiddenTrack is.
bool PregapHoldsAudio(const DiscToc& toc, AudioSectorSource& source, const std::atomic<bool>* cancel = nullptr);

// PregapHoldsAudio on a thread of its own, for a drive, whose reads may take a while (the disc
// spinning up): the caller asks for the answer when it needs it and never waits. `source` must
// outlive the probe; its reads serialize themselves (a drive's ReadAudio takes the drive's lock).
class HiddenTrackProbe {
 public:
  HiddenTrackProbe(const DiscToc& toc, AudioSectorSource& source);
  // Cancels the search and waits for the thread (at most one read of a few sectors).
  ~HiddenTrackProbe();
  HiddenTrackProbe(const HiddenTrackProbe&) = delete;
  HiddenTrackProbe& operator=(const HiddenTrackProbe&) = delete;

  // The answer; nullopt while the search goes on.
  std::optional<bool> Result() const;

 private:
  std::atomic<bool> cancel_{false};
  std::atomic<int> result_{-1};  // -1 searching, 0 no hidden track, 1 a hidden track
  std::thread thread_;
};

}  // namespace qvr
