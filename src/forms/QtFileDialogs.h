// The file and folder dialog port over Qt's dialogs.
#pragma once

#include "dialogs/FileDialogs.h"

#include <QString>

class QFileDialog;

namespace qvr {

class QtFileDialogs final : public FileDialogPort {
 public:
  std::optional<std::string> Ask(const FileDialogRequest& request) override;
};

// A filter entry as Qt's dialogs take it: "description (*.bmp *.png)", each pattern once, in
// lower case. A list of patterns the description itself ends with ("画像ファイル(*.BMP;*.PNG)")
// is dropped, since the dialog shows the patterns after it; "*.*" is "*" (a name without a dot
// is a file too). Qt's own dialog, which the program uses, matches patterns in either letter
// case, as the file systems the program's filter texts come from did.
QString QtFilterText(const FileFilter& filter);

// Readies Qt's own file dialog for the program: accessible names, a size with room for the
// Japanese headers, the detail columns as wide as what they show, sizes, types and dates in
// Japanese whatever the system's locale ("フォルダ", "12.5 KB", "2024/03/15 09:30"), and a
// sidebar wide enough for its entries' names.
void PrepareFileDialog(QFileDialog& dialog);

}  // namespace qvr
