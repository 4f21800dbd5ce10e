// fork, a bounded wait with waitpid, and SIGKILL for a child that does not finish.
#include "cdda/ChildProbe.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace qvr {

ProbeOutcome RunInChild(const std::function<bool()>& body, std::chrono::milliseconds limit) {
  const pid_t child = fork();
  if (child < 0) return ProbeOutcome::Refused;
  if (child == 0) {
    bool passed = false;
    try {
      passed = body();
    } catch (...) {
      passed = false;
    }
    _exit(passed ? 0 : 1);
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  auto pause = std::chrono::microseconds(100);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (done < 0 && errno != EINTR) return ProbeOutcome::Crashed;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(child, SIGKILL);
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
      return ProbeOutcome::TimedOut;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(10));
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status) == 0 ? ProbeOutcome::Passed : ProbeOutcome::Refused;
  return ProbeOutcome::Crashed;
}

}  // namespace qvr
