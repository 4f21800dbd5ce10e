// Qt's file and folder dialogs behind the port. The dialog opens over the active window.
#include "forms/QtFileDialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QListView>
#include <QSet>
#include <QSplitter>
#include <QStringList>
#include <QTreeView>
#include <algorithm>

#include "forms/Accessibility.h"

namespace qvr {
namespace {

// The detail view's columns of Qt's file system model.
enum Column { kNameColumn = 0, kSizeColumn = 1, kTypeColumn = 2, kDateColumn = 3 };

// A file's size as Japanese file managers show it: bytes up to 1 KB, then KB, MB, GB with one
// decimal below ten.
QString JapaneseSize(qint64 bytes) {
  if (bytes < 1024) return QString::number(bytes) + QString::fromUtf8(" バイト");
  const char* const units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  return QString::number(value, 'f', value < 10 ? 1 : 0) + ' ' + units[unit];
}

// Qt's file system model with the size, type and date columns in Japanese: Qt takes them from
// the system's locale (English dates and "bytes" under the C locale), and its Japanese
// translation lacks the folder's type.
class JapaneseFileColumns final : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!files || role != Qt::DisplayRole || index.column() == kNameColumn) {
      return QIdentityProxyModel::data(index, role);
    }
    const QFileInfo info = files->fileInfo(mapToSource(index));
    switch (index.column()) {
      case kSizeColumn: return info.isDir() ? QString() : JapaneseSize(info.size());
      case kTypeColumn:
        if (info.isDir()) return QString::fromUtf8("フォルダ");
        return QIdentityProxyModel::data(index, role);
      case kDateColumn: return info.lastModified().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
      default: return QIdentityProxyModel::data(index, role);
    }
  }
};

}  // namespace

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

void PrepareFileDialog(QFileDialog& dialog) {
  dialog.setProxyModel(new JapaneseFileColumns(&dialog));
  NameControls(&dialog);
  // Room for the Japanese column headers and whole dates.
  dialog.resize(dialog.sizeHint().expandedTo(QSize(760, 460)));
  // The detail view's size, type and date columns as wide as what they show; the name takes the rest.
  if (auto* details = dialog.findChild<QTreeView*>()) {
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    for (int column = kSizeColumn; column < header->count(); ++column) {
      header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
  }
  // The sidebar as wide as its longest entry ("コンピュータ" was cut to "コンピ…").
  auto* sidebar = dialog.findChild<QListView*>(QStringLiteral("sidebar"));
  auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("splitter"));
  if (sidebar && splitter && splitter->count() == 2 && sidebar->model()) {
    int widest = 0;
    for (int row = 0; row < sidebar->model()->rowCount(); ++row) {
      const QString name = sidebar->model()->index(row, 0).data().toString();
      widest = std::max(widest, sidebar->fontMetrics().horizontalAdvance(name));
    }
    // Icon, spacing, frame and a scroll bar's room besides the text.
    const int wanted = widest + sidebar->iconSize().width() + 4 * sidebar->spacing() + 40;
    const int total = splitter->width() > 0 ? splitter->width() : dialog.width();
    splitter->setSizes({wanted, std::max(total - wanted, total / 2)});
  }
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
  PrepareFileDialog(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace qvr
