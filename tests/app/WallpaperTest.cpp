// The automatic wallpaper: disc jackets go on the desktop, and the user's own picture comes
// back for a disc without a jacket, when the option is switched off, and after a restart.
#include "app/ControllerFixture.h"

namespace qvr::test {
namespace {

class WallpaperTest : public ControllerFixture {
 protected:
  WallpaperTest() {
    Register(Toc({10}), "Jacket", "A", {}, "/pictures/jacket.png");
    Register(Toc({20}), "Bare", "B");
    wallpaper.current = "/home/me/beach.jpg";
  }
  void Insert(const DiscToc& toc) {
    drive.OpenTray();
    Tick();
    drive.InsertDisc(toc);
    Tick();
  }
};

TEST_F(WallpaperTest, DiscWithoutJacketBringsBackTheUsersPictureNotNone) {
  WriteSettings("AutoWall=1\r\n");
  drive.InsertDisc(Toc({10}));
  Started();
  EXPECT_EQ(wallpaper.current, "/pictures/jacket.png");
  Insert(Toc({20}));
  EXPECT_EQ(wallpaper.current, "/home/me/beach.jpg");
  const int sets = wallpaper.sets;
  Insert(Toc({20}));  // the user's picture is up already: nothing written
  EXPECT_EQ(wallpaper.sets, sets);
}

TEST_F(WallpaperTest, TheUsersPictureSurvivesARestartWithTheJacketStillUp) {
  WriteSettings("AutoWall=1\r\n");
  drive.InsertDisc(Toc({10}));
  Started().QVRDMDestroy();
  controller.reset();
  EXPECT_EQ(wallpaper.current, "/pictures/jacket.png");

  drive.OpenTray();
  Started();
  drive.InsertDisc(Toc({20}));
  Tick();
  EXPECT_EQ(wallpaper.current, "/home/me/beach.jpg");
}

TEST_F(WallpaperTest, APictureTheUserChoseMeanwhileIsTheOneKept) {
  WriteSettings("AutoWall=1\r\n");
  drive.InsertDisc(Toc({10}));
  Started();
  wallpaper.current = "/home/me/mountain.png";  // chosen in the desktop's settings
  Insert(Toc({10}));
  EXPECT_EQ(wallpaper.current, "/pictures/jacket.png");
  Insert(Toc({20}));
  EXPECT_EQ(wallpaper.current, "/home/me/mountain.png");
}

TEST_F(WallpaperTest, TheLightAndTheDarkPictureBothComeBackAlsoAfterARestart) {
  WriteSettings("AutoWall=1\r\n");
  wallpaper.dark = "/home/me/night.jpg";
  drive.InsertDisc(Toc({10}));
  Started().QVRDMDestroy();
  controller.reset();
  EXPECT_EQ(wallpaper.dark, "/pictures/jacket.png");
  drive.OpenTray();
  Started();
  drive.InsertDisc(Toc({20}));
  Tick();
  EXPECT_EQ(wallpaper.current, "/home/me/beach.jpg");
  EXPECT_EQ(wallpaper.dark, "/home/me/night.jpg");
}

// A settings file of a version that kept only one picture still gives it back.
TEST_F(WallpaperTest, SettingsThatKeptOnePictureStillRestoreIt) {
  WriteSettings("AutoWall=1\r\nUserWallpaper=/home/me/beach.jpg\r\nJacketWallpaper=/pictures/jacket.png\r\n");
  wallpaper.current = wallpaper.dark = "/pictures/jacket.png";
  drive.InsertDisc(Toc({20}));
  Started();
  EXPECT_EQ(wallpaper.current, "/home/me/beach.jpg");
  EXPECT_EQ(wallpaper.dark, "/home/me/beach.jpg");
}

TEST_F(WallpaperTest, SwitchingTheOptionOffRestoresTheUsersPicture) {
  WriteSettings("AutoWall=1\r\n");
  drive.InsertDisc(Toc({10}));
  TQVRDM& dm = Started();
  TOptionValues values = dm.CurrentOptions();
  values.auto_wall = false;
  dm.ApplyOptions(values);
  EXPECT_EQ(wallpaper.current, "/home/me/beach.jpg");
  const int sets = wallpaper.sets;
  Insert(Toc({10}));  // off: never touched
  EXPECT_EQ(wallpaper.sets, sets);
}

TEST_F(WallpaperTest, RegistrationSetsTheJacketAtOnceAndKeepsTheUsersPicture) {
  WriteSettings("AutoWall=1\r\n");
  drive.InsertDisc(Toc({20}));
  TQVRDM& dm = Started();
  EXPECT_EQ(wallpaper.sets, 0);  // no jacket, the user's picture is up
  view.dialog_actions[DialogKind::Registration] = [&] {
    dm.Disc.JacketFile = "/pictures/new.png";
    return ModalResult::Update;
  };
  dm.LibraryEditMNUClick();
  EXPECT_EQ(wallpaper.current, "/pictures/new.png");
  view.dialog_actions[DialogKind::Registration] = [&] {
    dm.Disc.JacketFile = "";
    return ModalResult::Update;
  };
  dm.LibraryEditMNUClick();
  EXPECT_EQ(wallpaper.current, "/home/me/beach.jpg");
}

TEST_F(WallpaperTest, OptionOffNeverTouchesTheDesktop) {
  WriteSettings();
  drive.InsertDisc(Toc({10}));
  Started();
  Insert(Toc({20}));
  EXPECT_EQ(wallpaper.sets, 0);
  EXPECT_EQ(wallpaper.current, "/home/me/beach.jpg");
}

}  // namespace
}  // namespace qvr::test
