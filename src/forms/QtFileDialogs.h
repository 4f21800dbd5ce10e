// The file and folder dialog port over Qt's dialogs.
#pragma once

#include "dialogs/FileDialogs.h"

#include <QString>

namespace qvr {

class QtFileDialogs final : public FileDialogPort {
 public:
  std::optional<std::string> Ask(const FileDialogRequest& request) override;
};

// A filter entry as Qt's dialogs take it: "description (*.bmp *.BMP)". Patterns are matched in
// either letter case, as they were on the file systems the program's filter texts come from.
QString QtFilterText(const FileFilter& filter);

}  // namespace qvr
