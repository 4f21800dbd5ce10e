// The bulk store: in-memory lookups built from one read of each file, new contents written to
// temporary files, renamed into place at the end.
#include "cddb/BulkStore.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cddb/DatabaseLock.h"
#include "cddb/NameFile.h"
#include "cddb/RecordFile.h"
#include "cddb/Records.h"
#include "util/AtomicFile.h"
#include "util/Error.h"

namespace qvr {
namespace {

// A disc identity packed into 16 bytes: key bytes, key length, track count, disc time.
struct IdentityKey {
  std::uint64_t Key = 0;
  std::uint8_t Length = 0;
  std::uint8_t Count = 0;
  std::uint32_t Time = 0;
  friend bool operator==(const IdentityKey&, const IdentityKey&) = default;
};

struct IdentityHash {
  std::size_t operator()(const IdentityKey& k) const {
    std::uint64_t h = k.Key * 0x9E3779B97F4A7C15ull;
    h ^= (std::uint64_t{k.Time} << 16 | std::uint64_t{k.Count} << 8 | k.Length) * 0xC2B2AE3D27D4EB4Full;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

IdentityKey MakeKey(std::string_view key, std::uint8_t count, std::uint32_t time) {
  IdentityKey k;
  std::memcpy(&k.Key, key.data(), key.size());
  k.Length = static_cast<std::uint8_t>(key.size());
  k.Count = count;
  k.Time = time;
  return k;
}

// The identity fields of a master or track record; empty for a damaged key length, which never
// matches a disc.
std::optional<IdentityKey> KeyAt(const char* record, FieldSpan key, FieldSpan count, FieldSpan time) {
  const auto length = static_cast<unsigned char>(record[key.Offset]);
  if (length > 8) return std::nullopt;
  return MakeKey(std::string_view(record + key.Offset + 1, length), static_cast<std::uint8_t>(record[count.Offset]),
                 ReadUInt32At(record, time.Offset));
}

// Where a disc's records are. Tracks stored together lie in one run (track n at FirstTrack +
// n - 1, for n up to Run); a disc whose records lie otherwise keeps them in the scattered map.
struct DiscPlace {
  std::uint32_t Master = 0;  // 0: no master record
  std::uint32_t FirstTrack = 0;
  std::uint8_t Run = 0;
  bool Scattered = false;
};

struct TrackKey {
  IdentityKey Disc;
  std::uint8_t TrackNo = 0;
  friend bool operator==(const TrackKey&, const TrackKey&) = default;
};

struct TrackHash {
  std::size_t operator()(const TrackKey& k) const { return IdentityHash()(k.Disc) * 31 + k.TrackNo; }
};

// One of the five files: its old contents, and the new contents while they are being built.
// Appended records wait in a buffer that is written out a few megabytes at a time. A file that
// does not exist yet is built from its header and linked into place at the end, so that it is
// written once.
class Output {
 public:
  Output(const TDiscDatabase& database, DBFile kind)
      : kind_(kind), size_(InfoOf(kind).RecordSize), path_(database.FilePath(kind)) {
    std::error_code error;
    if (std::filesystem::exists(path_, error)) {
      file_.emplace(path_, kind);
      count_ = file_->Count();
      valid_ = file_->HasValidHeader();
    } else {
      valid_ = true;
      replacement_.emplace(path_, FileReplacement::NewFile{});
      Append(HeaderBytes(kind, database.Dates().Today()).data());
    }
  }

  DBFile Kind() const { return kind_; }
  const std::filesystem::path& Path() const { return path_; }
  // The file as it was, when there was one.
  const RecordFile* Old() const { return file_ ? &*file_ : nullptr; }
  bool Valid() const { return valid_; }
  bool Changed() const { return replacement_.has_value(); }
  std::size_t Count() const { return count_; }

  void Read(std::size_t index, char* out) const {
    if (index >= flushed_ && Changed()) {
      std::memcpy(out, buffer_.data() + (index - flushed_) * size_, size_);
    } else if (Changed()) {
      replacement_->ReadAt(static_cast<std::uint64_t>(index) * size_, out, size_);
    } else {
      file_->Read(index, 1, out);
    }
  }

  void Write(std::size_t index, const char* record) {
    Start();
    if (index >= flushed_) {
      std::memcpy(buffer_.data() + (index - flushed_) * size_, record, size_);
    } else {
      replacement_->WriteAt(static_cast<std::uint64_t>(index) * size_, record, size_);
    }
  }

  // Appends a record; returns its number.
  std::size_t Append(const char* record) {
    Start();
    if (buffer_.capacity() == 0) buffer_.reserve(kBufferBytes + size_);
    buffer_.insert(buffer_.end(), record, record + size_);
    if (buffer_.size() >= kBufferBytes) Flush();
    return count_++;
  }

  void Sync() {
    if (!Changed()) return;
    Flush();
    replacement_->Sync();
  }
  void Commit() { replacement_->Commit(); }

 private:
  static constexpr std::size_t kBufferBytes = 4 << 20;

  void Start() {
    if (Changed()) return;
    replacement_.emplace(path_);
    flushed_ = count_;
  }
  void Flush() {
    if (buffer_.empty()) return;
    // Appends begin at the first whole record past the end, over any partial record there.
    replacement_->WriteAt(static_cast<std::uint64_t>(flushed_) * size_, buffer_.data(), buffer_.size());
    flushed_ += buffer_.size() / size_;
    buffer_.clear();
  }

  DBFile kind_;
  std::size_t size_;
  std::filesystem::path path_;
  std::optional<RecordFile> file_;
  bool valid_ = false;
  std::size_t count_ = 0;    // whole records of the new contents
  std::size_t flushed_ = 0;  // records [0, flushed_) are in the temporary file
  std::vector<char> buffer_;
  std::optional<FileReplacement> replacement_;
};

// Name -> ID of one name file, first record winning, as AssignIDs finds them. A store looks up
// dozens of names per disc in tables of tens of thousands, at random: the table is open
// addressing with the name's first bytes in the slot, so that a lookup mostly touches one cache
// line (a node-based map touched three).
class NameIndex {
 public:
  explicit NameIndex(const Output& out) : genre_(out.Kind() == DBFile::Genre) {
    Resize(64);
    if (!out.Valid() || !out.Old()) return;
    RecordScanner scan(*out.Old());
    while (const char* record = scan.Next()) {
      const std::int64_t id = genre_ ? static_cast<unsigned char>(record[genre_layout::ID.Offset])
                                     : ReadInt32At(record, name_layout::ID.Offset);
      const std::string_view name = NameAt(record);
      if (!Find(name)) Add(name, id);
    }
  }

  const std::int64_t* Find(std::string_view name) const { return Find(name, Hash(name)); }
  const std::int64_t* Find(std::string_view name, std::uint64_t hash) const {
    for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
      const Slot& slot = slots_[at];
      if (slot.Used == 0) return nullptr;
      if (slot.Hash == static_cast<std::uint32_t>(hash >> 32) && slot.Length == name.size() && Matches(slot, name)) {
        return &slot.ID;
      }
    }
  }

  // Starts loading the slot where a lookup of the name with `hash` begins: the lookups of one
  // disc then wait for memory together rather than one after the other.
  void Prefetch(std::uint64_t hash) const { __builtin_prefetch(&slots_[hash & mask_]); }

  static std::uint64_t Hash(std::string_view name) {
    // FNV-1a, its bits spread by a multiply: the low half picks the slot, the high half is kept.
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    return (h ^ (h >> 29)) * 0xBF58476D1CE4E5B9ull;
  }

  void Add(std::string_view name, std::int64_t id) {
    if ((count_ + 1) * 2 > slots_.size()) Resize(slots_.size() * 2);
    Slot slot;
    slot.Used = 1;
    slot.Hash = static_cast<std::uint32_t>(Hash(name) >> 32);
    slot.Length = static_cast<std::uint8_t>(name.size());
    slot.ID = id;
    std::memcpy(slot.Start.data(), name.data(), std::min(name.size(), slot.Start.size()));
    slot.Rest = static_cast<std::uint32_t>(rest_.size());
    if (name.size() > slot.Start.size()) rest_.append(name.substr(slot.Start.size()));
    Place(slot, Hash(name));
    ++count_;
  }

 private:
  // 32 bytes: two slots to a cache line. Names are at most 96 bytes: the first 14 are here, the
  // rest in rest_.
  struct Slot {
    std::int64_t ID = 0;
    std::uint32_t Hash = 0;  // the hash's upper half
    std::uint32_t Rest = 0;  // where the bytes past Start are in rest_
    std::uint8_t Used = 0;
    std::uint8_t Length = 0;
    std::array<char, 14> Start{};
  };
  static_assert(sizeof(Slot) == 32);

  bool Matches(const Slot& slot, std::string_view name) const {
    const std::size_t start = std::min(name.size(), slot.Start.size());
    return std::memcmp(slot.Start.data(), name.data(), start) == 0 &&
           std::memcmp(rest_.data() + slot.Rest, name.data() + start, name.size() - start) == 0;
  }

  void Place(const Slot& slot, std::uint64_t hash) {
    std::size_t at = hash & mask_;
    while (slots_[at].Used != 0) at = (at + 1) & mask_;
    slots_[at] = slot;
  }

  void Resize(std::size_t size) {
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size));
    mask_ = size - 1;
    for (const Slot& slot : old) {
      if (slot.Used != 0) Place(slot, RehashOf(slot));
    }
  }

