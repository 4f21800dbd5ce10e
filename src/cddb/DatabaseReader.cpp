// Disc-by-disc reading of a whole database with little memory.
#include "cddb/DatabaseReader.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "cddb/DatabaseLock.h"
#include "cddb/DiscResolve.h"
#include "cddb/RecordFile.h"
#include "cddb/TrackFile.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

bool IsGenre(DBFile file) { return file == DBFile::Genre; }

std::int64_t IDAt(DBFile file, const char* record) {
  if (IsGenre(file)) return static_cast<unsigned char>(record[genre_layout::ID.Offset]);
  return ReadInt32At(record, name_layout::ID.Offset);
}

std::string_view NameAt(DBFile file, const char* record) {
  if (IsGenre(file)) return ShortStringAt(record, genre_layout::Name.Offset, 16);
  return ShortStringAt(record, name_layout::Name.Offset, 96);
}

std::uint64_t TrackHash(std::string_view key, std::uint8_t count, std::uint32_t time, std::uint8_t track_no) {
  std::uint64_t h = 1469598103934665603ull;
  auto mix = [&](unsigned char c) { h = (h ^ c) * 1099511628211ull; };
  mix(static_cast<unsigned char>(key.size()));
  for (char c : key) mix(static_cast<unsigned char>(c));
  mix(count);
  for (int i = 0; i < 4; ++i) mix(static_cast<unsigned char>(time >> (8 * i)));
  mix(track_no);
  return h;
}

}  // namespace

struct DatabaseReader::Files {
  std::optional<DatabaseLock> lock;
  std::array<std::optional<RecordFile>, 5> open;
  // Per name file: names read from record ID directly, or this map when IDs are out of place.
  std::array<bool, 5> learned{}, direct{};
  std::array<std::unordered_map<std::int64_t, std::string>, 5> names;
  // Track records by the hash of their identity and track number, in file order within a hash.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> tracks;
};

DatabaseReader::DatabaseReader(const std::filesystem::path& master_path) : open_(std::make_unique<Files>()) {
  std::error_code folder_error;
  if (std::filesystem::is_directory(DatabaseFolder(master_path), folder_error)) {
    open_->lock.emplace(DatabaseFolder(master_path), DatabaseLock::Mode::Shared);
  }
  for (DBFile kind : kAllDBFiles) {
    const auto i = static_cast<std::size_t>(kind);
    SnapshotFile& info = files_[i];
    info.Path = DBFilePath(master_path, kind);
    std::error_code error;
    if (!std::filesystem::exists(info.Path, error)) continue;
    RecordFile& file = open_->open[i].emplace(info.Path, kind, RecordFile::Access::ReadOnly);
    info.Exists = true;
    info.Size = std::filesystem::file_size(info.Path, error);
    info.Records = file.Count();
    info.TrailingBytes = static_cast<std::size_t>(info.Size % file.RecordSize());
    info.ValidHeader = file.HasValidHeader();
  }
}

// A name file is read once, at its first name, to see whether every ID is its record number.
void DatabaseReader::LearnNames(std::size_t i) const {
  Files& open = *open_;
  if (open.learned[i]) return;
  open.learned[i] = true;
  const auto kind = static_cast<DBFile>(i);
  const RecordFile& file = *open.open[i];
  bool direct = true;
  RecordScanner scan(file);
  while (const char* record = scan.Next()) {
    if (IDAt(kind, record) != static_cast<std::int64_t>(scan.Index())) {
      direct = false;
      break;
    }
  }
  open.direct[i] = direct;
  if (direct) return;
  RecordScanner again(file);
  while (const char* record = again.Next()) open.names[i].try_emplace(IDAt(kind, record), NameAt(kind, record));
}

DatabaseReader::~DatabaseReader() = default;

