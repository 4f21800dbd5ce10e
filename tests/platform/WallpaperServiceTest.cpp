// The desktop wallpaper services against the real thing where it runs here: GSettings with the
// keyfile backend and the installed GNOME schemas, the xfconf daemon, and a recording Plasma
// shell, each on this test's private session bus (CTest runs it under dbus-run-session).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/WallpaperKeeper.h"
#include "ini/IniGT.h"
#include "platform/BusWallpaper.h"
#include "platform/DesktopWallpaper.h"
#include "platform/GSettingsWallpaper.h"
#include "support/TempDir.h"

namespace qvr::test {

// Set by main before anything reads the settings: GSettings chooses its backend once.
TempDir* g_config = nullptr;

namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs a program and returns what it printed (trimmed).
std::string Output(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(10000);
  return process.readAllStandardOutput().trimmed().toStdString();
}

TEST(DesktopWallpaperTest, PicksTheServiceOfTheRunningDesktop) {
  EXPECT_EQ(MakeDesktopWallpaper("ubuntu:GNOME")->UnavailableReason(), "");
  EXPECT_EQ(MakeDesktopWallpaper("KDE")->UnavailableReason(), "");
  EXPECT_EQ(MakeDesktopWallpaper("XFCE")->UnavailableReason(), "");
  // Cinnamon's schema is not installed here: said so rather than failing silently.
  EXPECT_NE(MakeDesktopWallpaper("X-Cinnamon")->UnavailableReason().find("org.cinnamon.desktop.background"),
            std::string::npos);
  const std::string reason = MakeDesktopWallpaper("Openbox")->UnavailableReason();
  EXPECT_NE(reason.find("Openbox"), std::string::npos);
  auto none = MakeDesktopWallpaper("");
  none->SetWallpaper("/x.png");
  EXPECT_EQ(none->ReadWallpaper(), "");
}

TEST(GSettingsWallpaperTest, SetsBothPictureKeysAndReadsThemBack) {
  GSettingsWallpaper gnome({"org.gnome.desktop.background", "picture-uri", "picture-uri-dark", true});
  ASSERT_EQ(gnome.UnavailableReason(), "");
  const std::string before = gnome.ReadWallpaper();  // the schema's default picture

  gnome.SetWallpaper("/home/me/a b.png");
  EXPECT_EQ(gnome.ReadWallpaper(), "/home/me/a b.png");
  const std::string keyfile = ReadText(g_config->Path() / "glib-2.0" / "settings" / "keyfile");
  EXPECT_NE(keyfile.find("picture-uri='file:///home/me/a%20b.png'"), std::string::npos) << keyfile;
  EXPECT_NE(keyfile.find("picture-uri-dark='file:///home/me/a%20b.png'"), std::string::npos) << keyfile;

  // Shift-JIS record paths reach the desktop as UTF-8 file names.
  gnome.SetWallpaper("/\x89\xE6\x91\x9C.png");  // 画像.png
  EXPECT_EQ(gnome.ReadWallpaper(), "/\x89\xE6\x91\x9C.png");

  gnome.SetWallpaper(before);
  EXPECT_EQ(gnome.ReadWallpaper(), before);
}

// The user's light and dark pictures differ; a jacket replaces both, and both come back, also
// when a later run restores them from the settings file.
TEST(GSettingsWallpaperTest, KeeperRestoresTheLightAndTheDarkPictureBoth) {
  GSettingsWallpaper gnome({"org.gnome.desktop.background", "picture-uri", "picture-uri-dark", true});
  ASSERT_EQ(gnome.UnavailableReason(), "");
  const WallpaperService::Setting before = gnome.ReadWallpaperSetting();
  const WallpaperService::Setting user = {{"picture-uri", "file:///home/me/light.png"},
                                          {"picture-uri-dark", "file:///home/me/dark.png"}};
  ASSERT_TRUE(gnome.RestoreWallpaperSetting(user));
  auto keyfile = [] { return ReadText(g_config->Path() / "glib-2.0" / "settings" / "keyfile"); };

  TempDir program;
  auto settings = [&] {
    TIniGT ini({"qvr", program.Path(), program.Path()});
    ini.Loaded();
    return ini;
  };
  {
    TIniGT ini = settings();
    WallpaperKeeper keeper(gnome, ini);
    keeper.Load();
    keeper.ShowJacket("/pictures/jacket.png", true);
    EXPECT_NE(keyfile().find("picture-uri='file:///pictures/jacket.png'"), std::string::npos) << keyfile();
    EXPECT_NE(keyfile().find("picture-uri-dark='file:///pictures/jacket.png'"), std::string::npos) << keyfile();
  }
  // The next run: a disc without a jacket.
  TIniGT ini = settings();
  WallpaperKeeper keeper(gnome, ini);
  keeper.Load();
  keeper.ShowJacket("", true);
  EXPECT_NE(keyfile().find("picture-uri='file:///home/me/light.png'"), std::string::npos) << keyfile();
  EXPECT_NE(keyfile().find("picture-uri-dark='file:///home/me/dark.png'"), std::string::npos) << keyfile();
  EXPECT_EQ(gnome.ReadWallpaperSetting(), user);

  // Switching the option off after another jacket restores both as well.
  keeper.ShowJacket("/pictures/other.png", true);
  keeper.RestoreUserWallpaper();
  EXPECT_EQ(gnome.ReadWallpaperSetting(), user);
  gnome.RestoreWallpaperSetting(before);
}

TEST(XfceWallpaperTest, SetsEveryBackdropOfTheRealDaemon) {
  ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
  // xfconfd is started by the bus on the first call; it keeps its files in this test's folder.
  qDBusRegisterMetaType<QMap<QString, QString>>();
  QDBusInterface bus("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                     QDBusConnection::sessionBus());
  bus.call("UpdateActivationEnvironment",
           QVariant::fromValue(QMap<QString, QString>{{"XDG_CONFIG_HOME", QString::fromStdString(g_config->Path())}}));
  const QStringList properties = {"/backdrop/screen0/monitorVirtual-1/workspace0/last-image",
                                  "/backdrop/screen0/monitorVirtual-1/workspace1/last-image"};
  for (const QString& property : properties) {
    Output("xfconf-query", {"-c", "xfce4-desktop", "-p", property, "-n", "-t", "string", "-s", "/old.png"});
  }
  XfceWallpaper xfce;
  EXPECT_EQ(xfce.ReadWallpaper(), "/old.png");
  xfce.SetWallpaper("/pictures/jacket.png");
  for (const QString& property : properties) {
    EXPECT_EQ(Output("xfconf-query", {"-c", "xfce4-desktop", "-p", property}), "/pictures/jacket.png");
  }
  EXPECT_EQ(xfce.ReadWallpaper(), "/pictures/jacket.png");

  // Each workspace's own picture comes back.
  const WallpaperService::Setting own = {{properties[0].toStdString(), "/pictures/first.png"},
                                         {properties[1].toStdString(), "/pictures/second.png"}};
  ASSERT_TRUE(xfce.RestoreWallpaperSetting(own));
  EXPECT_EQ(Output("xfconf-query", {"-c", "xfce4-desktop", "-p", properties[1]}), "/pictures/second.png");
  EXPECT_EQ(xfce.ReadWallpaperSetting(), own);
}

TEST(KdeWallpaperTest, SendsTheShellAScriptForEveryDesktop) {
  TempDir dir;
  const std::string record = (dir / "scripts.txt").string();
  QProcess shell;
  shell.start(QVR_KDE_SHELL_RECORDER, {QString::fromStdString(record), "file:///home/me/kde%20bg.jpg"});
  ASSERT_TRUE(shell.waitForStarted(5000));
  QElapsedTimer waited;
  waited.start();
  while (!QDBusConnection::sessionBus().interface()->isServiceRegistered("org.kde.plasmashell") &&
         waited.elapsed() < 10000) {
    QThread::msleep(20);
  }
  KdeWallpaper kde;
  EXPECT_EQ(kde.ReadWallpaper(), "/home/me/kde bg.jpg");
  kde.SetWallpaper("/pictures/a\"b.png");
  shell.kill();
  shell.waitForFinished(5000);

  const std::string scripts = ReadText(record);
  EXPECT_NE(scripts.find("var picture = \"file:///pictures/a%22b.png\";"), std::string::npos) << scripts;
  EXPECT_NE(scripts.find("desktops()"), std::string::npos);
  EXPECT_NE(scripts.find("desktop.wallpaperPlugin = \"org.kde.image\";"), std::string::npos);
  EXPECT_NE(scripts.find("desktop.writeConfig(\"Image\", picture);"), std::string::npos);
}

TEST(KdeWallpaperTest, ScriptQuotesThePictureSafely) {
  const std::string script = KdeWallpaper::SetScript("file:///a\"b\\c\n");
  EXPECT_NE(script.find("var picture = \"file:///a\\\"b\\\\c\\n\";"), std::string::npos) << script;
}

}  // namespace
}  // namespace qvr::test

int main(int argc, char** argv) {
  qvr::test::TempDir config;
  qvr::test::g_config = &config;
  setenv("GSETTINGS_BACKEND", "keyfile", 1);
  setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QCoreApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
