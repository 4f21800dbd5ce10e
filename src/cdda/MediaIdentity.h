// The media identity of a disc, computed from its table of contents the way the platform's CD
// audio device does, so that discs keep the keys existing databases hold.
#pragma once

#include <cstdint>
#include <string>

#include "cdda/DiscToc.h"

namespace qvr {

// The 32-bit sum, over every track (data tracks too), of the track's absolute start packed as
// minutes << 16 | seconds << 8 | frames; a disc of fewer than 3 tracks adds the frames byte of
// the first track's start and the lead-out less the first track's start, in frames.
std::uint32_t MediaIdentityValue(const DiscToc& toc);

// The same as unsigned decimal text, the form the device reports it in.
std::string MediaIdentityText(const DiscToc& toc);

}  // namespace qvr
