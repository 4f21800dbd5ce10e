// One pass over the master file that keeps a fingerprint of each record's identity until the disc
// sought is known, and searches for that disc in the rest.
#include "cddb/MasterIdentities.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string_view>

#include "cddb/DatabaseLock.h"
#include "cddb/RecordFile.h"
#include "cddb/Records.h"

namespace qvr {
namespace {

namespace m = master_layout;

// The first `length` bytes (at most 8) of the key room at `room`, as one word, the rest zero.
std::uint64_t KeyWord(const char* room, std::size_t length) {
  std::uint64_t word = 0;
  std::memcpy(&word, room, 8);
  if (length >= 8) return word;
  if constexpr (std::endian::native == std::endian::little) return word & ((std::uint64_t{1} << (8 * length)) - 1);
  return word & ~(~std::uint64_t{0} >> (8 * length));
}

// The fingerprint of an identity: key (its length byte as stored and that many bytes of its
// room, at most 8), track count and disc time, mixed as two words and folded to 16 bits, a few
// instructions a record. Equal identities have equal fingerprints.
inline std::uint16_t Fingerprint(std::uint8_t key_length, std::uint64_t key, std::uint8_t track_count,
                                 std::uint32_t time) {
  const std::uint64_t rest = time | (std::uint64_t{track_count} << 32) | (std::uint64_t{key_length} << 40);
  const std::uint64_t mixed = (key * 0x9E3779B97F4A7C15ull) ^ (rest * 0xC2B2AE3D27D4EB4Full);
  return static_cast<std::uint16_t>((mixed ^ (mixed >> 32)) >> 16);
}

}  // namespace

MasterIdentities::MasterIdentities(std::filesystem::path master_path, const SoughtDisc* sought)
    : path_(std::move(master_path)) {
  std::error_code error;
  if (!std::filesystem::exists(path_, error)) return;
  const DatabaseLock lock(DatabaseFolder(path_), DatabaseLock::Mode::Shared);
  const RecordFile master(path_, DBFile::Master, RecordFile::Access::ReadOnly);
  if (!master.HasValidHeader()) return;
  const std::size_t records = master.Count();
  // Reserved, not touched: pages the pass never reaches are never mapped in.
  fingerprints_.reserve(records);
  track_counts_.reserve(records);
  RecordScanner scan(master);
  while (const char* record = scan.Next()) {
    if (const DiscIdentity* disc = sought != nullptr ? sought->Get() : nullptr) {
      searched_ = *disc;
      searched_place_ = FindKept(*disc, &master);
      if (!searched_place_) searched_place_ = Search(scan, record, *disc, TracksAfterKept());
      return;
    }
    const auto track_count = static_cast<std::uint8_t>(record[m::TrackCount.Offset]);
    const auto key_length = static_cast<std::uint8_t>(record[m::DiscKey.Offset]);
    fingerprints_.push_back(Fingerprint(key_length, KeyWord(record + m::DiscKey.Offset + 1, key_length), track_count,
                                        ReadUInt32At(record, m::DiscTime.Offset)));
    track_counts_.push_back(track_count);
  }
}

std::uint16_t MasterIdentities::FingerprintOf(const DiscIdentity& identity) {
  const std::string_view key = identity.DiscKey.View();
  std::array<char, 8> room{};
  std::memcpy(room.data(), key.data(), std::min<std::size_t>(key.size(), room.size()));
  return Fingerprint(static_cast<std::uint8_t>(key.size()), KeyWord(room.data(), key.size()), identity.TrackCount,
                     identity.DiscTime);
}

std::optional<MasterPlace> MasterIdentities::Find(const DiscIdentity& identity) const {
  if (std::optional<MasterPlace> place = FindKept(identity, nullptr)) return place;
  if (!searched_) return std::nullopt;  // every record's fingerprint is kept
  if (identity == *searched_) return searched_place_;
  // Another disc: the records the pass compared with the one it sought are read again.
  const DatabaseLock lock(DatabaseFolder(path_), DatabaseLock::Mode::Shared);
  const RecordFile master(path_, DBFile::Master, RecordFile::Access::ReadOnly);
  RecordScanner scan(master, Count() + 1);
  const char* record = scan.Next();
  return record != nullptr ? Search(scan, record, identity, TracksAfterKept()) : std::nullopt;
}

std::optional<MasterPlace> MasterIdentities::FindKept(const DiscIdentity& identity, const RecordFile* master) const {
  const std::uint16_t wanted = FingerprintOf(identity);
  std::optional<DatabaseLock> lock;
  std::optional<RecordFile> opened;
  std::array<char, kMasterRecordSize> record{};
  TrackPlace tracks;
  for (std::size_t i = 0; i < fingerprints_.size(); ++i) {
    if (fingerprints_[i] == wanted) {
      if (master == nullptr) {
        lock.emplace(DatabaseFolder(path_), DatabaseLock::Mode::Shared);
        master = &opened.emplace(path_, DBFile::Master, RecordFile::Access::ReadOnly);
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

std::optional<MasterPlace> MasterIdentities::Search(RecordScanner& scan, const char* record,
                                                    const DiscIdentity& identity, TrackPlace tracks) {
  for (; record != nullptr; record = scan.Next()) {
    if (MatchesIdentity(record, m::DiscKey.Offset, m::TrackCount.Offset, m::DiscTime.Offset, identity)) {
      return MasterPlace{scan.Index(), tracks.FirstTrack()};
    }
    tracks.Pass(static_cast<std::uint8_t>(record[m::TrackCount.Offset]));
  }
  return std::nullopt;
}

TrackPlace MasterIdentities::TracksAfterKept() const {
  TrackPlace tracks;
  for (const std::uint8_t count : track_counts_) tracks.Pass(count);
  return tracks;
}

}  // namespace qvr
