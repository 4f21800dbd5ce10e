// The registration dialog on Qt's offscreen platform, inside the real desktop view and
// controller: the page layout it opens with, both pages filled through their widgets (keys for
// the tracks, the browse buttons through Qt's file dialogs) and the stored record read back
// with the database reader; the disc leaving the drive while it is up; Cancel.
#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include "cddb/DatabaseSnapshot.h"
#include "forms/RegistrationFixture.h"
#include "forms/SaleDateEdit.h"
#include "util/ShiftJis.h"

namespace qvr::test {
namespace {

// Types text as a keyboard or an input method would, character by character (QTest's key
// tables know no Japanese).
void Type(QWidget* control, const QString& text) {
  QApplication::setActiveWindow(control->window());
  control->setFocus();
  for (qsizetype at = 0; at < text.size();) {
    const qsizetype length = text.at(at).isHighSurrogate() ? 2 : 1;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text.mid(at, length));
    QApplication::sendEvent(control, &press);
    at += length;
  }
}

void Retype(QWidget* control, const QString& text) {
  if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->clear();
  if (auto* combo = qobject_cast<QComboBox*>(control)) combo->clearEditText();
  Type(control, text);
}

// Sends a key to whatever control of the dialog has the focus, as the keyboard does.
void Key(QWidget& dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QApplication::setActiveWindow(&dialog);
  QWidget* focus = QApplication::focusWidget();
  ASSERT_TRUE(focus);
  QTest::keyClick(focus, key, modifiers);
}

class DiscRegDialogTest : public RegistrationFixture {
 protected:
  DiscRegDialogTest() { WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n"); }

  // Runs the registration command (see RegistrationFixture), checking the dialog state the
  // controller keeps while the dialog is up and after.
  static void Register(Program& program, const std::function<void(TDiscRegDLG&)>& during) {
    std::uint8_t state_inside = 0;
    QTimer::singleShot(0, [&] { state_inside = program.controller.DialogState; });
    RegistrationFixture::Register(program, during);
    EXPECT_EQ(state_inside, 5);
    EXPECT_EQ(program.controller.DialogState, 0);
  }

  TDiscRecord Stored() const {
    const DatabaseSnapshot snapshot = DatabaseSnapshot::Read(dir / "DB" / "MasterDB.QVR");
    EXPECT_EQ(snapshot.Masters().size(), 1u);
    return snapshot.Masters().empty() ? TDiscRecord{} : snapshot.Disc(0);
  }
};

TEST_F(DiscRegDialogTest, OpensOnTheDiscPageWithTheLayoutAndTextsOfAnUnregisteredDisc) {
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("ＣＤデータ登録"));
    EXPECT_GE(dialog.width(), 433);
    EXPECT_GE(dialog.height(), 315);
    EXPECT_EQ(dialog.PageControlEx1->tabPosition(), QTabWidget::South);
    EXPECT_EQ(dialog.PageControlEx1->tabText(0), QString::fromUtf8("ＣＤデータ"));
    EXPECT_EQ(dialog.PageControlEx1->tabText(1), QString::fromUtf8("トラックデータ"));
    EXPECT_EQ(dialog.HelpContext(), 12);
    EXPECT_EQ(dialog.DiscNameEDT->text(), "");
    EXPECT_EQ(dialog.SaleDateDTP->text(), "");  // unknown, not the day the record was made
    EXPECT_EQ(dialog.SaleDateDTP->placeholderText(), QString::fromUtf8("不明"));
    EXPECT_EQ(dialog.DiscTypeCMB->currentText(), QString::fromUtf8("ミニアルバム"));  // five tracks
    EXPECT_EQ(dialog.DiscTime->text(), QString::fromStdString(MSFToStr(program->controller.Disc.DiscTime)));
    EXPECT_FALSE(dialog.DiscTime->text().isEmpty());
    EXPECT_EQ(dialog.CurrentTrackLBL->text(), "1/5");
    EXPECT_EQ(dialog.StartPosLBL->text(), QString::fromUtf8("開始時間  0:2:0"));
    EXPECT_EQ(dialog.LengthLBL->text(), QString::fromUtf8("演奏時間  1:0:0"));
    EXPECT_EQ(dialog.CurrentHintText(), QString::fromUtf8("ＣＤ名を入力します"));
    EXPECT_EQ(dialog.UpdateBTN->statusTip(), QString::fromUtf8("データベースを更新します"));
    EXPECT_TRUE(dialog.LyricsbyCMB->isEditable());
    EXPECT_EQ(dialog.LyricsbyCMB->count(), 0);
    // Every label shows its whole text.
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
      EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    dialog.PageControlEx1->setCurrentWidget(dialog.TrackDataPage);
    EXPECT_EQ(dialog.HelpContext(), 72);
    for (QLabel* label : dialog.TrackDataPage->findChildren<QLabel*>()) {
      EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    dialog.CancelBTN->click();
  });
  EXPECT_TRUE(DatabaseSnapshot::Read(dir / "DB" / "MasterDB.QVR").Masters().empty());
}

