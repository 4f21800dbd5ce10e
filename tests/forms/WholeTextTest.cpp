// Every text whole and every control reachable: the program's longest messages in the dialogs'
// status bars at their default sizes, a message box about a 100 kB path, and a walk of each
// dialog's accessibility tree (Qt's own accessibility interfaces, as a screen reader sees them)
// for controls without a name and for English words of Qt's that the Japanese translations
// should have replaced. With QVR_SCREENSHOT_DIR set, each window is saved there as a picture.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <functional>

#include "forms/Accessibility.h"
#include "forms/DesktopFixture.h"
#include "forms/MessageText.h"
#include "forms/QtFileDialogs.h"
#include "forms/SaleDateEdit.h"
#include "forms/TDiscRegDLG.h"
#include "forms/TOptionDlg.h"
#include "support/RecordingFileDialogs.h"

namespace qvr::test {
namespace {

void Shot(QWidget& window, const QString& name) {
  const QByteArray folder = qgetenv("QVR_SCREENSHOT_DIR");
  if (!folder.isEmpty()) window.grab().save(QString::fromUtf8(folder) + "/" + name + ".png");
}

// The program's longest messages, as the dialogs' status bars show them.
const char* const kMessages[] = {
    "MusicBrainz: サーバー musicbrainz.org が見つかりません。ネットワークに接続されているか確かめてください",
    "このデスクトップ (不明) の壁紙は変更できません。GNOME、KDE Plasma、Xfce、Cinnamon、MATE で使えます",
    "CD-TEXTから5項目を入力しました (更新で登録します)",
    "MusicBrainz とgnudb の「とても長い題名のアルバム　デラックス・エディション "
    "(リマスター)」とカバー画像を入力しました",
    "カバー画像を保存できません: /home/user/.local/share/qvr/DB/Jacket/0137EBFA.jpg.tmp-12345: No space left on "
    "device (デバイスに空き領域がありません)",
    "発売日「2021年2月30日」は日付として読めません (例: 2024/3/15、空欄は不明)",
};

// The status bar shows the whole message: the label's text needs no more height than it has,
// and the bar lies inside the dialog.
void ExpectWholeInStatusBar(ModalDialog& dialog, const QString& message) {
  dialog.ShowStatus(message);
  QApplication::processEvents();
  QLabel* bar = dialog.StatusBar();
  EXPECT_EQ(dialog.CurrentHintText(), message);
  EXPECT_LE(bar->heightForWidth(bar->width()), bar->height()) << message.toStdString();
  EXPECT_TRUE(dialog.rect().contains(bar->geometry())) << message.toStdString();
}

// Walks the accessibility tree under `interface`: every interactive control that can be seen has
// a name, and no name, description or shown text holds an English word of Qt's.
void Walk(QAccessibleInterface* interface, const QString& where, QStringList& problems, int depth = 0) {
  if (!interface || depth > 40) return;
  static const QRegularExpression english(
      QStringLiteral("\\b(Yes|No|Cancel|Save|Open|Look in|File name|Files of type|Directory|Select|Font|Size|"
                     "Style|Sample|Effects|Basic colors|Custom colors|Show Details)\\b"));
  const QAccessible::State state = interface->state();
  if (state.invisible) return;
  const QAccessible::Role role = interface->role();
  const QString name = interface->text(QAccessible::Name);
  static const QList<QAccessible::Role> interactive = {
      QAccessible::PushButton,   QAccessible::CheckBox,       QAccessible::RadioButton, QAccessible::ComboBox,
      QAccessible::EditableText, QAccessible::SpinBox,        QAccessible::PageTab,     QAccessible::ButtonDropDown,
      QAccessible::ButtonMenu,   QAccessible::ButtonDropGrid, QAccessible::Slider};
  if (interactive.contains(role) && !state.disabled && name.trimmed().isEmpty()) {
    QString what = QString::number(role, 16);
    if (QObject* object = interface->object())
      what += " " + object->objectName() + " " + object->metaObject()->className();
    problems << where + ": no name: " + what;
  }
  for (QAccessible::Text kind : {QAccessible::Name, QAccessible::Description}) {
    const QString text = interface->text(kind);
    if (const QRegularExpressionMatch match = english.match(text); match.hasMatch()) {
      problems << where + ": English \"" + match.captured(0) + "\" in \"" + text + "\"";
    }
  }
  for (int i = 0; i < interface->childCount(); ++i) Walk(interface->child(i), where, problems, depth + 1);
}

QStringList AccessibilityProblems(QWidget& window, const QString& where) {
  QStringList problems;
  if (QRegularExpression(QStringLiteral("\\b(Yes|No|Cancel|Save|Open|Directory)\\b"))
          .match(window.windowTitle())
          .hasMatch()) {
    problems << where + ": English title " + window.windowTitle();
  }
  Walk(QAccessible::queryAccessibleInterface(&window), where, problems);
  return problems;
}

void ExpectNoProblems(const QStringList& problems) {
  EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
}

class WholeTextTest : public DesktopFixture {
 protected:
  RecordingFileDialogs port;
  FileDialogs files{port};
};

TEST_F(WholeTextTest, RegistrationDialogShowsEveryMessageWholeAndNamesEveryControl) {
  auto program = Start();
  TDiscRecord disc = program->controller.Disc;
  disc.TrackCount = 5;
  TDiscRegDLG dialog(program->link, files, disc);
  dialog.show();
  QApplication::processEvents();
  for (const char* message : kMessages) ExpectWholeInStatusBar(dialog, QString::fromUtf8(message));
  Shot(dialog, "whole-registration-status");
  dialog.ShowStatus(QString());
  NameControls(&dialog);
  ExpectNoProblems(AccessibilityProblems(dialog, "registration"));
  EXPECT_EQ(dialog.JacketFileEDT->accessibleName(), QString::fromUtf8("ジャケットファイル"));
  EXPECT_EQ(dialog.LyricsFileBTN->accessibleName(), QString::fromUtf8("歌詞ファイルを選択"));
  EXPECT_FALSE(dialog.DiscNameEDT->accessibleDescription().isEmpty());
  dialog.PageControlEx1->setCurrentWidget(dialog.TrackDataPage);
  ExpectNoProblems(AccessibilityProblems(dialog, "registration tracks"));
  Shot(dialog, "whole-registration-tracks");
  dialog.SaleDateDTP->OpenCalendar();
  QApplication::processEvents();
  ASSERT_TRUE(dialog.SaleDateDTP->Calendar());
  ExpectNoProblems(AccessibilityProblems(*dialog.SaleDateDTP->Calendar(), "calendar"));
  Shot(*dialog.SaleDateDTP->Calendar(), "whole-calendar");
  dialog.SaleDateDTP->Calendar()->close();
}

TEST_F(WholeTextTest, OptionsDialogShowsEveryMessageWholeAndNamesEveryControl) {
  auto program = Start();
  TOptionValues values = program->controller.CurrentOptions();
  TOptionDlg dialog(DialogContext{program->link, files}, values);
  dialog.show();
  QApplication::processEvents();
  for (const char* message : kMessages) ExpectWholeInStatusBar(dialog, QString::fromUtf8(message));
  dialog.ShowStatus(QString());
  NameControls(&dialog);
  auto* pages = dialog.findChild<QTabWidget*>("PageCTRL");
  ASSERT_TRUE(pages);
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    QApplication::processEvents();
    ExpectNoProblems(AccessibilityProblems(dialog, "options " + pages->tabText(page)));
  }
}

// Qt's own dialogs and buttons read in Japanese.
TEST_F(WholeTextTest, QtsOwnDialogsSpeakJapanese) {
  struct Case {
    const char* name;
    std::function<QWidget*()> make;
  };
  const Case cases[] = {
      {"file",
       [] {
         auto* dialog = new QFileDialog(nullptr, QString::fromUtf8("歌詞ファイルを開く"));
         dialog->setOption(QFileDialog::DontUseNativeDialog, true);
         dialog->setNameFilters({QString::fromUtf8("歌詞ファイル (*.lrc *.txt)")});
         PrepareFileDialog(*dialog);
         return dialog;
       }},
      {"folder",
       [] {
         auto* dialog = new QFileDialog(nullptr, QString::fromUtf8("フォルダを選択"));
         dialog->setOption(QFileDialog::DontUseNativeDialog, true);
         dialog->setFileMode(QFileDialog::Directory);
         PrepareFileDialog(*dialog);
         return dialog;
       }},
      {"font", [] { return new QFontDialog; }},
      {"colour", [] { return new QColorDialog; }},
      {"question",
       [] {
         return new QMessageBox(QMessageBox::Question, QString::fromUtf8("環境設定"),
                                QString::fromUtf8("作成しますか？"),
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
       }},
  };
  for (const Case& c : cases) {
    std::unique_ptr<QWidget> window(c.make());
    NameControls(window.get());
    window->show();
    QApplication::processEvents();
    Shot(*window, QString("whole-qt-") + c.name);
    ExpectNoProblems(AccessibilityProblems(*window, c.name));
    if (auto* box = qobject_cast<QMessageBox*>(window.get())) {
      EXPECT_TRUE(box->button(QMessageBox::Yes)->text().contains(QString::fromUtf8("はい")));
      EXPECT_TRUE(box->button(QMessageBox::No)->text().contains(QString::fromUtf8("いいえ")));
      EXPECT_TRUE(box->button(QMessageBox::Cancel)->text().contains(QString::fromUtf8("キャンセル")));
    }
  }
}

// A 100 kB path makes no box wider than half the screen; the box shows the start and the end of
// the text and keeps the whole text under 詳細.
TEST_F(WholeTextTest, AHugePathMakesAnOrdinaryBoxWithTheWholeTextInItsDetails) {
  const QString path = "/tmp/" + QString(100 * 1024, u'a') + "/end.cue";
  const QString message = QString::fromUtf8("ファイル %1 がありません").arg(path);
  QMessageBox box(QMessageBox::Warning, QString::fromUtf8("Q.V.R."), QString(), QMessageBox::Ok);
  SetMessageText(box, message);
  box.show();
  QApplication::processEvents();
  Shot(box, "whole-huge-path");
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE(box.width(), screen.width() / 2 + 100);
  EXPECT_LE(box.height(), screen.height());
  EXPECT_EQ(box.detailedText(), message);
  const QString shown = QString(box.text()).remove(QChar(0x200B));
  EXPECT_TRUE(shown.startsWith(QString::fromUtf8("ファイル /tmp/"))) << shown.left(40).toStdString();
  EXPECT_TRUE(shown.contains(QString::fromUtf8("end.cue がありません"))) << shown.right(40).toStdString();
  EXPECT_LE(box.text().size(), 1000);

  // A path of ordinary length wraps at its separators and is shown whole.
  const QString moderate = QString::fromUtf8("フォルダ %1 を作成できません")
                               .arg(
                                   "/home/user/music/とても長いフォルダの名前/さらに深いフォルダ/"
                                   "one_more_long_folder_name_without_spaces/DB/");
  QMessageBox ordinary(QMessageBox::Warning, QString::fromUtf8("環境設定"), QString(), QMessageBox::Ok);
  SetMessageText(ordinary, moderate);
  ordinary.show();
  QApplication::processEvents();
  EXPECT_LE(ordinary.width(), screen.width() / 2 + 100);
  EXPECT_EQ(QString(ordinary.text()).remove(QChar(0x200B)), moderate);
}

// The file dialog's detail columns speak Japanese whatever the system's locale (Qt takes sizes
// and dates from it: "164 bytes", "11 Dec 2026"; and its translation lacks "Folder"), and the
// sidebar shows its entries' names whole.
TEST_F(WholeTextTest, FileDialogColumnsAndSidebarAreJapaneseAndWhole) {
  const std::filesystem::path folder = dir / "files";
  std::filesystem::create_directories(folder / "歌詞");
  WriteFile(folder / "small.lrc", std::string(164, 'x'));
  WriteFile(folder / "large.lrc", std::string(2500, 'x'));
  QFileDialog dialog(nullptr, QString::fromUtf8("歌詞ファイルを開く"));
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  PrepareFileDialog(dialog);
  auto* file_model = dialog.findChild<QFileSystemModel*>();
  ASSERT_NE(file_model, nullptr);
  QSignalSpy loaded(file_model, &QFileSystemModel::directoryLoaded);
  dialog.setDirectory(QString::fromStdString(folder.string()));
  dialog.show();
  ASSERT_TRUE(loaded.wait(5000));
  QApplication::processEvents();
  Shot(dialog, "whole-qt-file-columns");

  auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
  ASSERT_NE(details, nullptr);
  QAbstractItemModel* shown = details->model();
  std::map<QString, QStringList> rows;  // name: size, type, date as the view shows them
  for (int row = 0; row < shown->rowCount(details->rootIndex()); ++row) {
    QStringList cells;
    for (int column = 1; column < 4; ++column)
      cells << shown->index(row, column, details->rootIndex()).data().toString();
    rows[shown->index(row, 0, details->rootIndex()).data().toString()] = cells;
  }
  ASSERT_EQ(rows.size(), 3u) << rows.size();
  EXPECT_EQ(rows[QString::fromUtf8("歌詞")].value(0), QString());
  EXPECT_EQ(rows[QString::fromUtf8("歌詞")].value(1), QString::fromUtf8("フォルダ"));
  EXPECT_EQ(rows["small.lrc"].value(0), QString::fromUtf8("164 バイト"));
  EXPECT_EQ(rows["large.lrc"].value(0), QString("2.4 KB"));
  const QRegularExpression date(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}$"));
  for (const auto& [name, cells] : rows) {
    EXPECT_TRUE(date.match(cells.value(2)).hasMatch()) << name.toStdString() << ": " << cells.value(2).toStdString();
  }

  auto* sidebar = dialog.findChild<QListView*>(QStringLiteral("sidebar"));
  ASSERT_NE(sidebar, nullptr);
  for (int row = 0; row < sidebar->model()->rowCount(); ++row) {
    const QModelIndex entry = sidebar->model()->index(row, 0);
    const int needed = sidebar->fontMetrics().horizontalAdvance(entry.data().toString()) + sidebar->iconSize().width();
    EXPECT_GE(sidebar->viewport()->width(), needed) << entry.data().toString().toStdString();
  }
}

}  // namespace
}  // namespace qvr::test
