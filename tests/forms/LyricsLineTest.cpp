// The lyrics line window: its geometry on the screen by the layout rule, the font with its
// Japanese stand-in, the label's ampersands, and the search progress repaint limit.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>

#include "forms/DesktopFixture.h"
#include "forms/QtSupport.h"

namespace qvr::test {
namespace {

using LyricsWindowTest = DesktopFixture;

QRect Screen() { return QGuiApplication::primaryScreen()->geometry(); }

TEST_F(LyricsWindowTest, SpansTheScreenAtTheTopOrBottomEdgeOneLineHigh) {
  ControllerLink link;
  TQVRMain window(link);
  LyricsAppearance appearance;
  appearance.client_height = 16;
  window.ApplyAppearance(appearance, false);
  const QRect screen = Screen();
  EXPECT_EQ(window.geometry(), QRect(screen.left(), screen.bottom() + 1 - 16, screen.width(), 16));
  EXPECT_EQ(window.LrcLine->geometry(), QRect(0, 0, screen.width(), 16));
  appearance.client_height = 24;
  window.ApplyAppearance(appearance, true);
  EXPECT_EQ(window.geometry(), QRect(screen.left(), screen.top(), screen.width(), 24));
}

TEST_F(LyricsWindowTest, StartsFromTheSettingsAndDragsBetweenEdges) {
  WriteFile(dir / "Qvr.ini",
            "[Lyrics]\r\nPosition=0\r\nFont.Size=15\r\nBackGroundColor=255\r\n[Other]\r\nAutoPlay=0\r\n");
  auto program = Start();
  TQVRMain& window = program->main;
  const QRect screen = Screen();
  const int height = program->controller.Lyrics.client_height;
  EXPECT_EQ(height, (15 * program->view.ScreenPixelsPerInch() + 36) / 72 + 4);
  EXPECT_EQ(window.geometry(), QRect(0, screen.height() - height, screen.width(), height));
  EXPECT_EQ(window.LrcLine->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_EQ(window.LrcLine->palette().color(QPalette::WindowText), QColor(255, 255, 0));
  program->controller.LrcLinePosChange(true, screen.height() / 2.0 - 1, screen.height());
  EXPECT_EQ(window.y(), 0);
  EXPECT_TRUE(program->controller.LyricsAtTop);
}

TEST_F(LyricsWindowTest, MissingFaceFallsBackToAnInstalledJapaneseFaceOfTheSameSize) {
  const TIniFont font{"\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 9, fsBold, 0x0000FFFF};
  const QFont qt_font = FontFromIni(font, 12);
  EXPECT_EQ(qt_font.families().front(), QString::fromUtf8("ＭＳ Ｐゴシック"));
  const QFontInfo info(qt_font);
  EXPECT_EQ(info.pixelSize(), 12);
  EXPECT_TRUE(info.bold());
  if (QFontDatabase::families().contains(QString::fromUtf8("ＭＳ Ｐゴシック"))) GTEST_SKIP() << "the face is installed";
  EXPECT_TRUE(QFontDatabase::writingSystems(info.family()).contains(QFontDatabase::Japanese))
      << info.family().toStdString();
}

TEST_F(LyricsWindowTest, LabelShowsDoubledAmpersandsOnce) {
  ControllerLink link;
  TQVRMain window(link);
  window.SetLineText("[R&&B] & more");
  EXPECT_EQ(window.LineText(), "[R&&B] & more");
  EXPECT_EQ(window.LrcLine->text(), QString("[R&B]  more"));
  EXPECT_EQ(window.windowTitle(), QString("[R&B]  more"));
}

// A line wider than the screen stays one line; its whole text is in the tooltip, above the help
// hint, and goes from there once the line fits again.
TEST_F(LyricsWindowTest, TooWideALineIsWholeInTheToolTip) {
  ControllerLink link;
  TQVRMain window(link);
  window.SetHintsEnabled(true);
  window.SetLineText("短い行");
  EXPECT_EQ(window.toolTip(), "<qt>右クリックでメニュー、ドラッグで上端と下端を切り替えます</qt>");
  std::string wide = "始まり";
  while (window.LrcLine->fontMetrics().horizontalAdvance(QString::fromStdString(wide)) <= Screen().width()) {
    wide += " とても長い <理由> の説明";
  }
  wide += " 終わり";
  window.SetLineText(wide);
  EXPECT_TRUE(window.toolTip().startsWith("<qt>" + QString::fromStdString(wide).toHtmlEscaped() + "<br>"))
      << window.toolTip().toStdString();
  window.SetHintsEnabled(false);
  EXPECT_EQ(window.toolTip(), "<qt>" + QString::fromStdString(wide).toHtmlEscaped() + "</qt>");
  window.SetLineText("短い行");
  EXPECT_EQ(window.toolTip(), QString());
}

TEST_F(LyricsWindowTest, SearchProgressRepaintsAtMostAboutThirtyTimesASecond) {
  auto program = Start();
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < 200000; ++i) program->view.Searching("\x83\x65\x83\x58\x83\x67");  // テスト
  const double seconds = clock.elapsed() / 1000.0;
  EXPECT_LE(program->view.SearchPaints(), static_cast<int>(seconds * 31) + 2);
  EXPECT_EQ(program->main.LineText(), "検索中 … テスト");
  program->view.SearchFinished();
  EXPECT_EQ(program->main.LineText(), "検索終了");
}

}  // namespace
}  // namespace qvr::test
