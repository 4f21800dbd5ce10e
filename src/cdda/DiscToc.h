// A disc's table of contents as absolute frame addresses (the 2-second lead-in included, so a
// disc's first sector is at frame 150), and the device's answers derived from it in each time
// format. Both drivers answer their status requests through these.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "cdda/CDDevice.h"

namespace qvr {

constexpr std::uint32_t kLeadInFrames = 150;
constexpr std::uint32_t kSectorBytes = 2352;
constexpr std::uint32_t kSamplesPerSector = kSectorBytes / 2;  // interleaved 16-bit samples

struct TocTrack {
  std::uint32_t Start = 0;  // absolute frame address of INDEX 01
  bool Audio = true;
  // Recorded with 50/15 us pre-emphasis (control bit 0x1; cue FLAGS PRE, .toc PRE_EMPHASIS): the
  // player de-emphasises it.
  bool PreEmphasis = false;
  friend bool operator==(const TocTrack&, const TocTrack&) = default;
};

// One stretch of frames [From, To) to be played.
struct FrameRange {
  std::uint32_t From = 0;
  std::uint32_t To = 0;
  friend bool operator==(const FrameRange&, const FrameRange&) = default;
};

// Frame counts and milliseconds as the device converts them.
constexpr std::uint32_t FramesToMilliseconds(std::uint32_t frames) {
  return static_cast<std::uint32_t>(std::uint64_t{frames} * 1000 / 75 + 1);
}
constexpr std::uint32_t MillisecondsToFrames(std::uint32_t milliseconds) {
  if (milliseconds == 0) return 0;
  return static_cast<std::uint32_t>(((std::uint64_t{milliseconds} - 1) * 75 + 500) / 1000);
}

struct DiscToc {
  std::vector<TocTrack> Tracks;  // track 1 first
  std::uint32_t LeadOut = 0;     // absolute frame address of the lead-out
  // The number the disc gives its first track (1 but on some discs of a set); the player counts
  // the tracks from 1 whatever it is, and the disc IDs count from it.
  std::uint32_t FirstTrack = 1;
  // The hidden first track: the audio before track 1, from the disc's first sector (frame 150)
  // up to track 1's start, plays as track 0. Set by the driver once it has found audio there
  // (HiddenTrack.h); the track count, the disc length, the disc key and the disc IDs leave it out.
  bool HiddenTrack = false;

  friend bool operator==(const DiscToc&, const DiscToc&) = default;

  std::uint32_t TrackCount() const { return static_cast<std::uint32_t>(Tracks.size()); }
  bool HasTrack(std::uint32_t track) const { return track >= 1 && track <= Tracks.size(); }
  // A track the player can be asked for: one of the disc's, or track 0 when the disc has it.
  bool HasPlayableTrack(std::uint32_t track) const { return HasTrack(track) || (track == 0 && HasHiddenTrack()); }
  bool HasHiddenTrack() const { return HiddenTrack && !Tracks.empty() && Tracks.front().Start > kLeadInFrames; }
  // Where a track begins: its INDEX 01, and for track 0 the disc's first sector.
  std::uint32_t TrackStart(std::uint32_t track) const;
  // The next track's start less this start; the last track: lead-out less its start less 1.
  // Track 0: track 1's start less the disc's first sector (0 when the disc has no track 0).
  std::uint32_t TrackLength(std::uint32_t track) const;
  // Lead-out less the first track's start less 1 frame.
  std::uint32_t DiscLength() const;
  // The track whose stretch holds `frame` (for frames before track 1, track 0 when the disc has
  // it, else track 1).
  std::uint32_t TrackAt(std::uint32_t frame) const;
  // Where the track's frames end: the next track's start, or the lead-out.
  std::uint32_t TrackEnd(std::uint32_t track) const;

  // Answers in a time format.
  std::uint32_t TrackPositionReply(TimeFormat format, std::uint32_t track) const;
  std::uint32_t TrackLengthReply(TimeFormat format, std::uint32_t track) const;
  std::uint32_t DiscLengthReply(TimeFormat format) const;
  std::uint32_t PositionReply(TimeFormat format, std::uint32_t frame) const;
  // The absolute frame of a play address given in a time format.
  std::uint32_t FrameOf(TimeFormat format, std::uint32_t value) const;

  // Where a play range ending at `to` ends: the lead-out for a range that ends where the disc's
  // length ends (lengths count the last track one frame short, as drives report it, but the
  // disc's last sector is played too), else `to`.
  std::uint32_t PlayEnd(std::uint32_t to) const { return to + 1 >= LeadOut ? LeadOut : to; }
  // The stretches of audio frames within [from, PlayEnd(to)): a range that starts or ends in a data track
  // is moved forward to the next audio track's start, and data frames are left out; frames before
  // track 1 are audible only as track 0. Empty when nothing audible remains.
  std::vector<FrameRange> AudioRanges(std::uint32_t from, std::uint32_t to) const;
};

}  // namespace qvr
