// What an online database proposes for a disc: a disc record to offer the registration dialog,
// and the few texts a chooser lists when several releases match.
#pragma once

#include <cstdint>
#include <string>

#include "cddb/DiscRecord.h"

namespace qvr {

// A DiscType that proposes no type.
inline constexpr std::uint8_t kNoDiscType = 0xFF;

struct DiscProposal {
  std::string Source;  // "MusicBrainz" or "gnudb"
  // The disc's record (key, tracks and positions as the disc has them) with the texts found:
  // record bytes, cut to their fields. SaleDate 0 and DiscType kNoDiscType when not known.
  TDiscRecord Record;
  // For the chooser, UTF-8 as the database gives them.
  std::string Title, Artist, Country, Date, Label;
  std::string ReleaseId;    // MusicBrainz: the release, for its cover art
  bool FrontCover = false;  // MusicBrainz says the Cover Art Archive has a front cover
  bool Japanese = false;    // released in Japan or written in Japanese
};

}  // namespace qvr
