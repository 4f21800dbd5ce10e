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
#include "util/SameBytes.h"
#include "util/ZeroedArray.h"

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
// Appended records wait in a buffer that is written out half a megabyte at a time: large enough
// that the writes are few, small enough that its pages, fresh from the system, cost little. A
// file that does not exist yet is built from its header and linked into place at the end, so
// that it is written once.
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
  static constexpr std::size_t kBufferBytes = 512 << 10;

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

// An open-addressing index over entries kept in an array of their own, in the order they came.
// A slot holds the upper half of an entry's hash, which also places it, and the entry's number
// plus one (0: an empty slot). Slots are eight bytes, so that the index of a hundred thousand
// entries takes a megabyte or two, and growing it never moves the entries.
class EntryIndex {
 public:
  EntryIndex() : slots_(kFirstSlots) {}

  // The number of the entry with `hash` that `same(number)` accepts, or -1.
  template <class Same>
  std::int64_t Find(std::uint64_t hash, Same same) const {
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t at = Home(tag);; at = Next(at)) {
      const Slot& slot = slots_[at];
      if (slot.Entry == 0) return -1;
      if (slot.Tag == tag && same(slot.Entry - 1)) return slot.Entry - 1;
    }
  }

  // The number of the first entry with `hash`'s tag, the one Find most likely accepts, or -1.
  std::int64_t Likely(std::uint64_t hash) const {
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t at = Home(tag);; at = Next(at)) {
      const Slot& slot = slots_[at];
      if (slot.Entry == 0) return -1;
      if (slot.Tag == tag) return slot.Entry - 1;
    }
  }

  // Starts loading the slot where a search for `hash` begins.
  void Prefetch(std::uint64_t hash) const { __builtin_prefetch(&slots_[Home(static_cast<std::uint32_t>(hash >> 32))]); }

  // Adds entry `number`, which Find does not know, with `hash`.
  void Add(std::uint64_t hash, std::uint32_t number) {
    if ((used_ + 1) * 8 > slots_.size() * 5) Grow();
    Place({static_cast<std::uint32_t>(hash >> 32), number + 1});
    ++used_;
  }

 private:
  static constexpr std::size_t kFirstSlots = 512;  // one page

  struct Slot {
    std::uint32_t Tag = 0;
    std::uint32_t Entry = 0;
  };

  std::size_t Home(std::uint32_t tag) const {
    return static_cast<std::size_t>((std::uint64_t{tag} * slots_.size()) >> 32);
  }
  std::size_t Next(std::size_t at) const { return at + 1 == slots_.size() ? 0 : at + 1; }
  void Place(const Slot& slot) {
    std::size_t at = Home(slot.Tag);
    while (slots_[at].Entry != 0) at = Next(at);
    slots_[at] = slot;
  }
  void Grow() {
    ZeroedArray<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.Entry != 0) Place(slot);
    }
  }

  ZeroedArray<Slot> slots_;
  std::size_t used_ = 0;
};

// Entries in the order they were added, in zeroed memory that grows in place: a page is touched
// when the first entry on it is written, and never copied.
template <class Entry>
class EntryArray {
 public:
  std::size_t size() const { return count_; }
  Entry& operator[](std::size_t i) { return entries_[i]; }
  const Entry& operator[](std::size_t i) const { return entries_[i]; }
  // A new zeroed entry at the end; returns its number.
  std::uint32_t Add() {
    if (count_ == entries_.size()) entries_.Grow(std::max<std::size_t>(4096 / sizeof(Entry), 2 * count_));
    return static_cast<std::uint32_t>(count_++);
  }

 private:
  ZeroedArray<Entry> entries_;
  std::size_t count_ = 0;
};

// Disc identity -> where its records are, for every disc in the master or track file or stored
// since: an entry per disc, found through an EntryIndex.
class DiscPlaces {
 public:
  // The place of the disc `key`, a new empty one when it has none yet. The reference holds until
  // the next disc is added.
  DiscPlace& operator[](const IdentityKey& key) {
    const std::uint64_t hash = IdentityHash()(key);
    std::int64_t n = index_.Find(hash, [&](std::uint32_t at) { return entries_[at].Key == key; });
    if (n < 0) {
      n = entries_.Add();
      entries_[static_cast<std::size_t>(n)].Key = key;
      index_.Add(hash, static_cast<std::uint32_t>(n));
    }
    return entries_[static_cast<std::size_t>(n)].Place;
  }

 private:
  struct Entry {
    IdentityKey Key;
    DiscPlace Place;
  };

  EntryArray<Entry> entries_;
  EntryIndex index_;
};

// Name -> ID of one name file, first record winning, as AssignIDs finds them. A store looks up
// dozens of names per disc in tables of tens of thousands, at random: the index's slots carry
// part of the hash, so that a lookup mostly touches one slot and one entry, and the entries hold
// the name's first bytes.
class NameIndex {
 public:
  explicit NameIndex(const Output& out) : genre_(out.Kind() == DBFile::Genre) {
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
    const std::int64_t n = index_.Find(hash, [&](std::uint32_t at) { return Matches(entries_[at], name); });
    return n < 0 ? nullptr : &entries_[static_cast<std::size_t>(n)].ID;
  }