  // The full hash of a stored name, from its bytes.
  std::uint64_t RehashOf(const Slot& slot) const {
    std::string name(slot.Start.data(), std::min<std::size_t>(slot.Length, slot.Start.size()));
    if (slot.Length > slot.Start.size()) name.append(rest_, slot.Rest, slot.Length - slot.Start.size());
    return Hash(name);
  }

  std::string_view NameAt(const char* record) const {
    return genre_ ? ShortStringAt(record, genre_layout::Name.Offset, 16)
                  : ShortStringAt(record, name_layout::Name.Offset, 96);
  }

  bool genre_;
  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t count_ = 0;
  std::string rest_;
};

// The names one disc asks of one name file: their IDs, and the new ones to append in order.
struct Assignment {
  std::vector<std::int64_t> IDs;
  std::vector<std::string_view> NewNames;
};

Assignment Assign(const NameIndex& index, const Output& out, std::span<const std::string_view> names) {
  Assignment result;
  result.IDs.reserve(names.size());
  std::array<std::uint64_t, 4 * kMaxTracks + 1> hashes{};  // room for every name of a disc
  const std::size_t hashed = std::min(names.size(), hashes.size());
  for (std::size_t i = 0; i < hashed; ++i) {
    hashes[i] = NameIndex::Hash(names[i]);
    index.Prefetch(hashes[i]);
  }
  for (std::size_t n = 0; n < names.size(); ++n) {
    const std::string_view name = names[n];
    std::int64_t id = 0;
    if (const std::int64_t* known = index.Find(name, n < hashed ? hashes[n] : NameIndex::Hash(name))) {
      id = *known;
    } else {
      std::size_t i = 0;
      while (i < result.NewNames.size() && result.NewNames[i] != name) ++i;
      id = static_cast<std::int64_t>(out.Count() + i);
      if (i == result.NewNames.size()) {
        if (out.Kind() == DBFile::Genre && id > kMaxGenreID) throw Error(TooManyGenresMessage(name));
        result.NewNames.push_back(name);
      }
    }
    result.IDs.push_back(id);
  }
  return result;
}

}  // namespace

