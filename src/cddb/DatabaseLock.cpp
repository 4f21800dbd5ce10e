// flock on the database folder, counted per folder within the process.
#include "cddb/DatabaseLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "util/Error.h"

namespace qvr {

// One folder this process holds the lock on: the descriptor carrying the flock and how many
// operations hold it in each mode.
struct DatabaseLock::Holding {
  int fd = -1;
  int shared = 0;
  int exclusive = 0;
};

namespace {

using FolderId = std::pair<dev_t, ino_t>;

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<FolderId, DatabaseLock::Holding*>& Registry() {
  static std::map<FolderId, DatabaseLock::Holding*> registry;
  return registry;
}

// Waits for flock(fd, operation) as long as another process holds a conflicting lock.
void Flock(int fd, int operation, const std::filesystem::path& folder) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(DatabaseLock::kWaitSeconds);
  auto pause = std::chrono::microseconds(200);
  while (flock(fd, operation | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      throw Error(FormatMessage("データベースのフォルダ %s をロックできません", folder.string()) + ": " +
                  std::strerror(errno));
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      throw Error(FormatMessage("データベース %s は他のプログラムが使用中です。しばらくしてからやり直してください",
                                folder.string()));
    }
    std::this_thread::sleep_for(pause);
    pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(20));
  }
}

}  // namespace

DatabaseLock::DatabaseLock(const std::filesystem::path& folder, Mode mode) : holding_(nullptr), mode_(mode) {
  int fd = -1;
  do {
    fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    throw Error(FormatMessage("データベースのフォルダ %s を開けません", folder.string()) + ": " + std::strerror(errno));
  }
  struct stat state {};
  fstat(fd, &state);
  const FolderId id{state.st_dev, state.st_ino};

  std::lock_guard guard(RegistryMutex());
  auto& registry = Registry();
  auto found = registry.find(id);
  if (found == registry.end()) {
    auto* holding = new Holding{fd, 0, 0};
    try {
      Flock(fd, mode == Mode::Exclusive ? LOCK_EX : LOCK_SH, folder);
    } catch (...) {
      close(fd);
      delete holding;
      throw;
    }
    found = registry.emplace(id, holding).first;
  } else {
    close(fd);
    // Raised to exclusive while an outer operation holds it shared.
    if (mode == Mode::Exclusive && found->second->exclusive == 0) Flock(found->second->fd, LOCK_EX, folder);
  }
  holding_ = found->second;
  (mode == Mode::Exclusive ? holding_->exclusive : holding_->shared) += 1;
}

DatabaseLock::~DatabaseLock() {
  std::lock_guard guard(RegistryMutex());
  (mode_ == Mode::Exclusive ? holding_->exclusive : holding_->shared) -= 1;
  if (holding_->exclusive > 0) return;
  if (holding_->shared > 0) {
    // Back to shared for the outer operations; flock converts in place.
    if (mode_ == Mode::Exclusive) {
      while (flock(holding_->fd, LOCK_SH) != 0 && errno == EINTR) {
      }
    }
    return;
  }
  auto& registry = Registry();
  for (auto at = registry.begin(); at != registry.end(); ++at) {
    if (at->second == holding_) {
      registry.erase(at);
      break;
    }
  }
  close(holding_->fd);  // releases the lock
  delete holding_;
}

std::filesystem::path DatabaseFolder(const std::filesystem::path& master_path) {
  std::filesystem::path folder = master_path.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

}  // namespace qvr
