// The play list dialog on Qt's offscreen platform over a controller on the simulated drive:
// inserting from the track menu where it was opened, dragging a row, a double click that plays
// its row, and closing, which hands the rows over without stopping.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "dialogs/FileDialogs.h"
#include "forms/DesktopFixture.h"
#include "forms/TPlayListDLG.h"
#include "support/RecordingFileDialogs.h"
#include "util/Msf.h"

namespace qvr::test {
namespace {

using Entries = std::vector<std::string>;

class PlayListDialogTest : public DesktopFixture {
 protected:
  PlayListDialogTest() {
    WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");
    DiscToc toc;
    for (std::uint32_t n = 0; n < 3; ++n) toc.Tracks.push_back({150 + n * 750, true});  // 10 s each
    toc.LeadOut = 150 + 3 * 750;
    drive.InsertDisc(toc);
    program = Start();
    dialog = std::make_unique<TPlayListDLG>(DialogContext{program->link, files}, Dm().Disc, Dm().PlayOrder,
                                            Dm().PlayListName);
    dialog->show();
  }

  TQVRDM& Dm() { return program->controller; }
  QWidget* Viewport() { return dialog->PlayListLVW->viewport(); }
  QPoint RowPoint(int row) {
    return dialog->PlayListLVW->visualItemRect(dialog->PlayListLVW->topLevelItem(row)).center();
  }
  void Mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint at) {
    QMouseEvent event(type, at, Viewport()->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(Viewport(), &event);
  }
  QAction* TrackItem(int track) {
    return dialog->TrackListMenu->findChild<QAction*>(QStringLiteral("TrackList%1").arg(track));
  }
  Entries Rows() {
    Entries rows;
    for (int row = 0; row < dialog->PlayListLVW->topLevelItemCount(); ++row) {
      rows.push_back(dialog->PlayListLVW->topLevelItem(row)->text(0).toStdString());
    }
    return rows;
  }

  RecordingFileDialogs port;
  FileDialogs files{port};
  std::unique_ptr<Program> program;
  std::unique_ptr<TPlayListDLG> dialog;
};

TEST_F(PlayListDialogTest, InsertsWhereTheMenuOpenedDragsARowAndPlaysADoubleClickedRow) {
  EXPECT_EQ(dialog->windowTitle(), "プレイリスト ... Default");
  EXPECT_EQ(Rows(), (Entries{"1", "2", "3"}));
  // The last track is one frame short of the lead-out, as the device reports it.
  EXPECT_EQ(dialog->TotalText(), "総演奏時間：0:29:74");

  // A right click on the first row opens the track menu there: track 3 goes in front of it.
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, RowPoint(0));
  EXPECT_TRUE(dialog->TrackListMenu->isVisible());
  TrackItem(3)->trigger();
  dialog->TrackListMenu->hide();
  EXPECT_EQ(Rows(), (Entries{"3", "1", "2", "3"}));
  EXPECT_EQ(Dm().PlayOrder, Rows());
  EXPECT_EQ(dialog->TotalText(), "総演奏時間：0:39:73");

  // The add button's drop-down appends.
  QTimer::singleShot(0, dialog.get(), [&] {
    TrackItem(2)->trigger();
    dialog->TrackListMenu->close();
  });
  dialog->AddBTN->showMenu();
  EXPECT_EQ(Rows(), (Entries{"3", "1", "2", "3", "2"}));

  // Dragging the first row onto the third: the rows between move up.
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, RowPoint(0));
  Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, RowPoint(1));
  Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, RowPoint(2));
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, RowPoint(2));
  EXPECT_EQ(Rows(), (Entries{"1", "2", "3", "3", "2"}));
  EXPECT_EQ(Dm().PlayOrder, Rows());
  // A click that does not move stays a click; a drop below the rows goes to the last row.
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, RowPoint(0));
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, RowPoint(0));
  EXPECT_EQ(Rows(), (Entries{"1", "2", "3", "3", "2"}));
  const QPoint below(RowPoint(0).x(), Viewport()->height() - 2);
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, RowPoint(0));
  Mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, below);
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, below);
  EXPECT_EQ(Rows(), (Entries{"2", "3", "3", "2", "1"}));

  // A double click on the fourth row plays from it; below the rows it does nothing.
  ASSERT_EQ(Dm().CD.CDState, TCDState::cdStopped);
  Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, below);
  EXPECT_EQ(Dm().CD.CDState, TCDState::cdStopped);
  Mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, RowPoint(3));
  EXPECT_EQ(Dm().CD.CDState, TCDState::cdPlaying);
  EXPECT_EQ(Dm().PlayIndex, 4u);
  EXPECT_EQ(Dm().CD.PlayFrom, 2);
  EXPECT_TRUE(dialog->isVisible());

  // Deleting the selection stops; closing hands the rows over and stops nothing.
  dialog->PlayListLVW->clearSelection();
  dialog->PlayListLVW->topLevelItem(4)->setSelected(true);
  dialog->PlayListLVW->topLevelItem(0)->setSelected(true);
  dialog->DeleteClick();
  EXPECT_EQ(Rows(), (Entries{"3", "3", "2"}));
  EXPECT_EQ(Dm().CD.CDState, TCDState::cdStopped);
  Dm().PlayMNUClick();
  dialog->CloseWith(ModalResult::Cancel);
  EXPECT_EQ(Dm().PlayOrder, (Entries{"3", "3", "2"}));
  EXPECT_EQ(Dm().CD.CDState, TCDState::cdPlaying);
}

// A disc with a hidden first track: the track menu offers it first, before track 1, and the row
// it makes plays it as entry 0.
TEST_F(PlayListDialogTest, TrackMenuOffersTheHiddenTrackBeforeTrackOne) {
  dialog = std::make_unique<TPlayListDLG>(DialogContext{program->link, files}, Dm().Disc, Dm().PlayOrder,
                                          Dm().PlayListName, PackMSF(0, 5, 0));
  dialog->show();
  QStringList items;
  for (QAction* action : dialog->TrackListMenu->actions()) {
    if (!action->isSeparator()) items << action->objectName() + " " + action->text();
  }
  EXPECT_EQ(items, (QStringList{"DeleteMNU 削除(&D)", "TrackList0 トラック 0 (隠しトラック)", "TrackList1 トラック 1",
                                "TrackList2 トラック 2", "TrackList3 トラック 3"}));
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, RowPoint(0));
  TrackItem(0)->trigger();
  dialog->TrackListMenu->hide();
  EXPECT_EQ(Rows(), (Entries{"0", "1", "2", "3"}));
  EXPECT_EQ(dialog->PlayListLVW->topLevelItem(0)->text(2), "0:5:0");
  EXPECT_EQ(dialog->TotalText(), "総演奏時間：0:34:74");
  EXPECT_EQ(Dm().PlayOrder, Rows());
}

}  // namespace
}  // namespace qvr::test