struct BulkStore::State {
  explicit State(const TDiscDatabase& db)
      : lock(DatabaseFolder(db.MasterPath()), DatabaseLock::Mode::Exclusive),
        master(db, DBFile::Master),
        track(db, DBFile::Track),
        artist(db, DBFile::Artist),
        label(db, DBFile::Label),
        genre(db, DBFile::Genre),
        artists(artist),
        labels(label),
        genres(genre) {
    namespace m = master_layout;
    namespace t = track_layout;
    if (master.Valid() && master.Old()) {
      RecordScanner scan(*master.Old());
      while (const char* record = scan.Next()) {
        if (auto key = KeyAt(record, m::DiscKey, m::TrackCount, m::DiscTime)) {
          DiscPlace& place = discs[*key];
          if (place.Master == 0) place.Master = static_cast<std::uint32_t>(scan.Index());
        }
      }
    }
    if (track.Valid() && track.Old()) {
      RecordScanner scan(*track.Old());
      while (const char* record = scan.Next()) {
        if (auto key = KeyAt(record, t::DiscKey, t::TrackCount, t::DiscTime)) {
          AddTrack(*key, discs[*key], static_cast<std::uint8_t>(record[t::TrackNo.Offset]), scan.Index());
        }
      }
    }
  }

  // Notes track record `record` of the disc `key` (whose place is `place`), unless an earlier
  // record has that track.
  void AddTrack(const IdentityKey& key, DiscPlace& place, std::uint8_t track_no, std::size_t record) {
    if (track_no < 1 || track_no > UsedTracks(key.Count)) return;  // never found by a search
    const auto at = static_cast<std::uint32_t>(record);
    if (!place.Scattered) {
      if (place.Run == 0 && track_no == 1) {
        place.FirstTrack = at;
        place.Run = 1;
        return;
      }
      if (place.Run > 0 && track_no <= place.Run) return;
      if (place.Run > 0 && track_no == place.Run + 1 && at == place.FirstTrack + place.Run) {
        ++place.Run;
        return;
      }
      for (std::uint8_t n = 1; n <= place.Run; ++n) scattered.try_emplace({key, n}, place.FirstTrack + n - 1);
      place.Scattered = true;
      place.Run = 0;
    }
    scattered.try_emplace({key, track_no}, at);
  }

