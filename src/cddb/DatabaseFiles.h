// The five files of the disc database: their names, record sizes and version fields, and where
// each lies relative to the master file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace qvr {

enum class DBFile : std::uint8_t { Master, Track, Artist, Label, Genre };

inline constexpr std::array<DBFile, 5> kAllDBFiles = {DBFile::Master, DBFile::Track, DBFile::Artist, DBFile::Label,
                                                      DBFile::Genre};

struct DBFileInfo {
  std::string_view FileName;  // "MasterDB.QVR", ...
  std::size_t RecordSize;     // 652, 144, 104, 104, 18
  std::size_t VersionOffset;  // offset of the short string in record 0 that holds the version
  std::string_view Version;   // the text it must hold
};

const DBFileInfo& InfoOf(DBFile file);

// The path of `file`: the master file is `master_path` itself, the others lie in its folder.
std::filesystem::path DBFilePath(const std::filesystem::path& master_path, DBFile file);

// True when `record0` (a whole first record of `file`) carries the version text exactly: the
// same length byte and the same bytes.
bool HasVersion(DBFile file, const char* record0);

}  // namespace qvr
