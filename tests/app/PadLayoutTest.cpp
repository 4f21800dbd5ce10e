// The control pad's side of the controller: the PadMNU commands and the layout keys, restored
// under the pad switches with the current layout as the default and saved the same way.
#include <gtest/gtest.h>

#include "app/ControllerFixture.h"

namespace qvr::test {
namespace {

class PadLayoutTest : public ControllerFixture {
 protected:
  PadLayoutTest() {
    // The pad as it is built: hidden, every toolbar docked in row 0 at its design position.
    view.pad.window = {7, 776, 500, 53, false};
    for (const PadToolbarInfo& info : kPadToolbars)
      view.pad[info.toolbar] = {true, info.design_pos, 0, info.design_pos, 0, 60, 26, true};
  }
  std::string Saved() const { return ReadFile(dir / "Qvr.ini"); }
  bool Has(const std::string& line) const { return Saved().find(line + "\r\n") != std::string::npos; }
};

TEST_F(PadLayoutTest, FirstRunKeepsThePadHiddenWithEveryToolbarDockedAndChecked) {
  TQVRDM& dm = Started();
  EXPECT_FALSE(view.pad_visible);
  EXPECT_FALSE(dm.QVRMenu.Checked(MenuItemId::BaseMNU));
  EXPECT_FALSE(view.toggles[PadToggle::PadViewBTN]);
  EXPECT_TRUE(view.toggles[PadToggle::LyricsViewBTN]);
  for (const PadToolbarInfo& info : kPadToolbars) {
    EXPECT_TRUE(view.pad[info.toolbar].docked);
    EXPECT_EQ(view.pad[info.toolbar].dock_pos, info.design_pos);
    EXPECT_TRUE(dm.QVRMenu.Checked(info.menu_item));
  }
}

TEST_F(PadLayoutTest, StoredWindowAndToolbarsComeBackAndFollowTheMenu) {
  WriteSettings("",
                "[Control Pad]\r\nLeft=40\r\nTop=50\r\nWidth=300\r\nVisible=1\r\nOtherVisible=0\r\n"
                "ModeDock=0\r\nModeLeft=600\r\nModeTop=400\r\nControlDockRow=1\r\nControlDockPos=12\r\n"
                "[Repeat]\r\nPlayMode=3\r\n");
  TQVRDM& dm = Started();
  EXPECT_EQ(view.pad.window, (PadWindowGeometry{40, 50, 300, 53, true}));
  EXPECT_TRUE(view.pad_stay_on_top);
  EXPECT_TRUE(dm.QVRMenu.Checked(MenuItemId::BaseMNU));
  EXPECT_TRUE(view.toggles[PadToggle::PadViewBTN]);
  EXPECT_TRUE(view.toggles[PadToggle::RandomBTN]);
  EXPECT_FALSE(view.toggles[PadToggle::RepeatOneBTN]);
  EXPECT_FALSE(view.pad[PadToolbar::OtherPad].visible);
  EXPECT_FALSE(dm.QVRMenu.Checked(MenuItemId::OtherPadMNU));
  EXPECT_FALSE(view.pad[PadToolbar::ModePad].docked);
  EXPECT_EQ(view.pad[PadToolbar::ModePad].left, 600);
  EXPECT_EQ(view.pad[PadToolbar::ControlPad].dock_row, 1);
  EXPECT_EQ(view.pad[PadToolbar::ControlPad].dock_pos, 12);

  dm.OtherPadMNUClick();
  EXPECT_TRUE(view.pad[PadToolbar::OtherPad].visible);
  EXPECT_TRUE(dm.QVRMenu.Checked(MenuItemId::OtherPadMNU));
  dm.PadToolbarClose(PadToolbar::ModePad);
  EXPECT_FALSE(dm.QVRMenu.Checked(MenuItemId::ModePadMNU));
  dm.ModePadMNUClick();
  EXPECT_TRUE(dm.QVRMenu.Checked(MenuItemId::ModePadMNU));
  EXPECT_TRUE(view.pad[PadToolbar::ModePad].visible);
}

TEST_F(PadLayoutTest, SwitchesOffIgnoreTheStoredKeys) {
  WriteSettings("",
                "[Control Pad]\r\nStatus=0\r\nDockInfo=0\r\nChildrenStatus=0\r\nStayOnTop=0\r\nVisible=1\r\n"
                "ModeDock=0\r\nOtherVisible=0\r\n");
  TQVRDM& dm = Started();
  EXPECT_FALSE(view.pad_visible);
  EXPECT_FALSE(view.pad_stay_on_top);
  EXPECT_TRUE(view.pad[PadToolbar::ModePad].docked);
  EXPECT_TRUE(view.pad[PadToolbar::OtherPad].visible);
  EXPECT_FALSE(dm.QVRMenu.Checked(MenuItemId::BaseMNU));
}

TEST_F(PadLayoutTest, PadViewCommandHidesAndShowsThePad) {
  WriteSettings("", "[Control Pad]\r\nVisible=1\r\n");
  TQVRDM& dm = Started();
  ASSERT_TRUE(view.pad_visible);
  dm.BaseMNUClick();
  EXPECT_FALSE(view.pad_visible);
  EXPECT_FALSE(dm.QVRMenu.Checked(MenuItemId::BaseMNU));
  EXPECT_FALSE(view.toggles[PadToggle::PadViewBTN]);
  dm.BaseMNUClick();
  EXPECT_TRUE(view.pad_visible);
  EXPECT_TRUE(view.toggles[PadToggle::PadViewBTN]);
}

TEST_F(PadLayoutTest, SaveWritesEveryKeyAndARestartRestoresTheSameLayout) {
  WriteSettings();
  TQVRDM& dm = Started();
  view.pad.window = {11, 22, 333, 44, true};
  view.pad[PadToolbar::DiscPad] = {false, 5, 2, 700, 500, 57, 40, true};
  view.pad[PadToolbar::BasicPad].visible = false;
  const PadLayout saved = view.pad;
  dm.QVRDMDestroy();
  for (const char* key : {"Height=44", "Left=11", "Top=22", "Width=333", "Visible=1", "DiscDock=0", "DiscDockPos=5",
                          "DiscDockRow=2", "DiscLeft=700", "DiscTop=500", "DiscHeight=40", "DiscWidth=57",
                          "BasicVisible=0", "OtherDock=1", "OtherDockPos=364"}) {
    EXPECT_TRUE(Has(key)) << key;
  }
  view.pad = {};
  Started();
  EXPECT_EQ(view.pad, saved);
}

TEST_F(PadLayoutTest, ASwitchThatIsOffWritesNothing) {
  WriteSettings("", "[Control Pad]\r\nStatus=0\r\nLeft=123\r\nVisible=1\r\n");
  TQVRDM& dm = Started();
  view.pad.window = {1, 2, 3, 4, false};
  dm.QVRDMDestroy();
  EXPECT_TRUE(Has("Left=123"));
  EXPECT_TRUE(Has("Visible=1"));
  EXPECT_FALSE(Has("Width=3"));
  EXPECT_TRUE(Has("BasicDock=1"));
}

}  // namespace
}  // namespace qvr::test
