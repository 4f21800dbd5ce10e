// The database operations: create, lookup, store, and the record helpers around them.
//
// Each operation keeps the results of a record-by-record search from record 1 (first match
// wins), but reads every file it needs once: a lookup reads the master file up to the match, then
// the disc's track records where this program's stores put them (the track file is searched
// until all the disc's tracks are found only when they are not there), and each name file until
// all wanted IDs are found; a store reads each of the five files once, then writes.
#include "cddb/DiscDatabase.h"

#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "cddb/DatabaseLock.h"
#include "cddb/DiscResolve.h"
#include "cddb/MasterIdentities.h"
#include "cddb/NameFile.h"
#include "cddb/RecordFile.h"
#include "cddb/TrackFile.h"
#include "util/AtomicFile.h"
#include "util/Error.h"
#include "util/Msf.h"

namespace qvr {
namespace {

constexpr std::string_view kNotOpened = "データベースが開かれていません";
constexpr std::string_view kNoFolder = "データベースのフォルダ %s を作れません";
constexpr std::string_view kWrongVersion =
    "%s はこのプログラムのデータベースファイルではないか、形式が違います。ディスクを登録できませんでした。";

template <std::size_t N>
std::span<char, N> Bytes(std::vector<char>& buffer, std::size_t record) {
  return std::span<char, N>(buffer.data() + record * N, N);
}

template <std::size_t N>
std::span<const char, N> Bytes(const char* record) {
  return std::span<const char, N>(record, N);
}

bool FileExists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

DiscIdentity IdentityOf(const TDiscRecord& disc) { return {disc.DiscKey, disc.TrackCount, disc.DiscTime}; }

// Slots of the disc's track records, decoded, for resolution.
DiscTracks TracksOf(const std::array<std::optional<FoundTrack>, kMaxTracks>& found) {
  DiscTracks tracks;
  for (std::size_t i = 0; i < kMaxTracks; ++i) {
    if (found[i]) tracks[i] = found[i]->Track;
  }
  return tracks;
}

// Resolves `ids` against a name file (empty names when the file's version is wrong) into `map`.
void ResolveInto(const RecordFile& file, const std::vector<std::int64_t>& ids,
                 std::unordered_map<std::int64_t, std::string>& map) {
  if (ids.empty() || !file.HasValidHeader()) return;
  std::vector<std::string> names = NamesOf(file, ids);
  for (std::size_t i = 0; i < ids.size(); ++i) map.emplace(ids[i], std::move(names[i]));
}

}  // namespace

std::string HeaderBytes(DBFile file, TDateTime today) {
  std::vector<char> bytes(InfoOf(file).RecordSize);
  switch (file) {
    case DBFile::Master: EncodeRecord(MasterHeader(today), Bytes<kMasterRecordSize>(bytes, 0)); break;
    case DBFile::Track: EncodeRecord(TrackHeader(), Bytes<kTrackRecordSize>(bytes, 0)); break;
    case DBFile::Artist:
    case DBFile::Label: EncodeRecord(NameHeader(), Bytes<kNameRecordSize>(bytes, 0)); break;
    case DBFile::Genre: EncodeRecord(GenreHeader(), Bytes<kGenreRecordSize>(bytes, 0)); break;
  }
  return {bytes.begin(), bytes.end()};
}

void TDiscDatabase::DBCreateFolder() const {
  if (master_path_.empty()) throw Error(std::string(kNotOpened));
  // A first start (or a removed folder) has no database folder: it is made with its parents.
  const std::filesystem::path folder = DatabaseFolder(master_path_);
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    std::filesystem::create_directories(folder, error);
    if (error && !std::filesystem::is_directory(folder)) {
      throw Error(FormatMessage(kNoFolder, folder.string()) + ": " + error.message());
    }
  }
}

void TDiscDatabase::DBCreate() const {
  DBCreateFolder();
  const std::filesystem::path folder = DatabaseFolder(master_path_);
  // Files are created whole and never over another creator's file.
  const DatabaseLock lock(folder, DatabaseLock::Mode::Exclusive);
  for (DBFile file : kAllDBFiles) {
    const std::filesystem::path path = FilePath(file);
    if (!FileExists(path)) CreateFileContents(path, HeaderBytes(file, dates_.Today()));
  }
}

