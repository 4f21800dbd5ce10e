// Timing of the player's start as a listener meets it: from the spawn of the process to the first
// audible (non-zero) sample it writes, paired in turn (A B A B ...) with mpv playing the same
// audio as a WAV file:
//   qvr   started on a generated cue/bin image ("Drive" set to it, automatic play), on an Xvfb
//         display and with a session bus (dbus-daemon, when installed) this program starts,
//         through SDL's disk audio driver into a file
//   mpv   mpv --no-video --ao=pcm into a file (no WAV header), on the WAV made from the same image
// The image's first sample is already non-zero, so both count from the same point of the music.
// Both output files are polled every half millisecond from here. Each row prints the median time,
// the yardstick's median and the median of the pairs' ratios.
//   build/bin/player_start_timing [--runs N] [--qvr PATH]
// (default: 5 runs, bin/qvr beside this program). Skips with a message when mpv or Xvfb is
// missing. Everything is made in a temporary folder removed at the end.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kSampleRate = 44100;
constexpr int kSectors = 750;  // 10 s of CD audio
constexpr int kFramesPerSector = 588;

// Two tones, one a channel, starting at full phase so that the very first sample is audible.
std::vector<std::int16_t> Tones() {
  std::vector<std::int16_t> samples;
  const std::size_t frames = static_cast<std::size_t>(kSectors) * kFramesPerSector;
  samples.reserve(frames * 2);
  for (std::size_t n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / kSampleRate;
    samples.push_back(static_cast<std::int16_t>(8000 * std::cos(2 * M_PI * 440 * t)));
    samples.push_back(static_cast<std::int16_t>(8000 * std::cos(2 * M_PI * 660 * t)));
  }
  return samples;
}

void PutLittle(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xff));
}

void WriteImage(const fs::path& folder, const std::vector<std::int16_t>& samples) {
  const auto bytes = static_cast<std::uint32_t>(samples.size() * sizeof(std::int16_t));
  std::ofstream(folder / "disc.bin", std::ios::binary)
      .write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(bytes));
  std::ofstream(folder / "disc.cue") << "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 00:05:00\n";
  std::ofstream wav(folder / "disc.wav", std::ios::binary);
  wav.write("RIFF", 4);
  PutLittle(wav, 36 + bytes, 4);
  wav.write("WAVEfmt ", 8);
  PutLittle(wav, 16, 4);
  PutLittle(wav, 1, 2);  // PCM
  PutLittle(wav, 2, 2);  // channels
  PutLittle(wav, kSampleRate, 4);
  PutLittle(wav, kSampleRate * 4, 4);
  PutLittle(wav, 4, 2);
  PutLittle(wav, 16, 2);
  wav.write("data", 4);
  PutLittle(wav, bytes, 4);
  wav.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(bytes));
}

bool OnPath(const std::string& tool) {
  const char* path = std::getenv("PATH");
  std::string paths = path ? path : "/usr/bin:/bin";
  std::size_t at = 0;
  while (at <= paths.size()) {
    std::size_t end = paths.find(':', at);
    if (end == std::string::npos) end = paths.size();
    if (access((paths.substr(at, end - at) + "/" + tool).c_str(), X_OK) == 0) return true;
    at = end + 1;
  }
  return false;
}

// Runs `arguments` in `folder` with `environment`, its output and errors to `log`.
pid_t Start(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
            const std::string& folder, const std::string& log) {
  std::vector<char*> argv, envp;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    std::perror(argv[0]);
    std::exit(2);
  }
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

