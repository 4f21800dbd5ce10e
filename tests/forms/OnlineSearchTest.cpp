// The registration dialog's "オンラインで検索" on Qt's offscreen platform, inside the real
// desktop view and controller, against a local server: empty fields filled and typed ones kept,
// the cover saved as the jacket, the chooser for several releases, failures as one line in the
// status bar with nothing changed, the cancel, and nothing stored before 更新.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTableWidget>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <functional>

#include "cddb/DatabaseSnapshot.h"
#include "forms/OnlineSearch.h"
#include "forms/RegistrationFixture.h"
#include "forms/SaleDateEdit.h"
#include "forms/TLookupChooserDLG.h"
#include "metadata/DiscIds.h"
#include "metadata/OnlineFixtures.h"
#include "support/LocalHttpServer.h"

namespace qvr::test {
namespace {

using namespace std::chrono_literals;

const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "cover";

// Lets the event loop run until `done` holds or 10 s have passed.
bool WaitUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

class OnlineSearchTest : public RegistrationFixture {
 protected:
  void UseServer(const LocalHttpServer& server) {
    WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\nMusicBrainzServer=" + server.Url() +
                                   "\r\nGnudbServer=\r\nCoverArtServer=" + server.Url() + "\r\n");
  }

  std::vector<TDiscRecord> Stored() const {
    const DatabaseSnapshot snapshot = DatabaseSnapshot::Read(dir / "DB" / "MasterDB.QVR");
    std::vector<TDiscRecord> discs;
    for (std::size_t i = 0; i < snapshot.Masters().size(); ++i) discs.push_back(snapshot.Disc(i));
    return discs;
  }
};

ReleaseFixture FiveTrackRelease(const std::string& title, const std::string& country) {
  ReleaseFixture release;
  release.title = title;
  release.country = country;
  release.tracks = 5;
  release.type = "Album";
  release.date = "2005-06-07";
  release.disc_id = "any";  // the medium is found by its track count
  return release;
}

TEST_F(OnlineSearchTest, FillsEmptyFieldsAndTakesTheCoverAsJacketStoredOnlyByUpdate) {
  const ReleaseFixture release = FiveTrackRelease("見つかった盤", "JP");
  LocalHttpServer server([&](const HttpRequest& request) {
    if (request.Target.starts_with("/ws/2/discid/")) return HttpReply{200, DiscIdAnswer("x", {release})};
    if (request.Target == "/release/" + release.id + "/front-1200") return HttpReply{200, kJpeg, "image/jpeg"};
    return HttpReply{404, "{}"};
  });
  UseServer(server);
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    ASSERT_TRUE(dialog.OnlineSearchBTN->isEnabled());
    EXPECT_EQ(dialog.OnlineSearchBTN->text(), QString::fromUtf8("オンラインで検索(&O)"));
    dialog.ArtistNameEDT->setText(QString::fromUtf8("自分で入力"));
    dialog.OnlineSearchBTN->click();
    EXPECT_EQ(dialog.OnlineSearchBTN->text(), QString::fromUtf8("検索を中止(&O)"));
    ASSERT_TRUE(WaitUntil([&] { return !dialog.JacketFileEDT->text().isEmpty(); }))
        << dialog.CurrentHintText().toStdString();
    EXPECT_EQ(dialog.DiscNameEDT->text(), QString::fromUtf8("見つかった盤"));
    EXPECT_EQ(dialog.ArtistNameEDT->text(), QString::fromUtf8("自分で入力")) << "typed text stays";
    EXPECT_EQ(dialog.LabelNameEDT->text(), "Label");
    EXPECT_EQ(dialog.SaleDateDTP->Day(), (CivilDate{2005, 6, 7}));
    EXPECT_EQ(dialog.DiscTypeCMB->currentText(), QString::fromUtf8("アルバム"));
    EXPECT_EQ(dialog.TrackNameEDT->text(), QString::fromUtf8("見つかった盤 1"));
    const std::filesystem::path jacket = dir / "DB" / "Jacket" / (program->controller.Disc.DiscKey.Str() + ".jpg");
    EXPECT_EQ(dialog.JacketFileEDT->text().toStdString(), jacket.string());
    EXPECT_TRUE(std::filesystem::exists(jacket));
    EXPECT_EQ(dialog.OnlineSearchBTN->text(), QString::fromUtf8("オンラインで検索(&O)"));
    EXPECT_EQ(dialog.CurrentHintText(), QString::fromUtf8("MusicBrainz の「見つかった盤」とカバー画像を入力しました"));
    EXPECT_TRUE(Stored().empty()) << "nothing is stored before 更新";
    dialog.UpdateBTN->click();
  });
  const auto stored = Stored();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].DiscName.ToUtf8(), "見つかった盤");
  EXPECT_EQ(stored[0].ArtistName.ToUtf8(), "自分で入力");
  EXPECT_EQ(stored[0].Tracks[5].TrackName.ToUtf8(), "見つかった盤 5");
  EXPECT_EQ(stored[0].Tracks[1].Musicby.ToUtf8(), "作曲者、Second Composer");
  EXPECT_EQ(stored[0].DiscType, dtAlbum);
}

