// Lookup and store against databases of 1,000, 10,000 and 100,000 discs of 12 tracks, next to
// the time it takes just to read the same five files once. Target: every operation within 2x
// of reading the files once.
//
// The databases are generated record by record in a temporary folder (names reused as in a
// real collection: a few thousand artists, fifty labels, thirty genres) the first time a size is
// needed, and removed at exit. Run: build/bin/database_benchmark
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cddb/DiscDatabase.h"
#include "cddb/Records.h"
#include "util/Msf.h"

namespace qvr {
namespace {

constexpr int kTracks = 12;

class FixedDate final : public TDateSource {
 public:
  TDateTime Today() const override { return 45292; }
};

// Swallows the progress but looks at every title, as a display deciding whether to repaint would.
class CountingProgress final : public TSearchProgress {
 public:
  void Searching(std::string_view disc_name) override { bytes_ += disc_name.size(); }
  void SearchFinished() override { benchmark::DoNotOptimize(bytes_); }

 private:
  std::size_t bytes_ = 0;
};

std::string DiscKey(int disc) {
  char key[9];
  std::snprintf(key, sizeof key, "%08X", 0x01000000u + static_cast<unsigned>(disc) * 2654435761u % 0x00FFFFFF);
  return key;
}

std::uint32_t DiscTime(int disc) { return PackMSF(static_cast<std::uint8_t>(40 + disc % 30), disc % 60, disc % 75); }

template <std::size_t N, class Record>
void Append(std::string& file, const Record& record) {
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

void Generate(const std::filesystem::path& folder, int discs) {
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
  for (int i = 0; i < pools.labels; ++i) Append<kNameRecordSize>(label, TNameRecord{1 + i, "Label " + std::to_string(i)});
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

const std::filesystem::path& Root() {
  static const std::filesystem::path root = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvr-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    std::atexit([] { std::filesystem::remove_all(Root()); });
    return std::filesystem::path(pattern);
  }();
  return root;
}

// The folder of a generated database of `discs` discs; `copy` names a private copy that a store
// benchmark may grow without changing what the lookups see.
std::filesystem::path Database(int discs, const char* copy = nullptr) {
  static std::map<std::string, std::filesystem::path> made;
  const std::string name = std::to_string(discs) + (copy ? std::string("-") + copy : "");
  if (auto found = made.find(name); found != made.end()) return found->second;
  const std::filesystem::path folder = Root() / name;
  if (copy) {
    std::filesystem::copy(Database(discs), folder);
  } else {
    Generate(folder, discs);
  }
  made[name] = folder;
  return folder;
}

TDiscRecord DriveDisc(const std::string& key, std::uint32_t time) {
  TDiscRecord disc;
  ClearDisc(disc, FixedDate());
  disc.DiscKey = key;
  disc.TrackCount = kTracks;
  disc.DiscTime = time;
  return disc;
}

void ReadFilesOnce(benchmark::State& state) {
  const std::filesystem::path folder = Database(static_cast<int>(state.range(0)));
  std::vector<char> buffer(256 * 1024);
  for (auto _ : state) {
    std::size_t total = 0;
    for (const char* name : {"MasterDB.QVR", "TrackDB.QVR", "ArtistDB.QVR", "LabelDB.QVR", "GenreDB.QVR"}) {
      int fd = open((folder / name).c_str(), O_RDONLY);
      ssize_t got;
      while ((got = read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<std::size_t>(got);
      close(fd);
    }
    benchmark::DoNotOptimize(total);
  }
}

void LookupLast(benchmark::State& state) {
  const int discs = static_cast<int>(state.range(0));
  FixedDate today;
  TDiscDatabase db(today);
  db.DBOpen(Database(discs) / "MasterDB.QVR");
  const TDiscRecord drive = DriveDisc(DiscKey(discs - 1), DiscTime(discs - 1));
  CountingProgress progress;
  for (auto _ : state) {
    TDiscRecord found = db.DBLookup(drive, progress);
    if (found.DiscName.Empty()) state.SkipWithError("the last disc was not found");
    benchmark::DoNotOptimize(found);
  }
}

void LookupNone(benchmark::State& state) {
  FixedDate today;
  TDiscDatabase db(today);
  db.DBOpen(Database(static_cast<int>(state.range(0))) / "MasterDB.QVR");
  const TDiscRecord drive = DriveDisc("FFFFFFFF", 0);
  CountingProgress progress;
  for (auto _ : state) {
    TDiscRecord found = db.DBLookup(drive, progress);
    if (!found.DiscName.Empty()) state.SkipWithError("an unknown disc was found");
    benchmark::DoNotOptimize(found);
  }
}

void StoreNew(benchmark::State& state) {
  const int discs = static_cast<int>(state.range(0));
  FixedDate today;
  TDiscDatabase db(today);
  const std::filesystem::path folder = Database(discs, "store");
  db.DBOpen(folder / "MasterDB.QVR");
  // Each store appends; the files are cut back to their first size after it, so that every
  // iteration stores into a database of the same size.
  std::map<std::filesystem::path, std::uintmax_t> sizes;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) sizes[entry.path()] = entry.file_size();
  const Pools pools(discs);
  int serial = 0;
  for (auto _ : state) {
    // A new disc: mostly known people, genres and label, one new artist.
    ++serial;
    TDiscRecord disc = DriveDisc("N" + std::to_string(1000000 + serial), DiscTime(serial));
    disc.DiscName = "New disc " + std::to_string(serial);
    disc.ArtistName = "New artist " + std::to_string(serial);
    disc.LabelName = "Label 3";
    for (int n = 1; n <= kTracks; ++n) {
      TTrackEntry& t = disc.Tracks[static_cast<std::size_t>(n)];
      t.StartPos = PackMSF(static_cast<std::uint8_t>(n * 4), 2, 0);
      t.Length = PackMSF(4, 0, 0);
      t.TrackName = "New track " + std::to_string(n);
      t.Lyricsby = "Person " + std::to_string((serial + n) % pools.people);
      t.Musicby = "Person " + std::to_string((serial * 3 + n) % pools.people);
      t.Arrangeby = "Person " + std::to_string((serial * 5 + n) % pools.people);
      t.Genre = "Genre " + std::to_string(n % pools.genres);
    }
    db.DBStore(disc);
    state.PauseTiming();
    for (const auto& [path, size] : sizes) std::filesystem::resize_file(path, size);
    state.ResumeTiming();
  }
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(ReadFilesOnce)->Apply(Sizes);
BENCHMARK(LookupLast)->Apply(Sizes);
BENCHMARK(LookupNone)->Apply(Sizes);
BENCHMARK(StoreNew)->Apply(Sizes);

}  // namespace
}  // namespace qvr

BENCHMARK_MAIN();