TEST_F(DiscRegDialogTest, BothPagesFilledThroughTheWidgetsAreStored) {
  std::filesystem::create_directories(dir / "pictures");
  WriteFile(dir / "pictures" / "表紙.png", "png");
  WriteFile(dir / "song.lrc", "[00:01.00]x");
  QStringList jacket_types, lyrics_types;
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    Type(dialog.DiscNameEDT, "  夏の記録 ");
    Type(dialog.ArtistNameEDT, "テスト楽団");
    Type(dialog.LabelNameEDT, "試験レーベル");
    Type(dialog.SaleDateDTP, "2021/7/4");
    dialog.DiscTypeCMB->setCurrentIndex(1);
    {
      QTimer::singleShot(0, [&] {
        auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(files) << "no file dialog";
        jacket_types = files->nameFilters();
        files->selectFile(QString::fromStdString((dir / "pictures" / "表紙.png").string()));
        static_cast<QDialog*>(files)->accept();  // QFileDialog::accept, as its Open button
      });
      dialog.JacketFileBTN->click();
      QTimer::singleShot(0, [&] {
        auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(files) << "no file dialog";
        lyrics_types = files->nameFilters();
        files->selectFile(QString::fromStdString((dir / "song.lrc").string()));
        static_cast<QDialog*>(files)->accept();  // QFileDialog::accept, as its Open button
      });
      dialog.LyricsFileBTN->click();
    }
    // The disc name refuses a 97th byte: 48 full-width characters fill it.
    Retype(dialog.LabelNameEDT, QString(48, QChar(0x6F22)));
    Type(dialog.LabelNameEDT, "x");
    EXPECT_EQ(dialog.LabelNameEDT->text(), QString(48, QChar(0x6F22)));
    Type(dialog.ArtistNameEDT, QString::fromUtf8("😀"));
    EXPECT_EQ(dialog.ArtistNameEDT->text(), QString::fromUtf8("テスト楽団"));
    EXPECT_TRUE(dialog.CurrentHintText().contains(QString::fromUtf8("😀")));

    dialog.DiscNameEDT->setFocus();
    Key(dialog, Qt::Key_Tab, Qt::ControlModifier);  // to the track page, into 曲 名
    EXPECT_EQ(dialog.PageControlEx1->currentWidget(), dialog.TrackDataPage);
    EXPECT_EQ(QApplication::focusWidget(), dialog.TrackNameEDT);
    EXPECT_EQ(dialog.HelpContext(), 72);
    Type(dialog.TrackNameEDT, "一曲目");
    Type(dialog.LyricsbyCMB, "  作詞家");
    Type(dialog.GenreCMB, "ポップス");
    Key(dialog, Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(dialog.CurrentTrackLBL->text(), "2/5");
    EXPECT_EQ(dialog.StartPosLBL->text(), QString::fromUtf8("開始時間  1:2:0"));
    EXPECT_EQ(dialog.TrackNameEDT->text(), "");
    Type(dialog.TrackNameEDT, "二曲目");
    Key(dialog, Qt::Key_Right, Qt::AltModifier | Qt::ShiftModifier);  // not Alt alone: stays
    EXPECT_EQ(dialog.CurrentTrackLBL->text(), "2/5");
    Key(dialog, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(dialog.LyricsbyCMB->currentText(), QString::fromUtf8("  作詞家"));
    Key(dialog, Qt::Key_Left, Qt::AltModifier);  // on the first track: nothing
    EXPECT_EQ(dialog.CurrentTrackLBL->text(), "1/5");
    dialog.TrackSelectSBR->setValue(5);
    Type(dialog.MusicbyCMB, "最後の作曲者");
    Type(dialog.GenreCMB, "abcdefghijklmnopqrst");  // 20 bytes typed, 16 taken
    EXPECT_EQ(dialog.GenreCMB->currentText(), "abcdefghijklmnop");
    Key(dialog, Qt::Key_Right, Qt::AltModifier);  // on the last track: nothing
    EXPECT_EQ(dialog.CurrentTrackLBL->text(), "5/5");
    dialog.UpdateBTN->click();  // with track 5 shown
  });

  ASSERT_FALSE(jacket_types.isEmpty());
  ASSERT_FALSE(lyrics_types.isEmpty());
  // Each pattern once (Qt's dialog matches them in either letter case), after a description
  // that does not repeat them.
  EXPECT_EQ(jacket_types.front(), QString::fromUtf8("画像ファイル (*.bmp *.png *.jpg *.jpeg)"));
  EXPECT_EQ(lyrics_types.front(), QString::fromUtf8("歌詞ファイル (*.lrc *.txt)"));
  EXPECT_EQ(lyrics_types.back(), QString::fromUtf8("すべてのファイル (*)"));

  const TDiscRecord stored = Stored();
  EXPECT_EQ(stored.DiscName.ToUtf8(), "夏の記録");
  EXPECT_EQ(stored.ArtistName.ToUtf8(), "テスト楽団");
  EXPECT_EQ(stored.LabelName.ToUtf8(), QString(48, QChar(0x6F22)).toStdString());
  EXPECT_EQ(CivilFromDate(stored.SaleDate), (CivilDate{2021, 7, 4}));
  EXPECT_EQ(stored.DiscType, 1);
  EXPECT_EQ(stored.JacketFile.ToUtf8(), (dir / "pictures" / "表紙.png").string());
  EXPECT_EQ(stored.LyricsFile.ToUtf8(), (dir / "song.lrc").string());
  EXPECT_EQ(stored.Tracks[1].TrackName.ToUtf8(), "一曲目");
  EXPECT_EQ(stored.Tracks[1].Lyricsby.ToUtf8(), "作詞家");
  EXPECT_EQ(stored.Tracks[1].Genre.ToUtf8(), "ポップス");
  EXPECT_EQ(stored.Tracks[2].TrackName.ToUtf8(), "二曲目");
  EXPECT_EQ(stored.Tracks[5].Musicby.ToUtf8(), "最後の作曲者");
  EXPECT_EQ(stored.Tracks[5].Genre.ToUtf8(), "abcdefghijklmnop");
  EXPECT_EQ(stored.Tracks[3].TrackName.ToUtf8(), "");
  // The controller's disc is the stored one; the status shows its title at once.
  EXPECT_EQ(program->controller.Disc.DiscName.ToUtf8(), "夏の記録");
  EXPECT_TRUE(program->view.LyricsText().find("夏の記録") != std::string::npos) << program->view.LyricsText();
}

