// One pass over the master file that keeps only the identity of each record.
#include "cddb/MasterIdentities.h"

#include <cstring>

#include "cddb/DatabaseLock.h"
#include "cddb/RecordFile.h"
#include "cddb/Records.h"

namespace qvr {

MasterIdentities::MasterIdentities(const std::filesystem::path& master_path) {
  std::error_code error;
  if (!std::filesystem::exists(master_path, error)) return;
  const DatabaseLock lock(DatabaseFolder(master_path), DatabaseLock::Mode::Shared);
  const RecordFile master(master_path, DBFile::Master, RecordFile::Access::ReadOnly);
  if (!master.HasValidHeader()) return;
  identities_.reserve(master.Count());
  namespace m = master_layout;
  RecordScanner scan(master);
  while (const char* record = scan.Next()) {
    Identity& identity = identities_.emplace_back();
    std::memcpy(identity.Key.data(), record + m::DiscKey.Offset + 1, identity.Key.size());
    identity.KeyLength = static_cast<std::uint8_t>(record[m::DiscKey.Offset]);
    identity.TrackCount = static_cast<std::uint8_t>(record[m::TrackCount.Offset]);
    identity.DiscTime = ReadUInt32At(record, m::DiscTime.Offset);
  }
}

std::optional<MasterPlace> MasterIdentities::Find(const DiscIdentity& identity) const {
  const std::string_view key = identity.DiscKey.View();
  TrackPlace tracks;
  for (std::size_t i = 0; i < identities_.size(); ++i) {
    const Identity& at = identities_[i];
    if (at.KeyLength == key.size() && at.TrackCount == identity.TrackCount && at.DiscTime == identity.DiscTime &&
        std::memcmp(at.Key.data(), key.data(), key.size()) == 0) {
      return MasterPlace{i + 1, tracks.FirstTrack()};
    }
    tracks.Pass(at.TrackCount);
  }
  return std::nullopt;
}

}  // namespace qvr
