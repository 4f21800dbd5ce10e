// Table-of-contents arithmetic shared by the drivers: lengths, replies per time format, and the
// audio stretches of a play range.
#include "cdda/DiscToc.h"

#include <algorithm>

#include "util/Msf.h"

namespace qvr {

std::uint32_t DiscToc::TrackEnd(std::uint32_t track) const {
  return track < Tracks.size() ? Tracks[track].Start : LeadOut;
}

std::uint32_t DiscToc::TrackStart(std::uint32_t track) const {
  if (track == 0) return kLeadInFrames;
  return HasTrack(track) ? Tracks[track - 1].Start : LeadOut;
}

std::uint32_t DiscToc::TrackLength(std::uint32_t track) const {
  if (track == 0) return HasHiddenTrack() ? Tracks.front().Start - kLeadInFrames : 0;
  if (!HasTrack(track)) return 0;
  std::uint32_t start = Tracks[track - 1].Start;
  std::uint32_t end = track < Tracks.size() ? Tracks[track].Start : LeadOut - 1;
  return end > start ? end - start : 0;
}

std::uint32_t DiscToc::DiscLength() const {
  if (Tracks.empty() || LeadOut <= Tracks.front().Start) return 0;
  return LeadOut - Tracks.front().Start - 1;
}

std::uint32_t DiscToc::TrackAt(std::uint32_t frame) const {
  if (HasHiddenTrack() && frame < Tracks.front().Start) return 0;
  std::uint32_t track = 1;
  for (std::uint32_t n = 1; n <= Tracks.size(); ++n) {
    if (Tracks[n - 1].Start <= frame) track = n;
  }
  return track;
}

std::uint32_t DiscToc::TrackPositionReply(TimeFormat format, std::uint32_t track) const {
  if (!HasPlayableTrack(track)) return 0;
  std::uint32_t start = TrackStart(track);
  switch (format) {
    case TimeFormat::Milliseconds: return FramesToMilliseconds(start);
    case TimeFormat::MSF: return FramesToMSF(start);
    case TimeFormat::TMSF: return PackTMSF(static_cast<std::uint8_t>(track), 0, 0, 0);
  }
  return 0;
}

std::uint32_t DiscToc::TrackLengthReply(TimeFormat format, std::uint32_t track) const {
  if (!HasPlayableTrack(track)) return 0;
  std::uint32_t length = TrackLength(track);
  return format == TimeFormat::Milliseconds ? FramesToMilliseconds(length) : FramesToMSF(length);
}

std::uint32_t DiscToc::DiscLengthReply(TimeFormat format) const {
  std::uint32_t length = DiscLength();
  return format == TimeFormat::Milliseconds ? FramesToMilliseconds(length) : FramesToMSF(length);
}

std::uint32_t DiscToc::PositionReply(TimeFormat format, std::uint32_t frame) const {
  switch (format) {
    case TimeFormat::Milliseconds: return FramesToMilliseconds(frame);
    case TimeFormat::MSF: return FramesToMSF(frame);
    case TimeFormat::TMSF: {
      if (Tracks.empty()) return 0;
      std::uint32_t track = TrackAt(frame);
      std::uint32_t start = TrackStart(track);
      std::uint32_t offset = frame > start ? frame - start : 0;
      return track | (FramesToMSF(offset) << 8);
    }
  }
  return 0;
}

std::uint32_t DiscToc::FrameOf(TimeFormat format, std::uint32_t value) const {
  switch (format) {
    case TimeFormat::Milliseconds: return MillisecondsToFrames(value);
    case TimeFormat::MSF: return MSFToFrames(value);
    case TimeFormat::TMSF: {
      std::uint32_t track = TMSFTrack(value);
      if (!HasPlayableTrack(track)) return LeadOut;
      return TrackStart(track) + MSFToFrames(TMSFTime(value));
    }
  }
  return 0;
}

std::vector<FrameRange> DiscToc::AudioRanges(std::uint32_t from, std::uint32_t to) const {
  std::vector<FrameRange> ranges;
  if (Tracks.empty()) return ranges;
  to = PlayEnd(to);
  // Track 0 is track 1's pregap: audio when track 1 is.
  if (HasHiddenTrack() && Tracks.front().Audio && from < Tracks.front().Start) {
    from = std::max(from, kLeadInFrames);
    const std::uint32_t end = std::min(to, Tracks.front().Start);
    if (from < end) ranges.push_back({from, end});
  }
  from = std::max(from, Tracks.front().Start);
  for (std::uint32_t track = 1; track <= Tracks.size(); ++track) {
    if (!Tracks[track - 1].Audio) continue;
    std::uint32_t begin = std::max(from, Tracks[track - 1].Start);
    std::uint32_t end = std::min(to, TrackEnd(track));
    if (begin >= end) continue;
    if (!ranges.empty() && ranges.back().To == begin) {
      ranges.back().To = end;
    } else {
      ranges.push_back({begin, end});
    }
  }
  return ranges;
}

}  // namespace qvr
