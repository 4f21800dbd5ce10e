// Shared pieces of the database tests: a fixed "today", a progress display that records what it
// was shown, discs as a drive reports them, and raw access to the five files.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cddb/DiscDatabase.h"
#include "cddb/Records.h"
#include "support/TempDir.h"
#include "util/Msf.h"

namespace qvr {

// Readable failure messages: texts decoded, and only the used part of a disc record.
template <std::size_t N>
void PrintTo(const ShortString<N>& text, std::ostream* out) {
  *out << '"' << text.ToUtf8() << '"';
}

inline void PrintTo(const TTrackEntry& e, std::ostream* out) {
  *out << "{" << e.StartPos << ", " << e.Length << ", " << testing::PrintToString(e.TrackName) << ", "
       << testing::PrintToString(e.Lyricsby) << ", " << testing::PrintToString(e.Musicby) << ", "
       << testing::PrintToString(e.Arrangeby) << ", " << testing::PrintToString(e.Genre) << "}";
}

inline void PrintTo(const TDiscRecord& d, std::ostream* out) {
  *out << "{Reserved " << d.Reserved << ", key " << testing::PrintToString(d.DiscKey) << ", tracks "
       << int(d.TrackCount) << ", time " << d.DiscTime << ", name " << testing::PrintToString(d.DiscName) << ", artist "
       << testing::PrintToString(d.ArtistName) << ", date " << d.SaleDate << ", label "
       << testing::PrintToString(d.LabelName) << ", type " << int(d.DiscType) << ", jacket "
       << testing::PrintToString(d.JacketFile) << ", lyrics " << testing::PrintToString(d.LyricsFile);
  for (std::size_t n = 1; n <= kMaxTracks; ++n) {
    if (d.Tracks[n] != TTrackEntry{}) *out << "\n  track " << n << " " << testing::PrintToString(d.Tracks[n]);
  }
  *out << "}";
}

}  // namespace qvr

namespace qvr::test {

class FixedDate final : public TDateSource {
 public:
  explicit FixedDate(TDateTime day) : day_(day) {}
  TDateTime Today() const override { return day_; }

 private:
  TDateTime day_;
};

// Records every caption a lookup shows; `on_step` runs inside each per-record step, where the
// program would process pending messages.
class RecordingProgress final : public TSearchProgress {
 public:
  void Searching(std::string_view disc_name) override {
    captions.push_back(SearchingCaption(disc_name));
    if (on_step) on_step();
  }
  void SearchFinished() override { captions.emplace_back(kSearchFinished); }

  std::vector<std::string> captions;
  std::function<void()> on_step;
};

// A database opened in a temporary folder (its files not created yet), dated 2024-01-01, and the
// player's lookup of a disc in it.
class OpenDatabaseTest : public testing::Test {
 protected:
  void SetUp() override { db_.DBOpen(dir_ / "MasterDB.QVR"); }

  TDiscRecord Lookup(const TDiscRecord& disc) {
    RecordingProgress progress;
    return db_.DBLookup(disc, progress);
  }

  TempDir dir_;
  FixedDate today_{45292};
  TDiscDatabase db_{today_};
};

// A disc as the drive reports it: identity and track positions, texts empty, sale date today.
inline TDiscRecord DriveDisc(std::string_view key, std::uint8_t tracks, std::uint32_t time, TDateTime today = 45292) {
  TDiscRecord disc;
  ClearDisc(disc, FixedDate(today));
  disc.DiscKey = key;
  disc.TrackCount = tracks;
  disc.DiscTime = time;
  for (std::size_t n = 1; n <= UsedTracks(tracks); ++n) {
    disc.Tracks[n].StartPos = FramesToMSF(static_cast<std::uint32_t>(n * 4 * kFramesPerMinute));
    disc.Tracks[n].Length = PackMSF(3, static_cast<std::uint8_t>(n % 60), 10);
  }
  return disc;
}

// The same disc with every text filled in, distinct per disc and track.
inline TDiscRecord RegisteredDisc(std::string_view key, std::uint8_t tracks, std::uint32_t time) {
  TDiscRecord disc = DriveDisc(key, tracks, time);
  const std::string tag(key);
  disc.DiscName = "Title " + tag;
  disc.ArtistName = "Artist " + tag;
  disc.LabelName = "Label " + tag;
  disc.SaleDate = 40000.5;
  disc.DiscType = 3;
  disc.JacketFile = "/jackets/" + tag + ".bmp";
  disc.LyricsFile = "/lyrics/" + tag + ".txt";
  for (std::size_t n = 1; n <= UsedTracks(tracks); ++n) {
    const std::string t = tag + "-" + std::to_string(n);
    disc.Tracks[n].TrackName = "Track " + t;
    disc.Tracks[n].Lyricsby = "Lyricist " + t;
    disc.Tracks[n].Musicby = "Composer " + t;
    disc.Tracks[n].Arrangeby = "Arranger " + t;
    disc.Tracks[n].Genre = "Genre " + std::to_string(n % 3);
  }
  return disc;
}

// The five files' contents, to show that an operation left them exactly as they were.
inline std::array<std::string, 5> FileContents(const TDiscDatabase& db) {
  std::array<std::string, 5> contents;
  for (DBFile file : kAllDBFiles) contents[static_cast<std::size_t>(file)] = ReadFile(db.FilePath(file));
  return contents;
}

template <std::size_t N, class Record>
std::string EncodedRecord(const Record& record) {
  std::string out(N, '\0');
  EncodeRecord(record, std::span<char, N>(out.data(), N));
  return out;
}

// Every whole record of a file, header included, decoded with `decode`.
template <std::size_t N, class Decode>
auto DecodedRecords(const std::filesystem::path& path, Decode decode) {
  const std::string bytes = ReadFile(path);
  std::vector<decltype(decode(std::span<const char, N>(bytes.data(), N)))> records;
  for (std::size_t at = 0; at + N <= bytes.size(); at += N) {
    records.push_back(decode(std::span<const char, N>(bytes.data() + at, N)));
  }
  return records;
}

inline std::vector<TNameRecord> NameRecords(const std::filesystem::path& path) {
  return DecodedRecords<kNameRecordSize>(path, DecodeNameRecord);
}

inline std::vector<TTrackRecord> TrackRecords(const std::filesystem::path& path) {
  return DecodedRecords<kTrackRecordSize>(path, DecodeTrackRecord);
}

}  // namespace qvr::test