// A release whose cover the archive does not have: the texts are filled, the jacket stays empty
// and the status bar tells both.
TEST_F(OnlineSearchTest, AMissingCoverIsToldBesideTheFilledRelease) {
  const ReleaseFixture release = FiveTrackRelease("表紙のない盤", "JP");
  LocalHttpServer server([&](const HttpRequest& request) {
    if (request.Target.starts_with("/ws/2/discid/")) return HttpReply{200, DiscIdAnswer("x", {release})};
    return HttpReply{404, "{}"};
  });
  UseServer(server);
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    dialog.OnlineSearchBTN->click();
    const QString told =
        QString::fromUtf8("MusicBrainz の「表紙のない盤」を入力しました (カバー画像は見つかりませんでした)");
    ASSERT_TRUE(WaitUntil([&] { return dialog.CurrentHintText() == told; })) << dialog.CurrentHintText().toStdString();
    EXPECT_EQ(dialog.DiscNameEDT->text(), QString::fromUtf8("表紙のない盤"));
    EXPECT_EQ(dialog.JacketFileEDT->text(), "");
  });
}

TEST_F(OnlineSearchTest, SeveralReleasesAreChosenFrom) {
  LocalHttpServer server([&](const HttpRequest& request) {
    if (request.Target.starts_with("/ws/2/discid/")) {
      return HttpReply{200, DiscIdAnswer("x", {FiveTrackRelease("Western", "GB"), FiveTrackRelease("日本盤", "JP")})};
    }
    return HttpReply{404, "{}"};
  });
  UseServer(server);
  auto program = Start();
  std::vector<std::string> listed;
  Register(*program, [&](TDiscRegDLG& dialog) {
    dialog.Online()->SetChooser([&](const std::vector<DiscProposal>& proposals) -> std::optional<std::size_t> {
      // The real chooser lists them in the order given, Japanese first.
      TLookupChooserDLG chooser(&dialog, proposals);
      // QVR_SCREENSHOT_DIR=folder keeps pictures of the chooser and the dialog to look at.
      if (const char* shots = std::getenv("QVR_SCREENSHOT_DIR")) {
        chooser.show();
        QApplication::processEvents();
        chooser.grab().save(QString::fromUtf8(shots) + "/lookup-chooser.png");
        dialog.grab().save(QString::fromUtf8(shots) + "/registration-online.png");
      }
      for (int row = 0; row < chooser.CandidateLST->rowCount(); ++row) {
        listed.push_back(chooser.CandidateLST->item(row, 0)->text().toStdString() + "/" +
                         chooser.CandidateLST->item(row, 2)->text().toStdString());
      }
      return 1;
    });
    dialog.OnlineSearchBTN->click();
    ASSERT_TRUE(WaitUntil([&] { return !dialog.DiscNameEDT->text().isEmpty(); }));
    EXPECT_EQ(dialog.DiscNameEDT->text(), "Western");
  });
  EXPECT_EQ(listed, (std::vector<std::string>{"日本盤/JP", "Western/GB"}));
}

