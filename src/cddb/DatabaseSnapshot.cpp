// Reading every record of the five files once, and resolving discs from memory.
#include "cddb/DatabaseSnapshot.h"

#include <optional>
#include <system_error>

#include "cddb/DatabaseLock.h"

#include "cddb/RecordFile.h"

namespace qvr {
namespace {

// Notes a short string field whose length byte is above its capacity.
void CheckLength(const char* record, FieldSpan field, DBFile file, std::size_t index, std::string_view name,
                 std::vector<DamagedField>& damaged) {
  if (static_cast<unsigned char>(record[field.Offset]) > field.Size - 1) damaged.push_back({file, index, name});
}

template <class Decode>
void ReadAll(const RecordFile& file, Decode decode) {
  RecordScanner scan(file);
  while (const char* record = scan.Next()) decode(record, scan.Index());
}

}  // namespace

std::string TrackKey(const ShortString<8>& key, std::uint8_t count, std::uint32_t time, std::uint8_t track_no) {
  std::string text(key.View());
  text.push_back(static_cast<char>(key.Length()));
  text.push_back(static_cast<char>(count));
  for (int i = 0; i < 4; ++i) text.push_back(static_cast<char>(time >> (8 * i)));
  text.push_back(static_cast<char>(track_no));
  return text;
}

DatabaseSnapshot DatabaseSnapshot::Read(const std::filesystem::path& master_path) {
  DatabaseSnapshot snapshot;
  // Every file is read under one shared lock, so that no store is seen half done.
  std::optional<DatabaseLock> lock;
  std::error_code folder_error;
  if (std::filesystem::is_directory(DatabaseFolder(master_path), folder_error)) {
    lock.emplace(DatabaseFolder(master_path), DatabaseLock::Mode::Shared);
  }
  for (DBFile kind : kAllDBFiles) {
    SnapshotFile& info = snapshot.files_[static_cast<std::size_t>(kind)];
    info.Path = DBFilePath(master_path, kind);
    std::error_code error;
    if (!std::filesystem::exists(info.Path, error)) continue;
    const RecordFile file(info.Path, kind, RecordFile::Access::ReadOnly);
    info.Exists = true;
    info.Size = std::filesystem::file_size(info.Path, error);
    info.Records = file.Count();
    info.TrailingBytes = static_cast<std::size_t>(info.Size % file.RecordSize());
    info.ValidHeader = file.HasValidHeader();
    if (!info.ValidHeader) continue;

    auto& damaged = snapshot.damaged_;
    switch (kind) {
      case DBFile::Master:
        ReadAll(file, [&](const char* r, std::size_t i) {
          namespace m = master_layout;
          for (auto [field, name] : {std::pair{m::DiscKey, "DiscKey"},
                                     {m::DiscName, "DiscName"},
                                     {m::JacketFile, "JacketFile"},
                                     {m::LyricsFile, "LyricsFile"}}) {
            CheckLength(r, field, kind, i, name, damaged);
          }
          snapshot.masters_.push_back(
              DecodeMasterRecord(std::span<const char, kMasterRecordSize>(r, kMasterRecordSize)));
        });
        break;
      case DBFile::Track:
        ReadAll(file, [&](const char* r, std::size_t i) {
          const std::size_t before = damaged.size();
          CheckLength(r, track_layout::DiscKey, kind, i, "DiscKey", damaged);
          snapshot.track_key_damaged_.push_back(damaged.size() != before);
          CheckLength(r, track_layout::TrackName, kind, i, "TrackName", damaged);
          snapshot.tracks_.push_back(DecodeTrackRecord(std::span<const char, kTrackRecordSize>(r, kTrackRecordSize)));
        });
        break;
      case DBFile::Artist:
      case DBFile::Label: {
        auto& names = kind == DBFile::Artist ? snapshot.artists_ : snapshot.labels_;
        ReadAll(file, [&](const char* r, std::size_t i) {
          CheckLength(r, name_layout::Name, kind, i, "Name", damaged);
          names.push_back(DecodeNameRecord(std::span<const char, kNameRecordSize>(r, kNameRecordSize)));
        });
        break;
      }
      case DBFile::Genre:
        ReadAll(file, [&](const char* r, std::size_t i) {
          CheckLength(r, genre_layout::Name, kind, i, "Name", damaged);
          snapshot.genres_.push_back(DecodeGenreRecord(std::span<const char, kGenreRecordSize>(r, kGenreRecordSize)));
        });
        break;
    }
  }
  snapshot.Index();
  return snapshot;
}

void DatabaseSnapshot::Index() {
  // First record wins everywhere, as in a search from record 1.
  for (const TNameRecord& r : artists_) names_.Artists.try_emplace(r.ID, r.Name.Str());
  for (const TNameRecord& r : labels_) names_.Labels.try_emplace(r.ID, r.Name.Str());
  for (const TGenreRecord& r : genres_) names_.Genres.try_emplace(r.ID, r.Name.Str());
  first_track_.reserve(tracks_.size());
  for (std::size_t i = 0; i < tracks_.size(); ++i) {
    const TTrackRecord& t = tracks_[i];
    if (track_key_damaged_[i]) continue;
    first_track_.try_emplace(TrackKey(t.DiscKey, t.TrackCount, t.DiscTime, t.TrackNo), i);
  }
}

std::ptrdiff_t DatabaseSnapshot::FindTrack(const ShortString<8>& key, std::uint8_t count, std::uint32_t time,
                                           std::uint8_t track_no) const {
  auto found = first_track_.find(TrackKey(key, count, time, track_no));
  return found == first_track_.end() ? -1 : static_cast<std::ptrdiff_t>(found->second);
}

TDiscRecord DatabaseSnapshot::Disc(std::size_t index) const {
  const TMasterRecord& master = masters_.at(index);
  DiscTracks tracks;
  for (std::size_t n = 1; n <= UsedTracks(master.TrackCount); ++n) {
    std::ptrdiff_t at = FindTrack(master.DiscKey, master.TrackCount, master.DiscTime, static_cast<std::uint8_t>(n));
    if (at >= 0) tracks[n - 1] = tracks_[static_cast<std::size_t>(at)];
  }
  TDiscRecord disc;
  FillFromMaster(disc, master, tracks, names_);
  return disc;
}

}  // namespace qvr
