// The single-instance guard: an exclusive lock on a file named after the guard in the user's
// runtime folder. The lock lives as long as the object (and so the process); a second program
// that cannot take it knows that one is running.
#pragma once

#include <filesystem>
#include <string_view>

namespace qvr {

class SingleInstance {
 public:
  // Takes the lock on `file` without waiting; Acquired() tells whether it was taken.
  explicit SingleInstance(const std::filesystem::path& file);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  bool Acquired() const { return descriptor_ >= 0; }
  // True only when another program holds the lock. A lock file that cannot be opened at all
  // (no runtime folder, no permission) guards nothing but does not stop this program either.
  bool OtherInstanceRunning() const { return other_running_; }

  // The lock file for a guard name: $XDG_RUNTIME_DIR/name, or, without a runtime folder, a file
  // in the temporary folder that carries the user's id.
  static std::filesystem::path LockFile(std::string_view name);
  // The hand-over socket of a guard name: beside its lock file, so that it shares the lock's
  // folder and rules.
  static std::filesystem::path HandOverSocket(std::string_view name);

 private:
  int descriptor_ = -1;
  bool other_running_ = false;
};

}  // namespace qvr
