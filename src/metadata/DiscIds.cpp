// Disc IDs for MusicBrainz and CDDB.
#include "metadata/DiscIds.h"

#include <discid/discid.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "util/Error.h"
#include "util/Msf.h"

namespace qvr {
namespace {

// MusicBrainz takes the lead-out of an enhanced CD's audio session this far before its data
// track: the gap between the sessions.
constexpr std::uint32_t kSessionGapFrames = 11400;

struct DiscIdDeleter {
  void operator()(DiscId* disc) const { discid_free(disc); }
};

}  // namespace

std::string MusicBrainzDiscId(const DiscToc& toc) {
  std::size_t last = toc.Tracks.size();
  std::uint32_t lead_out = toc.LeadOut;
  if (last > 1 && !toc.Tracks.back().Audio) {
    lead_out = toc.Tracks.back().Start > kSessionGapFrames ? toc.Tracks.back().Start - kSessionGapFrames : 0;
    --last;
  }
  if (last == 0 || last > 99) throw Error("ディスク ID を計算できません: トラックがありません");
  // libdiscid's offsets: [0] the lead-out, then each track's start at its number, all absolute
  // frames. A disc whose first track is numbered above 1 is counted from that number.
  const std::size_t first = toc.FirstTrack;
  if (first == 0 || first + last - 1 > 99) throw Error("ディスク ID を計算できません: トラック番号が正しくありません");
  std::vector<int> offsets(100, 0);
  offsets[0] = static_cast<int>(lead_out);
  for (std::size_t n = 1; n <= last; ++n) offsets[first + n - 1] = static_cast<int>(toc.Tracks[n - 1].Start);
  std::unique_ptr<DiscId, DiscIdDeleter> disc(discid_new());
  if (!disc || !discid_put(disc.get(), static_cast<int>(first), static_cast<int>(first + last - 1), offsets.data())) {
    throw Error(std::string("ディスク ID を計算できません: ") + (disc ? discid_get_error_msg(disc.get()) : ""));
  }
  return discid_get_id(disc.get());
}

std::uint32_t CddbDiscId(const DiscToc& toc) {
  auto digit_sum = [](std::uint32_t n) {
    std::uint32_t sum = 0;
    for (; n > 0; n /= 10) sum += n % 10;
    return sum;
  };
  std::uint32_t sum = 0;
  for (const TocTrack& track : toc.Tracks) sum += digit_sum(track.Start / kFramesPerSecond);
  const std::uint32_t first = toc.Tracks.empty() ? 0 : toc.Tracks.front().Start / kFramesPerSecond;
  const std::uint32_t seconds = toc.LeadOut / kFramesPerSecond - first;
  return (sum % 0xFF) << 24 | (seconds & 0xFFFF) << 8 | (static_cast<std::uint32_t>(toc.Tracks.size()) & 0xFF);
}

std::string CddbDiscIdText(const DiscToc& toc) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", CddbDiscId(toc));
  return text;
}

}  // namespace qvr
