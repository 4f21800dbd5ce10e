// The program's entry, the only Qt file of app/: the single-instance guard, the four long-lived
// objects in their order (lyrics line, control pad, plug-in pad, controller), the event loop,
// and the controller's shut-down once the lyrics line has closed.
#include <QApplication>
#include <cstdlib>
#include <QMetaObject>
#include <memory>

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
#include "platform/ExitSignals.h"
#include "platform/HelpViewer.h"
#include "platform/DesktopWallpaper.h"
#include "platform/QtTimer.h"
#include "platform/SingleInstance.h"

int main(int argc, char* argv[]) {
  using namespace qvr;
  // A second start ends at once, without a window or a message.
  SingleInstance guard("hZLQVR");
  if (guard.OtherInstanceRunning()) return 0;

  QApplication application(argc, argv);
  QApplication::setApplicationName("qvr");
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

  TQVRDM controller({view, timer, random, *wallpaper,
                     [&](const std::string& name) -> CDDevice& {
                       // Asked again when the "Drive" setting changes: the layer has closed the
                       // old device, which goes before the new one shares the sound output.
                       drive.reset();
                       drive = std::make_unique<CdioDrive>(name, sink);
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
  // An exit request during start-up (a signal while the splash was painted) ends the program
  // without entering the event loop.
  const int result = view.MainWindowClosed() ? 0 : QApplication::exec();

  timer.SetEnabled(false);
  controller.QVRDMDestroy();
  link.Bind(nullptr);
  return result;
}