void DatabaseReader::IndexTracks() {
  const auto t = static_cast<std::size_t>(DBFile::Track);
  if (!files_[t].ValidHeader) return;
  auto& index = open_->tracks;
  index.reserve(files_[t].Records);
  RecordScanner scan(*open_->open[t]);
  namespace l = track_layout;
  while (const char* record = scan.Next()) {
    if (static_cast<unsigned char>(record[l::DiscKey.Offset]) > 8) continue;  // a damaged key never matches
    const std::uint64_t hash =
        TrackHash(ShortStringAt(record, l::DiscKey.Offset, 8), static_cast<std::uint8_t>(record[l::TrackCount.Offset]),
                  ReadUInt32At(record, l::DiscTime.Offset), static_cast<std::uint8_t>(record[l::TrackNo.Offset]));
    index.emplace_back(hash, static_cast<std::uint32_t>(scan.Index()));
  }
  std::stable_sort(index.begin(), index.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  indexed_ = true;
}

const RecordFile* DatabaseReader::Open(DBFile file) const {
  const auto i = static_cast<std::size_t>(file);
  return files_[i].ValidHeader ? &*open_->open[i] : nullptr;
}

void DatabaseReader::ForEachMaster(const std::function<bool(const TMasterRecord&)>& visit) const {
  const auto m = static_cast<std::size_t>(DBFile::Master);
  if (!files_[m].ValidHeader) return;
  RecordScanner scan(*open_->open[m]);
  while (const char* record = scan.Next()) {
    if (!visit(DecodeMasterRecord(std::span<const char, kMasterRecordSize>(record, kMasterRecordSize)))) return;
  }
}

std::optional<TMasterRecord> DatabaseReader::FindMaster(std::string_view key) const {
  const auto m = static_cast<std::size_t>(DBFile::Master);
  if (!files_[m].ValidHeader) return std::nullopt;
  RecordScanner scan(*open_->open[m]);
  namespace l = master_layout;
  while (const char* record = scan.Next()) {
    if (SjisEqualsIgnoreAsciiCase(ShortStringAt(record, l::DiscKey.Offset, 8), key)) {
      return DecodeMasterRecord(std::span<const char, kMasterRecordSize>(record, kMasterRecordSize));
    }
  }
  return std::nullopt;
}

std::string DatabaseReader::NameOf(DBFile file, std::int64_t id) const {
  const auto i = static_cast<std::size_t>(file);
  if (!files_[i].ValidHeader) return {};
  LearnNames(i);
  if (!open_->direct[i]) {
    auto found = open_->names[i].find(id);
    return found == open_->names[i].end() ? std::string() : found->second;
  }
  if (id < 1 || static_cast<std::size_t>(id) >= files_[i].Records) return {};
  char record[kNameRecordSize];
  if (open_->open[i]->Read(static_cast<std::size_t>(id), 1, record) != 1) return {};
  return std::string(NameAt(file, record));
}

TDiscRecord DatabaseReader::Resolve(const TMasterRecord& master) const {
  const auto t = static_cast<std::size_t>(DBFile::Track);
  DiscTracks tracks;
  const std::size_t used = UsedTracks(master.TrackCount);
  if (files_[t].ValidHeader && used > 0) {
    const RecordFile& file = *open_->open[t];
    if (indexed_) {
      char record[kTrackRecordSize];
      const auto& index = open_->tracks;
      for (std::size_t n = 1; n <= used; ++n) {
        const auto track_no = static_cast<std::uint8_t>(n);
        const std::uint64_t hash = TrackHash(master.DiscKey.View(), master.TrackCount, master.DiscTime, track_no);
        auto at = std::lower_bound(index.begin(), index.end(), hash,
                                   [](const auto& entry, std::uint64_t h) { return entry.first < h; });
        // The first record in file order with this hash that really is the track.
        for (; at != index.end() && at->first == hash; ++at) {
          if (file.Read(at->second, 1, record) != 1) continue;
          const DiscIdentity identity{master.DiscKey, master.TrackCount, master.DiscTime};
          namespace l = track_layout;
          if (MatchesIdentity(record, l::DiscKey.Offset, l::TrackCount.Offset, l::DiscTime.Offset, identity) &&
              static_cast<unsigned char>(record[l::TrackNo.Offset]) == track_no) {
            tracks[n - 1] = DecodeTrackRecord(std::span<const char, kTrackRecordSize>(record, kTrackRecordSize));
            break;
          }
        }
      }
    } else {
      const auto found = FindTracks(file, {master.DiscKey, master.TrackCount, master.DiscTime});
      for (std::size_t n = 0; n < used; ++n) {
        if (found[n]) tracks[n] = found[n]->Track;
      }
    }
  }
  NameMaps names;
  for (std::int64_t id : ArtistIDsOf(master, tracks)) {
    if (!names.Artists.contains(id)) names.Artists.emplace(id, NameOf(DBFile::Artist, id));
  }
  names.Labels.emplace(master.LabelID, NameOf(DBFile::Label, master.LabelID));
  for (std::int64_t id : GenreIDsOf(tracks)) {
    if (!names.Genres.contains(id)) names.Genres.emplace(id, NameOf(DBFile::Genre, id));
  }
  TDiscRecord disc;
  FillFromMaster(disc, master, tracks, names);
  return disc;
}

}  // namespace qvr
