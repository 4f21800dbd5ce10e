// Hand-over of a path from a second start of the player to the one that runs: the running
// player listens on a local socket beside its single-instance lock (the user's runtime folder);
// the second start sends the path there, waits for the receipt and ends.
//
// Message: the path's length as 4 bytes (little-endian), then its bytes (at most kMaxPath).
// Receipt: one byte 'K' once the running player has taken the path.
#pragma once

#include <QLocalServer>
#include <QObject>
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

  // Listens on `socket` (replacing a socket file a crashed player left behind; the caller holds
  // the single-instance lock, so no other player uses it). `receive` runs on the GUI thread
  // once per path received.
  HandOverServer(const std::filesystem::path& socket, std::function<void(const std::string&)> receive);
  ~HandOverServer();
  HandOverServer(const HandOverServer&) = delete;
  HandOverServer& operator=(const HandOverServer&) = delete;

  bool Listening() const { return server_->isListening(); }

 private:
  void Accept();

  std::function<void(const std::string&)> receive_;
  std::unique_ptr<QLocalServer> server_;
  std::filesystem::path socket_;
};

// Sends `path` to the player listening on `socket` and waits for its receipt. While the running
// player is still starting (no one listens yet) it tries again until `timeout` has passed.
// Returns false when the path could not be handed over. Needs no Qt application.
bool SendHandOver(const std::filesystem::path& socket, const std::string& path, std::chrono::milliseconds timeout);

}  // namespace qvr
