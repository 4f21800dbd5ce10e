// The whole database read into memory at once, for readers of every disc (the qvrdb tool's list,
// show, export and check). Discs are resolved exactly as a lookup resolves them. Files are
// opened read-only and nothing is created: a missing file reads as one without data records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cddb/DatabaseFiles.h"
#include "cddb/DiscRecord.h"
#include "cddb/DiscResolve.h"
#include "cddb/Records.h"

namespace qvr {

struct SnapshotFile {
  std::filesystem::path Path;
  bool Exists = false;
  bool ValidHeader = false;       // record 0 carries the version; otherwise its records are unused
  std::uintmax_t Size = 0;        // bytes
  std::size_t TrailingBytes = 0;  // bytes of a partial record at the end
  std::size_t Records = 0;        // whole records, header included
};

// A short string whose length byte exceeds its capacity (read as the capacity).
struct DamagedField {
  DBFile File;
  std::size_t Record;
  std::string_view Field;
};

class DatabaseSnapshot {
 public:
  // Reads the five files of the database whose master file is `master_path`. Raises Error when a
  // file exists but cannot be read.
  static DatabaseSnapshot Read(const std::filesystem::path& master_path);

  const SnapshotFile& File(DBFile file) const { return files_[static_cast<std::size_t>(file)]; }

  // Data records (record 1 on, element i is record i + 1) of files with a valid header; empty
  // for a file that is missing or has a wrong version.
  const std::vector<TMasterRecord>& Masters() const { return masters_; }
  const std::vector<TTrackRecord>& Tracks() const { return tracks_; }
  const std::vector<TNameRecord>& Artists() const { return artists_; }
  const std::vector<TNameRecord>& Labels() const { return labels_; }
  const std::vector<TGenreRecord>& Genres() const { return genres_; }
  const std::vector<DamagedField>& Damaged() const { return damaged_; }
  // ID -> name of the three name files, first record winning, as Disc() resolves them.
  const NameMaps& Names() const { return names_; }

  // The disc of master record `index` (0-based into Masters()) as a lookup of its identity would
  // give it if that record were the first match: tracks without a record have position 0.
  TDiscRecord Disc(std::size_t index) const;

  // Index into Tracks() of the first record of track `track_no` of a disc, or -1.
  std::ptrdiff_t FindTrack(const ShortString<8>& key, std::uint8_t count, std::uint32_t time,
                           std::uint8_t track_no) const;

 private:
  void Index();

  std::array<SnapshotFile, 5> files_;
  std::vector<TMasterRecord> masters_;
  std::vector<TTrackRecord> tracks_;
  std::vector<TNameRecord> artists_, labels_;
  std::vector<TGenreRecord> genres_;
  std::vector<DamagedField> damaged_;
  NameMaps names_;
  std::unordered_map<std::string, std::size_t> first_track_;  // identity + track number -> index
  std::vector<bool> track_key_damaged_;                       // such a record never matches a disc
};

// The key under which FindTrack indexes a track.
std::string TrackKey(const ShortString<8>& key, std::uint8_t count, std::uint32_t time, std::uint8_t track_no);

}  // namespace qvr
