// The frame every dialog shares: hints in the status bar, help at the active context, Esc as
// cancel, commit before Ok/Update whether a button or the controller ends the dialog, and
// edits refused past their field's capacity in Shift-JIS bytes.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "forms/ControllerLink.h"
#include "forms/ModalDialog.h"
#include "forms/ShiftJisValidator.h"

namespace qvr::test {
namespace {

class SampleDialog final : public ModalDialog {
 public:
  explicit SampleDialog(ControllerLink& link) : ModalDialog(link, "見本", 12) {
    name = new QLineEdit(this);
    other = new QLineEdit(this);
    SetHint(name, "|ＣＤ名を入力します");
    SetHint(other, "短い|長いヒント");
    LimitToShiftJis(name, 4, this);
    Body()->addWidget(name);
    Body()->addWidget(other);
  }
  void Commit(ModalResult result) override { commits.push_back(result); }

  QLineEdit* name;
  QLineEdit* other;
  std::vector<ModalResult> commits;
};

// Types text into a control as a keyboard (or an input method) would, character by character;
// works for text QTest's key tables do not know (Japanese, emoji).
void Type(QWidget* control, const QString& text) {
  for (qsizetype at = 0; at < text.size();) {
    const qsizetype length = text.at(at).isHighSurrogate() ? 2 : 1;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text.mid(at, length));
    QApplication::sendEvent(control, &press);
    at += length;
  }
}

// Runs the dialog and, once its event loop is up, `during` inside it.
template <class During>
ModalResult RunWith(SampleDialog& dialog, During during) {
  QTimer::singleShot(0, &dialog, [&] { during(); });
  return dialog.Run();
}

TEST(ModalDialogTest, EndsAsCancelOnEscAndCommitsBeforeUpdate) {
  ControllerLink link;
  SampleDialog dialog(link);
  EXPECT_EQ(RunWith(dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }), ModalResult::Cancel);
  EXPECT_TRUE(dialog.commits.empty());

  // Ended from outside with Update (the disc left the drive and the user kept the edits).
  EXPECT_EQ(RunWith(dialog, [&] { dialog.CloseWith(ModalResult::Update); }), ModalResult::Update);
  EXPECT_EQ(dialog.commits, std::vector<ModalResult>{ModalResult::Update});
  EXPECT_EQ(RunWith(dialog, [&] { dialog.CloseWith(ModalResult::Cancel); }), ModalResult::Cancel);
  EXPECT_EQ(dialog.commits.size(), 1u);
}

TEST(ModalDialogTest, ShowsTheLongHintOfTheFocusedControlAndOpensHelpAtItsContext) {
  ControllerLink link;
  std::vector<int> helps;
  link.ShowHelp = [&](int context) { helps.push_back(context); };
  SampleDialog dialog(link);
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  dialog.name->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(dialog.CurrentHintText(), "ＣＤ名を入力します");
  EXPECT_EQ(dialog.other->toolTip(), "短い");
  dialog.other->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(dialog.CurrentHintText(), "長いヒント");

  QTest::keyClick(dialog.other, Qt::Key_F1);
  dialog.SetHelpContext(72);
  dialog.HelpRequested();
  EXPECT_EQ(helps, (std::vector<int>{12, 72}));
}

TEST(ModalDialogTest, EditRefusesBytesPastItsCapacityAndCharactersWithoutShiftJis) {
  ControllerLink link;
  SampleDialog dialog(link);
  dialog.show();
  Type(dialog.name, "ab漢");  // four bytes: fits exactly
  Type(dialog.name, "c");     // a fifth byte: refused
  EXPECT_EQ(dialog.name->text(), "ab漢");
  EXPECT_FALSE(dialog.CurrentHintText().isEmpty());

  dialog.name->clear();
  Type(dialog.name, "😀");
  EXPECT_EQ(dialog.name->text(), "");
  EXPECT_TRUE(dialog.CurrentHintText().contains("😀"));
}

}  // namespace
}  // namespace qvr::test
