// The single-instance guard: an exclusive lock on a file named after the guard in the user's
// private runtime folder. The lock lives as long as the object (and so the process); a second
// program that cannot take it knows that one is running. The folder is the user's alone (made
// 0700, checked to be a real folder of this user), so no other user can hold the lock, and no
// link planted in it is ever followed; it is the place for the program's other per-session
// files too (the hand-over socket).
//
// A folder that fails those checks (another user's, a link) is passed over for the next one the
// program knows, and the guard says why: every start of the program passes over the same
// folder, so they still meet in the next one. When none can be used the guard holds nothing,
// and the program refuses to start rather than run a second player unannounced.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

class SingleInstance {
 public:
  // Takes the lock file `name` in the first of `folders` that can be used, without waiting,
  // making a missing folder (0700). A folder that is a link or another user's, or a lock file
  // that is a link, not a regular file or another user's, is refused and the next folder tried.
  // When all are refused the guard guards nothing and stops nothing (Acquired and
  // OtherInstanceRunning are both false), like a lock that cannot be made.
  SingleInstance(std::string_view name, const std::vector<std::filesystem::path>& folders);
  SingleInstance(std::string_view name, const std::filesystem::path& folder)
      : SingleInstance(name, std::vector<std::filesystem::path>{folder}) {}
  explicit SingleInstance(std::string_view name) : SingleInstance(name, RuntimeFolders()) {}
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  bool Acquired() const { return descriptor_ >= 0; }
  // True only when another program of this user holds the lock.
  bool OtherInstanceRunning() const { return other_running_; }
  // The private folder the lock is in; empty when every folder was refused.
  const std::filesystem::path& Folder() const { return folder_; }
  // Why folders were passed over ("folder を使えません: reason", one line each); empty when the
  // first was used.
  const std::string& Refusals() const { return refusals_; }
  // The hand-over socket of the guard: beside its lock file, in the same private folder (empty
  // when every folder was refused).
  std::filesystem::path HandOverSocket() const;

  // The user's private runtime folders for the program, in the order they are tried: "qvr" in
  // $XDG_RUNTIME_DIR when that is a folder of this user closed to others, then
  // "qvr-runtime-<host>" in the user's data folder (never the shared temporary folder).
  static std::vector<std::filesystem::path> RuntimeFolders();
  // The first of them.
  static std::filesystem::path RuntimeFolder() { return RuntimeFolders().front(); }

 private:
  // Tries one folder: "" when it could be used (locked, or another program holds the lock),
  // else why not.
  std::string TryFolder(const std::string& name, const std::filesystem::path& folder);

  int descriptor_ = -1;
  bool other_running_ = false;
  std::filesystem::path folder_;
  std::string name_;
  std::string refusals_;
};

}  // namespace qvr
