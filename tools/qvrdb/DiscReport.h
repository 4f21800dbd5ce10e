// The form in which qvrdb-drive hands the disc it read to qvrdb: a few lines of text,
//   QVR-DISC 1
//   DiscKey 0137EBFA
//   TrackCount 12
//   DiscTime 3409664
//   Track 1 2336 1121540
//   ...
// one "Track" line per track 1 .. TrackCount in order (number, StartPos, Length), times as the
// packed MSF values in decimal.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cddb/DateSource.h"
#include "cddb/DiscRecord.h"

namespace qvr {

// The report of `disc`: its key, track count, disc time and track positions.
std::string DiscReport(const TDiscRecord& disc);

// The disc of a report, as the device layer's reader builds it: ClearDisc (sale date from
// `dates`), then key, track count, disc time and each track's StartPos and Length. Nothing when
// `report` is not a whole report in this form.
std::optional<TDiscRecord> ParseDiscReport(std::string_view report, const TDateSource& dates);

}  // namespace qvr
