// The database validator.
#include "cddb/DatabaseCheck.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "cddb/DatabaseReader.h"
#include "cddb/DateSource.h"
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

// Notes a short string field whose length byte is above its capacity.
void CheckLength(const char* record, FieldSpan field, DBFile file, std::size_t index, std::string_view name,
                 Findings& findings) {
  if (static_cast<unsigned char>(record[field.Offset]) > field.Size - 1) {
    findings.Problem(file, index, std::string(name) + " の長さが容量を超えています (容量までとして読みます)");
  }
}

void CheckDamage(const DatabaseReader& db, Findings& findings) {
  namespace m = master_layout;
  Scan(db, DBFile::Master, [&](const char* r, std::size_t i) {
    for (auto [field, name] : {std::pair{m::DiscKey, "DiscKey"},
                               {m::DiscName, "DiscName"},
                               {m::JacketFile, "JacketFile"},
                               {m::LyricsFile, "LyricsFile"}}) {
      CheckLength(r, field, DBFile::Master, i, name, findings);
    }
  });
  Scan(db, DBFile::Track, [&](const char* r, std::size_t i) {
    CheckLength(r, track_layout::DiscKey, DBFile::Track, i, "DiscKey", findings);
    CheckLength(r, track_layout::TrackName, DBFile::Track, i, "TrackName", findings);
  });
  for (DBFile kind : {DBFile::Artist, DBFile::Label}) {
    Scan(db, kind, [&](const char* r, std::size_t i) { CheckLength(r, name_layout::Name, kind, i, "Name", findings); });
  }
  Scan(db, DBFile::Genre,
       [&](const char* r, std::size_t i) { CheckLength(r, genre_layout::Name, DBFile::Genre, i, "Name", findings); });
}

// The IDs of a name file, and findings about them: an ID that is not its record number, a
// repeated ID, a repeated name.
std::unordered_set<std::int64_t> CheckNames(const DatabaseReader& db, DBFile file, Findings& findings) {
  std::unordered_map<std::int64_t, std::size_t> ids;
  std::unordered_map<std::string, std::size_t> names;
  const bool genre = file == DBFile::Genre;
  Scan(db, file, [&](const char* r, std::size_t record) {
    const std::int64_t id =
        genre ? static_cast<unsigned char>(r[genre_layout::ID.Offset]) : ReadInt32At(r, name_layout::ID.Offset);
    const std::string name(genre ? ShortStringAt(r, genre_layout::Name.Offset, 16)
                                 : ShortStringAt(r, name_layout::Name.Offset, 96));
    // A name's ID is the record number it was appended at; one that is not would collide with
    // the ID a later name gets.
    if (id != static_cast<std::int64_t>(record)) {
      findings.Problem(file, record, "ID " + std::to_string(id) + " がレコード番号と違います");
    }
    if (auto [at, inserted] = ids.try_emplace(id, record); !inserted) {
      findings.Problem(file, record,
                       "ID " + std::to_string(id) + " はレコード " + std::to_string(at->second) + " と重複しています");
    }
    if (auto [at, inserted] = names.try_emplace(name, record); !inserted) {
      findings.Problem(
          file, record,
          "名前「" + SjisToUtf8(name) + "」はレコード " + std::to_string(at->second) + " と重複しています");
    }
  });
  std::unordered_set<std::int64_t> result;
  result.reserve(ids.size());
  for (const auto& [id, record] : ids) result.insert(id);
  return result;
}

// Track records by identity and track number (TrackKey), sorted, the first record of a key first.
// A record whose key length is damaged is left out: it never matches a disc.
class TrackIndex {
 public:
  explicit TrackIndex(const DatabaseReader& db) {
    namespace t = track_layout;
    Scan(db, DBFile::Track, [&](const char* r, std::size_t i) {
      if (static_cast<unsigned char>(r[t::DiscKey.Offset]) > 8) return;
      Entry entry;
      const std::string key = KeyOf(r);
      std::memcpy(entry.Key.data(), key.data(), key.size());
      entry.Size = static_cast<std::uint8_t>(key.size());
      entry.Record = static_cast<std::uint32_t>(i);
      entries_.push_back(entry);
    });
    std::stable_sort(entries_.begin(), entries_.end(),
                     [](const Entry& a, const Entry& b) { return a.View() < b.View(); });
  }

