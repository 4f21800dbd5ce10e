// Fuzzes the disc database with arbitrary bytes as each of its five files: lookups, the whole-
// database reader and check must never crash, a lookup must resolve every disc exactly as the
// reader does, and on a database that check finds healthy a store must be found again by a
// lookup and leave the database healthy.
//
// Input: byte 0 bit n set = file n missing; bytes 1..10 = five little-endian 16-bit lengths;
// then the five files' bytes one after the other (each cut to what is left).
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "cddb/DatabaseCheck.h"
#include "cddb/DatabaseSnapshot.h"
#include "cddb/DiscDatabase.h"
#include "util/Error.h"

namespace {

using namespace qvr;

class FixedDate final : public TDateSource {
 public:
  TDateTime Today() const override { return 45292; }
};

std::filesystem::path FuzzFolder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path base =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    auto path = base / ("qvr-dbfuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

bool Healthy(const DatabaseSnapshot& snapshot) {
  for (const CheckFinding& finding : CheckDatabase(snapshot)) {
    if (finding.Problem) return false;
  }
  return true;
}

bool KeyDamaged(const DatabaseSnapshot& snapshot, std::size_t record) {
  for (const DamagedField& d : snapshot.Damaged()) {
    if (d.File == DBFile::Master && d.Record == record && d.Field == "DiscKey") return true;
  }
  return false;
}

TDiscRecord DriveDisc(const ShortString<8>& key, std::uint8_t count, std::uint32_t time) {
  TDiscRecord disc;
  ClearDisc(disc, FixedDate());
  disc.DiscKey = key;
  disc.TrackCount = count;
  disc.DiscTime = time;
  return disc;
}

// Equal field by field, dates by their bits (a damaged date may be NaN, unequal to itself).
bool SameDisc(TDiscRecord a, TDiscRecord b) {
  if (std::bit_cast<std::uint64_t>(a.SaleDate) != std::bit_cast<std::uint64_t>(b.SaleDate)) return false;
  a.SaleDate = b.SaleDate = 0;
  return a == b;
}

// Everything but the track positions, which a store keeps from existing records.
bool SameTexts(TDiscRecord a, TDiscRecord b) {
  for (std::size_t n = 1; n <= kMaxTracks; ++n) {
    a.Tracks[n].StartPos = b.Tracks[n].StartPos = 0;
    a.Tracks[n].Length = b.Tracks[n].Length = 0;
  }
  return SameDisc(a, b);
}

// Names the first fields in which a lookup and the reader disagree.
void Explain(const TDiscRecord& found, const TDiscRecord& expected) {
  std::fprintf(stderr, "lookup and reader disagree: key %s/%s count %d/%d name %s/%s artist %s/%s label %s/%s\n",
               found.DiscKey.Str().c_str(), expected.DiscKey.Str().c_str(), found.TrackCount, expected.TrackCount,
               found.DiscName.Str().c_str(), expected.DiscName.Str().c_str(), found.ArtistName.Str().c_str(),
               expected.ArtistName.Str().c_str(), found.LabelName.Str().c_str(), expected.LabelName.Str().c_str());
  for (std::size_t n = 1; n <= kMaxTracks; ++n) {
    if (found.Tracks[n] != expected.Tracks[n]) {
      std::fprintf(stderr, "track %zu: %u/%u %u/%u [%s]/[%s] [%s]/[%s] [%s]/[%s]\n", n, found.Tracks[n].StartPos,
                   expected.Tracks[n].StartPos, found.Tracks[n].Length, expected.Tracks[n].Length,
                   found.Tracks[n].TrackName.Str().c_str(), expected.Tracks[n].TrackName.Str().c_str(),
                   found.Tracks[n].Lyricsby.Str().c_str(), expected.Tracks[n].Lyricsby.Str().c_str(),
                   found.Tracks[n].Genre.Str().c_str(), expected.Tracks[n].Genre.Str().c_str());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 11) return 0;
  const std::filesystem::path folder = FuzzFolder();
  FixedDate today;
  TDiscDatabase db(today);
  db.DBOpen(folder / "MasterDB.QVR");

  std::size_t at = 11;
  for (std::size_t i = 0; i < 5; ++i) {
    const DBFile file = kAllDBFiles[i];
    std::size_t length = data[1 + 2 * i] | (std::size_t{data[2 + 2 * i]} << 8);
    length = std::min(length, size - at);
    std::filesystem::remove(db.FilePath(file));
    if (data[0] & (1u << i)) continue;
    std::ofstream(db.FilePath(file), std::ios::binary)
        .write(reinterpret_cast<const char*>(data + at), static_cast<std::streamsize>(length));
    at += length;
  }

  const DatabaseSnapshot before = DatabaseSnapshot::Read(db.MasterPath());
  const bool healthy = Healthy(before);

  // Every disc (up to a few) is found as the whole-database reader resolves it.
  TNoSearchProgress progress;
  const std::size_t discs = std::min<std::size_t>(before.Masters().size(), 8);
  for (std::size_t i = 0; i < discs; ++i) {
    const TMasterRecord& m = before.Masters()[i];
    if (KeyDamaged(before, i + 1)) continue;
    std::size_t first = i;
    for (std::size_t j = 0; j < i; ++j) {
      const TMasterRecord& o = before.Masters()[j];
      if (!KeyDamaged(before, j + 1) && o.DiscKey == m.DiscKey && o.TrackCount == m.TrackCount &&
          o.DiscTime == m.DiscTime) {
        first = j;
        break;
      }
    }
    const TDiscRecord found = db.DBLookup(DriveDisc(m.DiscKey, m.TrackCount, m.DiscTime), progress);
    if (!SameDisc(found, before.Disc(first))) {
      Explain(found, before.Disc(first));
      std::abort();
    }
  }
  db.DBLookup(DriveDisc("FUZZ0000", 7, 1), progress);

  // A store into a healthy database is found again and keeps it healthy.
  TDiscRecord disc = DriveDisc("0137EBFA", static_cast<std::uint8_t>(data[0] >> 5), 4242);
  if ((data[0] & 0x10) == 0 && !before.Masters().empty()) {
    const TMasterRecord& m = before.Masters()[data[1] % before.Masters().size()];
    disc = DriveDisc(m.DiscKey, m.TrackCount, m.DiscTime);
  }
  disc.DiscName = "stored";
  disc.ArtistName = "artist";
  disc.LabelName = "";
  for (std::size_t n = 1; n <= UsedTracks(disc.TrackCount); ++n) {
    disc.Tracks[n].TrackName = "t" + std::to_string(n);
    disc.Tracks[n].Lyricsby = "artist";
    disc.Tracks[n].Musicby = "m" + std::to_string(n % 3);
    disc.Tracks[n].Genre = "g" + std::to_string(n % 2);
  }
  try {
    db.DBStore(disc);
  } catch (const Error& error) {
    // Foreign or damaged files and a full genre file are refused; nothing else may fail here.
    if (healthy && std::string(error.what()).find("ジャンル") == std::string::npos) {
      std::fprintf(stderr, "store into a healthy database failed: %s\n", error.what());
      std::abort();
    }
    return 0;
  }
  if (healthy) {
    const TDiscRecord found = db.DBLookup(DriveDisc(disc.DiscKey, disc.TrackCount, disc.DiscTime), progress);
    if (!SameTexts(found, disc)) {
      Explain(found, disc);
      std::abort();
    }
    const DatabaseSnapshot after = DatabaseSnapshot::Read(db.MasterPath());
    if (!Healthy(after)) {
      for (const CheckFinding& finding : CheckDatabase(after)) {
        std::fprintf(stderr, "after the store: %s\n", finding.Text.c_str());
      }
      std::abort();
    }
  }
  return 0;
}
