// One pass over the master file that keeps a fingerprint of each record's identity.
#include "cddb/MasterIdentities.h"

#include <array>
#include <cstring>
#include <string_view>

#include "cddb/DatabaseLock.h"
#include "cddb/RecordFile.h"
#include "cddb/Records.h"

namespace qvr {
namespace {

namespace m = master_layout;

// The fingerprint of an identity: key (its length byte as stored and that many bytes of its
// room, at most 8), track count and disc time, folded to 16 bits. Equal identities have equal
// fingerprints.
std::uint16_t Fingerprint(std::uint8_t key_length, const char* key, std::uint8_t track_count, std::uint32_t time) {
  std::uint32_t h = 2166136261u;
  auto mix = [&](unsigned char c) { h = (h ^ c) * 16777619u; };
  mix(key_length);
  for (std::size_t i = 0; i < std::min<std::size_t>(key_length, 8); ++i) mix(static_cast<unsigned char>(key[i]));
  mix(track_count);
  for (int i = 0; i < 4; ++i) mix(static_cast<unsigned char>(time >> (8 * i)));
  return static_cast<std::uint16_t>(h ^ (h >> 16));
}

}  // namespace

MasterIdentities::MasterIdentities(std::filesystem::path master_path) : path_(std::move(master_path)) {
  std::error_code error;
  if (!std::filesystem::exists(path_, error)) return;
  const DatabaseLock lock(DatabaseFolder(path_), DatabaseLock::Mode::Shared);
  const RecordFile master(path_, DBFile::Master, RecordFile::Access::ReadOnly);
  if (!master.HasValidHeader()) return;
  const std::size_t records = master.Count();
  fingerprints_.reserve(records);
  track_counts_.reserve(records);
  RecordScanner scan(master);
  while (const char* record = scan.Next()) {
    const auto track_count = static_cast<std::uint8_t>(record[m::TrackCount.Offset]);
    fingerprints_.push_back(Fingerprint(static_cast<std::uint8_t>(record[m::DiscKey.Offset]),
                                        record + m::DiscKey.Offset + 1, track_count,
                                        ReadUInt32At(record, m::DiscTime.Offset)));
    track_counts_.push_back(track_count);
  }
}

std::uint16_t MasterIdentities::FingerprintOf(const DiscIdentity& identity) {
  const std::string_view key = identity.DiscKey.View();
  return Fingerprint(static_cast<std::uint8_t>(key.size()), key.data(), identity.TrackCount, identity.DiscTime);
}

std::optional<MasterPlace> MasterIdentities::Find(const DiscIdentity& identity) const {
  const std::uint16_t wanted = FingerprintOf(identity);
  std::optional<DatabaseLock> lock;
  std::optional<RecordFile> master;
  std::array<char, kMasterRecordSize> record{};
  TrackPlace tracks;
  for (std::size_t i = 0; i < fingerprints_.size(); ++i) {
    if (fingerprints_[i] == wanted) {
      if (!master) {
        lock.emplace(DatabaseFolder(path_), DatabaseLock::Mode::Shared);
        master.emplace(path_, DBFile::Master, RecordFile::Access::ReadOnly);
      }
      if (master->Read(i + 1, 1, record.data()) == 1 &&
          MatchesIdentity(record.data(), m::DiscKey.Offset, m::TrackCount.Offset, m::DiscTime.Offset, identity)) {
        return MasterPlace{i + 1, tracks.FirstTrack()};
      }
    }
    tracks.Pass(track_counts_[i]);
  }
  return std::nullopt;
}

}  // namespace qvr