  static std::string KeyOf(const char* r) {
    namespace t = track_layout;
    return TrackKey(ShortString<8>(ShortStringAt(r, t::DiscKey.Offset, 8)),
                    static_cast<std::uint8_t>(r[t::TrackCount.Offset]), ReadUInt32At(r, t::DiscTime.Offset),
                    static_cast<std::uint8_t>(r[t::TrackNo.Offset]));
  }

  // The number of the first record with `key`, or 0.
  std::size_t First(std::string_view key) const {
    auto at = std::lower_bound(entries_.begin(), entries_.end(), key,
                               [](const Entry& e, std::string_view k) { return e.View() < k; });
    return at != entries_.end() && at->View() == key ? at->Record : 0;
  }

 private:
  struct Entry {
    std::array<char, 15> Key{};  // a TrackKey is at most 15 bytes
    std::uint8_t Size = 0;
    std::uint32_t Record = 0;
    std::string_view View() const { return {Key.data(), Size}; }
  };
  std::vector<Entry> entries_;
};

// Whether references into `file` can be checked: it is valid, or missing and so to be created
// empty (a file of another version is a problem of its own).
bool Checkable(const DatabaseReader& db, DBFile file) { return db.File(file).ValidHeader || !db.File(file).Exists; }

void CheckMasters(const DatabaseReader& db, const TrackIndex& tracks,
                  const std::unordered_set<std::int64_t>& artist_ids, const std::unordered_set<std::int64_t>& label_ids,
                  std::unordered_set<std::string>& discs, Findings& findings) {
  const bool artists_usable = Checkable(db, DBFile::Artist);
  const bool labels_usable = Checkable(db, DBFile::Label);
  const bool tracks_usable = Checkable(db, DBFile::Track);
  std::unordered_map<std::string, std::size_t> first;  // identity -> record number
  Scan(db, DBFile::Master, [&](const char* r, std::size_t record) {
    const TMasterRecord m = DecodeMasterRecord(std::span<const char, kMasterRecordSize>(r, kMasterRecordSize));
    const std::string identity = TrackKey(m.DiscKey, m.TrackCount, m.DiscTime, 0);
    discs.insert(identity);
    auto [at, inserted] = first.try_emplace(identity, record);
    if (!inserted) {
      findings.Problem(DBFile::Master, record,
                       "ディスク " + Identity(m.DiscKey, m.TrackCount, m.DiscTime) + " はレコード " +
                           std::to_string(at->second) + " と重複しており、検索では見つかりません");
    }
    if (m.TrackCount > kMaxTracks) {
      findings.Problem(DBFile::Master, record, "曲数 " + std::to_string(m.TrackCount) + " は 99 を超えています");
    }
    if (m.DiscType > 3)
      findings.Problem(DBFile::Master, record, "DiscType " + std::to_string(m.DiscType) + " は 0..3 の外です");
    if (!IsUnknownDate(m.SaleDate) && !CivilFromDate(m.SaleDate)) {
      findings.Problem(DBFile::Master, record, "SaleDate が日付ではありません");
    }
    if (artists_usable && !artist_ids.contains(m.ArtistID)) {
      findings.Problem(DBFile::Master, record,
                       "ArtistID " + std::to_string(m.ArtistID) + " が ArtistDB.QVR にありません");
    }
    if (labels_usable && !label_ids.contains(m.LabelID)) {
      findings.Problem(DBFile::Master, record, "LabelID " + std::to_string(m.LabelID) + " が LabelDB.QVR にありません");
    }
    if (tracks_usable && inserted) {
      for (std::size_t n = 1; n <= UsedTracks(m.TrackCount); ++n) {
        if (tracks.First(TrackKey(m.DiscKey, m.TrackCount, m.DiscTime, static_cast<std::uint8_t>(n))) == 0) {
          findings.Problem(DBFile::Master, record,
                           "トラック " + std::to_string(n) + " のレコードが TrackDB.QVR にありません");
        }
      }
    }
  });
}

