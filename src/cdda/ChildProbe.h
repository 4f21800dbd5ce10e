// Runs a risky read (a library's parser over a file of unknown origin) in a child process, so
// that a crash or a hang inside it ends only the child. The caller learns how the child ended.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace qvr {

enum class ProbeOutcome { Passed, Refused, Crashed, TimedOut, NotStarted };

// Forks, runs `body` in the child (true = the read went through) and waits at most `limit` for
// it, killing it when it takes longer. The child runs only `body` and leaves with _exit, so it
// needs nothing from the parent's other threads. NotStarted when the child cannot be started.
ProbeOutcome RunInChild(const std::function<bool()>& body, std::chrono::milliseconds limit);

}  // namespace qvr
