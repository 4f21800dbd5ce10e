// Timing of the qvrdb commands on a generated database, each next to its yardstick, with the
// peak memory of the process (maximum resident set size, as /usr/bin/time -v reports it):
//   export             the whole database as JSON
//   import             that JSON into an empty folder; yardstick: writing the five files it
//                      produced once (written and flushed to disk, as the import leaves them)
//   show KEY           the last disc; yardstick: reading the five files once. Also timed
//                      in-process (this build's code, without the cost of starting a process,
//                      which `qvrdb --help` shows)
//   list, check        the whole database
// The real qvrdb executable runs as a child process, so that another build can be compared:
//   build/bin/qvrdb_timing [--discs N] [--qvrdb PATH] [--keep DIR]
// (default: 100000 discs, bin/qvrdb beside it; --keep copies the imported database and its JSON).
// Everything is made in a temporary folder that is removed at the end.
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
#include <string>
#include <vector>

#include <sstream>

#include "GeneratedDatabase.h"
#include "tools/qvrdb/Qvrdb.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

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

// Runs `arguments` with standard output to `out`, and measures it.
Run Spawn(const std::vector<std::string>& arguments, const std::string& out) {
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const auto start = Clock::now();
  pid_t child = 0;
  Run run;
  if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
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

double ReadFiles(const std::filesystem::path& folder) {
  std::vector<char> buffer(256 * 1024);
  const auto start = Clock::now();
  std::size_t total = 0;
  for (const char* name : {"MasterDB.QVR", "TrackDB.QVR", "ArtistDB.QVR", "LabelDB.QVR", "GenreDB.QVR"}) {
    int fd = open((folder / name).c_str(), O_RDONLY);
    ssize_t got;
    while ((got = read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<std::size_t>(got);
    close(fd);
  }
  if (total == 0) std::abort();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Writes the five files of `from` into `to` once, each flushed to disk, from memory.
double WriteFiles(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::create_directories(to);
  std::vector<std::pair<std::string, std::string>> files;
  for (const char* name : {"MasterDB.QVR", "TrackDB.QVR", "ArtistDB.QVR", "LabelDB.QVR", "GenreDB.QVR"}) {
    std::string bytes(std::filesystem::file_size(from / name), '\0');
    int fd = open((from / name).c_str(), O_RDONLY);
    std::size_t done = 0;
    while (done < bytes.size()) done += static_cast<std::size_t>(read(fd, bytes.data() + done, bytes.size() - done));
    close(fd);
    files.emplace_back(name, std::move(bytes));
  }
  const auto start = Clock::now();
  for (const auto& [name, bytes] : files) {
    int fd = open((to / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t done = 0;
    while (done < bytes.size()) done += static_cast<std::size_t>(write(fd, bytes.data() + done, bytes.size() - done));
    fsync(fd);
    close(fd);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Report(const char* what, const Run& run, double yardstick = 0) {
  std::printf("%-8s %9.3f s (cpu %8.3f s)  peak %8.1f MiB", what, run.seconds, run.cpu_seconds,
              static_cast<double>(run.peak_kib) / 1024.0);
  if (yardstick > 0) std::printf("  yardstick %8.3f s  ratio %6.2f", yardstick, run.seconds / yardstick);
  if (run.status != 0) std::printf("  (exit status %d)", run.status);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  int discs = 100000;
  std::filesystem::path keep;  // where to copy the imported database and the JSON, if anywhere
  std::string qvrdb = (std::filesystem::canonical("/proc/self/exe").parent_path() / "qvrdb").string();
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--discs")
      discs = std::atoi(argv[i + 1]);
    else if (option == "--qvrdb")
      qvrdb = argv[i + 1];
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
  const std::string null = "/dev/null";
  std::printf("%d discs of %d tracks, %s\n", discs, qvr::bench::kTracks, qvrdb.c_str());

  const Run exported = Spawn({qvrdb, "--db", (root / "source").string(), "export"}, json);
  Report("export", exported);
  std::printf("         JSON %.1f MB\n", static_cast<double>(std::filesystem::file_size(json)) / 1e6);

  const Run imported = Spawn({qvrdb, "--db", (root / "imported").string(), "import", json}, null);
  std::uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::directory_iterator(root / "imported")) bytes += entry.file_size();
  // The yardstick's time goes through a file, as its memory must stay out of this process.
  const std::string timed = (root / "write-seconds").string();
  InChild([&] {
    const double seconds = WriteFiles(root / "imported", root / "written");
    if (FILE* out = std::fopen(timed.c_str(), "w")) {
      std::fprintf(out, "%.6f\n", seconds);
      std::fclose(out);
    }
  });
  double write_once = 0;
  if (FILE* in = std::fopen(timed.c_str(), "r")) {
    if (std::fscanf(in, "%lf", &write_once) != 1) write_once = 0;
    std::fclose(in);
  }
  Report("import", imported, write_once);
  std::printf("         five files %.1f MB\n", static_cast<double>(bytes) / 1e6);

  const std::filesystem::path db = root / "imported";
  std::vector<double> reads, shows;
  Run show;
  for (int i = 0; i < 5; ++i) {
    reads.push_back(ReadFiles(db));
    show = Spawn({qvrdb, "--db", db.string(), "show", qvr::bench::DiscKey(discs - 1)}, null);
    shows.push_back(show.seconds);
  }
  show.seconds = Median(shows);
  Report("show", show, Median(reads));
  Report("list", Spawn({qvrdb, "--db", db.string(), "list"}, null), Median(reads));
  Report("check", Spawn({qvrdb, "--db", db.string(), "check"}, null), Median(reads));
  Report("start", Spawn({qvrdb, "--help"}, null));
  std::vector<double> inside;
  for (int i = 0; i < 5; ++i) {
    std::ostringstream out, err;
    const std::vector<std::string> arguments{"--db", db.string(), "show", qvr::bench::DiscKey(discs - 1)};
    const auto start = Clock::now();
    const int status = qvr::RunQvrdb(arguments, out, err, qvr::TIniGTEnvironment{"qvrdb", root, root});
    inside.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (status != 0) std::printf("in-process show failed: %s\n", err.str().c_str());
  }
  std::printf("show in-process %.4f s  yardstick %.4f s  ratio %.2f\n", Median(inside), Median(reads),
              Median(inside) / Median(reads));
  if (!keep.empty()) {
    std::filesystem::copy(db, keep, std::filesystem::copy_options::recursive);
    std::filesystem::copy(json, keep / "discs.json");
  }
  return 0;
}