void CheckTracks(const DatabaseReader& db, const TrackIndex& tracks, const std::unordered_set<std::int64_t>& artist_ids,
                 const std::unordered_set<std::int64_t>& genre_ids, const std::unordered_set<std::string>& discs,
                 Findings& findings) {
  const bool artists_usable = Checkable(db, DBFile::Artist);
  const bool genres_usable = Checkable(db, DBFile::Genre);
  std::size_t orphans = 0;
  Scan(db, DBFile::Track, [&](const char* r, std::size_t record) {
    const TTrackRecord t = DecodeTrackRecord(std::span<const char, kTrackRecordSize>(r, kTrackRecordSize));
    const std::size_t first = tracks.First(TrackKey(t.DiscKey, t.TrackCount, t.DiscTime, t.TrackNo));
    if (first != 0 && first != record) {
      findings.Problem(DBFile::Track, record,
                       "ディスク " + Identity(t.DiscKey, t.TrackCount, t.DiscTime) + " のトラック " +
                           std::to_string(t.TrackNo) + " はレコード " + std::to_string(first) + " と重複しています");
    }
    if (t.TrackNo < 1 || t.TrackNo > UsedTracks(t.TrackCount)) {
      findings.Problem(DBFile::Track, record, "トラック番号 " + std::to_string(t.TrackNo) + " は曲数の範囲外です");
    }
    if (!discs.contains(TrackKey(t.DiscKey, t.TrackCount, t.DiscTime, 0))) ++orphans;
    if (artists_usable) {
      for (auto [id, field] :
           {std::pair{t.LyricsbyID, "LyricsbyID"}, {t.MusicbyID, "MusicbyID"}, {t.ArrangebyID, "ArrangebyID"}}) {
        if (!artist_ids.contains(id)) {
          findings.Problem(DBFile::Track, record,
                           std::string(field) + " " + std::to_string(id) + " が ArtistDB.QVR にありません");
        }
      }
    }
    if (genres_usable && !genre_ids.contains(t.GenreID)) {
      findings.Problem(DBFile::Track, record, "GenreID " + std::to_string(t.GenreID) + " が GenreDB.QVR にありません");
    }
  });
  if (orphans > 0 && db.File(DBFile::Master).ValidHeader) {
    findings.Remark(DBFile::Track, 0,
                    std::to_string(orphans) +
                        " 件のトラックレコードにはマスターレコードがありません (登録の途中で中断された跡です)");
  }
}

}  // namespace

std::vector<CheckFinding> CheckDatabase(const std::filesystem::path& master_path) {
  const DatabaseReader db(master_path);
  // Findings are gathered per part and given in the order files, masters, tracks, names.
  std::vector<CheckFinding> files, masters, tracks, artists, labels, genres;
  Findings file_findings(files), artist_findings(artists), label_findings(labels), genre_findings(genres);
  CheckFiles(db, file_findings);
  CheckDamage(db, file_findings);
  const auto artist_ids = CheckNames(db, DBFile::Artist, artist_findings);
  const auto label_ids = CheckNames(db, DBFile::Label, label_findings);
  const auto genre_ids = CheckNames(db, DBFile::Genre, genre_findings);
  const TrackIndex index(db);
  std::unordered_set<std::string> discs;
  Findings master_findings(masters), track_findings(tracks);
  CheckMasters(db, index, artist_ids, label_ids, discs, master_findings);
  CheckTracks(db, index, artist_ids, genre_ids, discs, track_findings);
  for (auto* part : {&masters, &tracks, &artists, &labels, &genres}) {
    files.insert(files.end(), std::make_move_iterator(part->begin()), std::make_move_iterator(part->end()));
  }
  return files;
}

std::vector<CheckFinding> CheckDatabase(const DatabaseSnapshot& snapshot) {
  return CheckDatabase(snapshot.File(DBFile::Master).Path);
}

}  // namespace qvr
