// The drive state that the device layer keeps and the rest of the program reads.
#pragma once

#include <cstdint>

namespace qvr {

enum TCDState : std::uint8_t {
  cdNotReady = 0,  // device not open, or open in a mode not accepted at open time
  cdOpen = 1,      // door open or no disc; also seeking, recording and unknown modes
  cdStopped = 2,   // disc present, not playing
  cdPlaying = 3,
  cdPaused = 4,
};

}  // namespace qvr