namespace {

// Creates what is missing of the database (folder and files) before an operation takes its lock.
void CreateMissingFiles(const TDiscDatabase& db) {
  if (db.MasterPath().empty()) throw Error(std::string(kNotOpened));
  for (DBFile file : kAllDBFiles) {
    if (!FileExists(db.FilePath(file))) {
      db.DBCreate();
      return;
    }
  }
}

// Opens one of the database's files for an operation (read-only for lookups), creating it first
// when it went missing since the operation began.
RecordFile OpenForOperation(const TDiscDatabase& db, DBFile file,
                            RecordFile::Access access = RecordFile::Access::ReadWrite) {
  std::filesystem::path path = db.FilePath(file);
  if (!FileExists(path)) db.DBCreate();
  return RecordFile(std::move(path), file, access);
}

constexpr RecordFile::Access kRead = RecordFile::Access::ReadOnly;

}  // namespace

namespace {

// A master record found by a search, with where its tracks should lie.
struct FoundMaster {
  TMasterRecord Record;
  std::size_t FirstTrack = 1;
};

// The search of DBLookup: the first record of `master` (valid header) with `identity`, showing
// each record compared on `progress`.
std::optional<FoundMaster> SearchMaster(const RecordFile& master, const DiscIdentity& identity,
                                        TSearchProgress& progress) {
  namespace m = master_layout;
  TrackPlace tracks;
  RecordScanner scan(master);
  while (const char* record = scan.Next()) {
    progress.Searching(ShortStringAt(record, m::DiscName.Offset, 96));
    if (MatchesIdentity(record, m::DiscKey.Offset, m::TrackCount.Offset, m::DiscTime.Offset, identity)) {
      return FoundMaster{DecodeMasterRecord(Bytes<kMasterRecordSize>(record)), tracks.FirstTrack()};
    }
    tracks.Pass(static_cast<std::uint8_t>(record[m::TrackCount.Offset]));
  }
  return std::nullopt;
}

// Fills `result` from a found master record: its tracks (read where they should lie, else
// searched) and the names they and the record refer to.
void FillFound(const TDiscDatabase& db, TDiscRecord& result, const FoundMaster& found) {
  const DiscIdentity identity{found.Record.DiscKey, found.Record.TrackCount, found.Record.DiscTime};
  DiscTracks tracks;
  if (UsedTracks(found.Record.TrackCount) > 0) {
    const RecordFile track_file = OpenForOperation(db, DBFile::Track, kRead);
    if (track_file.HasValidHeader()) tracks = TracksOf(FindTracksAt(track_file, identity, found.FirstTrack));
  }
  NameMaps names;
  ResolveInto(OpenForOperation(db, DBFile::Artist, kRead), ArtistIDsOf(found.Record, tracks), names.Artists);
  ResolveInto(OpenForOperation(db, DBFile::Label, kRead), {found.Record.LabelID}, names.Labels);
  if (std::vector<std::int64_t> genres = GenreIDsOf(tracks); !genres.empty()) {
    ResolveInto(OpenForOperation(db, DBFile::Genre, kRead), genres, names.Genres);
  }
  FillFromMaster(result, found.Record, tracks, names);
}

}  // namespace

TDiscRecord TDiscDatabase::DBLookup(const TDiscRecord& disc, TSearchProgress& progress) const {
  TDiscRecord result = disc;
  CreateMissingFiles(*this);
  const DatabaseLock lock(DatabaseFolder(master_path_), DatabaseLock::Mode::Shared);
  const RecordFile master = OpenForOperation(*this, DBFile::Master, kRead);
  if (!master.HasValidHeader()) return result;

  const std::optional<FoundMaster> found = SearchMaster(master, IdentityOf(disc), progress);
  if (found) FillFound(*this, result, *found);
  progress.SearchFinished();
  if (!found) result.DiscType = GuessDiscType(result.TrackCount);
  return result;
}

TDiscRecord TDiscDatabase::DBLookupAt(const TDiscRecord& disc, const MasterPlace& place) const {
  TDiscRecord result = disc;
  CreateMissingFiles(*this);
  const DatabaseLock lock(DatabaseFolder(master_path_), DatabaseLock::Mode::Shared);
  const RecordFile master = OpenForOperation(*this, DBFile::Master, kRead);
  if (!master.HasValidHeader()) return result;

  namespace m = master_layout;
  const DiscIdentity identity = IdentityOf(disc);
  std::optional<FoundMaster> found;
  std::array<char, kMasterRecordSize> record{};
  if (place.Record >= 1 && master.Read(place.Record, 1, record.data()) == 1 &&
      MatchesIdentity(record.data(), m::DiscKey.Offset, m::TrackCount.Offset, m::DiscTime.Offset, identity)) {
    found = FoundMaster{DecodeMasterRecord(Bytes<kMasterRecordSize>(record.data())), place.FirstTrack};
  } else {
    TNoSearchProgress quiet;  // the file changed since its identities were read
    found = SearchMaster(master, identity, quiet);
  }
  if (found) {
    FillFound(*this, result, *found);
  } else {
    result.DiscType = GuessDiscType(result.TrackCount);
  }
  return result;
}

