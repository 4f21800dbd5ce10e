// The database validator.
#include "cddb/DatabaseCheck.h"

#include <unordered_map>
#include <unordered_set>

#include "cddb/DateSource.h"
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

void CheckFiles(const DatabaseSnapshot& snapshot, Findings& findings) {
  for (DBFile kind : kAllDBFiles) {
    const SnapshotFile& file = snapshot.File(kind);
    if (!file.Exists) {
      findings.Remark(kind, 0, "ありません (最初の検索か登録のときに作られます)");
      continue;
    }
    if (file.Records == 0) {
      findings.Problem(kind, 0, "ヘッダーレコードがありません (" + std::to_string(file.Size) + " バイト)");
    } else if (!file.ValidHeader) {
      findings.Problem(kind, 0, "ヘッダーのバージョンが \"" + std::string(InfoOf(kind).Version) +
                                    "\" ではありません。このファイルは使われません");
    }
    if (file.TrailingBytes > 0 && file.Records > 0) {
      findings.Problem(kind, 0, "末尾に不完全なレコード (" + std::to_string(file.TrailingBytes) +
                                    " バイト) があります。読み込みでは無視され、次の追加で上書きされます");
    }
  }
  for (const DamagedField& damaged : snapshot.Damaged()) {
    findings.Problem(damaged.File, damaged.Record,
                     std::string(damaged.Field) + " の長さが容量を超えています (容量までとして読みます)");
  }
}

// Whether references into `file` can be checked: it is valid, or missing and so to be created
// empty (a file of another version is a problem of its own).
bool Checkable(const DatabaseSnapshot& snapshot, DBFile file) {
  return snapshot.File(file).ValidHeader || !snapshot.File(file).Exists;
}

void CheckMasters(const DatabaseSnapshot& snapshot, Findings& findings) {
  const bool artists_usable = Checkable(snapshot, DBFile::Artist);
  const bool labels_usable = Checkable(snapshot, DBFile::Label);
  const bool tracks_usable = Checkable(snapshot, DBFile::Track);
  const auto& artist_ids = snapshot.Names().Artists;
  const auto& label_ids = snapshot.Names().Labels;
  std::unordered_map<std::string, std::size_t> first;  // identity -> record number
  for (std::size_t i = 0; i < snapshot.Masters().size(); ++i) {
    const TMasterRecord& m = snapshot.Masters()[i];
    const std::size_t record = i + 1;
    auto [at, inserted] = first.try_emplace(TrackKey(m.DiscKey, m.TrackCount, m.DiscTime, 0), record);
    if (!inserted) {
      findings.Problem(DBFile::Master, record,
                       "ディスク " + Identity(m.DiscKey, m.TrackCount, m.DiscTime) + " はレコード " +
                           std::to_string(at->second) + " と重複しており、検索では見つかりません");
    }
    if (m.TrackCount > kMaxTracks) {
      findings.Problem(DBFile::Master, record, "曲数 " + std::to_string(m.TrackCount) + " は 99 を超えています");
    }
    if (m.DiscType > 3) findings.Problem(DBFile::Master, record, "DiscType " + std::to_string(m.DiscType) + " は 0..3 の外です");
    if (!IsUnknownDate(m.SaleDate) && !CivilFromDate(m.SaleDate)) findings.Problem(DBFile::Master, record, "SaleDate が日付ではありません");
    if (artists_usable && !artist_ids.contains(m.ArtistID)) {
      findings.Problem(DBFile::Master, record, "ArtistID " + std::to_string(m.ArtistID) + " が ArtistDB.QVR にありません");
    }
    if (labels_usable && !label_ids.contains(m.LabelID)) {
      findings.Problem(DBFile::Master, record, "LabelID " + std::to_string(m.LabelID) + " が LabelDB.QVR にありません");
    }
    if (tracks_usable && inserted) {
      for (std::size_t n = 1; n <= UsedTracks(m.TrackCount); ++n) {
        if (snapshot.FindTrack(m.DiscKey, m.TrackCount, m.DiscTime, static_cast<std::uint8_t>(n)) < 0) {
          findings.Problem(DBFile::Master, record, "トラック " + std::to_string(n) + " のレコードが TrackDB.QVR にありません");
        }
      }
    }
  }
}

