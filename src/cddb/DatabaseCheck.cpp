// The database validator.
#include "cddb/DatabaseCheck.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "cddb/DatabaseReader.h"
#include "cddb/DateSource.h"
#include "cddb/RecordFile.h"
#include "cddb/SpillSort.h"
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

// Notes a short string field whose length byte is above its capacity.
void CheckLength(const char* record, FieldSpan field, DBFile file, std::size_t index, std::string_view name,
                 Findings& findings) {
  if (static_cast<unsigned char>(record[field.Offset]) > field.Size - 1) {
    findings.Problem(file, index, std::string(name) + " の長さが容量を超えています (容量までとして読みます)");
  }
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

// A disc identity packed for sorting into two words: the key's bytes, then its length, the
// track count and the disc time (with room for eight more bits below, which a track entry
// fills with its track number). Two integer comparisons order it.
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
  friend bool operator==(const PackedIdentity& a, const PackedIdentity& b) {
    return a.Key == b.Key && a.Rest == b.Rest;
  }
  friend bool operator<(const PackedIdentity& a, const PackedIdentity& b) {
    return a.Key != b.Key ? a.Key < b.Key : a.Rest < b.Rest;
  }
};

struct MasterEntry {
  PackedIdentity Disc;
  std::uint32_t Record = 0;
  friend bool operator<(const MasterEntry& a, const MasterEntry& b) {
    if (a.Disc.Key != b.Disc.Key) return a.Disc.Key < b.Disc.Key;
    if (a.Disc.Rest != b.Disc.Rest) return a.Disc.Rest < b.Disc.Rest;
    return a.Record < b.Record;
  }
};

// A track record's identity and track number (in the identity's low byte, so that one
// comparison orders both), and its record number.
struct TrackEntry {
  PackedIdentity Disc;  // with the track number in Rest's low byte
  std::uint32_t Record = 0;
  bool Found = false;  // a search finds the record (its key length is not damaged)

  PackedIdentity Identity() const { return {Disc.Key, Disc.Rest & ~std::uint64_t{0xFF}}; }
  std::uint8_t TrackNo() const { return static_cast<std::uint8_t>(Disc.Rest); }
  friend bool operator<(const TrackEntry& a, const TrackEntry& b) {
    if (a.Disc.Key != b.Disc.Key) return a.Disc.Key < b.Disc.Key;
    if (a.Disc.Rest != b.Disc.Rest) return a.Disc.Rest < b.Disc.Rest;
    return a.Record < b.Record;
  }
};

struct NameEntry {
  std::uint64_t Hash = 0;
  std::uint32_t Record = 0;
  friend bool operator<(const NameEntry& a, const NameEntry& b) {
    return std::tie(a.Hash, a.Record) < std::tie(b.Hash, b.Record);
  }
};

std::uint64_t HashOf(std::string_view bytes) {
  std::uint64_t h = 1469598103934665603ull;
  for (char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

// The IDs of a name file. A name's ID is the record number it was appended at; only records whose
// ID is another (damage) are kept, so memory grows with the damage and not with the file.
class NameIds {
 public:
  bool Has(std::int64_t id) const {
    if (id >= 1 && static_cast<std::uint64_t>(id) < records_ && !misplaced_records_.contains(id)) return true;
    return misplaced_ids_.contains(id);
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
    SpillSort<NameEntry> names(memory);
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
    // Equal names have equal hashes: each run of one hash is read back and compared byte for byte.
    names.Finish();
    std::vector<std::uint32_t> group;
    auto compare_group = [&] {
      std::vector<std::pair<std::string, std::uint32_t>> seen;
      char bytes[kNameRecordSize];
      for (std::uint32_t record : group) {
        if (open->Read(record, 1, bytes) != 1) continue;
        std::string name(ShortStringAt(bytes, name_field.Offset, name_field.Size - 1));
        auto first = std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.first == name; });
        if (first == seen.end()) {
          seen.emplace_back(std::move(name), record);
        } else {
          findings.Problem(
              file, record, 2,
              "名前「" + SjisToUtf8(name) + "」はレコード " + std::to_string(first->second) + " と重複しています");
        }
      }
    };
    std::uint64_t hash = 0;
    while (const NameEntry* entry = names.Next()) {
      if (!group.empty() && entry->Hash != hash) {
        if (group.size() > 1) compare_group();
        group.clear();
      }
      hash = entry->Hash;
      group.push_back(entry->Record);
    }
    if (group.size() > 1) compare_group();
    return result;
  }

 private:
  std::uint64_t records_ = 0;  // header included
  std::unordered_set<std::int64_t> misplaced_records_, misplaced_ids_;
};

std::string IdentityText(const PackedIdentity& disc) { return Identity(disc.DiscKey(), disc.Count(), disc.Time()); }

}  // namespace

