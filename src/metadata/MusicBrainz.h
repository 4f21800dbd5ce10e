// The MusicBrainz web service (ws/2, JSON): the disc ID lookup and its answer turned into
// proposals.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "metadata/DiscProposal.h"

namespace qvr {

// The path and query of a disc ID lookup, with everything the proposals need: artists, labels,
// the release group, the tracks and the credits of their recordings and works.
std::string MusicBrainzDiscIdPath(std::string_view disc_id);

// The releases of a disc ID lookup's answer (`json`) as proposals for `disc`: releases from Japan
// or in Japanese first, otherwise in the service's order. The tracks are those of the medium that
// carries `disc_id` (else the first medium with as many tracks as the disc). Raises LookupError
// (BadAnswer) when `json` is not such an answer, NotFound when it lists no release.
std::vector<DiscProposal> ParseMusicBrainzDiscId(std::string_view json, std::string_view disc_id,
                                                 const TDiscRecord& disc);

}  // namespace qvr
