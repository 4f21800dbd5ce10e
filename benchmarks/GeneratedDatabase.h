// A generated database of a given number of discs of 12 tracks, written record by record, with
// names reused as in a real collection (one artist for every 4 discs, one credited person for
// every 2 discs, fifty labels, thirty genres). Shared by the database benchmarks.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cddb/DateSource.h"
#include "cddb/Records.h"
#include "util/Msf.h"

namespace qvr::bench {

constexpr int kTracks = 12;

inline std::string DiscKey(int disc) {
  char key[9];
  std::snprintf(key, sizeof key, "%08X", 0x01000000u + static_cast<unsigned>(disc) * 2654435761u % 0x00FFFFFF);
  return key;
}

inline std::uint32_t DiscTime(int disc) {
  return PackMSF(static_cast<std::uint8_t>(40 + disc % 30), disc % 60, disc % 75);
}

template <std::size_t N, class Record>
inline void Append(std::string& file, const Record& record) {
  const std::size_t at = file.size();
  file.resize(at + N);
  EncodeRecord(record, std::span<char, N>(file.data() + at, N));
}

// Pool sizes that grow with the collection: one artist for every 4 discs, one credited person
// for every 2 discs, 50 labels, 30 genres.
struct Pools {
  int artists, people, labels = 50, genres = 30;
  explicit Pools(int discs) : artists(std::max(10, discs / 4)), people(std::max(20, discs / 2)) {}
};

inline void Generate(const std::filesystem::path& folder, int discs) {
  std::filesystem::create_directories(folder);
  const Pools pools(discs);
  std::string master, track, artist, label, genre;
  Append<kMasterRecordSize>(master, MasterHeader(45292));
  Append<kTrackRecordSize>(track, TrackHeader());
  Append<kNameRecordSize>(artist, NameHeader());
  Append<kNameRecordSize>(label, NameHeader());
  Append<kGenreRecordSize>(genre, GenreHeader());
  // Artist file: disc artists then credited people; IDs are record numbers.
  for (int i = 0; i < pools.artists; ++i) {
    Append<kNameRecordSize>(artist, TNameRecord{1 + i, "Artist " + std::to_string(i)});
  }
  for (int i = 0; i < pools.people; ++i) {
    Append<kNameRecordSize>(artist, TNameRecord{1 + pools.artists + i, "Person " + std::to_string(i)});
  }
  for (int i = 0; i < pools.labels; ++i)
    Append<kNameRecordSize>(label, TNameRecord{1 + i, "Label " + std::to_string(i)});
  for (int i = 0; i < pools.genres; ++i) {
    Append<kGenreRecordSize>(genre, TGenreRecord{static_cast<std::uint8_t>(1 + i), "Genre " + std::to_string(i)});
  }
  for (int d = 0; d < discs; ++d) {
    TMasterRecord m;
    m.DiscKey = DiscKey(d);
    m.TrackCount = kTracks;
    m.DiscTime = DiscTime(d);
    m.DiscName = "Disc title number " + std::to_string(d);
    m.ArtistID = 1 + d * 7 % pools.artists;
    m.SaleDate = 36526 + d % 8000;
    m.LabelID = 1 + d % pools.labels;
    m.DiscType = 1;
    m.JacketFile = "/home/user/jackets/" + std::to_string(d) + ".bmp";
    Append<kMasterRecordSize>(master, m);
    for (int n = 1; n <= kTracks; ++n) {
      TTrackRecord t;
      t.DiscKey = m.DiscKey;
      t.TrackCount = kTracks;
      t.DiscTime = m.DiscTime;
      t.TrackNo = static_cast<std::uint8_t>(n);
      t.StartPos = FramesToMSF(static_cast<std::uint32_t>(150 + (n - 1) * 4 * kFramesPerMinute));
      t.Length = PackMSF(4, 0, 0);
      t.TrackName = "Track " + std::to_string(n) + " of disc " + std::to_string(d);
      t.LyricsbyID = 1 + pools.artists + (d * 13 + n) % pools.people;
      t.MusicbyID = 1 + pools.artists + (d * 17 + n) % pools.people;
      t.ArrangebyID = 1 + pools.artists + (d * 19 + n) % pools.people;
      t.GenreID = static_cast<std::uint8_t>(1 + (d + n) % pools.genres);
      Append<kTrackRecordSize>(track, t);
    }
  }
  auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(folder / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  };
  write("MasterDB.QVR", master);
  write("TrackDB.QVR", track);
  write("ArtistDB.QVR", artist);
  write("LabelDB.QVR", label);
  write("GenreDB.QVR", genre);
}

}  // namespace qvr::bench
