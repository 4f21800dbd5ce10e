// The database validator.
#include "cddb/DatabaseCheck.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "cddb/DatabaseReader.h"
#include "cddb/DateSource.h"
#include "cddb/HashPartition.h"
#include "cddb/HashSlots.h"
#include "cddb/RecordFile.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

class Findings {
 public:
  explicit Findings(std::vector<CheckFinding>& out) : out_(out) {}

  void Problem(DBFile file, std::size_t record, const std::string& text) { Add(true, file, record, text); }
  void Remark(DBFile file, std::size_t record, const std::string& text) { Add(false, file, record, text); }

 private:
  void Add(bool problem, DBFile file, std::size_t record, const std::string& text) {
    std::string line(InfoOf(file).FileName);
    if (record > 0) line += " レコード " + std::to_string(record);
    out_.push_back({problem, line + ": " + text});
  }

  std::vector<CheckFinding>& out_;
};

std::string Identity(const ShortString<8>& key, unsigned count, std::uint32_t time) {
  return "(" + key.ToUtf8() + ", " + std::to_string(count) + " 曲, " + std::to_string(time) + ")";
}

void CheckFiles(const DatabaseReader& db, Findings& findings) {
  for (DBFile kind : kAllDBFiles) {
    const SnapshotFile& file = db.File(kind);
    if (!file.Exists) {
      findings.Remark(kind, 0, "ありません (最初の検索か登録のときに作られます)");
      continue;
    }
    if (file.Records == 0) {
      findings.Problem(kind, 0, "ヘッダーレコードがありません (" + std::to_string(file.Size) + " バイト)");
    } else if (!file.ValidHeader) {
      findings.Problem(kind, 0,
                       "ヘッダーのバージョンが \"" + std::string(InfoOf(kind).Version) +
                           "\" ではありません。このファイルは使われません");
    }
    if (file.TrailingBytes > 0 && file.Records > 0) {
      findings.Problem(kind, 0,
                       "末尾に不完全なレコード (" + std::to_string(file.TrailingBytes) +
                           " バイト) があります。読み込みでは無視され、次の追加で上書きされます");
    }
  }
}

// Each data record of `file` (when usable) with its number.
template <class Visit>
void Scan(const DatabaseReader& db, DBFile file, Visit visit) {
  const RecordFile* open = db.Open(file);
  if (!open) return;
  RecordScanner scan(*open);
  while (const char* record = scan.Next()) visit(record, scan.Index());
}

// Notes a short string field whose length byte is above its capacity (a test inlined in the
// loops over every record; the note itself is rare).
[[gnu::noinline, gnu::cold]] void NoteLength(DBFile file, std::size_t index, std::string_view name,
                                             Findings& findings) {
  findings.Problem(file, index, std::string(name) + " の長さが容量を超えています (容量までとして読みます)");
}
inline void CheckLength(const char* record, FieldSpan field, DBFile file, std::size_t index, std::string_view name,
                        Findings& findings) {
  if (static_cast<unsigned char>(record[field.Offset]) > field.Size - 1) NoteLength(file, index, name, findings);
}

// Whether references into `file` can be checked: it is valid, or missing and so to be created
// empty (a file of another version is a problem of its own).
bool Checkable(const DatabaseReader& db, DBFile file) { return db.File(file).ValidHeader || !db.File(file).Exists; }

// Findings of one part, put in record order at the end: within a record by `Rank`, the order in
// which the checks of a record are listed.
class PartFindings {
 public:
  void Problem(DBFile file, std::size_t record, unsigned rank, const std::string& text) {
    Findings(found_).Problem(file, record, text);
    places_.emplace_back(record, rank);
  }
  void Remark(DBFile file, const std::string& text) {
    Findings(found_).Remark(file, 0, text);
    places_.emplace_back(SIZE_MAX, 0u);
  }
  void AppendTo(std::vector<CheckFinding>& out) {
    std::vector<std::size_t> order(found_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return places_[a] < places_[b]; });
    for (std::size_t i : order) out.push_back(std::move(found_[i]));
  }

 private:
  std::vector<CheckFinding> found_;
  std::vector<std::pair<std::size_t, unsigned>> places_;
};

// A disc identity packed into two words: the key's bytes, then its length, the track count and
// the disc time, with the low byte free (a table marks its used slots there).
struct PackedIdentity {
  std::uint64_t Key = 0;
  std::uint64_t Rest = 0;  // length << 56 | count << 48 | time << 8

