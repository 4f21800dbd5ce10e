// The control pad's real widgets: the dock's rows and positions, the pad wrapping its dock,
// floating and closing toolbars, the layout saved and restored through the settings file, and
// the buttons forwarding to the controller.
#include <gtest/gtest.h>

#include "forms/DesktopFixture.h"
#include "forms/PadDock.h"

namespace qvr::test {
namespace {

using ControlPadTest = DesktopFixture;

TEST_F(ControlPadTest, FirstRunDocksEveryToolbarInRowZeroAtItsDesignPosition) {
  auto program = Start();
  TQVRPad& pad = program->pad;
  EXPECT_FALSE(pad.isVisible());
  EXPECT_FALSE(program->controller.QVRMenu.Checked(MenuItemId::BaseMNU));
  const PadLayout layout = pad.Layout();
  for (const PadToolbarInfo& info : kPadToolbars) {
    const PadToolbarGeometry& bar = layout[info.toolbar];
    EXPECT_TRUE(bar.docked);
    EXPECT_EQ(bar.dock_row, 0);
    EXPECT_EQ(bar.dock_pos, info.design_pos) << info.key_prefix;
    EXPECT_EQ(bar.left, info.design_pos);
    EXPECT_TRUE(program->controller.QVRMenu.Checked(info.menu_item));
  }
  EXPECT_EQ(pad.DockingBase->height(), kRowHeight);
  EXPECT_EQ(pad.height(), pad.DockingBase->height());
  EXPECT_EQ(pad.windowTitle(), QString::fromUtf8("ＣＤをセットしてください"));
}

TEST_F(ControlPadTest, PadWrapsItsDockAsRowsComeAndGo) {
  auto program = Start();
  TQVRPad& pad = program->pad;
  PadDock& dock = *pad.DockingBase;
  dock.Dock(*dock.Toolbar(PadToolbar::ControlPad), 5, 10);
  EXPECT_EQ(dock.height(), 2 * kRowHeight);
  EXPECT_EQ(pad.height(), dock.height());
  EXPECT_EQ(pad.Layout()[PadToolbar::ControlPad].dock_row, 1);
  // Two toolbars asked for overlapping places: the later one is pushed along its row.
  dock.Dock(*dock.Toolbar(PadToolbar::ModePad), 1, 20);
  const PadLayout layout = pad.Layout();
  EXPECT_EQ(layout[PadToolbar::ControlPad].dock_pos, 10);
  EXPECT_EQ(layout[PadToolbar::ModePad].dock_pos, 10 + dock.Toolbar(PadToolbar::ControlPad)->width() + kToolbarGap);
  for (const PadToolbarInfo& info : kPadToolbars) dock.Float(*dock.Toolbar(info.toolbar), {100, 100});
  EXPECT_EQ(dock.height(), kEmptyDockHeight);
  EXPECT_EQ(pad.height(), kEmptyDockHeight);
}

TEST_F(ControlPadTest, ClosingAFloatingToolbarUnchecksItsMenuItem) {
  auto program = Start();
  PadDock& dock = *program->pad.DockingBase;
  PadToolbarWidget& mode = *dock.Toolbar(PadToolbar::ModePad);
  dock.Float(mode, {640, 480});
  mode.Floating()->close();
  EXPECT_FALSE(mode.Shown());
  EXPECT_FALSE(program->controller.QVRMenu.Checked(MenuItemId::ModePadMNU));
  program->controller.ModePadMNUClick();
  EXPECT_TRUE(mode.Shown());
  EXPECT_TRUE(program->controller.QVRMenu.Checked(MenuItemId::ModePadMNU));
}

TEST_F(ControlPadTest, LayoutSavedAtTheEndComesBackAtTheNextStart) {
  PadLayout saved;
  {
    auto program = Start();
    TQVRDM& dm = program->controller;
    PadDock& dock = *program->pad.DockingBase;
    dm.BaseMNUClick();
    program->pad.move(120, 340);
    program->pad.resize(420, program->pad.height());
    dock.Dock(*dock.Toolbar(PadToolbar::DiscPad), 1, 30);
    dock.Float(*dock.Toolbar(PadToolbar::ModePad), {600, 400});
    dm.OtherPadMNUClick();
    saved = program->pad.Layout();
    dm.QVRDMDestroy();
  }
  const std::string ini = ReadFile(dir / "Qvr.ini");
  for (const char* key :
       {"Visible=1", "ModeDock=0", "DiscDockRow=1", "DiscDockPos=30", "OtherVisible=0", "ModeLeft=600"}) {
    EXPECT_NE(ini.find(std::string(key) + "\r\n"), std::string::npos) << key;
  }
  auto program = Start();
  EXPECT_EQ(program->pad.Layout(), saved);
  EXPECT_TRUE(program->pad.isVisible());
  EXPECT_TRUE(program->controller.QVRMenu.Checked(MenuItemId::BaseMNU));
  EXPECT_FALSE(program->controller.QVRMenu.Checked(MenuItemId::OtherPadMNU));
  EXPECT_TRUE(program->pad.Button(PadButton::PadViewBTN)->isChecked());
}

TEST_F(ControlPadTest, ModeButtonsAreOneGroupOfAtMostOneDown) {
  auto program = Start();
  TQVRPad& pad = program->pad;
  pad.Button(PadButton::RandomBTN)->click();
  EXPECT_TRUE(pad.Button(PadButton::RandomBTN)->isChecked());
  pad.Button(PadButton::RepeatOneBTN)->click();
  EXPECT_TRUE(pad.Button(PadButton::RepeatOneBTN)->isChecked());
  EXPECT_FALSE(pad.Button(PadButton::RandomBTN)->isChecked());
  EXPECT_TRUE(program->controller.QVRMenu.Checked(MenuItemId::RepeatOneMNU));
  EXPECT_FALSE(program->controller.QVRMenu.Checked(MenuItemId::RandomMNU));
  pad.Button(PadButton::RepeatOneBTN)->click();
  for (PadButton button : {PadButton::RepeatOneBTN, PadButton::RepeatAllBTN, PadButton::RandomBTN}) {
    EXPECT_FALSE(pad.Button(button)->isChecked());
  }
}

TEST_F(ControlPadTest, ButtonsFollowTheDriveStateAndPadViewHidesThePad) {
  drive.InsertDisc([] {
    DiscToc toc;
    toc.Tracks = {{150, true}, {900, true}};
    toc.LeadOut = 1650;
    return toc;
  }());
  WriteFile(dir / "Qvr.ini", "[Control Pad]\r\nVisible=1\r\n[Other]\r\nAutoPlay=0\r\nAutoDLGOpen=0\r\n");
  auto program = Start();
  TQVRPad& pad = program->pad;
  EXPECT_TRUE(pad.Button(PadButton::PlayBTN)->isEnabled());
  EXPECT_FALSE(pad.Button(PadButton::StopBTN)->isEnabled());
  EXPECT_TRUE(pad.Button(PadButton::DiscRegBTN)->isEnabled());
  EXPECT_FALSE(pad.Button(PadButton::PluginBTN)->isEnabled());
  pad.Button(PadButton::PlayBTN)->click();
  EXPECT_FALSE(pad.Button(PadButton::PlayBTN)->isEnabled());
  EXPECT_TRUE(pad.Button(PadButton::StopBTN)->isEnabled());
  EXPECT_EQ(pad.windowTitle(), QString::fromUtf8("曲名未登録"));
  ASSERT_TRUE(pad.isVisible());
  pad.Button(PadButton::PadViewBTN)->click();
  EXPECT_FALSE(pad.isVisible());
  EXPECT_FALSE(program->controller.QVRMenu.Checked(MenuItemId::BaseMNU));
}

}  // namespace
}  // namespace qvr::test
