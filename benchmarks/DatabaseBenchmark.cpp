// Lookup and store against databases of 1,000, 10,000 and 100,000 discs of 12 tracks, each next
// to what it must read: the last disc's lookup next to reading the five files once, the unknown
// disc's lookup next to reading the master file once. Target: within 2x of its yardstick. The
// cold runs (root only) empty the page cache before each iteration, as the first lookup of the
// day finds it.
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

#include "GeneratedDatabase.h"
#include "cddb/DiscDatabase.h"
#include "cddb/Records.h"
#include "util/Msf.h"

namespace qvr {
namespace {

using namespace bench;

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

// The temporary folder of the generated databases, removed at exit. The path is never destroyed,
// so the exit handler still has it after static objects are gone.
const std::filesystem::path& Root() {
  static const std::filesystem::path* const root = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvr-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    auto* path = new std::filesystem::path(pattern);
    std::atexit([] {
      std::error_code error;
      std::filesystem::remove_all(Root(), error);
    });
    return path;
  }();
  return *root;
}

// Empties the page cache, so that the next read comes from the disk, as the first lookup of the
// day does. Needs root; false without it.
bool DropCaches() {
  sync();
  std::ofstream drop("/proc/sys/vm/drop_caches");
  drop << "3\n";
  drop.flush();
  return static_cast<bool>(drop);
}

// Runs `body` once per iteration, each time from a cold cache when `cold`.
template <class Body>
void Iterate(benchmark::State& state, bool cold, Body body) {
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      if (!DropCaches()) {
        state.SkipWithError("dropping the page cache needs root");
        break;
      }
      state.ResumeTiming();
    }
    body();
  }
}

std::size_t ReadWhole(const std::filesystem::path& path, std::vector<char>& buffer) {
  std::size_t total = 0;
  int fd = open(path.c_str(), O_RDONLY);
  ssize_t got;
  while ((got = read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<std::size_t>(got);
  close(fd);
  return total;
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

// The yardsticks: what a lookup of the last disc must at least read (all five files, once), and
// what a lookup of an unknown disc must read (the master file alone).
void ReadFilesOnce(benchmark::State& state, bool cold) {
  const std::filesystem::path folder = Database(static_cast<int>(state.range(0)));
  std::vector<char> buffer(256 * 1024);
  Iterate(state, cold, [&] {
    std::size_t total = 0;
    for (const char* name : {"MasterDB.QVR", "TrackDB.QVR", "ArtistDB.QVR", "LabelDB.QVR", "GenreDB.QVR"}) {
      total += ReadWhole(folder / name, buffer);
    }
    benchmark::DoNotOptimize(total);
  });
}

void ReadMasterOnce(benchmark::State& state, bool cold) {
  const std::filesystem::path folder = Database(static_cast<int>(state.range(0)));
  std::vector<char> buffer(256 * 1024);
  Iterate(state, cold, [&] { benchmark::DoNotOptimize(ReadWhole(folder / "MasterDB.QVR", buffer)); });
}

void LookupLast(benchmark::State& state, bool cold) {
  const int discs = static_cast<int>(state.range(0));
  FixedDate today;
  TDiscDatabase db(today);
  db.DBOpen(Database(discs) / "MasterDB.QVR");
  const TDiscRecord drive = DriveDisc(DiscKey(discs - 1), DiscTime(discs - 1));
  CountingProgress progress;
  Iterate(state, cold, [&] {
    TDiscRecord found = db.DBLookup(drive, progress);
    if (found.DiscName.Empty()) state.SkipWithError("the last disc was not found");
    benchmark::DoNotOptimize(found);
  });
}

void LookupNone(benchmark::State& state, bool cold) {
  FixedDate today;
  TDiscDatabase db(today);
  db.DBOpen(Database(static_cast<int>(state.range(0))) / "MasterDB.QVR");
  const TDiscRecord drive = DriveDisc("FFFFFFFF", 0);
  CountingProgress progress;
  Iterate(state, cold, [&] {
    TDiscRecord found = db.DBLookup(drive, progress);
    if (!found.DiscName.Empty()) state.SkipWithError("an unknown disc was found");
    benchmark::DoNotOptimize(found);
  });
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

// Cold: each iteration starts with an empty page cache (run as root), for the largest size.
void Cold(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
}

BENCHMARK_CAPTURE(ReadFilesOnce, warm, false)->Apply(Sizes);
BENCHMARK_CAPTURE(LookupLast, warm, false)->Apply(Sizes);
BENCHMARK_CAPTURE(ReadMasterOnce, warm, false)->Apply(Sizes);
BENCHMARK_CAPTURE(LookupNone, warm, false)->Apply(Sizes);
BENCHMARK(StoreNew)->Apply(Sizes);
BENCHMARK_CAPTURE(ReadFilesOnce, cold, true)->Apply(Cold);
BENCHMARK_CAPTURE(LookupLast, cold, true)->Apply(Cold);
BENCHMARK_CAPTURE(ReadMasterOnce, cold, true)->Apply(Cold);
BENCHMARK_CAPTURE(LookupNone, cold, true)->Apply(Cold);

}  // namespace
}  // namespace qvr

BENCHMARK_MAIN();
