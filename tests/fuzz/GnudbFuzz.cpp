// Fuzzes the reading of gnudb's CDDB answers with arbitrary bytes: the same bytes as a query's
// answer and as a read's. Besides not crashing, a query gives only matches whose category and
// ID can go back into a command, and a read keeps the disc's identity and positions; anything
// else is a lookup error.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "metadata/Gnudb.h"
#include "metadata/HttpClient.h"

namespace {

bool PlainWord(std::string_view word) {
  if (word.empty()) return false;
  for (char c : word) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view answer(reinterpret_cast<const char*>(data), size);
  try {
    for (const qvr::CddbMatch& match : qvr::ParseCddbQuery(answer)) {
      if (!PlainWord(match.Category) || !PlainWord(match.DiscId)) std::abort();
    }
  } catch (const qvr::LookupError&) {
  }
  qvr::TDiscRecord disc;
  disc.DiscKey = "930D1E0C";
  disc.TrackCount = 12;
  for (std::uint32_t n = 1; n <= 12; ++n) disc.Tracks[n].StartPos = n * 0x100;
  try {
    const qvr::DiscProposal proposal = qvr::ParseCddbRead(answer, {"rock", "930d1e0c", "A / B"}, disc);
    if (!(proposal.Record.DiscKey == disc.DiscKey) || proposal.Record.TrackCount != 12) std::abort();
    for (std::uint32_t n = 1; n <= 12; ++n) {
      if (proposal.Record.Tracks[n].StartPos != disc.Tracks[n].StartPos) std::abort();
    }
  } catch (const qvr::LookupError&) {
  }
  return 0;
}
