// qvrdb lookup: asks the online sources (the servers of the player's settings) about one disc and
// prints each proposal as a disc of the export format, so that a chosen one can be imported.
#include <ostream>

#include "app/PlayerSettings.h"
#include "cddb/DatabaseReader.h"
#include "metadata/DiscIds.h"
#include "metadata/OnlineLookup.h"
#include "tools/qvrdb/Qvrdb.h"
#include "tools/qvrdb/QvrdbJson.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

// A drive or image is named by a path; anything else is a disc key.
bool NamesDrive(const std::string& argument) {
  std::error_code error;
  return argument.find('/') != std::string::npos || std::filesystem::exists(argument, error);
}

// A disc of the database: its table of contents from its record, every track taken as audio.
std::optional<DriveDisc> DiscOfKey(const QvrdbContext& context, const std::string& key_utf8) {
  if (!std::filesystem::exists(context.MasterPath)) {
    context.Err << "qvrdb: データベース " << context.MasterPath.string() << " がありません\n";
    return std::nullopt;
  }
  const DatabaseReader reader(context.MasterPath);
  if (const std::optional<TMasterRecord> master = reader.FindMaster(Utf8ToSjis(key_utf8).bytes)) {
    const TDiscRecord disc = reader.Resolve(*master);
    return DriveDisc{disc, TocOfRecord(disc)};
  }
  context.Err << "qvrdb: キー " << key_utf8 << " のディスクはデータベースにありません\n";
  return std::nullopt;
}

}  // namespace

int RunLookup(const QvrdbContext& context, std::span<const std::string> arguments) {
  if (arguments.size() != 1 || arguments[0].starts_with("--")) {
    context.Err << "qvrdb: 使い方: qvrdb [--db DIR] lookup KEY|DRIVE\n";
    return kQvrdbError;
  }
  const std::optional<DriveDisc> disc =
      NamesDrive(arguments[0]) ? ReadDiscIn(arguments[0], context.Err) : DiscOfKey(context, arguments[0]);
  if (!disc) return kQvrdbProblem;

  OnlineLookup lookup(ReadOnlineLookupSettings(PlayerSettingsFor(context.ProgramFolder)));
  CancelFlag never;
  std::vector<DiscProposal> proposals;
  try {
    proposals = lookup.Find(disc->Toc, disc->Record, never,
                            [&](const std::string& step) { context.Err << "qvrdb: " << step << "\n"; });
  } catch (const LookupError& error) {
    context.Err << "qvrdb: " << error.what() << "\n";
    return error.Failure() == LookupFailure::NotFound ? kQvrdbProblem : kQvrdbError;
  }
  std::vector<TDiscRecord> discs;
  for (const DiscProposal& proposal : proposals) discs.push_back(proposal.Record);
  context.Out << DiscsDocument(discs);
  return kQvrdbOk;
}

namespace {
// Reading a drive for a lookup needs the device layer too, so probe runs here as well.
constexpr QvrdbRunner kOnlineCommands[] = {{"lookup", RunLookup}, {"lyrics", RunLyrics}, {"probe", RunProbe}};
}  // namespace

std::span<const QvrdbRunner> OnlineCommands() { return kOnlineCommands; }

}  // namespace qvr
