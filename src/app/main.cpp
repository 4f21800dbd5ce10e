// The program's entry, the only Qt file of app/: the command line, the single-instance guard
// (a second start hands its path to the running player and ends), the four long-lived objects in
// their order (lyrics line, control pad, plug-in pad, controller), the event loop, and the
// controller's shut-down once the lyrics line has closed.
#include <QApplication>
#include <QMetaObject>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/RandomSource.h"
#include "app/TQVRDM.h"
#include "audio/SdlAudioSink.h"
#include "cdda/CdioDrive.h"
#include "cddb/DateSource.h"
#include "forms/ControllerLink.h"
#include "forms/DesktopView.h"
#include "forms/TPlugInPad.h"
#include "forms/TQVRMain.h"
#include "forms/TQVRPad.h"
#include "platform/CommandLine.h"
#include "platform/DesktopWallpaper.h"
#include "platform/ExitSignals.h"
#include "platform/HandOver.h"
#include "platform/HelpViewer.h"
#include "platform/MprisService.h"
#include "platform/QtTimer.h"
#include "platform/SingleInstance.h"

namespace {

constexpr const char* kGuardName = "hZLQVR";
// How long a second start waits for a running player that is still starting to take its path.
constexpr std::chrono::seconds kHandOverWait{15};
constexpr const char* kHandOverFailed = "qvr: 実行中のプレーヤーにパスを渡せませんでした: %s\n";

}  // namespace

int main(int argc, char* argv[]) {
  using namespace qvr;
  const CommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (command.action) {
    case CommandLine::Action::Help: std::fputs(UsageText().c_str(), stdout); return 0;
    case CommandLine::Action::Version: std::fputs(VersionText().c_str(), stdout); return 0;
    case CommandLine::Action::Usage:
      std::fprintf(stderr, "qvr: %s\n\n%s", command.error.c_str(), UsageText().c_str());
      return 2;
    case CommandLine::Action::Run: break;
  }
  const std::string path = command.path.empty() ? std::string() : PathToOpen(command.path);

  // A second start hands its path to the running player and ends; without a path it ends at
  // once, without a window or a message.
  SingleInstance guard(kGuardName);
  if (guard.OtherInstanceRunning()) {
    if (path.empty()) return 0;
    if (SendHandOver(SingleInstance::HandOverSocket(kGuardName), path, kHandOverWait)) return 0;
    std::fprintf(stderr, kHandOverFailed, path.c_str());
    return 1;
  }

  // The lyrics line places itself at a screen edge and reserves that strip, which only X11
  // allows: under Wayland the program runs through XWayland unless told otherwise.
  if (std::getenv("WAYLAND_DISPLAY") && std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("qvr");
  // The desktop entry's name (and the AppStream id): the desktop matches windows to it.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.qvrproject.qvr"));
  // The program lives in the notification area: closing a pad or a dialog does not end it;
  // only closing the lyrics line does.
  QApplication::setQuitOnLastWindowClosed(false);
  QCoreApplication::processEvents();

  ControllerLink link;
  HelpViewer help;
  link.ShowHelp = [&help](int context) { help.Open(context); };

  TQVRMain main_window(link);
  TPlugInPad plugin_pad(link);
  TQVRPad pad(link, plugin_pad);
  DesktopView view(main_window, pad, plugin_pad, help, link);
  QtTimer timer([&link] { link.Run([](TQVRDM& dm) { dm.TimerTimer(); }); });
  ClockRandomSource random;
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  const std::unique_ptr<WallpaperService> wallpaper = MakeDesktopWallpaper(desktop ? desktop : "");
  SystemDateSource today;
  SdlAudioSink sink;
  std::unique_ptr<CdioDrive> drive;

  // The path of the command line replaces the "Drive" setting for this run (the setting stays);
  // one that cannot be played is shown with its reason and the setting's drive is used.
  std::string start_drive = path;
  if (!start_drive.empty()) {
    if (const std::string problem = DriveProblem(start_drive, sink); !problem.empty()) {
      ControllerLink::ShowError(problem);
      start_drive.clear();
    }
  }
  TQVRDM controller({view, timer, random, *wallpaper,
                     [&](const std::string& name) -> CDDevice& {
                       // Asked again when the drive changes: the layer has closed the old
                       // device, which goes before the new one shares the sound output.
                       drive.reset();
                       drive = std::make_unique<CdioDrive>(start_drive.empty() ? name : start_drive, sink);
                       start_drive.clear();
                       // The drive's news comes from its reader thread: posted to the GUI
                       // thread's event loop, it reaches the controller like a tick.
                       drive->SetNewsListener([&link](DeviceNews news) {
                         QMetaObject::invokeMethod(
                             qApp, [&link, news] { link.Run([news](TQVRDM& dm) { dm.CDControlNotify(news); }); },
                             Qt::QueuedConnection);
                       });
                       return *drive;
                     },
                     today, view, TIniGTEnvironment::FromProcess()});
  view.Attach(controller.QVRMenu);
  link.Bind(&controller);
  ExitSignals signals([&link] { link.Run([](TQVRDM& dm) { dm.ExitMNUClick(); }); });

  controller.QVRDMCreate();
  if (controller.QVRMenu.Checked(MenuItemId::LyricsViewMNU)) main_window.show();

  // Paths from later starts: a playable one replaces the disc at once, else its reason is shown.
  // While a disc check runs the switch waits for it.
  std::function<void(const std::string&)> open_path = [&](const std::string& received) {
    if (const std::string problem = DriveProblem(received, sink); !problem.empty()) {
      ControllerLink::ShowError(problem);
      return;
    }
    bool changed = true;
    link.Run([&](TQVRDM& dm) { changed = dm.ChangeDrive(received); });
    if (!changed) QTimer::singleShot(200, [&open_path, received] { open_path(received); });
  };
  HandOverServer hand_over(SingleInstance::HandOverSocket(kGuardName), open_path);
  // Media keys and the desktop's sound menu, when there is a session bus.
  MprisService mpris(link, open_path);
  // An exit request during start-up (a signal while the splash was painted) ends the program
  // without entering the event loop.
  const int result = view.MainWindowClosed() ? 0 : QApplication::exec();

  timer.SetEnabled(false);
  controller.QVRDMDestroy();
  link.Bind(nullptr);
  return result;
}