  static PackedIdentity Of(std::string_view key, std::uint8_t count, std::uint32_t time) {
    PackedIdentity identity;
    std::memcpy(&identity.Key, key.data(), key.size());
    identity.Rest = std::uint64_t{key.size()} << 56 | std::uint64_t{count} << 48 | std::uint64_t{time} << 8;
    return identity;
  }
  std::uint8_t Count() const { return static_cast<std::uint8_t>(Rest >> 48); }
  std::uint32_t Time() const { return static_cast<std::uint32_t>(Rest >> 8); }
  ShortString<8> DiscKey() const {
    char bytes[8];
    std::memcpy(bytes, &Key, sizeof bytes);
    return ShortString<8>(std::string_view(bytes, static_cast<std::size_t>(Rest >> 56)));
  }
  friend bool operator==(const PackedIdentity&, const PackedIdentity&) = default;
};

std::string IdentityText(const PackedIdentity& disc) { return Identity(disc.DiscKey(), disc.Count(), disc.Time()); }

// Track records of one identity that follow each other with track numbers counting up by one,
// as a store writes a disc's tracks: one run usually holds them all.
struct TrackRun {
  std::uint32_t Record = 0;  // the first
  std::uint8_t FirstTrack = 0;
  std::uint8_t Tracks = 0;  // 0: no run
  bool Found = false;       // a search finds its records (their key length is not damaged)
};

// A master record or a run of track records, with its identity.
struct DiscEntry {
  enum Kind : std::uint8_t { kMaster, kTracks };
  PackedIdentity Disc;
  Kind What = kMaster;
  std::uint32_t Record = 0;  // kMaster
  TrackRun Run;              // kTracks
};

// What the checks across master and track records share.
struct DiscChecks {
  PartFindings& Masters;
  PartFindings& Tracks;
  bool TracksUsable;
  std::size_t Orphans = 0;  // track records whose identity has no master record
};

// The identities of masters and tracks, one slot each with its first master record and its runs
// of track records. Repeated master records are found as they come (the first is the one a
// search finds); repeated tracks, missing tracks and tracks without a disc once every record is
// in.
class DiscTable {
 public:
  using Entry = DiscEntry;

  DiscTable(std::size_t budget, std::size_t expected, DiscChecks& checks)
      : budget_(budget), checks_(checks), slots_(expected, budget) {}

  static std::uint64_t Hash(const DiscEntry& entry) { return MixHash(entry.Disc.Key ^ MixHash(entry.Disc.Rest)); }
  const void* SlotOf(const DiscEntry& entry) const { return slots_.First(Hash(entry)); }

  bool Add(const DiscEntry& entry) {
    const std::uint64_t hash = Hash(entry);
    const PackedIdentity marked{entry.Disc.Key, entry.Disc.Rest | 1};
    auto same = [&](const Slot& slot) { return slot.Disc == marked; };
    Slot* slot = slots_.Find(hash, same);
    if (!slot->Used()) {
      if (slots_.Full()) {
        if (!Fits(slots_.GrownBytes(), more_.capacity())) return false;
        slots_.Grow([](const Slot& used) { return Hash(DiscEntry{used.Identity(), DiscEntry::kMaster, 0, {}}); });
        slot = slots_.Find(hash, same);
      }
      slot->Disc = marked;
      slots_.Use();
    }
    if (entry.What == DiscEntry::kMaster) {
      if (slot->FirstMaster == 0) {
        slot->FirstMaster = entry.Record;
      } else {
        checks_.Masters.Problem(DBFile::Master, entry.Record, 0,
                                "ディスク " + IdentityText(entry.Disc) + " はレコード " +
                                    std::to_string(slot->FirstMaster) + " と重複しており、検索では見つかりません");
      }
      return true;
    }
    if (slot->Run.Tracks == 0) {
      slot->Run = entry.Run;
      return true;
    }
    if (more_.size() == more_.capacity()) {
      const std::size_t room = std::max<std::size_t>(16, more_.capacity() * 2);
      if (!Fits(slots_.Bytes(), room)) return false;
      more_.reserve(room);
    }
    more_.push_back({entry.Run, slot->MoreRuns});
    slot->MoreRuns = static_cast<std::uint32_t>(more_.size());
    return true;
  }

