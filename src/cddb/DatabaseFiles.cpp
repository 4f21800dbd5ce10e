// Names, sizes and version fields of the five database files.
#include "cddb/DatabaseFiles.h"

#include <cstring>

#include "cddb/Records.h"

namespace qvr {

const DBFileInfo& InfoOf(DBFile file) {
  static constexpr DBFileInfo kInfo[] = {
      {"MasterDB.QVR", kMasterRecordSize, master_layout::DiscKey.Offset, kDiscFileVersion},
      {"TrackDB.QVR", kTrackRecordSize, track_layout::DiscKey.Offset, kDiscFileVersion},
      {"ArtistDB.QVR", kNameRecordSize, name_layout::Name.Offset, kNameFileVersion},
      {"LabelDB.QVR", kNameRecordSize, name_layout::Name.Offset, kNameFileVersion},
      {"GenreDB.QVR", kGenreRecordSize, genre_layout::Name.Offset, kNameFileVersion},
  };
  return kInfo[static_cast<std::size_t>(file)];
}

std::filesystem::path DBFilePath(const std::filesystem::path& master_path, DBFile file) {
  if (file == DBFile::Master) return master_path;
  return master_path.parent_path() / InfoOf(file).FileName;
}

bool HasVersion(DBFile file, const char* record0) {
  const DBFileInfo& info = InfoOf(file);
  const auto length = static_cast<unsigned char>(record0[info.VersionOffset]);
  return length == info.Version.size() &&
         std::memcmp(record0 + info.VersionOffset + 1, info.Version.data(), info.Version.size()) == 0;
}

}  // namespace qvr