void CheckTracks(const DatabaseSnapshot& snapshot, Findings& findings) {
  const bool artists_usable = Checkable(snapshot, DBFile::Artist);
  const bool genres_usable = Checkable(snapshot, DBFile::Genre);
  const auto& artist_ids = snapshot.Names().Artists;
  const auto& genre_ids = snapshot.Names().Genres;
  std::unordered_set<std::string> discs;
  for (const TMasterRecord& m : snapshot.Masters()) discs.insert(TrackKey(m.DiscKey, m.TrackCount, m.DiscTime, 0));
  std::size_t orphans = 0;
  for (std::size_t i = 0; i < snapshot.Tracks().size(); ++i) {
    const TTrackRecord& t = snapshot.Tracks()[i];
    const std::size_t record = i + 1;
    const std::ptrdiff_t first = snapshot.FindTrack(t.DiscKey, t.TrackCount, t.DiscTime, t.TrackNo);
    if (first >= 0 && static_cast<std::size_t>(first) != i) {
      findings.Problem(DBFile::Track, record,
                       "ディスク " + Identity(t.DiscKey, t.TrackCount, t.DiscTime) + " のトラック " +
                           std::to_string(t.TrackNo) + " はレコード " + std::to_string(first + 1) + " と重複しています");
    }
    if (t.TrackNo < 1 || t.TrackNo > UsedTracks(t.TrackCount)) {
      findings.Problem(DBFile::Track, record, "トラック番号 " + std::to_string(t.TrackNo) + " は曲数の範囲外です");
    }
    if (!discs.contains(TrackKey(t.DiscKey, t.TrackCount, t.DiscTime, 0))) ++orphans;
    if (artists_usable) {
      for (auto [id, field] : {std::pair{t.LyricsbyID, "LyricsbyID"}, {t.MusicbyID, "MusicbyID"},
                               {t.ArrangebyID, "ArrangebyID"}}) {
        if (!artist_ids.contains(id)) {
          findings.Problem(DBFile::Track, record,
                           std::string(field) + " " + std::to_string(id) + " が ArtistDB.QVR にありません");
        }
      }
    }
    if (genres_usable && !genre_ids.contains(t.GenreID)) {
      findings.Problem(DBFile::Track, record, "GenreID " + std::to_string(t.GenreID) + " が GenreDB.QVR にありません");
    }
  }
  if (orphans > 0 && snapshot.File(DBFile::Master).ValidHeader) {
    findings.Remark(DBFile::Track, 0,
                    std::to_string(orphans) + " 件のトラックレコードにはマスターレコードがありません (登録の途中で中断された跡です)");
  }
}

template <class Records>
void CheckNames(const Records& records, DBFile file, Findings& findings) {
  std::unordered_map<std::int64_t, std::size_t> ids;
  std::unordered_map<std::string, std::size_t> names;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::size_t record = i + 1;
    // A name's ID is the record number it was appended at; one that is not would collide with
    // the ID a later name gets.
    if (static_cast<std::int64_t>(records[i].ID) != static_cast<std::int64_t>(record)) {
      findings.Problem(file, record, "ID " + std::to_string(records[i].ID) + " がレコード番号と違います");
    }
    if (auto [at, inserted] = ids.try_emplace(records[i].ID, record); !inserted) {
      findings.Problem(file, record,
                       "ID " + std::to_string(records[i].ID) + " はレコード " + std::to_string(at->second) + " と重複しています");
    }
    if (auto [at, inserted] = names.try_emplace(records[i].Name.Str(), record); !inserted) {
      findings.Problem(file, record,
                       "名前「" + records[i].Name.ToUtf8() + "」はレコード " + std::to_string(at->second) + " と重複しています");
    }
  }
}

}  // namespace

std::vector<CheckFinding> CheckDatabase(const DatabaseSnapshot& snapshot) {
  std::vector<CheckFinding> out;
  Findings findings(out);
  CheckFiles(snapshot, findings);
  CheckMasters(snapshot, findings);
  CheckTracks(snapshot, findings);
  CheckNames(snapshot.Artists(), DBFile::Artist, findings);
  CheckNames(snapshot.Labels(), DBFile::Label, findings);
  CheckNames(snapshot.Genres(), DBFile::Genre, findings);
  return out;
}

}  // namespace qvr
