// The single-instance guard: an exclusive lock on a file named after the guard in the user's
// private runtime folder. The lock lives as long as the object (and so the process); a second
// program that cannot take it knows that one is running. The folder is the user's alone (made
// 0700, checked to be a real folder of this user), so no other user can hold the lock, and no
// link planted in it is ever followed; it is the place for the program's other per-session
// files too.
#pragma once

#include <filesystem>
#include <string_view>

namespace qvr {

class SingleInstance {
 public:
  // Takes the lock file `name` in `folder` without waiting, making the folder (0700) when it is
  // missing. A folder that is a link or another user's, or a lock file that is a link, not a
  // regular file or another user's, is refused: the guard then guards nothing and stops
  // nothing (Acquired and OtherInstanceRunning are both false), like a lock that cannot be made.
  SingleInstance(std::string_view name, const std::filesystem::path& folder);
  explicit SingleInstance(std::string_view name) : SingleInstance(name, RuntimeFolder()) {}
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  bool Acquired() const { return descriptor_ >= 0; }
  // True only when another program of this user holds the lock.
  bool OtherInstanceRunning() const { return other_running_; }
  // The private folder the lock is in; empty when it was refused.
  const std::filesystem::path& Folder() const { return folder_; }

  // The user's private runtime folder for the program: "qvr" in $XDG_RUNTIME_DIR when that is
  // a folder of this user closed to others, else "qvr-runtime-<host>" in the user's data folder
  // (never the shared temporary folder).
  static std::filesystem::path RuntimeFolder();
  // The hand-over socket of a guard name: beside its lock file, in the same private folder.
  static std::filesystem::path HandOverSocket(std::string_view name);

 private:
  int descriptor_ = -1;
  bool other_running_ = false;
  std::filesystem::path folder_;
};

}  // namespace qvr
