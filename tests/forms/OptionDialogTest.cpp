// The options dialog on Qt's offscreen platform over the real controller: one test per page
// drives its controls as a user would (clicks, keys, the menu's shortcuts) and checks what the
// model, the Apply/Undo state and the controller got. With QVR_SCREENSHOT_DIR set, each test
// leaves a picture of its page there.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "forms/DesktopFixture.h"
#include "forms/QtSupport.h"
#include "forms/TOptionDlg.h"
#include "support/RecordingFileDialogs.h"
#include "util/ShiftJis.h"

namespace qvr::test {
namespace {

namespace fs = std::filesystem;

class OptionDialogTest : public DesktopFixture {
 protected:
  void SetUp() override {
    WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");
    program = Start();
    program->link.ShowHelp = [this](int context) { helps.push_back(context); };
    values = program->controller.CurrentOptions();
    dialog = std::make_unique<TOptionDlg>(DialogContext{program->link, files}, values);
    dialog->Questions().yes_no = [this](const QString& question) {
      questions.push_back(question.toStdString());
      if (yes_answers.empty()) return true;
      const bool answer = yes_answers.front();
      yes_answers.erase(yes_answers.begin());
      return answer;
    };
    dialog->Questions().warn = [this](const QString& message) { warnings.push_back(message.toStdString()); };
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    QApplication::processEvents();
  }
  void TearDown() override {
    dialog.reset();
    program.reset();
  }

  template <class Widget>
  Widget* Find(const char* name) {
    Widget* widget = dialog->findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  void ShowPage(int index) {
    Find<QTabWidget>("PageCTRL")->setCurrentIndex(index);
    QApplication::processEvents();
  }
  bool ApplyEnabled() { return Find<QAction>("ApplyMNU")->isEnabled(); }
  bool UndoEnabled() { return Find<QAction>("UndoMNU")->isEnabled(); }
  void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
  }
  // A key on a control (or, for the menu's shortcuts and F1, on the dialog).
  void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
  }
  void Shot(const char* name) {
    const QByteArray folder = qgetenv("QVR_SCREENSHOT_DIR");
    if (folder.isEmpty()) return;
    dialog->grab().save(QString::fromUtf8(folder) + "/options-" + name + ".png");
  }

