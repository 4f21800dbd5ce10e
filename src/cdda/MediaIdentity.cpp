// Media identity: a checksum over the track start addresses.
#include "cdda/MediaIdentity.h"

#include "util/Msf.h"

namespace qvr {

std::uint32_t MediaIdentityValue(const DiscToc& toc) {
  std::uint32_t sum = 0;
  for (const TocTrack& track : toc.Tracks) {
    TMSFParts start = SplitMSF(FramesToMSF(track.Start));
    sum += (std::uint32_t{start.Minute} << 16) | (std::uint32_t{start.Second} << 8) | start.Frame;
  }
  if (!toc.Tracks.empty() && toc.Tracks.size() < 3) {
    std::uint32_t first = toc.Tracks.front().Start;
    sum += SplitMSF(FramesToMSF(first)).Frame;
    sum += toc.LeadOut - first;
  }
  return sum;
}

std::string MediaIdentityText(const DiscToc& toc) { return std::to_string(MediaIdentityValue(toc)); }

}  // namespace qvr
