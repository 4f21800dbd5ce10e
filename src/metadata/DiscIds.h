// The identities online databases know a disc by, computed from its table of contents: the
// MusicBrainz disc ID (through libdiscid) and the CDDB disc ID (the published checksum).
#pragma once

#include <cstdint>
#include <string>

#include "cdda/CDDA.h"
#include "cdda/DiscToc.h"
#include "cddb/DiscRecord.h"

namespace qvr {

// The MusicBrainz disc ID (28 characters of base64 in MusicBrainz's alphabet). A last data track
// (an enhanced CD) is left out and the audio session's lead-out taken 11400 frames before it, as
// MusicBrainz counts such discs. Raises Error for a table of contents libdiscid refuses.
std::string MusicBrainzDiscId(const DiscToc& toc);

// The CDDB disc ID: digit sums of the tracks' start seconds, the playing time in seconds and the
// track count, over every track (data tracks too).
std::uint32_t CddbDiscId(const DiscToc& toc);
// The same as 8 lower-case hexadecimal digits.
std::string CddbDiscIdText(const DiscToc& toc);

// The table of contents of a disc record: each track's start (absolute packed MSF) and the
// lead-out one frame after the last track's end, as the device reports a disc. Every track
// counts as audio, since a record does not say which are data.
DiscToc TocOfRecord(const TDiscRecord& disc);
// The same with the drive's word on which tracks are data, when the drive holds this disc (an
// open device, the same key and track count); else TocOfRecord's.
DiscToc TocOfDisc(CDDA& cd, const TDiscRecord& disc);

}  // namespace qvr