TEST_F(OnlineSearchTest, FailureIsOneLineInTheStatusBarAndChangesNothing) {
  int port = 0;
  {
    LocalHttpServer closed([](const HttpRequest&) { return HttpReply{}; });
    port = closed.Port();
  }
  WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\nMusicBrainzServer=http://127.0.0.1:" +
                                 std::to_string(port) + "\r\nGnudbServer=\r\n");
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    dialog.OnlineSearchBTN->click();
    ASSERT_TRUE(WaitUntil([&] { return dialog.CurrentHintText().contains(QString::fromUtf8("接続できません")); }))
        << dialog.CurrentHintText().toStdString();
    EXPECT_FALSE(dialog.CurrentHintText().contains('\n'));
    // A hint passing over the bar does not lose the outcome: it returns when the hint goes.
    const QString outcome = dialog.CurrentHintText();
    QStatusTipEvent hint(dialog.UpdateBTN->statusTip());
    QApplication::sendEvent(&dialog, &hint);
    EXPECT_EQ(dialog.CurrentHintText(), dialog.UpdateBTN->statusTip());
    QStatusTipEvent gone{QString()};
    QApplication::sendEvent(&dialog, &gone);
    EXPECT_EQ(dialog.CurrentHintText(), outcome);
    EXPECT_EQ(dialog.DiscNameEDT->text(), "");
    EXPECT_EQ(dialog.DiscTypeCMB->currentText(), QString::fromUtf8("ミニアルバム"));
    EXPECT_EQ(dialog.OnlineSearchBTN->text(), QString::fromUtf8("オンラインで検索(&O)"));
  });
}

TEST_F(OnlineSearchTest, SecondClickCancels) {
  LocalHttpServer server([](const HttpRequest&) { return HttpReply{200, "{}", "application/json", {}, 5s}; });
  UseServer(server);
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    dialog.OnlineSearchBTN->click();
    ASSERT_TRUE(WaitUntil([&] { return server.Requests().size() == 1; }));
    dialog.OnlineSearchBTN->click();
    ASSERT_TRUE(WaitUntil([&] { return !dialog.Online()->Running(); }));
    WaitUntil([&] { return dialog.CurrentHintText() == QString::fromUtf8("検索を中止しました"); });
    EXPECT_EQ(dialog.CurrentHintText(), QString::fromUtf8("検索を中止しました"));
    EXPECT_EQ(dialog.DiscNameEDT->text(), "");
  });
}

// An enhanced CD: MusicBrainz knows it by its audio session alone, so the search must learn from
// the drive that the last track is data (the record does not say).
TEST_F(OnlineSearchTest, TheDrivesDataTrackIsLeftOutOfTheDiscId) {
  DiscToc enhanced;
  enhanced.Tracks = {{150, true}, {4650, true}, {9150, true}, {13650, true}, {30000, false}};
  enhanced.LeadOut = 40000;
  drive.InsertDisc(enhanced);
  DiscToc all_audio = enhanced;
  all_audio.Tracks.back().Audio = true;
  ASSERT_NE(MusicBrainzDiscId(enhanced), MusicBrainzDiscId(all_audio));
  LocalHttpServer server([](const HttpRequest&) { return HttpReply{404, "{}"}; });
  UseServer(server);
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    dialog.OnlineSearchBTN->click();
    ASSERT_TRUE(WaitUntil([&] { return !dialog.Online()->Running(); }));
  });
  ASSERT_FALSE(server.Requests().empty());
  EXPECT_TRUE(server.Requests()[0].Target.starts_with("/ws/2/discid/" + MusicBrainzDiscId(enhanced)))
      << server.Requests()[0].Target;
}

TEST_F(OnlineSearchTest, ClosingTheDialogEndsARunningSearch) {
  LocalHttpServer server([](const HttpRequest&) { return HttpReply{200, "{}", "application/json", {}, 5s}; });
  UseServer(server);
  auto program = Start();
  QElapsedTimer timer;
  timer.start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    dialog.OnlineSearchBTN->click();
    WaitUntil([&] { return server.Requests().size() == 1; });
    dialog.CancelBTN->click();
  });
  EXPECT_LT(timer.elapsed(), 3000);
  EXPECT_TRUE(Stored().empty());
}

}  // namespace
}  // namespace qvr::test