void Stop(pid_t child) {
  kill(child, SIGTERM);
  for (int i = 0; i < 500; ++i) {
    if (waitpid(child, nullptr, WNOHANG) == child) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
}

// Seconds from the spawn of `arguments` to the first non-zero byte in `output`; negative when
// none came within 20 s or the process ended first (its output and errors are in `log`).
double FirstAudible(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                    const fs::path& output, const std::string& log, const std::string& folder = {}) {
  fs::remove(output);
  const auto start = Clock::now();
  const pid_t child = Start(arguments, environment, folder, log);
  double seconds = -1;
  int fd = -1;
  std::array<char, 1 << 16> buffer{};
  while (Clock::now() - start < std::chrono::seconds(20)) {
    if (fd < 0) fd = open(output.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      ssize_t got = 0;
      while ((got = read(fd, buffer.data(), buffer.size())) > 0) {
        if (std::any_of(buffer.begin(), buffer.begin() + got, [](char c) { return c != 0; })) {
          seconds = std::chrono::duration<double>(Clock::now() - start).count();
          break;
        }
      }
      if (seconds >= 0) break;
    }
    if (waitpid(child, nullptr, WNOHANG) == child) {
      if (fd >= 0) close(fd);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  if (fd >= 0) close(fd);
  Stop(child);
  return seconds;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A server process that takes connections on a Unix socket; ended with the object.
struct Server {
  pid_t pid = -1;
  bool ready = false;
  // Starts `arguments` with its errors to `log` and waits (at most 10 s) until `socket_path`
  // takes a connection.
  Server(const std::vector<std::string>& arguments, const std::vector<std::string>& environment, const std::string& log,
         const std::string& socket_path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv, envp;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
    for (int i = 0; pid > 0 && i < 1000 && !ready; ++i) {
      const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      ready = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
      close(probe);
      if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~Server() {
    if (pid > 0) Stop(pid);
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
};

// The first X display number from 190 on that no other server holds.
int FreeDisplay() {
  int number = 190;
  while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
         fs::exists("/tmp/.X" + std::to_string(number) + "-lock")) {
    ++number;
  }
  return number;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
  fs::path qvr = bin / "qvr";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    if (option == "--qvr") qvr = argv[i + 1];
  }
  // Output into a pipe that closes early (| head) must not end this program before it has ended
  // its servers and removed its folder.
  std::signal(SIGPIPE, SIG_IGN);
  for (const char* tool : {"mpv", "Xvfb"}) {
    if (!OnPath(tool)) {
      std::printf("player start: skipped, %s is not installed\n", tool);
      return 0;
    }
  }
  std::string pattern = (fs::temp_directory_path() / "player-start-timing-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return 2;
  const fs::path root = pattern;
  struct Cleanup {
    fs::path root;
    ~Cleanup() {
      std::error_code error;
      fs::remove_all(root, error);
    }
  } cleanup{root};

  WriteImage(root, Tones());
  // The player as installed: its folder holds the program, its settings and its database.
  const fs::path program = root / "program", runtime = root / "run";
  fs::create_directories(program / "DB");
  fs::create_directories(runtime);
  fs::permissions(runtime, fs::perms::owner_all);
  fs::copy_file(qvr, program / "qvr");
  if (fs::exists(qvr.parent_path() / "qvr-plugin-host")) {
    fs::copy_file(qvr.parent_path() / "qvr-plugin-host", program / "qvr-plugin-host");
  }
  std::ofstream(program / "Qvr.ini", std::ios::binary)
      << "[Other]\r\nDrive=" << (root / "disc.cue").string() << "\r\nAutoPlay=1\r\nAutoDLGOpen=0\r\n";

  // A clean environment as a desktop session gives it, with a private runtime folder (no other
  // player running elsewhere takes the start for its own) and no session bus.
  std::vector<std::string> base;
  for (const char* name : {"PATH", "HOME", "LANG", "LC_ALL", "USER"}) {
    if (const char* value = std::getenv(name)) base.push_back(std::string(name) + "=" + value);
  }
  base.push_back("XDG_RUNTIME_DIR=" + runtime.string());
  // -noreset keeps Xvfb from starting over (and refusing connections meanwhile) each time its
  // last client leaves.
  const int number = FreeDisplay();
  const std::string display = ":" + std::to_string(number);
  const Server xvfb({"Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"}, base,
                    (root / "xvfb.log").string(), "/tmp/.X11-unix/X" + std::to_string(number));
  if (!xvfb.ready) {
    std::printf("player start: skipped, Xvfb did not start\n");
    return 0;
  }
  std::vector<std::string> player_environment = base;
  player_environment.push_back("DISPLAY=" + display);
  // A session bus, as on a desktop: without one, each connection attempt forks dbus-launch.
  std::unique_ptr<Server> bus;
  if (OnPath("dbus-daemon")) {
    const fs::path socket = root / "bus";
    bus = std::make_unique<Server>(
        std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--address=unix:path=" + socket.string()},
        base, (root / "bus.log").string(), socket.string());
    if (bus->ready) player_environment.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + socket.string());
  }
  player_environment.push_back("QT_QPA_PLATFORM=xcb");
  player_environment.push_back("SDL_AUDIODRIVER=disk");
  player_environment.push_back("SDL_DISKAUDIOFILE=" + (root / "qvr.raw").string());
  const std::vector<std::string> player{(program / "qvr").string()};
  const std::vector<std::string> mpv{"mpv",
                                     "--no-config",
                                     "--no-terminal",
                                     "--no-video",
                                     "--ao=pcm",
                                     "--ao-pcm-waveheader=no",
                                     "--ao-pcm-file=" + (root / "mpv.raw").string(),
                                     (root / "disc.wav").string()};

  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("player start to first audible sample, %d runs each (Xvfb %s, %s, SDL disk audio), medians\n", runs,
              display.c_str(), bus && bus->ready ? "a session bus" : "no session bus");
  const std::string player_log = (root / "qvr.log").string(), mpv_log = (root / "mpv.log").string();
  FirstAudible(player, player_environment, root / "qvr.raw", player_log, program.string());  // warms the caches
  FirstAudible(mpv, base, root / "mpv.raw", mpv_log);
  std::vector<double> ours, stick, ratio;
  for (int i = 0; i < runs; ++i) {
    const double a = FirstAudible(player, player_environment, root / "qvr.raw", player_log, program.string());
    const double b = FirstAudible(mpv, base, root / "mpv.raw", mpv_log);
    if (a < 0 || b < 0) {
      std::printf("player start: %s gave no audible sample within 20 s; it wrote:\n", a < 0 ? "qvr" : "mpv");
      std::fflush(stdout);
      std::ifstream log(a < 0 ? player_log : mpv_log);
      std::printf("%s", std::string(std::istreambuf_iterator<char>(log), {}).c_str());
      return 1;
    }
    ours.push_back(a);
    stick.push_back(b);
    ratio.push_back(a / b);
  }
  std::printf("%-14s %8.4f s  yardstick (mpv, WAV) %8.4f s  ratio %6.2f (%.2f..%.2f)\n", "player start", Median(ours),
              Median(stick), Median(ratio), *std::min_element(ratio.begin(), ratio.end()),
              *std::max_element(ratio.begin(), ratio.end()));
  return 0;
}
