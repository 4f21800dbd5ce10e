// Packed CD time values. Packed MSF: minutes in bits 0-7, seconds in bits 8-15, frames in
// bits 16-23 (75 frames a second). Packed TMSF: track in bits 0-7, then minutes, seconds and
// frames a byte each. Positions, lengths and the disc length are held and stored in these forms.
#pragma once

#include <cstdint>

namespace qvr {

constexpr std::uint32_t kFramesPerSecond = 75;
constexpr std::uint32_t kFramesPerMinute = 60 * kFramesPerSecond;

struct TMSFParts {
  std::uint8_t Minute = 0;
  std::uint8_t Second = 0;
  std::uint8_t Frame = 0;
  friend bool operator==(const TMSFParts&, const TMSFParts&) = default;
};

// Splits a packed MSF value into its three bytes.
constexpr TMSFParts SplitMSF(std::uint32_t msf) {
  return {static_cast<std::uint8_t>(msf & 0xFF), static_cast<std::uint8_t>((msf >> 8) & 0xFF),
          static_cast<std::uint8_t>((msf >> 16) & 0xFF)};
}

constexpr std::uint32_t PackMSF(std::uint8_t minute, std::uint8_t second, std::uint8_t frame) {
  return minute | (std::uint32_t{second} << 8) | (std::uint32_t{frame} << 16);
}

constexpr std::uint32_t PackTMSF(std::uint8_t track, std::uint8_t minute, std::uint8_t second, std::uint8_t frame) {
  return track | (std::uint32_t{minute} << 8) | (std::uint32_t{second} << 16) | (std::uint32_t{frame} << 24);
}

constexpr std::uint8_t TMSFTrack(std::uint32_t tmsf) { return static_cast<std::uint8_t>(tmsf & 0xFF); }
// The minute, second and frame of a packed TMSF value, as a packed MSF value.
constexpr std::uint32_t TMSFTime(std::uint32_t tmsf) { return tmsf >> 8; }

// Frame count of a packed MSF value, and the packed MSF value of a frame count. Minutes beyond
// 255 do not fit a packed value; FramesToMSF keeps the low byte, as the device format does.
constexpr std::uint32_t MSFToFrames(std::uint32_t msf) {
  TMSFParts parts = SplitMSF(msf);
  return parts.Minute * kFramesPerMinute + parts.Second * kFramesPerSecond + parts.Frame;
}

constexpr std::uint32_t FramesToMSF(std::uint32_t frames) {
  return PackMSF(static_cast<std::uint8_t>(frames / kFramesPerMinute),
                 static_cast<std::uint8_t>(frames / kFramesPerSecond % 60),
                 static_cast<std::uint8_t>(frames % kFramesPerSecond));
}

// A play-head position (packed TMSF) as a number that orders positions in time: track, then
// minutes, seconds and frames, from the most significant byte down. The packed value itself does
// not order them, since its most significant byte is the frame.
constexpr std::int32_t TMSFTimeOrder(std::uint32_t tmsf) {
  return static_cast<std::int32_t>(((tmsf & 0x7F) << 24) | (((tmsf >> 8) & 0xFF) << 16) | (((tmsf >> 16) & 0xFF) << 8) |
                                   ((tmsf >> 24) & 0xFF));
}

}  // namespace qvr
