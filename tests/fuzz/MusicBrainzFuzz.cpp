// Fuzzes the reading of MusicBrainz disc ID answers with arbitrary bytes. Besides not crashing
// (nor running out of memory under the fuzzer's limit), an answer either gives proposals whose
// records keep the disc's identity and positions, or is refused with a lookup error.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "metadata/HttpClient.h"
#include "metadata/MusicBrainz.h"

namespace {

qvr::TDiscRecord Disc() {
  qvr::TDiscRecord disc;
  disc.DiscKey = "0137EBFA";
  disc.TrackCount = 3;
  disc.DiscTime = 0x00000800;
  for (std::uint32_t n = 1; n <= 3; ++n) {
    disc.Tracks[n].StartPos = n * 0x100;
    disc.Tracks[n].Length = 0x100;
  }
  return disc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qvr::TDiscRecord disc = Disc();
  const std::string_view json(reinterpret_cast<const char*>(data), size);
  try {
    for (const qvr::DiscProposal& proposal : qvr::ParseMusicBrainzDiscId(json, "disc-id", disc)) {
      const qvr::TDiscRecord& record = proposal.Record;
      if (!(record.DiscKey == disc.DiscKey) || record.TrackCount != disc.TrackCount) std::abort();
      for (std::uint32_t n = 1; n <= 3; ++n) {
        if (record.Tracks[n].StartPos != disc.Tracks[n].StartPos) std::abort();
      }
    }
  } catch (const qvr::LookupError&) {
  }
  return 0;
}