std::vector<CheckFinding> CheckDatabase(const std::filesystem::path& master_path, std::size_t sort_memory) {
  const DatabaseReader db(master_path);
  std::vector<CheckFinding> files;
  std::array<std::vector<CheckFinding>, 5> damage;
  PartFindings masters, tracks, artists, labels, genres;
  {
    Findings file_findings(files);
    CheckFiles(db, file_findings);
  }
  auto damage_of = [&](DBFile file) -> std::vector<CheckFinding>& { return damage[static_cast<std::size_t>(file)]; };
  const NameIds artist_ids = NameIds::Check(db, DBFile::Artist, sort_memory, damage_of(DBFile::Artist), artists);
  const NameIds label_ids = NameIds::Check(db, DBFile::Label, sort_memory, damage_of(DBFile::Label), labels);
  const NameIds genre_ids = NameIds::Check(db, DBFile::Genre, sort_memory, damage_of(DBFile::Genre), genres);
  const bool artists_usable = Checkable(db, DBFile::Artist);

  // Master file: each record on its own; identities kept for the duplicates and the tracks.
  SpillSort<MasterEntry> discs(sort_memory);
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
      const TMasterRecord d = DecodeMasterRecord(std::span<const char, kMasterRecordSize>(r, kMasterRecordSize));
      discs.Add({PackedIdentity::Of(d.DiscKey.View(), d.TrackCount, d.DiscTime), static_cast<std::uint32_t>(record)});
      if (d.TrackCount > kMaxTracks) {
        masters.Problem(DBFile::Master, record, 1, "曲数 " + std::to_string(d.TrackCount) + " は 99 を超えています");
      }
      if (d.DiscType > 3) {
        masters.Problem(DBFile::Master, record, 2, "DiscType " + std::to_string(d.DiscType) + " は 0..3 の外です");
      }
      if (!IsUnknownDate(d.SaleDate) && !CivilFromDate(d.SaleDate)) {
        masters.Problem(DBFile::Master, record, 3, "SaleDate が日付ではありません");
      }
      if (artists_usable && !artist_ids.Has(d.ArtistID)) {
        masters.Problem(DBFile::Master, record, 4,
                        "ArtistID " + std::to_string(d.ArtistID) + " が ArtistDB.QVR にありません");
      }
      if (labels_usable && !label_ids.Has(d.LabelID)) {
        masters.Problem(DBFile::Master, record, 5,
                        "LabelID " + std::to_string(d.LabelID) + " が LabelDB.QVR にありません");
      }
    });
  }

  // Track file: each record on its own; identities kept for the duplicates and the masters.
  SpillSort<TrackEntry> track_entries(sort_memory);
  {
    Findings damage_findings(damage_of(DBFile::Track));
    const bool genres_usable = Checkable(db, DBFile::Genre);
    namespace t = track_layout;
    Scan(db, DBFile::Track, [&](const char* r, std::size_t record) {
      CheckLength(r, t::DiscKey, DBFile::Track, record, "DiscKey", damage_findings);
      CheckLength(r, t::TrackName, DBFile::Track, record, "TrackName", damage_findings);
      // Only the numbers are looked at: read where they lie, not decoded with the texts.
      const auto track_count = static_cast<std::uint8_t>(r[t::TrackCount.Offset]);
      const auto track_no = static_cast<std::uint8_t>(r[t::TrackNo.Offset]);
      PackedIdentity identity =
          PackedIdentity::Of(ShortStringAt(r, t::DiscKey.Offset, 8), track_count, ReadUInt32At(r, t::DiscTime.Offset));
      identity.Rest |= track_no;
      track_entries.Add(
          {identity, static_cast<std::uint32_t>(record), static_cast<unsigned char>(r[t::DiscKey.Offset]) <= 8});
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
  }

  // Both sorted by identity, walked side by side: repeated discs, repeated tracks, discs without
  // their tracks and tracks without their disc.
  discs.Finish();
  track_entries.Finish();
  const bool tracks_usable = Checkable(db, DBFile::Track);
  std::size_t orphans = 0;
  const MasterEntry* disc = discs.Next();
  const TrackEntry* track = track_entries.Next();
  while (disc || track) {
    const PackedIdentity identity = !track || (disc && disc->Disc < track->Identity()) ? disc->Disc : track->Identity();
    // The identity's master records: the first is the one a search finds.
    std::uint32_t first_master = 0;
    for (; disc && disc->Disc == identity; disc = discs.Next()) {
      if (first_master == 0) {
        first_master = disc->Record;
      } else {
        masters.Problem(DBFile::Master, disc->Record, 0,
                        "ディスク " + IdentityText(identity) + " はレコード " + std::to_string(first_master) +
                            " と重複しており、検索では見つかりません");
      }
    }
    // Its track records, by track number: the first found one is the track.
    std::array<bool, kMaxTracks + 1> present{};
    while (track && track->Identity() == identity) {
      const std::uint8_t track_no = track->TrackNo();
      std::vector<std::uint32_t> records;
      std::uint32_t first = 0;
      for (; track && track->Identity() == identity && track->TrackNo() == track_no; track = track_entries.Next()) {
        records.push_back(track->Record);
        if (track->Found && first == 0) first = track->Record;
        if (first_master == 0) ++orphans;
      }
      if (first != 0 && track_no <= kMaxTracks) present[track_no] = true;
      for (std::uint32_t record : records) {
        if (first != 0 && record != first) {
          tracks.Problem(DBFile::Track, record, 0,
                         "ディスク " + IdentityText(identity) + " のトラック " + std::to_string(track_no) +
                             " はレコード " + std::to_string(first) + " と重複しています");
        }
      }
    }
    if (first_master != 0 && tracks_usable) {
      for (std::size_t n = 1; n <= UsedTracks(identity.Count()); ++n) {
        if (!present[n]) {
          masters.Problem(DBFile::Master, first_master, static_cast<unsigned>(6 + n),
                          "トラック " + std::to_string(n) + " のレコードが TrackDB.QVR にありません");
        }
      }
    }
  }
  if (orphans > 0 && db.File(DBFile::Master).ValidHeader) {
    tracks.Remark(DBFile::Track,
                  std::to_string(orphans) +
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
