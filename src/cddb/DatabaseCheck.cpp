// The database validator.
#include "cddb/DatabaseCheck.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "cddb/DatabaseReader.h"
#include "cddb/DateSource.h"
#include "cddb/DiscIdentityTable.h"
#include "cddb/NameTable.h"
#include "cddb/RecordFile.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

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
      names.Add(
          {NameHash(ShortStringAt(r, name_field.Offset, name_field.Size - 1)), static_cast<std::uint32_t>(record)});
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
