// Qt's file and folder dialogs behind the port. The dialog opens over the active window.
#include "forms/QtFileDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QSet>
#include <QStringList>

namespace qvr {

QString QtFilterText(const FileFilter& filter) {
  QStringList patterns;
  for (const std::string& pattern : filter.patterns) {
    const QString text = QString::fromStdString(pattern);
    for (const QString& form : {text, text.toLower(), text.toUpper()}) {
      if (!patterns.contains(form)) patterns << form;
    }
  }
  return QString::fromStdString(filter.description) + " (" + patterns.join(' ') + ")";
}

std::optional<std::string> QtFileDialogs::Ask(const FileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title));
  dialog.setOption(QFileDialog::DontUseNativeDialog, false);
  dialog.setOption(QFileDialog::ReadOnly, false);
  const QString folder = request.folder.empty() ? QDir::homePath() : QString::fromStdString(request.folder);
  dialog.setDirectory(folder);
  switch (request.kind) {
    case FileDialogKind::OpenExisting:
      dialog.setAcceptMode(QFileDialog::AcceptOpen);
      dialog.setFileMode(QFileDialog::ExistingFile);
      break;
    case FileDialogKind::Save:
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setFileMode(QFileDialog::AnyFile);
      dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
      if (!request.default_suffix.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.default_suffix));
      break;
    case FileDialogKind::Folder:
      dialog.setAcceptMode(QFileDialog::AcceptOpen);
      dialog.setFileMode(QFileDialog::Directory);
      dialog.setOption(QFileDialog::ShowDirsOnly, true);
      break;
  }
  if (request.kind != FileDialogKind::Folder && !request.filters.empty()) {
    QStringList filters;
    for (const FileFilter& filter : request.filters) filters << QtFilterText(filter);
    dialog.setNameFilters(filters);
  }
  if (!request.file_name.empty()) dialog.selectFile(QString::fromStdString(request.file_name));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace qvr
