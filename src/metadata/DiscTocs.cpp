// The tables of contents disc IDs are computed from, taken from a record or from the drive. Apart
// from DiscIds.cpp so that a program that reads drives without asking online sources (qvrdb's
// probe) does not load libdiscid.
#include "cdda/DiscToc.h"
#include "metadata/DiscIds.h"
#include "util/Error.h"
#include "util/Msf.h"

namespace qvr {

DiscToc TocOfRecord(const TDiscRecord& disc) {
  DiscToc toc;
  const std::size_t tracks = UsedTracks(disc.TrackCount);
  for (std::size_t n = 1; n <= tracks; ++n) toc.Tracks.push_back({MSFToFrames(disc.Tracks[n].StartPos), true});
  if (tracks > 0) toc.LeadOut = MSFToFrames(disc.Tracks[tracks].StartPos) + MSFToFrames(disc.Tracks[tracks].Length) + 1;
  return toc;
}

DiscToc TocOfDisc(CDDA& cd, const TDiscRecord& disc) {
  DiscToc toc = TocOfRecord(disc);
  try {
    if (cd.CDState == cdNotReady || cd.CDState == cdOpen) return toc;
    if (!(cd.CDMediaID() == disc.DiscKey) || cd.CDTrackCount() != static_cast<int>(toc.Tracks.size())) return toc;
    for (std::size_t n = 1; n <= toc.Tracks.size(); ++n) {
      toc.Tracks[n - 1].Audio = cd.CDTrackIsAudio(static_cast<std::uint8_t>(n));
    }
  } catch (const Error&) {
    return TocOfRecord(disc);  // the drive went away while being asked: the record's table alone
  }
  return toc;
}

}  // namespace qvr
