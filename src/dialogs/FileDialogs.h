// The file and folder dialogs the dialogs use: a port (one Qt implementation, one recording
// double for tests) and FileDialogs, which remembers the folder each purpose was last in so
// that a browse button opens where the user last left it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvr {

// One entry of a file type list: its description and its name patterns ("*.lrc").
struct FileFilter {
  std::string description;  // UTF-8
  std::vector<std::string> patterns;
  friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

// Splits a filter list written as "description|pattern;pattern|description|pattern" (the form
// the program's filter texts are written in) into entries. A trailing description without
// patterns is dropped.
std::vector<FileFilter> ParseFileFilters(std::string_view text);

enum class FileDialogKind : unsigned char {
  OpenExisting,  // open a file; the file and its folder must exist
  Save,          // save a file; asks before an existing file is replaced
  Folder,        // choose a folder; the user may type one that does not exist yet
};

// What a dialog asks for. Paths are in the file system's encoding (UTF-8 on Linux).
struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::OpenExisting;
  std::string title;                // UTF-8 caption
  std::vector<FileFilter> filters;  // file dialogs only; the first is selected
  std::string folder;               // where the dialog opens; empty: the user's home folder
  std::string file_name;            // the name proposed in the name box (no folder)
  std::string default_suffix;       // appended to a typed name without one ("QVR" gives ".QVR")
  friend bool operator==(const FileDialogRequest&, const FileDialogRequest&) = default;
};

// The port. Runs one modal dialog on the GUI thread and returns the chosen path (absolute), or
// nothing when the user cancelled. Raises no error.
class FileDialogPort {
 public:
  virtual ~FileDialogPort() = default;
  virtual std::optional<std::string> Ask(const FileDialogRequest& request) = 0;
};

// The dialogs as the program's windows use them. Each purpose ("jacket", "lyrics", "playlist",
// ...) remembers the folder of its last choice for the life of this object. A dialog opens in
// the folder of the current value when that folder exists, else where the purpose was last
// left, else in the home folder.
class FileDialogs {
 public:
  explicit FileDialogs(FileDialogPort& port) : port_(port) {}

  // A file that must exist. `current` is the path the field holds now (may be empty).
  std::optional<std::string> OpenFile(std::string_view purpose, std::string title, std::vector<FileFilter> filters,
                                      std::string_view current);
  // A file to write; `current` proposes folder and name. The dialog asks before overwriting.
  std::optional<std::string> SaveFile(std::string_view purpose, std::string title, std::vector<FileFilter> filters,
                                      std::string_view current, std::string default_suffix);
  // A folder; `current` is the folder the field holds now.
  std::optional<std::string> ChooseFolder(std::string_view purpose, std::string title, std::string_view current);

  // The folder the purpose was last left in (empty when never used).
  std::string LastFolder(std::string_view purpose) const;

 private:
  std::optional<std::string> Run(std::string_view purpose, FileDialogRequest request, std::string_view current,
                                 bool current_is_folder);

  FileDialogPort& port_;
  std::map<std::string, std::string, std::less<>> last_folder_;
};

}  // namespace qvr