  template <class Emit>
  void Drain(Emit emit) {
    for (const Slot& slot : slots_) {
      if (!slot.Used()) continue;
      const PackedIdentity disc = slot.Identity();
      if (slot.FirstMaster != 0) emit(DiscEntry{disc, DiscEntry::kMaster, slot.FirstMaster, {}});
      ForEachRun(slot, [&](const TrackRun& run) { emit(DiscEntry{disc, DiscEntry::kTracks, 0, run}); });
    }
  }

  void Finish() {
    std::vector<TrackRun> runs;
    for (const Slot& slot : slots_) {
      if (!slot.Used()) continue;
      const PackedIdentity disc = slot.Identity();
      // The first found record of each track number; each other record with it repeats it.
      std::array<std::uint32_t, 256> first{};
      std::size_t records = 0;
      if (slot.MoreRuns == 0) {
        if (slot.Run.Found) {
          for (unsigned i = 0; i < slot.Run.Tracks; ++i) first[slot.Run.FirstTrack + i] = slot.Run.Record + i;
        }
        records = slot.Run.Tracks;
      } else {
        runs.clear();
        ForEachRun(slot, [&](const TrackRun& run) { runs.push_back(run); });
        std::sort(runs.begin(), runs.end(), [](const TrackRun& a, const TrackRun& b) { return a.Record < b.Record; });
        for (const TrackRun& run : runs) {
          for (unsigned i = 0; i < run.Tracks && run.Found; ++i) {
            if (first[run.FirstTrack + i] == 0) first[run.FirstTrack + i] = run.Record + i;
          }
        }
        for (const TrackRun& run : runs) {
          records += run.Tracks;
          for (unsigned i = 0; i < run.Tracks; ++i) {
            const unsigned track_no = run.FirstTrack + i;
            if (first[track_no] != 0 && first[track_no] != run.Record + i) {
              checks_.Tracks.Problem(DBFile::Track, run.Record + i, 0,
                                     "ディスク " + IdentityText(disc) + " のトラック " + std::to_string(track_no) +
                                         " はレコード " + std::to_string(first[track_no]) + " と重複しています");
            }
          }
        }
      }
      if (slot.FirstMaster == 0) {
        checks_.Orphans += records;
      } else if (checks_.TracksUsable) {
        for (std::size_t n = 1; n <= UsedTracks(disc.Count()); ++n) {
          if (first[n] == 0) {
            checks_.Masters.Problem(DBFile::Master, slot.FirstMaster, static_cast<unsigned>(6 + n),
                                    "トラック " + std::to_string(n) + " のレコードが TrackDB.QVR にありません");
          }
        }
      }
    }
  }

 private:
  struct Slot {
    PackedIdentity Disc;  // Rest's low byte is 1 in a used slot
    std::uint32_t FirstMaster = 0;
    std::uint32_t MoreRuns = 0;  // 1 + the index in more_ of its latest run past the first, or 0
    TrackRun Run;                // the first
    bool Used() const { return (Disc.Rest & 0xFF) != 0; }
    PackedIdentity Identity() const { return {Disc.Key, Disc.Rest & ~std::uint64_t{0xFF}}; }
  };
  struct MoreRun {
    TrackRun Run;
    std::uint32_t Next = 0;  // as Slot::MoreRuns
  };

  bool Fits(std::size_t slot_bytes, std::size_t more) const { return slot_bytes + more * sizeof(MoreRun) <= budget_; }

  template <class Visit>
  void ForEachRun(const Slot& slot, Visit visit) const {
    if (slot.Run.Tracks != 0) visit(slot.Run);
    for (std::uint32_t more = slot.MoreRuns; more != 0; more = more_[more - 1].Next) visit(more_[more - 1].Run);
  }

  std::size_t budget_;
  DiscChecks& checks_;
  HashSlots<Slot> slots_;
  std::vector<MoreRun> more_;
};