  std::unique_ptr<Program> program;
  TOptionValues values;
  RecordingFileDialogs port;
  FileDialogs files{port};
  std::unique_ptr<TOptionDlg> dialog;
  std::vector<int> helps;
  std::vector<std::string> questions, warnings;
  std::vector<bool> yes_answers;  // the next answers to questions (then yes)
};

TEST_F(OptionDialogTest, LyricsPageEditsFontColoursAndStayOnTopAndAppliesAtOnce) {
  TQVRDM& dm = program->controller;
  EXPECT_EQ(dialog->windowTitle(), "環境設定");
  EXPECT_EQ(Find<QTabWidget>("PageCTRL")->currentIndex(), 0);
  EXPECT_EQ(dialog->HelpContext(), 13);
  EXPECT_FALSE(ApplyEnabled());
  EXPECT_FALSE(UndoEnabled());
  Shot("lyrics");

  // The background box: one step down from black is the next named colour.
  QComboBox* background = Find<QComboBox>("BGColorCMB");
  EXPECT_EQ(background->currentText(), "黒");
  Key(background, Qt::Key_Down);
  EXPECT_EQ(background->currentText(), "栗色");
  EXPECT_EQ(dialog->Model().Values().background, 0x000080);
  EXPECT_TRUE(ApplyEnabled());
  EXPECT_TRUE(UndoEnabled());

  // Ctrl+A applies: the lyrics line has the colour at once; Undo is disabled afterwards.
  Key(dialog.get(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(dm.Lyrics.background, 0x000080);
  EXPECT_FALSE(ApplyEnabled());
  EXPECT_FALSE(UndoEnabled());

  // The stored face (ＭＳ Ｐゴシック, which no Linux has) is kept, but the sample names the
  // installed Japanese face drawn in its place, and the font dialog opens on that face.
  EXPECT_EQ(SjisToUtf8(dialog->Model().Values().font.Name), "ＭＳ Ｐゴシック");
  QLabel* sample = Find<QLabel>("FontSampleLBL");
  const QString drawn = QFontInfo(sample->font()).family();
  EXPECT_TRUE(sample->text().startsWith(drawn)) << sample->text().toStdString();
  EXPECT_FALSE(sample->text().contains(QString::fromUtf8("ＭＳ"))) << sample->text().toStdString();
  EXPECT_TRUE(sample->toolTip().contains(QString::fromUtf8("ＭＳ Ｐゴシック"))) << sample->toolTip().toStdString();
  EXPECT_TRUE(JapaneseFallbackFaces().contains(drawn))
      << "a Japanese face, not Qt's Latin default: " << drawn.toStdString();
  QString offered;

  // The font dialog's choice and a colour of one's own for the text.
  dialog->Questions().font = [&offered](const QFont& current) {
    offered = current.family();
    QFont font("DejaVu Sans");
    font.setPointSize(14);
    font.setBold(true);
    return std::optional<QFont>(font);
  };
  Click(Find<QPushButton>("FontBTN"));
  EXPECT_EQ(offered, drawn);
  EXPECT_EQ(dialog->Model().Values().font.Name, "DejaVu Sans");
  EXPECT_EQ(dialog->Model().Values().font.Size, 14);
  EXPECT_EQ(dialog->Model().Values().font.Style, fsBold);
  EXPECT_NE(Find<QLabel>("FontSampleLBL")->text().indexOf("DejaVu Sans 14pt"), -1);
  dialog->Questions().color = [](const QColor&) { return std::optional<QColor>(QColor(1, 2, 3)); };
  QComboBox* text_color = Find<QComboBox>("FontColorCMB");
  Key(text_color, Qt::Key_End);  // the last entry: "その他の色..."
  EXPECT_EQ(dialog->Model().Values().font.Color, 0x030201);
  EXPECT_EQ(text_color->currentText(), "#010203");

  // Ctrl+U takes the edits back to what was applied.
  Click(Find<QCheckBox>("LyricsStayOnTopCBX"));
  EXPECT_FALSE(dialog->Model().Values().lyrics_stay_on_top);
  Key(dialog.get(), Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(dialog->Model().Values(), dm.CurrentOptions());
  EXPECT_TRUE(Find<QCheckBox>("LyricsStayOnTopCBX")->isChecked());
  EXPECT_EQ(Find<QComboBox>("FontColorCMB")->currentText(), "黄");

  // Ok hands the dialog's values over.
  Click(Find<QCheckBox>("LyricsStayOnTopCBX"));
  Click(Find<QPushButton>("OKBTN"));
  EXPECT_FALSE(values.lyrics_stay_on_top);
  EXPECT_EQ(values.background, 0x000080);
}

TEST_F(OptionDialogTest, PadPageBoxesEachEnableApplyAndSnapStaysDisabled) {
  // Ctrl+PageDown turns to the next page from anywhere in the dialog.
  Key(Find<QPushButton>("OKBTN"), Qt::Key_PageDown, Qt::ControlModifier);
  EXPECT_EQ(Find<QTabWidget>("PageCTRL")->currentIndex(), 1);
  EXPECT_EQ(dialog->HelpContext(), 92);
  Shot("pad");
  struct Box {
    const char* name;
    bool TOptionValues::*field;
  };
  for (const Box& box :
       {Box{"PadStatusCBX", &TOptionValues::pad_status}, Box{"PadStayOnTopCBX", &TOptionValues::pad_stay_on_top},
        Box{"DockSaveCBX", &TOptionValues::pad_dock_info},
        Box{"PadChildrenStatusCBX", &TOptionValues::pad_children_status}}) {
    Click(Find<QCheckBox>(box.name));
    EXPECT_FALSE(dialog->Model().Values().*box.field) << box.name;
    EXPECT_TRUE(ApplyEnabled()) << box.name;
    dialog->UndoMNUClick();
    EXPECT_TRUE(dialog->Model().Values().*box.field) << box.name;
    EXPECT_FALSE(ApplyEnabled()) << box.name;
  }
  QCheckBox* snap = Find<QCheckBox>("PadSnapCBX");
  EXPECT_FALSE(snap->isEnabled());
  EXPECT_TRUE(snap->isChecked());

  // F1 opens the page's help topic; the long hint of the focused box is in the status bar.
  Find<QCheckBox>("PadStayOnTopCBX")->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(dialog->CurrentHintText(),
            "コントロールパッドをほかの最前列指定されていないウィンドウよりも前に表示します");
  Key(dialog.get(), Qt::Key_F1);
  EXPECT_EQ(helps, std::vector<int>{92});

  Click(Find<QCheckBox>("PadStayOnTopCBX"));
  dialog->ApplyMNUClick();
  EXPECT_FALSE(program->controller.PadStayOnTop);
}

TEST_F(OptionDialogTest, RepeatPageRadioGroupsSetTheUnlockValues) {
  ShowPage(2);
  EXPECT_EQ(dialog->HelpContext(), 93);
  Shot("repeat");
  for (const char* name : {"RepeatOneRGP2", "RepeatAllRGP2", "RandomRGP2"})
    EXPECT_TRUE(Find<QRadioButton>(name)->isChecked());
  Click(Find<QRadioButton>("RepeatOneRGP0"));
  Click(Find<QRadioButton>("RepeatAllRGP1"));
  Click(Find<QRadioButton>("RandomRGP0"));
  EXPECT_TRUE(ApplyEnabled());
  const TOptionValues& edited = dialog->Model().Values();
  EXPECT_EQ(edited.repeat_one_unlock, 0);
  EXPECT_EQ(edited.repeat_all_unlock, 1);
  EXPECT_EQ(edited.random_unlock, 0);
  Key(Find<QRadioButton>("RandomRGP0"), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(program->controller.RepeatOneUnlock, 0);
  EXPECT_EQ(program->controller.RepeatAllUnlock, 1);
  EXPECT_EQ(program->controller.RandomUnlock, 0);

  // Cancel after Apply keeps what was applied.
  Click(Find<QRadioButton>("RandomRGP2"));
  Click(Find<QPushButton>("CancelBTN"));
  EXPECT_EQ(program->controller.RandomUnlock, 0);
  EXPECT_EQ(values.random_unlock, 2);  // nothing handed over by Cancel
}

TEST_F(OptionDialogTest, OtherPageBoxesFoldersAndDrive) {
  ShowPage(3);
  EXPECT_EQ(dialog->HelpContext(), 94);
  Shot("other");
  Click(Find<QCheckBox>("AutoPlayCBX"));
  Click(Find<QCheckBox>("AutoWallCBX"));
  Click(Find<QCheckBox>("AutoDLGOpenCBX"));
  Click(Find<QCheckBox>("TipHelpCBX"));
  const TOptionValues& edited = dialog->Model().Values();
  EXPECT_TRUE(edited.auto_play);
  EXPECT_TRUE(edited.auto_wall);
  EXPECT_TRUE(edited.auto_dlg_open);
  EXPECT_FALSE(edited.help_hint);
  EXPECT_TRUE(Find<QCheckBox>("TipHelpCBX")->toolTip().isEmpty());  // hints off in the dialog too

  // A typed folder that does not exist is created after the question.
  const fs::path folder = dir / "新しいDB";
  port.Answers.push_back(folder.string());
  Click(Find<QPushButton>("DBPathBTN"));
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_NE(questions[0].find(folder.string()), std::string::npos);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(Find<QLineEdit>("DBPathPNL")->text().toStdString(), folder.string() + "/");
  EXPECT_EQ(edited.data_base_path, Utf8ToSjis(folder.string() + "/").bytes);

  // A folder typed into the field is asked about and made when the user moves on; declined, the
  // field shows the folder before and OK waits.
  const fs::path typed = dir / "入力したDB";
  QLineEdit* db_field = Find<QLineEdit>("DBPathPNL");
  yes_answers.push_back(false);
  db_field->setText(QString::fromStdString(typed.string()));
  Click(Find<QPushButton>("OKBTN"));
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_NE(questions[1].find(typed.string()), std::string::npos);
  EXPECT_FALSE(fs::exists(typed));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(db_field->text().toStdString(), folder.string() + "/");
  db_field->setText(QString::fromStdString(typed.string()));
  Q_EMIT db_field->editingFinished();
  ASSERT_EQ(questions.size(), 3u);
  EXPECT_TRUE(fs::is_directory(typed));
  EXPECT_EQ(db_field->text().toStdString(), typed.string() + "/");
  EXPECT_EQ(edited.data_base_path, Utf8ToSjis(typed.string() + "/").bytes);

  // A folder that cannot be made keeps the old value and says why.
  WriteFile(dir / "file", "x");
  const std::string plugin_before = edited.plugin_path;
  port.Answers.push_back((dir / "file" / "Plugin").string());
  Click(Find<QPushButton>("PluginPathBTN"));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("作成できません"), std::string::npos) << warnings[0];
  EXPECT_EQ(edited.plugin_path, plugin_before);

  // An image chosen as the drive shows in the drive box.
  WriteFile(dir / "disc.cue", "x");
  port.Answers.push_back((dir / "disc.cue").string());
  Click(Find<QPushButton>("DriveImageBTN"));
  EXPECT_EQ(Find<QComboBox>("DriveCMB")->currentText().toStdString(), "CDイメージ: " + (dir / "disc.cue").string());
  EXPECT_EQ(dialog->Model().DriveText(), (dir / "disc.cue").string());
  // Back to the system's default drive: the first entry.
  QComboBox* drive_box = Find<QComboBox>("DriveCMB");
  Key(drive_box, Qt::Key_Home);
  EXPECT_EQ(dialog->Model().DriveText(), "");

  // Default: the database folder is the program folder's DB/, as with a missing key.
  Find<QAction>("DefaultMNU")->trigger();
  EXPECT_EQ(Find<QLineEdit>("DBPathPNL")->text().toStdString(), dir.Path().string() + "/DB/");
  EXPECT_TRUE(ApplyEnabled());
  Click(Find<QPushButton>("OKBTN"));
  EXPECT_EQ(values.data_base_path, Utf8ToSjis(dir.Path().string() + "/DB/").bytes);
  EXPECT_TRUE(values.help_hint);
}

// The address gnudb asks for is typed on the same page; applied, the lookup sends it and the
// settings file keeps it.
TEST_F(OptionDialogTest, OtherPageTakesTheAddressGnudbAsksFor) {
  ShowPage(3);
  auto* email = Find<QLineEdit>("GnudbEmailEDT");
  email->setFocus();
  QTest::keyClicks(email, " hanako@example.jp");
  EXPECT_EQ(dialog->Model().Values().gnudb_email, "hanako@example.jp") << "blanks around it are dropped";
  EXPECT_TRUE(ApplyEnabled());
  Click(Find<QPushButton>("OKBTN"));
  EXPECT_EQ(values.gnudb_email, "hanako@example.jp");
  program->controller.ApplyOptions(values);
  EXPECT_EQ(program->controller.LookupServers.GnudbEmail, "hanako@example.jp");
  program->controller.SaveSettings();
  EXPECT_NE(ReadFile(dir / "Qvr.ini").find("GnudbEmail=hanako@example.jp\r\n"), std::string::npos);
}

}  // namespace
}  // namespace qvr::test
