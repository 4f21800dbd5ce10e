// Qt's file and folder dialogs behind the port. The dialog opens over the active window.
#include "forms/QtFileDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QSet>
#include <QStringList>
#include <QTreeView>
#include <algorithm>

#include "forms/Accessibility.h"

namespace qvr {

QString QtFilterText(const FileFilter& filter) {
  QStringList patterns;
  for (const std::string& pattern : filter.patterns) {
    QString text = QString::fromStdString(pattern).toLower();
    if (text == QStringLiteral("*.*")) text = QStringLiteral("*");
    if (!patterns.contains(text)) patterns << text;
  }
  QString description = QString::fromStdString(filter.description).trimmed();
  if (description.endsWith(u')') || description.endsWith(u'）')) {
    const qsizetype open = std::max(description.lastIndexOf(u'('), description.lastIndexOf(u'（'));
    if (open > 0 && description.mid(open).contains(u'*')) description = description.left(open).trimmed();
  }
  return description + " (" + patterns.join(' ') + ")";
}

std::optional<std::string> QtFileDialogs::Ask(const FileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title));
  // Qt's own dialog, not the desktop's: it speaks Japanese with Qt's translations whatever the
  // locale, and matches the filters in either letter case.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
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
  NameControls(&dialog);
  // Room for the Japanese column headers and whole dates.
  dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 460)));
  // The detail view's size, type and date columns as wide as what they show; the name takes the rest.
  if (auto* details = dialog.findChild<QTreeView*>()) {
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column) {
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace qvr
