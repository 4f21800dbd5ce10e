// The registration dialog's "歌詞をオンラインで取得" on Qt's offscreen platform, inside the real
// desktop view and controller, against a local stand-in for LRCLIB: the field filled and the
// count told, the file written only by 更新, a lyrics file the record names replaced only when
// the user agrees, and the cancel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "cddb/DatabaseSnapshot.h"
#include "forms/LyricsFetch.h"
#include "forms/RegistrationFixture.h"
#include "lyrics/LrcFile.h"
#include "support/LocalHttpServer.h"

namespace qvr::test {
namespace {

using namespace std::chrono_literals;

bool WaitUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 10000) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

constexpr const char* kSynced =
    R"({"id":1,"trackName":"歌1","artistName":"歌手","albumName":"盤","duration":60,"instrumental":false,)"
    R"("plainLyrics":"最初の行","syncedLyrics":"[00:01.50] 最初の行\n[00:03.00] 次の行"})";

class LyricsFetchTest : public RegistrationFixture {
 protected:
  void UseServer(const LocalHttpServer& server) {
    WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\nLyricsServer=" + server.Url() + "\r\n");
  }
  static void TypeTitles(TDiscRegDLG& dialog) {
    dialog.DiscNameEDT->setText(QString::fromUtf8("盤"));
    dialog.ArtistNameEDT->setText(QString::fromUtf8("歌手"));
    dialog.TrackNameEDT->setText(QString::fromUtf8("歌1"));
  }
  std::vector<TDiscRecord> Stored() const {
    const DatabaseSnapshot snapshot = DatabaseSnapshot::Read(dir / "DB" / "MasterDB.QVR");
    std::vector<TDiscRecord> discs;
    for (std::size_t i = 0; i < snapshot.Masters().size(); ++i) discs.push_back(snapshot.Disc(i));
    return discs;
  }
};

TEST_F(LyricsFetchTest, FillsTheFieldTellsTheCountAndWritesTheFileOnlyOnUpdate) {
  LocalHttpServer server([](const HttpRequest& request) {
    if (request.Target.starts_with("/api/get?")) return HttpReply{200, kSynced};
    return HttpReply{200, "[]"};
  });
  UseServer(server);
  auto program = Start();
  std::filesystem::path file;
  Register(*program, [&](TDiscRegDLG& dialog) {
    ASSERT_TRUE(dialog.LyricsFetchBTN->isEnabled());
    TypeTitles(dialog);
    dialog.LyricsFetchBTN->click();
    EXPECT_EQ(dialog.LyricsFetchBTN->text(), QString::fromUtf8("歌詞の取得を中止"));
    ASSERT_TRUE(WaitUntil([&] { return !dialog.LyricsFileEDT->text().isEmpty(); }))
        << dialog.CurrentHintText().toStdString();
    file = dir / "DB" / "Lyrics" / (program->controller.Disc.DiscKey.Str() + ".lrc");
    EXPECT_EQ(dialog.LyricsFileEDT->text().toStdString(), file.string());
    EXPECT_TRUE(dialog.CurrentHintText().startsWith(QString::fromUtf8("5 曲中 1 曲の時間付き歌詞を取得しました")))
        << dialog.CurrentHintText().toStdString();
    EXPECT_EQ(dialog.LyricsFetchBTN->text(), QString::fromUtf8("歌詞をオンラインで取得"));
    EXPECT_FALSE(std::filesystem::exists(file)) << "nothing is written before 更新";
    EXPECT_TRUE(Stored().empty());
    dialog.UpdateBTN->click();
  });
  const auto stored = Stored();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].LyricsFile.ToUtf8(), file.string());
  const auto lines = ReadLrcFile(file);
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 2u);
  EXPECT_EQ(lines->front().text, "最初の行");
}

TEST_F(LyricsFetchTest, ALyricsFileOfTheUsersIsReplacedOnlyWhenAllowed) {
  LocalHttpServer server([](const HttpRequest& request) {
    if (request.Target.starts_with("/api/get?")) return HttpReply{200, kSynced};
    return HttpReply{200, "[]"};
  });
  UseServer(server);
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    TypeTitles(dialog);
    dialog.LyricsFileEDT->setText("/home/me/mine.lrc");
    int asked = 0;
    bool allow = false;
    dialog.Lyrics()->SetAsker([&](const QString&) {
      ++asked;
      return allow;
    });
    dialog.LyricsFetchBTN->click();
    ASSERT_TRUE(WaitUntil([&] { return asked == 1 && !dialog.Lyrics()->Running(); }));
    EXPECT_EQ(dialog.LyricsFileEDT->text(), "/home/me/mine.lrc");
    EXPECT_TRUE(dialog.CurrentHintText().endsWith(QString::fromUtf8("(歌詞ファイルはそのままです)")));
    allow = true;
    dialog.LyricsFetchBTN->click();
    ASSERT_TRUE(WaitUntil([&] { return dialog.LyricsFileEDT->text().endsWith(".lrc") && asked == 2; }));
    ASSERT_TRUE(WaitUntil([&] { return dialog.LyricsFileEDT->text() != "/home/me/mine.lrc"; }));
    dialog.CancelBTN->click();
  });
  EXPECT_FALSE(std::filesystem::exists(dir / "DB" / "Lyrics")) << "cancelled: nothing written";
}

TEST_F(LyricsFetchTest, TheButtonCancelsASlowFetchAndTheDialogStaysResponsive) {
  LocalHttpServer server([](const HttpRequest&) { return HttpReply{200, kSynced, "application/json", {}, 5s}; });
  UseServer(server);
  auto program = Start();
  Register(*program, [&](TDiscRegDLG& dialog) {
    TypeTitles(dialog);
    dialog.LyricsFetchBTN->click();
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    dialog.DiscNameEDT->setText(QString::fromUtf8("取得中に入力"));  // the dialog still takes edits
    dialog.LyricsFetchBTN->click();
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(WaitUntil([&] { return dialog.CurrentHintText() == QString::fromUtf8("歌詞の取得を中止しました"); }))
        << dialog.CurrentHintText().toStdString();
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(dialog.LyricsFileEDT->text(), "");
    dialog.CancelBTN->click();
  });
}

}  // namespace
}  // namespace qvr::test
