// A plug-in host process: spawning, the socket, reaping and killing.
#include "plugins/PluginHost.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "util/Error.h"

extern char** environ;

namespace qvr {
namespace {

// How long a host may take to end once its socket is closed or has broken, before it is killed.
constexpr auto kEndGrace = std::chrono::milliseconds(200);

// The file descriptor a host reads its socket from.
constexpr int kHostChannel = 3;

class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
};

}  // namespace

std::string SignalDescription(int signal_number) {
  const char* name = sigabbrev_np(signal_number);
  const char* description = sigdescr_np(signal_number);
  std::string text = name ? std::string("SIG") + name : "シグナル " + std::to_string(signal_number);
  if (description) text += std::string(" (") + description + ")";
  return text;
}

PluginHost::PluginHost(const std::filesystem::path& program, const std::string& library) : library_(library) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    throw Error("プラグインホストとの通信路を作れません: " + std::string(std::strerror(errno)));
  }
  SpawnSetup setup;
  // The host gets its end as descriptor 3, empty input, default signal handling and no blocked
  // signals, in a process group of its own (a terminal's Ctrl+C is the player's to handle).
  posix_spawn_file_actions_adddup2(&setup.actions, ends[1], kHostChannel);
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int signal_number : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, signal_number);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  const std::string program_text = program.string();
  const std::string parent = std::to_string(getpid());
  char* arguments[] = {const_cast<char*>(program_text.c_str()), const_cast<char*>(library.c_str()),
                       const_cast<char*>(parent.c_str()), nullptr};
  const int failed = posix_spawn(&pid_, program_text.c_str(), &setup.actions, &setup.attributes, arguments, environ);
  close(ends[1]);
  if (failed != 0) {
    close(ends[0]);
    throw Error("プラグインホスト [" + program_text + "] を起動できません: " + std::strerror(failed));
  }
  socket_ = ends[0];
  fcntl(socket_, F_SETFL, fcntl(socket_, F_GETFL) | O_NONBLOCK);
}

PluginHost::~PluginHost() {
  CloseSocket();
  const auto until = Clock::now() + kEndGrace;
  while (!Reap() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  Kill();
}

bool PluginHost::Send(PluginMessage request) {
  if (socket_ < 0 || broken_ || Reap()) return false;
  const std::string frame = EncodeFrame(EncodeRequest(request));
  // A request is a few bytes: it fits a socket buffer unless the host has stopped reading for
  // thousands of requests, which counts as gone.
  ssize_t n;
  do {
    n = send(socket_, frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n == static_cast<ssize_t>(frame.size())) return true;
  broken_ = true;  // Gone() tells how it ended
  return false;
}

std::optional<std::string> PluginHost::Receive() {
  if (socket_ >= 0 && !broken_) {
    char buffer[16384];
    for (;;) {
      ssize_t n = read(socket_, buffer, sizeof buffer);
      if (n > 0) {
        reader_.Append(std::string_view(buffer, static_cast<std::size_t>(n)));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) broken_ = true;  // closed: no more replies
      break;
    }
  }
  std::optional<std::string> body = reader_.Next();
  while (body && !loaded_ && *body == EncodeRequest(PluginMessage::Loaded)) {
    loaded_ = true;
    body = reader_.Next();
  }
  if (body) return body;
  if (reader_.Broken()) {
    broken_ = true;
    Kill();
    ending_ = "プラグインホストから不正な応答がありました";
  }
  return std::nullopt;
}

void PluginHost::WaitReadable(std::chrono::milliseconds timeout) const {
  if (socket_ < 0 || broken_) {
    std::this_thread::sleep_for(timeout);
    return;
  }
  pollfd entry{socket_, POLLIN, 0};
  poll(&entry, 1, static_cast<int>(timeout.count()));
}

bool PluginHost::Gone() {
  if (Reap()) return true;
  if (!broken_) return false;
  // The socket closed: the process is ending (or closed it itself). Give it a moment to end so
  // that its exit status can be told, then end it.
  const auto until = Clock::now() + kEndGrace;
  while (!Reap() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (!ended_) {
    Kill();
    if (ending_.empty()) ending_ = "プラグインホストとの通信が切れました";
  }
  return true;
}

bool PluginHost::Reap() {
  if (ended_) return true;
  if (pid_ <= 0) return ended_ = true;
  // Looked at without reaping: until it is reaped, the ended host keeps its process ID and so
  // its group's ID, and the group (children a plug-in forked) can be ended without hitting a
  // process that took the number over.
  siginfo_t info{};
  int looked;
  do {
    looked = waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
  } while (looked < 0 && errno == EINTR);
  if (looked == 0 && info.si_pid == 0) return false;
  if (looked == 0) kill(-pid_, SIGKILL);
  int status = 0;
  pid_t result;
  do {
    result = waitpid(pid_, &status, WNOHANG);
  } while (result < 0 && errno == EINTR);
  if (result == 0) return false;
  ended_ = true;
  if (result == pid_) Describe(status);
  return true;
}

void PluginHost::Kill() {
  if (ended_ || pid_ <= 0) return;
  kill(-pid_, SIGKILL);  // the host leads its group: itself and what it started
  kill(pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  ended_ = true;
}

void PluginHost::CloseSocket() {
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
}

void PluginHost::Describe(int status) {
  if (!ending_.empty()) return;
  if (WIFSIGNALED(status)) {
    signaled_ = true;
    ending_ = SignalDescription(WTERMSIG(status));
  } else if (WIFEXITED(status)) {
    ending_ = "終了コード " + std::to_string(WEXITSTATUS(status));
  }
}

}  // namespace qvr