void TDiscDatabase::DBStore(const TDiscRecord& disc) const {
  namespace m = master_layout;
  const std::size_t used = UsedTracks(disc.TrackCount);
  const DiscIdentity identity = IdentityOf(disc);

  // The whole store, from the first read to the last write, excludes every other operation.
  CreateMissingFiles(*this);
  const DatabaseLock lock(DatabaseFolder(master_path_), DatabaseLock::Mode::Exclusive);

  // Open every file the store writes and refuse, before anything is written, when one of them
  // is not a database file of this version.
  std::optional<RecordFile> track_file, genre_file;
  if (used > 0) track_file.emplace(OpenForOperation(*this, DBFile::Track));
  RecordFile artist_file = OpenForOperation(*this, DBFile::Artist);
  if (used > 0) genre_file.emplace(OpenForOperation(*this, DBFile::Genre));
  RecordFile label_file = OpenForOperation(*this, DBFile::Label);
  RecordFile master = OpenForOperation(*this, DBFile::Master);
  for (const RecordFile* file :
       {track_file ? &*track_file : nullptr, &artist_file, genre_file ? &*genre_file : nullptr, &label_file, &master}) {
    if (file && !file->HasValidHeader()) throw Error(WrongVersionMessage(file->Path()));
  }

  // New names get IDs in the order NamesOf gives them.
  const DiscNames names = NamesOf(disc);
  const NameAssignment artists = AssignIDs(artist_file, names.artists);
  const NameAssignment labels = AssignIDs(label_file, {&names.label, 1});
  std::optional<NameAssignment> genres;
  if (genre_file) genres = AssignIDs(*genre_file, names.genres);  // refuses a 256th genre

  std::array<std::optional<FoundTrack>, kMaxTracks> stored_tracks;
  if (track_file) stored_tracks = FindTracks(*track_file, identity);

  std::optional<std::size_t> master_record;
  {
    RecordScanner scan(master);
    while (const char* record = scan.Next()) {
      if (MatchesIdentity(record, m::DiscKey.Offset, m::TrackCount.Offset, m::DiscTime.Offset, identity)) {
        master_record = scan.Index();
        break;
      }
    }
  }

  // Everything is known; write names first, then tracks, then the master record, so that no
  // record ever refers to something not yet written.
  AppendNames(artist_file, artists);
  AppendNames(label_file, labels);
  if (genres) AppendNames(*genre_file, *genres);

  if (track_file) {
    std::vector<char> appended;
    std::vector<char> one(kTrackRecordSize);
    for (std::size_t n = 1; n <= used; ++n) {
      TTrackRecord record = TrackRecordOf(disc, n, artists.IDs, genres->IDs[n - 1]);
      if (const auto& stored = stored_tracks[n - 1]) {
        record.StartPos = stored->Track.StartPos;
        record.Length = stored->Track.Length;
        EncodeRecord(record, Bytes<kTrackRecordSize>(one, 0));
        track_file->Write(stored->Record, one.data());
      } else {
        appended.resize(appended.size() + kTrackRecordSize);
        EncodeRecord(record, Bytes<kTrackRecordSize>(appended, appended.size() / kTrackRecordSize - 1));
      }
    }
    if (!appended.empty()) track_file->Write(track_file->Count(), appended.data(), appended.size() / kTrackRecordSize);
  }

  const TMasterRecord record = MasterRecordOf(disc, artists.IDs.back(), labels.IDs.front());
  std::vector<char> bytes(kMasterRecordSize);
  EncodeRecord(record, Bytes<kMasterRecordSize>(bytes, 0));
  master.Write(master_record.value_or(master.Count()), bytes.data());
}

std::string WrongVersionMessage(const std::filesystem::path& path) {
  return FormatMessage(kWrongVersion, path.string());
}

void ClearDisc(TDiscRecord& disc, const TDateSource& dates) {
  disc = TDiscRecord{};
  disc.TrackCount = 99;
  disc.SaleDate = dates.Today();
}

std::string MSFToStr(std::uint32_t value) {
  const TMSFParts parts = SplitMSF(value);
  return std::to_string(parts.Minute) + ":" + std::to_string(parts.Second) + ":" + std::to_string(parts.Frame);
}

}  // namespace qvr