  std::optional<std::size_t> FindTrack(const IdentityKey& key, const DiscPlace& place, std::uint8_t track_no) const {
    if (!place.Scattered) {
      if (track_no <= place.Run) return place.FirstTrack + track_no - 1u;
      return std::nullopt;
    }
    auto found = scattered.find({key, track_no});
    if (found == scattered.end()) return std::nullopt;
    return found->second;
  }

  void Append(Output& out, NameIndex& index, const Assignment& assignment) {
    std::array<char, kNameRecordSize> bytes{};
    for (std::string_view name : assignment.NewNames) {
      const auto id = static_cast<std::int64_t>(out.Count());
      if (out.Kind() == DBFile::Genre) {
        EncodeRecord(TGenreRecord{static_cast<std::uint8_t>(id), ShortString<16>(name)},
                     std::span<char, kGenreRecordSize>(bytes.data(), kGenreRecordSize));
      } else {
        EncodeRecord(TNameRecord{static_cast<std::int32_t>(id), ShortString<96>(name)},
                     std::span<char, kNameRecordSize>(bytes.data(), kNameRecordSize));
      }
      out.Append(bytes.data());
      index.Add(name, id);
    }
  }

  DatabaseLock lock;
  Output master, track, artist, label, genre;
  NameIndex artists, labels, genres;
  std::unordered_map<IdentityKey, DiscPlace, IdentityHash> discs;
  std::unordered_map<TrackKey, std::uint32_t, TrackHash> scattered;
};

namespace {

// Makes the database's folder before the store takes its lock there.
const TDiscDatabase& WithFolder(const TDiscDatabase& database) {
  database.DBCreateFolder();
  return database;
}

}  // namespace

BulkStore::BulkStore(const TDiscDatabase& database) : state_(std::make_unique<State>(WithFolder(database))) {}

BulkStore::~BulkStore() = default;

void BulkStore::Store(const TDiscRecord& disc) {
  State& s = *state_;
  const std::size_t used = UsedTracks(disc.TrackCount);

  // The refusals of DBStore, before anything of this disc is written.
  for (const Output* out :
       {used > 0 ? &s.track : nullptr, &s.artist, used > 0 ? &s.genre : nullptr, &s.label, &s.master}) {
    if (out && !out->Valid()) throw Error(WrongVersionMessage(out->Path()));
  }
  const DiscNames names = NamesOf(disc);
  const Assignment artists = Assign(s.artists, s.artist, names.artists);
  const Assignment labels = Assign(s.labels, s.label, {&names.label, 1});
  const Assignment genres = Assign(s.genres, s.genre, names.genres);  // refuses a 256th genre

  s.Append(s.artist, s.artists, artists);
  s.Append(s.label, s.labels, labels);
  s.Append(s.genre, s.genres, genres);

  const IdentityKey key = MakeKey(disc.DiscKey.View(), disc.TrackCount, disc.DiscTime);
  DiscPlace& place = s.discs[key];  // every disc stored has one by the end (the map keeps references)
  std::array<char, kMasterRecordSize> bytes{};
  for (std::size_t n = 1; n <= used; ++n) {
    TTrackRecord record = TrackRecordOf(disc, n, artists.IDs, genres.IDs[n - 1]);
    const auto track_no = static_cast<std::uint8_t>(n);
    const auto span = std::span<char, kTrackRecordSize>(bytes.data(), kTrackRecordSize);
    if (auto stored = s.FindTrack(key, place, track_no)) {
      // A track already stored keeps its positions.
      s.track.Read(*stored, bytes.data());
      record.StartPos = ReadUInt32At(bytes.data(), track_layout::StartPos.Offset);
      record.Length = ReadUInt32At(bytes.data(), track_layout::Length.Offset);
      EncodeRecord(record, span);
      s.track.Write(*stored, bytes.data());
    } else {
      EncodeRecord(record, span);
      s.AddTrack(key, place, track_no, s.track.Append(bytes.data()));
    }
  }

  const TMasterRecord record = MasterRecordOf(disc, artists.IDs.back(), labels.IDs.front());
  EncodeRecord(record, std::span<char, kMasterRecordSize>(bytes.data(), kMasterRecordSize));
  if (place.Master != 0) {
    s.master.Write(place.Master, bytes.data());
  } else {
    place.Master = static_cast<std::uint32_t>(s.master.Append(bytes.data()));
  }
}

void BulkStore::Commit() {
  State& s = *state_;
  // Everything reaches the disk before the first file is renamed; then the name files, the
  // track file and the master file, each referring only to files already in place.
  Output* order[] = {&s.genre, &s.label, &s.artist, &s.track, &s.master};
  for (Output* out : order) out->Sync();
  for (Output* out : order) {
    if (!out->Changed()) continue;
    if (BeforeRename) BeforeRename(out->Kind());
    out->Commit();
  }
}

}  // namespace qvr