TEST_F(DiscRegDialogTest, ClosedFromOutsideWithUpdateKeepsTheShownTrackAndCancelKeepsNothing) {
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    dialog.PageControlEx1->setCurrentWidget(dialog.TrackDataPage);
    dialog.TrackSelectSBR->setValue(3);
    Type(dialog.TrackNameEDT, "三曲目");
    program->view.CloseDialog(DialogKind::Registration, ModalResult::Update);
  });
  EXPECT_EQ(Stored().Tracks[3].TrackName.ToUtf8(), "三曲目");

  const TDiscRecord before = program->controller.Disc;
  Register(*program, [&](TDiscRegDLG& dialog) {
    Type(dialog.DiscNameEDT, "捨てる題");
    dialog.PageControlEx1->setCurrentWidget(dialog.TrackDataPage);
    Type(dialog.TrackNameEDT, "捨てる曲");
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  // (The sale date is unknown, a NaN, which equals nothing: compared apart.)
  TDiscRecord after = program->controller.Disc;
  TDiscRecord expected = before;
  EXPECT_TRUE(IsUnknownDate(after.SaleDate) && IsUnknownDate(expected.SaleDate));
  after.SaleDate = expected.SaleDate = 0;
  EXPECT_EQ(after, expected);
  EXPECT_EQ(Stored().Tracks[3].TrackName.ToUtf8(), "三曲目");
}

// The sale date is one field between the artist and the label: typed, picked from the calendar
// (Alt+↓), or left unknown; a text that is no date keeps the dialog open and says so.
TEST_F(DiscRegDialogTest, TheSaleDateIsOneFieldTypedPickedOrUnknown) {
  auto program = Start();
  QString refusal;
  Register(*program, [&](TDiscRegDLG& dialog) {
    Type(dialog.DiscNameEDT, "日付の盤");
    dialog.ArtistNameEDT->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), dialog.ArtistNameEDT);
    Key(dialog, Qt::Key_Tab);
    ASSERT_TRUE(QApplication::focusWidget());
    EXPECT_EQ(QApplication::focusWidget(), dialog.SaleDateDTP)
        << QApplication::focusWidget()->metaObject()->className() << " "
        << QApplication::focusWidget()->objectName().toStdString();
    Key(dialog, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.LabelNameEDT) << "one Tab stop for the date";

    Type(dialog.SaleDateDTP, "2021/2/30");
    QTimer::singleShot(0, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        refusal = box->text();
        box->accept();
      }
    });
    dialog.UpdateBTN->click();
    EXPECT_TRUE(dialog.isVisible()) << "a date that is no day is not stored";
    EXPECT_EQ(dialog.focusWidget(), dialog.SaleDateDTP);
    QApplication::setActiveWindow(&dialog);
    dialog.SaleDateDTP->setFocus();

    Key(dialog, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(dialog.SaleDateDTP->Calendar());
    auto* days = dialog.SaleDateDTP->Calendar()->findChild<QCalendarWidget*>();
    ASSERT_TRUE(days);
    days->setSelectedDate(QDate(1999, 12, 31));
    Q_EMIT days->activated(QDate(1999, 12, 31));
    EXPECT_EQ(dialog.SaleDateDTP->text(), QString::fromUtf8("1999年12月31日"));
    dialog.UpdateBTN->click();
  });
  EXPECT_TRUE(refusal.contains("2021/2/30")) << refusal.toStdString();
  EXPECT_EQ(CivilFromDate(Stored().SaleDate), (CivilDate{1999, 12, 31}));

  // Opened again: the calendar's 不明 clears the date, stored as the database's unknown date.
  Register(*program, [&](TDiscRegDLG& dialog) {
    EXPECT_EQ(dialog.SaleDateDTP->text(), QString::fromUtf8("1999年12月31日"));
    dialog.SaleDateDTP->OpenCalendar();
    ASSERT_TRUE(dialog.SaleDateDTP->Calendar());
    auto* unknown = dialog.SaleDateDTP->Calendar()->findChild<QPushButton*>("SaleDateUnknownBTN");
    ASSERT_TRUE(unknown);
    unknown->click();
    EXPECT_EQ(dialog.SaleDateDTP->text(), "");
    dialog.UpdateBTN->click();
  });
  EXPECT_TRUE(IsUnknownDate(Stored().SaleDate));
}

