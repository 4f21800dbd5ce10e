// qvrdb's JSON commands: export of the whole database and import of such a file.
#pragma once

#include <span>
#include <string>

#include "cddb/DiscRecord.h"
#include "tools/qvrdb/Qvrdb.h"

namespace qvr {

// The export document of `discs`: {"discs": [...]}, indented by two, with a final line break.
std::string DiscsDocument(std::span<const TDiscRecord> discs);

int RunExport(const QvrdbContext& context, std::span<const std::string> arguments);
int RunImport(const QvrdbContext& context, std::span<const std::string> arguments);

// A sale date as "YYYY-MM-DD"; a value that is no date of the years 1..9999 as "1899-12-30".
std::string FormatSaleDate(TDateTime value);

}  // namespace qvr
