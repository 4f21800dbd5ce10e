// Hand-over of a path from a second start of the player to the one that runs: the running
// player listens on a local socket beside its single-instance lock (the user's runtime folder);
// the second start sends the path there, waits for the answer and ends, with the running
// player's reason when it cannot use the path.
//
// Message: the path's length as 4 bytes (little-endian), then its bytes (at most kMaxPath).
// Answer: one byte 'K' once the running player has taken the path; or 'E', the reason's length
// as 4 bytes (little-endian, at most kMaxReason) and the reason (UTF-8) when it cannot use it.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace qvr {

class HandOverServer {
 public:
  static constexpr std::size_t kMaxPath = 4096;
  static constexpr std::size_t kMaxReason = 16384;

  // Listens on `socket` (replacing a socket file a crashed player left behind; the caller holds
  // the single-instance lock, so no other player uses it). `take` runs on the GUI thread once per
  // path received and answers at once: empty when the player takes the path (switching to it
  // afterwards, from the event loop), else why it cannot. It must not wait for the user.
  HandOverServer(const std::filesystem::path& socket, std::function<std::string(const std::string&)> take);
  ~HandOverServer();
  HandOverServer(const HandOverServer&) = delete;
  HandOverServer& operator=(const HandOverServer&) = delete;

  bool Listening() const { return descriptor_ >= 0; }

 private:
  void Accept();

  std::function<std::string(const std::string&)> take_;
  int descriptor_ = -1;                        // the listening socket
  std::unique_ptr<QSocketNotifier> notifier_;  // its news of connections
  std::unique_ptr<QObject> connections_;       // parent of the open connections' readers
  std::filesystem::path socket_;
};

// What the running player answered to a path.
struct HandOverAnswer {
  bool answered = false;  // false: no player took the message (none listening, or it went)
  std::string refusal;    // why the player cannot use the path (UTF-8); empty: it took it
};

// Sends `path` to the player listening on `socket` and waits for its answer. While the running
// player is still starting (no one listens yet) it tries again until `timeout` has passed.
// Needs no Qt application.
HandOverAnswer SendHandOver(const std::filesystem::path& socket, const std::string& path,
                            std::chrono::milliseconds timeout);

}  // namespace qvr
