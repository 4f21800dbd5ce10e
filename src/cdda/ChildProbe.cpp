// fork, a bounded wait with waitpid, and SIGKILL for a child that does not finish.
#include "cdda/ChildProbe.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

// Present when the program runs under a sanitizer (tests, fuzzing): its report of a fault in
// the child must end only the child, like the fault itself would.
// NOLINTNEXTLINE(bugprone-reserved-identifier): the runtime's own name, weak so that any program links
extern "C" void __sanitizer_set_death_callback(void (*callback)()) __attribute__((weak));

namespace qvr {
namespace {

constexpr int kCrashedStatus = 70;

[[noreturn]] void EndChildAsCrashed() { _exit(kCrashedStatus); }

// The child's faults end it with the default action, whatever handlers the parent installed.
void DefaultFaultHandling() {
  for (int signal_number : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGALRM}) ::signal(signal_number, SIG_DFL);
  if (__sanitizer_set_death_callback != nullptr) __sanitizer_set_death_callback(EndChildAsCrashed);
}

}  // namespace

ProbeOutcome RunInChild(const std::function<bool()>& body, std::chrono::milliseconds limit) {
  const pid_t child = fork();
  if (child < 0) return ProbeOutcome::NotStarted;
  if (child == 0) {
    DefaultFaultHandling();
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
  if (!WIFEXITED(status) || WEXITSTATUS(status) == kCrashedStatus) return ProbeOutcome::Crashed;
  return WEXITSTATUS(status) == 0 ? ProbeOutcome::Passed : ProbeOutcome::Refused;
}

}  // namespace qvr
