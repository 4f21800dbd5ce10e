// The tray icon and its hint in the real notification-area widget: the monitor's tick asks for
// them every second, and only a change reaches the system tray.
#include <gtest/gtest.h>

#include "forms/DesktopFixture.h"
#include "support/TempDir.h"

namespace qvr::test {
namespace {

using TrayTest = DesktopFixture;

DiscToc TwoTracks() {
  DiscToc toc;
  toc.Tracks = {{150, true}, {150 + 30 * 75, true}};
  toc.LeadOut = 150 + 60 * 75;
  return toc;
}

TEST_F(TrayTest, TicksSendOnlyChangesToTheTray) {
  WriteFile(dir / "Qvr.ini", "[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");
  drive.SetNotReady(true);
  auto program = Start();
  TQVRDM& dm = program->controller;
  DesktopView& view = program->view;
  const QString not_ready = view.Tray().toolTip();
  const int at_start = view.TrayUpdates();
  for (int tick = 0; tick < 5; ++tick) dm.TimerTimer();
  EXPECT_EQ(view.TrayUpdates(), at_start) << "an unchanged icon or hint was set again";
  EXPECT_EQ(view.Tray().toolTip(), not_ready);

  // A disc arrives: icon and hint change once, then stay.
  drive.SetNotReady(false);
  drive.InsertDisc(TwoTracks());
  dm.TimerTimer();
  const int stopped = view.TrayUpdates();
  EXPECT_GT(stopped, at_start);
  EXPECT_NE(view.Tray().toolTip(), not_ready);
  for (int tick = 0; tick < 5; ++tick) dm.TimerTimer();
  EXPECT_EQ(view.TrayUpdates(), stopped);

  // Playing, the icon blinks: one change a tick, the hint stays.
  dm.PlayMNUClick();
  dm.TimerTimer();
  const int playing = view.TrayUpdates();
  const QString hint = view.Tray().toolTip();
  for (int tick = 0; tick < 4; ++tick) {
    drive.Advance(1000);
    dm.TimerTimer();
  }
  EXPECT_EQ(view.TrayUpdates(), playing + 4);
  EXPECT_EQ(view.Tray().toolTip(), hint);
}

}  // namespace
}  // namespace qvr::test
