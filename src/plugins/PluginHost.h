// One plug-in host process as the player sees it: started with posix_spawn, spoken to over a
// Unix socket, never waited on without a time limit. The player's end of the socket is
// non-blocking and written with MSG_NOSIGNAL, so a host that is gone costs an error code, never a
// SIGPIPE. A host that ends on its own is reaped and its end described ("SIGSEGV ...", "終了コード
// 3"); Kill ends one that hangs. GUI thread only.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "plugins/PluginProtocol.h"

namespace qvr {

class PluginHost {
 public:
  using Clock = std::chrono::steady_clock;

  // Starts `program` for the library at `library`. Raises Error when the process cannot be
  // started, with the system's reason.
  PluginHost(const std::filesystem::path& program, const std::string& library);
  // Closes the socket; a host that has not ended within a moment of that is killed.
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  const std::string& Library() const { return library_; }
  pid_t Pid() const { return pid_; }
  int Socket() const { return socket_; }

  // Sends a request. False when the host is gone (it cannot take it any more).
  bool Send(PluginMessage request);
  // Reads what has arrived without waiting and returns the next whole reply body, if any. A
  // closed socket or a frame beyond the protocol's bounds makes the host Gone (and a broken one
  // is killed).
  std::optional<std::string> Receive();
  // Waits up to `timeout` for something to read on the socket (or for it to close).
  void WaitReadable(std::chrono::milliseconds timeout) const;

  // True once the host can answer no more: its process ended or its socket broke.
  bool Gone();
  // How it went, for the user: "SIGSEGV (Segmentation fault)", "終了コード 3", or why the
  // socket broke. Empty while the host is running.
  const std::string& Ending() const { return ending_; }
  // True when the process was ended by a signal (a crash, or a kill from outside).
  bool Signaled() const { return signaled_; }
  // True once the host said that loading its library is over (read by Receive): a host that
  // ends before that ended inside the library's own start-up.
  bool Loaded() const { return loaded_; }

  // Ends the process and everything in its process group (what the plug-in started) at once
  // (SIGKILL) and reaps it.
  void Kill();
  // Closes the player's end of the socket: a healthy host then ends on its own.
  void CloseSocket();
  // Reaps the process if it has ended; true when it has. What the plug-in left running in the
  // host's process group is ended first.
  bool Reap();

 private:
  void Describe(int status);

  std::string library_;
  pid_t pid_ = -1;
  int socket_ = -1;
  bool ended_ = false;   // the process was reaped
  bool broken_ = false;  // the socket closed or carried a frame beyond the bounds
  bool signaled_ = false;
  bool loaded_ = false;
  std::string ending_;
  FrameReader reader_;
};

// "SIGSEGV (Segmentation fault)" for a signal number.
std::string SignalDescription(int signal_number);

}  // namespace qvr