// The disc's CD-Text: Shift-JIS with code page 932 characters, as a Japanese disc has it.
CdText JapaneseCdText() {
  auto sjis = [](std::string_view utf8) { return CdTextString{Utf8ToSjis(utf8).bytes, CdTextCharset::MsJis}; };
  CdText text;
  text.Disc.Title = sjis("①㈱のアルバム");
  text.Disc.Performer = sjis("髙橋バンド");
  text.Track(1).Title = sjis("一曲目");
  text.Track(1).Songwriter = sjis("作詞家");
  text.Track(2).Title = sjis("二曲目");
  return text;
}

void Shot(QWidget& dialog, const char* name) {
  const QByteArray folder = qgetenv("QVR_SCREENSHOT_DIR");
  if (!folder.isEmpty()) dialog.grab().save(QString::fromUtf8(folder) + "/" + name + ".png");
}

TEST_F(DiscRegDialogTest, AnUnregisteredDiscOpensFilledFromItsCdTextStoredOnlyOnUpdate) {
  drive.SetCdText(JapaneseCdText());
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    QCoreApplication::processEvents();  // the dialog becomes active and says what it filled in
    EXPECT_EQ(dialog.DiscNameEDT->text(), QString::fromUtf8("①㈱のアルバム"));
    EXPECT_EQ(dialog.ArtistNameEDT->text(), QString::fromUtf8("髙橋バンド"));
    EXPECT_EQ(dialog.DiscTypeCMB->currentText(), QString::fromUtf8("ミニアルバム"));  // not proposed
    EXPECT_TRUE(dialog.CdTextBTN->isVisible());
    EXPECT_EQ(dialog.CurrentHintText(), QString::fromUtf8("CD-TEXTから5項目を入力しました (更新で登録します)"));
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
    Shot(dialog, "registration-cdtext");
    dialog.CancelBTN->click();
  });
  EXPECT_TRUE(DatabaseSnapshot::Read(dir / "DB" / "MasterDB.QVR").Masters().empty());

  // The user's own texts stay; the button fills the fields left empty; Update stores the disc's
  // bytes as they are.
  Register(*program, [&](TDiscRegDLG& dialog) {
    Retype(dialog.DiscNameEDT, QString::fromUtf8("自分の題"));
    dialog.ArtistNameEDT->clear();
    dialog.PageControlEx1->setCurrentWidget(dialog.TrackDataPage);
    dialog.TrackSelectSBR->setValue(2);
    Retype(dialog.TrackNameEDT, "");
    dialog.CdTextBTN->click();
    EXPECT_EQ(dialog.CurrentHintText(), QString::fromUtf8("CD-TEXTから2項目を入力しました"));
    EXPECT_EQ(dialog.TrackNameEDT->text(), QString::fromUtf8("二曲目"));
    EXPECT_EQ(dialog.DiscNameEDT->text(), QString::fromUtf8("自分の題"));
    dialog.CdTextBTN->click();
    EXPECT_EQ(dialog.CurrentHintText(), QString::fromUtf8("CD-TEXTで埋められる空欄はありません"));
    dialog.UpdateBTN->click();
  });
  const TDiscRecord stored = Stored();
  EXPECT_EQ(stored.DiscName.ToUtf8(), "自分の題");
  EXPECT_EQ(stored.ArtistName, Utf8ToSjis("髙橋バンド").bytes);
  EXPECT_EQ(stored.Tracks[1].TrackName, Utf8ToSjis("一曲目").bytes);
  EXPECT_EQ(stored.Tracks[1].Lyricsby, Utf8ToSjis("作詞家").bytes);
  EXPECT_EQ(stored.Tracks[2].TrackName, Utf8ToSjis("二曲目").bytes);

  // Registered now: the dialog opens with the record's texts and offers the CD-Text.
  Register(*program, [&](TDiscRegDLG& dialog) {
    EXPECT_EQ(dialog.DiscNameEDT->text(), QString::fromUtf8("自分の題"));
    EXPECT_TRUE(dialog.CdTextBTN->isVisible());
    EXPECT_EQ(dialog.CdTextBTN->statusTip(),
              QString::fromUtf8("ディスクのCD-TEXTで空欄を埋めます (入力済みの欄はそのままです)"));
    dialog.CancelBTN->click();
  });
}

TEST_F(DiscRegDialogTest, NoCdTextNoButton) {
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    EXPECT_FALSE(dialog.CdTextBTN->isVisible());
    dialog.CancelBTN->click();
  });
}

}  // namespace
}  // namespace qvr::test
