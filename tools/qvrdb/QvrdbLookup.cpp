// qvrdb lookup: the disc's own CD-Text, then what the online sources (the servers of the player's
// settings) say of one disc; prints each proposal as a disc of the export format, so that a
// chosen one can be imported.
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
    return DriveDisc{disc, TocOfRecord(disc), std::nullopt};
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
  std::optional<DriveDisc> disc;
  if (NamesDrive(arguments[0])) {
    if (const int status = ReadDiscIn(arguments[0], context.Err, disc.emplace(), true); status != kQvrdbOk)
      return status;
  } else {
    disc = DiscOfKey(context, arguments[0]);
    if (!disc) return kQvrdbProblem;
  }

  // The disc's own CD-Text comes first: it is read from the disc, needs no network, and is what
  // the disc says of itself. The online sources follow; when they fail, the CD-Text still stands.
  std::vector<TDiscRecord> discs;
  if (disc->CdText) discs.push_back(*disc->CdText);
  OnlineLookup lookup(ReadOnlineLookupSettings(PlayerSettingsFor(context.ProgramFolder)));
  CancelFlag never;
  try {
    for (const DiscProposal& proposal : lookup.Find(disc->Toc, disc->Record, never, [&](const std::string& step) {
           context.Err << "qvrdb: " << step << "\n";
         })) {
      discs.push_back(proposal.Record);
    }
  } catch (const LookupError& error) {
    context.Err << "qvrdb: " << error.what() << "\n";
    if (discs.empty()) return error.Failure() == LookupFailure::NotFound ? kQvrdbProblem : kQvrdbError;
    context.Err << "qvrdb: ディスクの CD-TEXT だけを候補にします\n";
  }
  context.Out << DiscsDocument(discs);
  return kQvrdbOk;
}

namespace {
constexpr QvrdbRunner kOnlineCommands[] = {{"lookup", RunLookup}, {"lyrics", RunLyrics}};
}  // namespace

std::span<const QvrdbRunner> OnlineCommands() { return kOnlineCommands; }

}  // namespace qvr
