// The CD-Text of an unregistered disc in the status texts, and what the registration dialog is
// offered; a registered disc keeps showing its record, and nothing is stored unasked.
#include "app/ControllerFixture.h"
#include "metadata/CdTextRecord.h"

namespace qvr::test {
namespace {

class CdTextStatusTest : public ControllerFixture {
 protected:
  static CdText Text() {
    CdText text;
    text.Disc.Title = {"Caf\xE9 Album", CdTextCharset::Latin1};
    text.Disc.Performer = {Utf8ToSjis("髙橋①").bytes, CdTextCharset::MsJis};
    text.Track(1).Title = {"First & last", CdTextCharset::Latin1};
    return text;
  }
};

TEST_F(CdTextStatusTest, AnUnregisteredDiscShowsItsCdTextTitles) {
  WriteSettings();
  drive.InsertDisc(Toc({10, 10}));
  drive.SetCdText(Text());
  TQVRDM& dm = Started();
  EXPECT_EQ(view.pad_caption, "[Cafe Album]  髙橋①");
  EXPECT_EQ(view.tray_hint, "[Cafe Album]  髙橋①");
  dm.PlayMNUClick();
  EXPECT_EQ(view.pad_caption, "[First & last]");
  EXPECT_EQ(view.lyrics_text, "[First && last]");
  EXPECT_EQ(view.tray_hint, "[Cafe Album]  髙橋①");
  PlayFor(10500);
  EXPECT_EQ(view.lyrics_text, "曲名未登録");  // track 2 has no title in the CD-Text
  // Still unregistered: the disc's record is empty, the dialog opens filled, nothing is stored.
  EXPECT_TRUE(dm.Disc.DiscName.Empty());
  ASSERT_TRUE(dm.DiscCdText.OpeningProposal(dm.Disc));
  EXPECT_EQ(dm.DiscCdText.OpeningProposal(dm.Disc)->DiscName, "Cafe Album");
  EXPECT_EQ(StoredName(dm.Disc), "");
}

TEST_F(CdTextStatusTest, TheRegistrationDialogOpensItselfAndItsUpdateStores) {
  WriteSettings("AutoDLGOpen=1\r\n");
  drive.InsertDisc(Toc({10, 10}));
  drive.SetCdText(Text());
  view.dialog_actions[DialogKind::Registration] = [this] {
    // What the dialog does with the proposal it is handed: fill the empty fields, then Update.
    FillEmptyTexts(controller->Disc, *controller->DiscCdText.OpeningProposal(controller->Disc));
    return ModalResult::Update;
  };
  TQVRDM& dm = Started();
  EXPECT_EQ(StoredName(dm.Disc), "Cafe Album");
  EXPECT_EQ(view.pad_caption, "[Cafe Album]  髙橋①");
  EXPECT_FALSE(dm.DiscCdText.OpeningProposal(dm.Disc));  // registered now
  EXPECT_TRUE(dm.DiscCdText.ProposalFor(dm.Disc));       // still offered
}

TEST_F(CdTextStatusTest, ARegisteredDiscShowsItsRecord) {
  Register(Toc({10, 10}), "Stored", "", {"Mine"});
  WriteSettings();
  drive.InsertDisc(Toc({10, 10}));
  drive.SetCdText(Text());
  TQVRDM& dm = Started();
  EXPECT_EQ(view.pad_caption, "[Stored] アーティスト名未登録");
  dm.PlayMNUClick();
  EXPECT_EQ(view.pad_caption, "[Mine]");
  // Another disc without CD-Text: nothing of the first disc's shows.
  drive.OpenTray();
  Tick();
  drive.InsertDisc(Toc({20}));
  drive.SetCdText({});
  Tick();
  EXPECT_EQ(view.pad_caption, "ＣＤ名未登録 アーティスト名未登録");
  EXPECT_FALSE(dm.DiscCdText.ProposalFor(dm.Disc));
}

}  // namespace
}  // namespace qvr::test