std::uint64_t HashOf(std::string_view bytes) {
  std::uint64_t h = 1469598103934665603ull;
  for (char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

// A name record by the hash of its name.
struct NameEntry {
  std::uint64_t Hash = 0;
  std::uint32_t Record = 0;  // 0 in an empty slot
  bool Used() const { return Record != 0; }
};

// The names of a name file, one slot per name: a name equal to an earlier one is found as it
// comes. Names are compared by their bytes, read back from the file, only when their hashes are
// equal; names of one hash that differ are kept beside the table.
class NameTable {
 public:
  using Entry = NameEntry;

  NameTable(std::size_t budget, std::size_t expected, const RecordFile& file, FieldSpan name, PartFindings& findings)
      : budget_(budget), file_(file), name_(name), findings_(findings), slots_(expected, budget) {}

  static std::uint64_t Hash(const NameEntry& entry) { return MixHash(entry.Hash); }
  const void* SlotOf(const NameEntry& entry) const { return slots_.First(Hash(entry)); }

  bool Add(const NameEntry& entry) {
    const std::uint64_t hash = Hash(entry);
    auto same = [&](const NameEntry& slot) { return slot.Hash == entry.Hash; };
    NameEntry* slot = slots_.Find(hash, same);
    if (!slot->Used()) {
      if (slots_.Full()) {
        if (!Fits(slots_.GrownBytes(), others_.capacity())) return false;
        slots_.Grow([](const NameEntry& used) { return Hash(used); });
        slot = slots_.Find(hash, same);
      }
      *slot = entry;
      slots_.Use();
      return true;
    }
    const std::string name = NameAt(entry.Record);
    std::uint32_t first = NameAt(slot->Record) == name ? slot->Record : 0;
    for (const NameEntry& other : others_) {
      if (first == 0 && other.Hash == entry.Hash && NameAt(other.Record) == name) first = other.Record;
    }
    if (first != 0) {
      findings_.Problem(file_.Kind(), entry.Record, 2,
                        "名前「" + SjisToUtf8(name) + "」はレコード " + std::to_string(first) + " と重複しています");
      return true;
    }
    if (others_.size() == others_.capacity()) {
      const std::size_t room = std::max<std::size_t>(4, others_.capacity() * 2);
      if (!Fits(slots_.Bytes(), room)) return false;
      others_.reserve(room);
    }
    others_.push_back(entry);
    return true;
  }

  template <class Emit>
  void Drain(Emit emit) {
    for (const NameEntry& slot : slots_) {
      if (slot.Used()) emit(slot);
    }
    for (const NameEntry& other : others_) emit(other);
  }

  void Finish() {}

 private:
  bool Fits(std::size_t slot_bytes, std::size_t others) const {
    return slot_bytes + others * sizeof(NameEntry) <= budget_;
  }

  std::string NameAt(std::uint32_t record) const {
    char bytes[kNameRecordSize];
    if (file_.Read(record, 1, bytes) != 1) return {};
    return std::string(ShortStringAt(bytes, name_.Offset, name_.Size - 1));
  }

  std::size_t budget_;
  const RecordFile& file_;
  FieldSpan name_;
  PartFindings& findings_;
  HashSlots<NameEntry> slots_;
  std::vector<NameEntry> others_;  // names whose hash an earlier, other name in the table has
};

// The IDs of a name file. A name's ID is the record number it was appended at; only records whose
// ID is another (damage) are kept, so memory grows with the damage and not with the file.
class NameIds {
 public:
  bool Has(std::int64_t id) const {
    if (id >= 1 && static_cast<std::uint64_t>(id) < records_ &&
        (misplaced_records_.empty() || !misplaced_records_.contains(id))) {
      return true;
    }
    return !misplaced_ids_.empty() && misplaced_ids_.contains(id);
  }

  // One pass over `file`: damaged lengths, IDs that are not their record number, repeated IDs
  // and repeated names.
  static NameIds Check(const DatabaseReader& db, DBFile file, std::size_t memory, std::vector<CheckFinding>& damage,
                       PartFindings& findings) {
    NameIds result;
    const RecordFile* open = db.Open(file);
    if (!open) return result;
    result.records_ = db.File(file).Records;
    const bool genre = file == DBFile::Genre;
    const FieldSpan name_field = genre ? genre_layout::Name : name_layout::Name;
    Findings damage_findings(damage);
    auto make = [&](std::size_t budget, std::size_t expected) {
      return NameTable(budget, expected, *open, name_field, findings);
    };
    HashPartition<NameTable, decltype(make)> names(memory, make, result.records_);
    std::unordered_map<std::int64_t, std::vector<std::size_t>> misplaced;  // ID -> records, in order
    RecordScanner scan(*open);
    while (const char* r = scan.Next()) {
      const std::size_t record = scan.Index();
      CheckLength(r, name_field, file, record, "Name", damage_findings);
      const std::int64_t id =
          genre ? static_cast<unsigned char>(r[genre_layout::ID.Offset]) : ReadInt32At(r, name_layout::ID.Offset);
      if (id != static_cast<std::int64_t>(record)) {
        findings.Problem(file, record, 0, "ID " + std::to_string(id) + " がレコード番号と違います");
        result.misplaced_records_.insert(static_cast<std::int64_t>(record));
        misplaced[id].push_back(record);
      }
      names.Add({HashOf(ShortStringAt(r, name_field.Offset, name_field.Size - 1)), static_cast<std::uint32_t>(record)});
    }
    names.Finish();
    // A repeated ID is one a misplaced record has: the others with it are that record or other
    // misplaced ones; the first of them in the file keeps it.
    for (auto& [id, records] : misplaced) {
      result.misplaced_ids_.insert(id);
      if (id >= 1 && static_cast<std::uint64_t>(id) < result.records_ && !result.misplaced_records_.contains(id)) {
        records.push_back(static_cast<std::size_t>(id));
      }
      std::sort(records.begin(), records.end());
      for (std::size_t i = 1; i < records.size(); ++i) {
        findings.Problem(
            file, records[i], 1,
            "ID " + std::to_string(id) + " はレコード " + std::to_string(records[0]) + " と重複しています");
      }
    }
    return result;
  }

 private:
  std::uint64_t records_ = 0;  // header included
  std::unordered_set<std::int64_t> misplaced_records_, misplaced_ids_;
};

}  // namespace

std::vector<CheckFinding> CheckDatabase(const std::filesystem::path& master_path, std::size_t memory) {
  const DatabaseReader db(master_path);
  std::vector<CheckFinding> files;
  std::array<std::vector<CheckFinding>, 5> damage;
  PartFindings masters, tracks, artists, labels, genres;
  {
    Findings file_findings(files);
    CheckFiles(db, file_findings);
  }
  auto damage_of = [&](DBFile file) -> std::vector<CheckFinding>& { return damage[static_cast<std::size_t>(file)]; };
  const NameIds artist_ids = NameIds::Check(db, DBFile::Artist, memory, damage_of(DBFile::Artist), artists);
  const NameIds label_ids = NameIds::Check(db, DBFile::Label, memory, damage_of(DBFile::Label), labels);
  const NameIds genre_ids = NameIds::Check(db, DBFile::Genre, memory, damage_of(DBFile::Genre), genres);
  const bool artists_usable = Checkable(db, DBFile::Artist);

  // Masters and tracks meet by identity in one table: repeated discs, repeated tracks, discs
  // without their tracks and tracks without their disc.
  DiscChecks checks{masters, tracks, Checkable(db, DBFile::Track)};
  auto make = [&](std::size_t budget, std::size_t expected) { return DiscTable(budget, expected, checks); };
  HashPartition<DiscTable, decltype(make)> discs(memory, make, db.File(DBFile::Master).Records);

  // Master file: each record on its own, only the fields the checks look at read where they lie.
  {
    Findings damage_findings(damage_of(DBFile::Master));
    const bool labels_usable = Checkable(db, DBFile::Label);
    namespace m = master_layout;
    Scan(db, DBFile::Master, [&](const char* r, std::size_t record) {
      for (auto [field, name] : {std::pair{m::DiscKey, "DiscKey"},
                                 {m::DiscName, "DiscName"},
                                 {m::JacketFile, "JacketFile"},
                                 {m::LyricsFile, "LyricsFile"}}) {
        CheckLength(r, field, DBFile::Master, record, name, damage_findings);
      }
      const auto track_count = static_cast<std::uint8_t>(r[m::TrackCount.Offset]);
      discs.Add(
          {PackedIdentity::Of(ShortStringAt(r, m::DiscKey.Offset, 8), track_count, ReadUInt32At(r, m::DiscTime.Offset)),
           DiscEntry::kMaster,
           static_cast<std::uint32_t>(record),
           {}});
      if (track_count > kMaxTracks) {
        masters.Problem(DBFile::Master, record, 1, "曲数 " + std::to_string(track_count) + " は 99 を超えています");
      }
      if (const auto disc_type = static_cast<std::uint8_t>(r[m::DiscType.Offset]); disc_type > 3) {
        masters.Problem(DBFile::Master, record, 2, "DiscType " + std::to_string(disc_type) + " は 0..3 の外です");
      }
      if (const TDateTime sale_date = ReadDateAt(r, m::SaleDate.Offset);
          !IsUnknownDate(sale_date) && !CivilFromDate(sale_date)) {
        masters.Problem(DBFile::Master, record, 3, "SaleDate が日付ではありません");
      }
      if (const std::int32_t artist = ReadInt32At(r, m::ArtistID.Offset); artists_usable && !artist_ids.Has(artist)) {
        masters.Problem(DBFile::Master, record, 4,
                        "ArtistID " + std::to_string(artist) + " が ArtistDB.QVR にありません");
      }
      if (const std::int32_t label = ReadInt32At(r, m::LabelID.Offset); labels_usable && !label_ids.Has(label)) {
        masters.Problem(DBFile::Master, record, 5, "LabelID " + std::to_string(label) + " が LabelDB.QVR にありません");
      }
    });
  }

  // Track file: each record on its own; records that continue a run of their identity are added
  // with it.
  {
    Findings damage_findings(damage_of(DBFile::Track));
    const bool genres_usable = Checkable(db, DBFile::Genre);
    namespace t = track_layout;
    DiscEntry run{{}, DiscEntry::kTracks, 0, {}};
    Scan(db, DBFile::Track, [&](const char* r, std::size_t record) {
      CheckLength(r, t::DiscKey, DBFile::Track, record, "DiscKey", damage_findings);
      CheckLength(r, t::TrackName, DBFile::Track, record, "TrackName", damage_findings);
      const auto track_count = static_cast<std::uint8_t>(r[t::TrackCount.Offset]);
      const auto track_no = static_cast<std::uint8_t>(r[t::TrackNo.Offset]);
      const PackedIdentity identity =
          PackedIdentity::Of(ShortStringAt(r, t::DiscKey.Offset, 8), track_count, ReadUInt32At(r, t::DiscTime.Offset));
      const bool found = static_cast<unsigned char>(r[t::DiscKey.Offset]) <= 8;
      if (run.Run.Tracks != 0 && run.Run.Tracks < 255 && identity == run.Disc && found == run.Run.Found &&
          track_no == run.Run.FirstTrack + run.Run.Tracks) {
        ++run.Run.Tracks;
      } else {
        if (run.Run.Tracks != 0) discs.Add(run);
        run.Disc = identity;
        run.Run = {static_cast<std::uint32_t>(record), track_no, 1, found};
      }
      if (track_no < 1 || track_no > UsedTracks(track_count)) {
        tracks.Problem(DBFile::Track, record, 1, "トラック番号 " + std::to_string(track_no) + " は曲数の範囲外です");
      }
      if (artists_usable) {
        unsigned rank = 2;
        for (auto [at, field] : {std::pair{t::LyricsbyID.Offset, "LyricsbyID"},
                                 {t::MusicbyID.Offset, "MusicbyID"},
                                 {t::ArrangebyID.Offset, "ArrangebyID"}}) {
          const std::int32_t id = ReadInt32At(r, at);
          if (!artist_ids.Has(id)) {
            tracks.Problem(DBFile::Track, record, rank,
                           std::string(field) + " " + std::to_string(id) + " が ArtistDB.QVR にありません");
          }
          ++rank;
        }
      }
      const auto genre_id = static_cast<std::uint8_t>(r[t::GenreID.Offset]);
      if (genres_usable && !genre_ids.Has(genre_id)) {
        tracks.Problem(DBFile::Track, record, 5,
                       "GenreID " + std::to_string(genre_id) + " が GenreDB.QVR にありません");
      }
    });
    if (run.Run.Tracks != 0) discs.Add(run);
  }
  discs.Finish();
  if (checks.Orphans > 0 && db.File(DBFile::Master).ValidHeader) {
    tracks.Remark(DBFile::Track,
                  std::to_string(checks.Orphans) +
                      " 件のトラックレコードにはマスターレコードがありません (登録の途中で中断された跡です)");
  }

  // The files and their damaged fields first, then masters, tracks and the three name files.
  for (DBFile kind : kAllDBFiles) {
    auto& found = damage_of(kind);
    files.insert(files.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
  }
  for (PartFindings* part : {&masters, &tracks, &artists, &labels, &genres}) part->AppendTo(files);
  return files;
}

std::vector<CheckFinding> CheckDatabase(const DatabaseSnapshot& snapshot) {
  return CheckDatabase(snapshot.File(DBFile::Master).Path);
}

}  // namespace qvr
