// Timing of qvrdb as users meet it: every command a whole process, run in turn with a yardstick
// process that does the least the command could (A B A B ...), on a generated database:
//   start          qvrdb --help                     yardstick: cat --help
//   show           the last disc                    yardstick: cat of the five files
//   probe known    the demo disc, stored last       yardstick: cat of the five files
//   probe unknown  the demo disc, not stored        yardstick: cat MasterDB.QVR
//   list, check    the whole database               yardstick: cat of the five files
//   export         the whole database as JSON       yardstick: cat of the five files (with
//                                                   --export: it takes the longest)
//   import         that JSON into an empty folder   yardstick: cp of the five files and sync of
//                                                   the copies (written and flushed, as the
//                                                   import leaves them)
// Each row prints the median wall and processor time and the peak memory (maximum resident set
// size) of the command, the yardstick's median wall time, and the median of the pairs' ratios,
// which holds when the machine's speed drifts between pairs.
//   build/bin/qvrdb_timing [--discs N] [--runs N] [--qvrdb PATH] [--demo CUE] [--keep DIR] [--export]
// (default: 100000 discs, 5 runs, bin/qvrdb and bin/demo/QvrDemo.cue beside it; --keep copies
// the imported database and its JSON). Everything is made in a temporary folder removed at the
// end. The figures are only as steady as the machine: compare runs made one after the other.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "GeneratedDatabase.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Command = std::vector<std::string>;

struct Run {
  double seconds = 0;
  double cpu_seconds = 0;  // user + system
  long peak_kib = 0;
  int status = 0;
};

// Runs `work` in a child process, so that its memory never counts in this process's peak (which
// a spawned child inherits until it starts its program).
template <class Work>
void InChild(Work work) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    work();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

// Runs `arguments` with standard output to `out` (and standard error to /dev/null), and
// measures it.
Run Spawn(const Command& arguments, const std::string& out = "/dev/null") {
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t child = 0;
  Run run;
  if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::perror(argv[0]);
    std::exit(2);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.peak_kib = usage.ru_maxrss;
  run.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  posix_spawn_file_actions_destroy(&actions);
  return run;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

const char* const kFiles[] = {"MasterDB.QVR", "TrackDB.QVR", "ArtistDB.QVR", "LabelDB.QVR", "GenreDB.QVR"};

Command CatFiles(const std::filesystem::path& folder) {
  Command command{"cat"};
  for (const char* name : kFiles) command.push_back((folder / name).string());
  return command;
}

// Runs `command` and `yardstick` in turn `runs` times (after one unmeasured run of each, which
// also warms the page cache), `prepare` before each of either, and prints the row.
void Row(
    const char* what, int runs, const Command& command, const Command& yardstick,
    const std::function<void()>& prepare = [] {}) {
  prepare();
  Spawn(command);
  prepare();
  Spawn(yardstick);
  std::vector<double> wall, cpu, peak, stick, ratio;
  int status = 0;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const Run a = Spawn(command);
    prepare();
    const Run b = Spawn(yardstick);
    wall.push_back(a.seconds);
    cpu.push_back(a.cpu_seconds);
    peak.push_back(static_cast<double>(a.peak_kib) / 1024.0);
    stick.push_back(b.seconds);
    ratio.push_back(a.seconds / b.seconds);
    status = std::max(status, a.status);
  }
  std::printf("%-14s %8.4f s (cpu %8.4f s)  peak %7.1f MiB  yardstick %8.4f s  ratio %6.2f (%.2f..%.2f)", what,
              Median(wall), Median(cpu), *std::max_element(peak.begin(), peak.end()), Median(stick), Median(ratio),
              *std::min_element(ratio.begin(), ratio.end()), *std::max_element(ratio.begin(), ratio.end()));
  if (status != 0) std::printf("  (exit status %d)", status);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  int discs = 100000, runs = 5;
  std::filesystem::path keep;  // where to copy the imported database and the JSON, if anywhere
  const std::filesystem::path bin = std::filesystem::canonical("/proc/self/exe").parent_path();
  std::string qvrdb = (bin / "qvrdb").string();
  std::string demo = (bin / "demo" / "QvrDemo.cue").string();
  bool export_row = false;
  for (int i = 1; i < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--export") {
      export_row = true;
      --i;
      continue;
    }
    if (i + 1 >= argc) break;
    if (option == "--discs")
      discs = std::atoi(argv[i + 1]);
    else if (option == "--runs")
      runs = std::max(1, std::atoi(argv[i + 1]));
    else if (option == "--qvrdb")
      qvrdb = argv[i + 1];
    else if (option == "--demo")
      demo = argv[i + 1];
    else if (option == "--keep")
      keep = argv[i + 1];
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "qvrdb-timing-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 2;
  const std::filesystem::path root = pattern;
  struct Cleanup {
    std::filesystem::path root;
    ~Cleanup() {
      std::error_code error;
      std::filesystem::remove_all(root, error);
    }
  } cleanup{root};

  InChild([&] { qvr::bench::Generate(root / "source", discs); });
  const std::string json = (root / "discs.json").string();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each row as soon as it is measured
  std::printf("%d discs of %d tracks, %s, %d runs each, medians\n", discs, qvr::bench::kTracks, qvrdb.c_str(), runs);

  const std::filesystem::path source = root / "source", imported = root / "imported", copied = root / "copied";
  Spawn({qvrdb, "--db", source.string(), "export"}, json);
  std::printf("JSON %.1f MB\n", static_cast<double>(std::filesystem::file_size(json)) / 1e6);
  Command copy{"sh", "-c", "mkdir -p \"$1\" && cp \"$0\"/*.QVR \"$1\" && sync \"$1\"/*.QVR", source.string(),
               copied.string()};
  Row("import", runs, {qvrdb, "--db", imported.string(), "import", json}, copy, [&] {
    std::filesystem::remove_all(imported);
    std::filesystem::remove_all(copied);
  });
  Spawn({qvrdb, "--db", imported.string(), "import", json});
  std::uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(imported)) bytes += entry.file_size();
  std::printf("five files %.1f MB\n", static_cast<double>(bytes) / 1e6);

  const Command cat_all = CatFiles(imported);
  const std::string db = imported.string();
  Row("start", runs, {qvrdb, "--help"}, {"cat", "--help"});
  Row("show", runs, {qvrdb, "--db", db, "show", qvr::bench::DiscKey(discs - 1)}, cat_all);
  if (export_row) Row("export", runs, {qvrdb, "--db", db, "export"}, cat_all);
  Row("list", runs, {qvrdb, "--db", db, "list"}, cat_all);
  Row("check", runs, {qvrdb, "--db", db, "check"}, cat_all);
  if (std::filesystem::exists(demo)) {
    // The demo disc as an image: unknown to the generated database, then stored as its last disc.
    Row("probe unknown", runs, {qvrdb, "--db", db, "probe", demo}, {"cat", (imported / "MasterDB.QVR").string()});
    Spawn({qvrdb, "--db", db, "import", std::filesystem::path(demo).replace_extension(".json").string()});
    Row("probe known", runs, {qvrdb, "--db", db, "probe", demo}, CatFiles(imported));
  } else {
    std::printf("probe: no demo disc at %s\n", demo.c_str());
  }
  if (!keep.empty()) {
    std::filesystem::copy(imported, keep, std::filesystem::copy_options::recursive);
    std::filesystem::copy(json, keep / "discs.json");
  }
  return 0;
}
