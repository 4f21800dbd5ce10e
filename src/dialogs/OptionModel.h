// The options dialog's working copy: the values its controls show, the snapshot taken when it
// opened and after each Apply, whether anything changed since (which enables Apply and Undo),
// the built-in defaults, and the folder and drive choices with their checks. No Qt: the dialog
// in forms/ shows it and forwards each control's change.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/TQVRDM.h"
#include "dialogs/FileDialogs.h"

namespace qvr {

// What a folder or drive choice did.
struct OptionChoice {
  enum class Outcome : unsigned char {
    Cancelled,  // the user closed the file or folder dialog
    Chosen,     // the field holds the choice
    Declined,   // the user would not have a missing folder created; the field is as it was
    Failed,     // the choice cannot be used; `message` says why and the field is as it was
  };
  Outcome outcome = Outcome::Cancelled;
  std::string message;  // UTF-8, for a message box
};

class OptionModel {
 public:
  // Hands the values to the controller's ApplyOptions; false when that failed (the error was
  // shown already).
  using ApplyFunction = std::function<bool(const TOptionValues&)>;
  // Asks the user whether a folder that does not exist (UTF-8 path) is to be created.
  using CreateQuestion = std::function<bool(const std::string& folder)>;

  OptionModel(TOptionValues current, TOptionValues defaults, std::filesystem::path program_folder, ApplyFunction apply);

  const TOptionValues& Values() const { return values_; }
  const TOptionValues& Snapshot() const { return snapshot_; }
  // Apply and Undo are enabled: something was edited since the dialog opened or the last Apply.
  bool Changed() const { return changed_; }

  // One control's edit of the working copy; enables Apply and Undo.
  template <class Edit>
  void Change(Edit&& edit) {
    edit(values_);
    changed_ = true;
  }
  // The built-in defaults into every control (nothing is applied yet).
  void Default();
  // Every control back to the snapshot.
  void Undo();
  // Applies the values now and takes a new snapshot. When the controller fails, the edits stay
  // and Apply stays enabled.
  bool Apply();

  enum class Folder : unsigned char { DataBase, Plugin };
  // The folder field (UTF-8) and the folder the browse button starts in: the field's folder when
  // it exists, else the program folder.
  std::string FolderText(Folder folder) const;
  std::string StartFolder(Folder folder) const;
  // Runs the folder dialog for the field and takes its answer through AcceptFolder.
  OptionChoice BrowseFolder(Folder folder, FileDialogs& files, const CreateQuestion& ask_create);
  // Takes a folder the user chose or typed (UTF-8): a missing folder is created once the user
  // agrees; the value gets its trailing separator and is kept in Shift-JIS.
  OptionChoice AcceptFolder(Folder folder, const std::string& chosen, const CreateQuestion& ask_create);

  // The "Drive" setting: empty for the system's default drive, a drive's device path, a disc
  // image or a folder of images (UTF-8 here, Shift-JIS in the values).
  std::string DriveText() const;
  OptionChoice SetDrive(const std::string& drive);
  // Browse for an image file (.cue, .toc, .nrg, .bin, .flac; a .bin with a cue sheet of the same name
  // beside it is taken as that sheet) or for a folder of images.
  OptionChoice BrowseDriveImage(FileDialogs& files);
  OptionChoice BrowseDriveFolder(FileDialogs& files);

 private:
  TOptionValues values_;
  TOptionValues snapshot_;
  TOptionValues defaults_;
  std::filesystem::path program_folder_;
  ApplyFunction apply_;
  bool changed_ = false;
};

// How the drive choice names a "Drive" value (UTF-8): the default drive, a drive, an image or a
// folder of images.
std::string DriveCaption(const std::string& drive);

}  // namespace qvr
