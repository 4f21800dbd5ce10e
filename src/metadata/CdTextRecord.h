// The disc's CD-Text as a proposed disc record: what registering the disc can take from the disc
// itself. Texts become record bytes: Shift-JIS texts as the disc holds them, others converted to
// Shift-JIS, a character without a Shift-JIS form replaced by the nearest one or left out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "cdda/CdText.h"
#include "cddb/DiscRecord.h"

namespace qvr {

// `disc` (its key, track count and positions kept, its texts cleared) with the CD-Text's texts:
// disc name and artist from the disc's title and performer; per track the title, the lyricist
// (songwriter), composer and arranger, and the track's genre, else the disc's. The type is not
// proposed (255). nullopt when the CD-Text has nothing for the record.
std::optional<TDiscRecord> CdTextProposal(const CdText& text, const TDiscRecord& disc);

// One CD-Text string as record bytes: control characters as blanks, trimmed, at most `capacity`
// bytes, cut at a character boundary.
std::string CdTextRecordBytes(const CdTextString& text, std::size_t capacity);

// Fills the empty disc texts and the empty texts of tracks 1..TrackCount of `disc` from
// `proposed`; returns how many texts it filled.
std::size_t FillEmptyTexts(TDiscRecord& disc, const TDiscRecord& proposed);

}  // namespace qvr
