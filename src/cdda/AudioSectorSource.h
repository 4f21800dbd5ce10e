// Where the digital player reads a disc's audio sectors from: an image file or a drive.
#pragma once

#include <cstdint>

namespace qvr {

class AudioSectorSource {
 public:
  virtual ~AudioSectorSource() = default;

  // Reads `count` audio sectors starting at absolute frame address `frame` (lead-in included)
  // into `samples`: count * 1176 interleaved 16-bit native-endian samples. Called on the
  // player's reader thread only, one call at a time. Sectors the image does not hold (gaps)
  // read as silence. Throws qvr::Error when the medium cannot be read.
  virtual void ReadAudio(std::uint32_t frame, std::uint32_t count, std::int16_t* samples) = 0;
};

}  // namespace qvr
