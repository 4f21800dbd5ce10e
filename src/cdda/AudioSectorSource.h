// Where the digital player reads a disc's audio sectors from: an image file or a drive.
#pragma once

#include <cstdint>
#include <optional>

namespace qvr {

class AudioSectorSource {
 public:
  virtual ~AudioSectorSource() = default;

  // Reads `count` audio sectors starting at absolute frame address `frame` (lead-in included)
  // into `samples`: count * 1176 interleaved 16-bit native-endian samples. Called on the
  // player's reader thread only, one call at a time. Sectors the image does not hold (gaps)
  // read as silence. Throws qvr::Error when the medium cannot be read.
  virtual void ReadAudio(std::uint32_t frame, std::uint32_t count, std::int16_t* samples) = 0;

  // What the Q sub-channel says at the medium's current position: the track it names and whether
  // its control bits flag pre-emphasis (some discs flag it there and not in the table of
  // contents).
  struct PositionQ {
    std::uint32_t track = 0;
    bool preEmphasis = false;
  };
  // The Q sub-channel where the medium was last read (a drive's head after ReadAudio). Called on
  // the player's reader thread after ReadAudio. nullopt where there is no sub-channel (images)
  // or the drive cannot tell.
  virtual std::optional<PositionQ> ReadPositionQ() { return std::nullopt; }
};

}  // namespace qvr