  // Starts loading the slot where a lookup of the name with `hash` begins, and (once that slot
  // is in) the entry it most likely finds: the lookups of one disc then wait for memory
  // together rather than one after the other.
  void Prefetch(std::uint64_t hash) const { index_.Prefetch(hash); }
  void PrefetchEntry(std::uint64_t hash) const {
    const std::int64_t n = index_.Likely(hash);
    if (n >= 0) __builtin_prefetch(&entries_[static_cast<std::size_t>(n)]);
  }

  static std::uint64_t Hash(std::string_view name) {
    // The name's bytes eight at a time (the last word overlapping the one before), each word
    // mixed in by a multiply; the upper half, spread best, is kept in the index.
    const auto word = [&](std::size_t at, std::size_t count) {
      std::uint64_t w = 0;
      std::memcpy(&w, name.data() + at, count);
      return w;
    };
    std::uint64_t h = 0x9E3779B97F4A7C15ull * (name.size() + 1);
    const auto mix = [&](std::uint64_t w) {
      h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
      h ^= h >> 31;
    };
    const std::size_t size = name.size();
    if (size >= 8) {
      for (std::size_t i = 0; i + 8 < size; i += 8) mix(word(i, 8));
      mix(word(size - 8, 8));
    } else if (size >= 4) {
      mix(word(0, 4) << 32 | word(size - 4, 4));
    } else {
      for (std::size_t i = 0; i < size; ++i) mix(static_cast<unsigned char>(name[i]));
    }
    return (h ^ (h >> 29)) * 0x94D049BB133111EBull;
  }

  void Add(std::string_view name, std::int64_t id) {
    const std::uint32_t n = entries_.Add();
    Entry& entry = entries_[n];
    entry.ID = id;
    entry.Length = static_cast<std::uint8_t>(name.size());
    std::memcpy(entry.Start.data(), name.data(), std::min(name.size(), entry.Start.size()));
    entry.Rest = static_cast<std::uint32_t>(rest_.size());
    if (name.size() > entry.Start.size()) rest_.append(name.substr(entry.Start.size()));
    index_.Add(Hash(name), n);
  }

 private:
  // 32 bytes. Names are at most 96 bytes: the first 19 are here, the rest in rest_.
  struct Entry {
    std::int64_t ID = 0;
    std::uint32_t Rest = 0;  // where the bytes past Start are in rest_
    std::uint8_t Length = 0;
    std::array<char, 19> Start{};
  };
  static_assert(sizeof(Entry) == 32);

  bool Matches(const Entry& entry, std::string_view name) const {
    if (entry.Length != name.size()) return false;
    const std::size_t start = std::min(name.size(), entry.Start.size());
    return SameBytes(entry.Start.data(), name.data(), start) &&
           SameBytes(rest_.data() + entry.Rest, name.data() + start, name.size() - start);
  }

  std::string_view NameAt(const char* record) const {
    return genre_ ? ShortStringAt(record, genre_layout::Name.Offset, 16)
                  : ShortStringAt(record, name_layout::Name.Offset, 96);
  }

  bool genre_;
  EntryArray<Entry> entries_;
  EntryIndex index_;
  std::string rest_;
};

// The names one disc asks of one name file: their IDs, and the new ones to append in order. A
// store keeps one for each name file and fills it again for every disc, reusing its room.
struct Assignment {
  std::vector<std::int64_t> IDs;
  std::vector<std::string_view> NewNames;
};

void Assign(const NameIndex& index, const Output& out, std::span<const std::string_view> names, Assignment& result) {
  result.IDs.clear();
  result.NewNames.clear();
  std::array<std::uint64_t, 4 * kMaxTracks + 1> hashes;  // room for every name of a disc
  const std::size_t hashed = std::min(names.size(), hashes.size());
  for (std::size_t i = 0; i < hashed; ++i) {
    hashes[i] = NameIndex::Hash(names[i]);
    index.Prefetch(hashes[i]);
  }
  for (std::size_t i = 0; i < hashed; ++i) index.PrefetchEntry(hashes[i]);
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
  DiscPlaces discs;
  std::unordered_map<TrackKey, std::uint32_t, TrackHash> scattered;
  // The names of the disc being stored and their IDs, kept for their room.
  DiscNames names;
  Assignment artist_ids, label_ids, genre_ids;
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
  DiscNames& names = s.names;
  NamesOf(disc, names);
  Assignment& artists = s.artist_ids;
  Assignment& labels = s.label_ids;
  Assignment& genres = s.genre_ids;
  Assign(s.artists, s.artist, names.artists, artists);
  Assign(s.labels, s.label, {&names.label, 1}, labels);
  Assign(s.genres, s.genre, names.genres, genres);  // refuses a 256th genre

  s.Append(s.artist, s.artists, artists);
  s.Append(s.label, s.labels, labels);
  s.Append(s.genre, s.genres, genres);

  const IdentityKey key = MakeKey(disc.DiscKey.View(), disc.TrackCount, disc.DiscTime);
  DiscPlace& place = s.discs[key];  // every disc stored has one by the end
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
