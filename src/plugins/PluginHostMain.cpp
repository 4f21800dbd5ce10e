// qvr-plugin-host: runs one plug-in library for the player, in a process of its own, so that a
// plug-in that crashes or hangs takes only this process with it.
//
//   qvr-plugin-host LIBRARY PLAYER_PID      (the socket to the player is file descriptor 3)
//
// It loads the library once and then answers the player's requests in order until the socket
// closes, which ends it normally (the library's static destructors run). It dies with the player:
// the kernel kills it when its parent goes. What the plug-in prints goes to the player's error
// output; standard input is empty and standard output is redirected there too, so nothing a
// plug-in writes can be taken for a reply.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/Version.h"
#include "plugins/PluginLibrary.h"
#include "plugins/PluginProtocol.h"

// A plug-in's crash must end the host with the signal that caused it, so that the player can
// name it; the address sanitizer's own handlers would turn it into an exit code.
#if defined(__SANITIZE_ADDRESS__)
#define QVR_HOST_WITH_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QVR_HOST_WITH_ASAN 1
#endif
#endif
#if defined(QVR_HOST_WITH_ASAN)
extern "C" const char* __asan_default_options() {
  return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0";
}
#endif

namespace {

constexpr int kChannel = 3;

bool SendAll(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(kChannel, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

constexpr const char* kUsage =
    "使い方: qvr-plugin-host ライブラリ プレーヤーのPID\n"
    "QVR プレーヤーが起動するプラグインのホストです (ファイル記述子 3 がプレーヤーとのソケット)。\n"
    "  -h, --help     この説明を表示して終了します\n"
    "  -V, --version  バージョンを表示して終了します\n";

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (argc == 2 && (first == "-h" || first == "--help")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && (first == "-V" || first == "--version")) {
    std::printf("qvr-plugin-host (%s) %s\n", qvr::kProductName, qvr::kVersionNumber);
    return 0;
  }
  // The player passes absolute library paths, so an argument starting with "-" is an option.
  if (argc != 3 || (first.size() > 1 && first[0] == '-')) {
    if (first.size() > 1 && first[0] == '-')
      std::fprintf(stderr, "qvr-plugin-host: 不明なオプションです: %s\n", argv[1]);
    std::fputs(kUsage, stderr);
    return 2;
  }
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != static_cast<pid_t>(std::atol(argv[2]))) return 0;  // the player is already gone
  if (fcntl(kChannel, F_SETFD, FD_CLOEXEC) != 0) return 2;
  dup2(STDERR_FILENO, STDOUT_FILENO);

  qvr::PluginLibrary library(argv[1]);
  // The library's own start-up has run: a crash from here on is one in a call.
  if (!SendAll(qvr::EncodeFrame(qvr::EncodeRequest(qvr::PluginMessage::Loaded)))) return 0;
  qvr::FrameReader reader;
  char buffer[256];
  for (;;) {
    std::optional<std::string> request = reader.Next();
    if (!request) {
      if (reader.Broken()) return 3;
      ssize_t n = recv(kChannel, buffer, sizeof buffer, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return 0;  // the player closed the socket (or went)
      reader.Append(std::string_view(buffer, static_cast<std::size_t>(n)));
      continue;
    }
    std::string reply;
    if (*request == qvr::EncodeRequest(qvr::PluginMessage::Identify)) {
      reply = qvr::EncodeReply(library.Identify());
    } else if (*request == qvr::EncodeRequest(qvr::PluginMessage::Run)) {
      reply = qvr::EncodeReply(library.Run());
    } else {
      return 3;
    }
    if (!SendAll(qvr::EncodeFrame(reply))) return 0;
  }
}
