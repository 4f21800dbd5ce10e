// The program's entry, the only Qt file of app/: the command line, the single-instance guard
// (a second start hands its path to the running player and ends with its answer), the start of
// the disc's sound ahead of the windows (app/EarlyStart.h), the four
// long-lived objects in their order (lyrics line, control pad, plug-in pad, controller), the
// event loop, and the controller's shut-down once the lyrics line has closed. An end the user did
// not ask for here (a signal, the session's end) waits for no one: boxes close and what goes
// wrong is logged.
#include <QApplication>
#include <QMetaObject>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/EarlyStart.h"
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
#include "platform/QtJapanese.h"
#include "platform/QtTimer.h"
#include "platform/SingleInstance.h"
#include "platform/SystemLog.h"
#include "util/ProgramFolder.h"

namespace {

constexpr const char* kGuardName = "hZLQVR";
// How long a second start waits for a running player that is still starting to take its path.
constexpr std::chrono::seconds kHandOverWait{15};
constexpr const char* kHandOverFailed = "qvr: 実行中のプレーヤーにパスを渡せませんでした: %s\n";
constexpr const char* kNoGuard =
    "qvr: 二つ目のプレーヤーが同じデータベースを使わないよう、起動しません。"
    "上のフォルダを直すか取り除いてから起動してください\n";

// Writes each line of `text` to standard error after the program's name.
void PrintLines(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::fprintf(stderr, "qvr: %.*s\n", static_cast<int>(end - at), text.c_str() + at);
    at = end + 1;
  }
}

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

  // A second start hands its path to the running player and ends with its answer: 0 once the
  // player took the path, 1 with the player's reason when it cannot use it. Without a path it
  // ends at once, without a window or a message. A runtime folder that cannot be trusted is
  // passed over for the next (and said); with none left the program does not start.
  SingleInstance guard(kGuardName);
  PrintLines(guard.Refusals());
  if (!guard.Acquired() && !guard.OtherInstanceRunning()) {
    std::fputs(kNoGuard, stderr);
    return 1;
  }
  if (guard.OtherInstanceRunning()) {
    if (path.empty()) return 0;
    const HandOverAnswer answer = SendHandOver(guard.HandOverSocket(), path, kHandOverWait);
    if (!answer.answered) {
      std::fprintf(stderr, kHandOverFailed, path.c_str());
      return 1;
    }
    if (!answer.refusal.empty()) {
      PrintLines(answer.refusal);
      return 1;
    }
    return 0;
  }

  // The disc is opened, and its sound started when the start-up will play it, while the toolkit
  // loads and the windows are made; the controller's first tick takes the drive over.
  const TIniGTEnvironment settings = TIniGTEnvironment::FromProcess();
  SdlAudioSink sink;
  ClockRandomSource random;
  random.Seed();
  EarlyStart early_start(settings, path, random,
                         [&sink](const std::string& name) { return std::make_unique<CdioDrive>(name, sink); });

  // The lyrics line places itself at a screen edge and reserves that strip, which only X11
  // allows: under Wayland the program runs through XWayland unless told otherwise.
  if (std::getenv("WAYLAND_DISPLAY") && std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("qvr");
  if (const QString problem = UseJapaneseForQt(); !problem.isEmpty()) {
    std::fprintf(stderr, "qvr: %s\n", problem.toUtf8().constData());
  }
  // The desktop entry's name (and the AppStream id): the desktop matches windows to it.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.qvrproject.qvr"));
  // The program lives in the notification area: closing a pad or a dialog does not end it;
  // only closing the lyrics line does.
  QApplication::setQuitOnLastWindowClosed(false);
  QCoreApplication::processEvents();
  ControllerLink::SetLog(LogToSystem);

  ControllerLink link;
  // From a signal or the session's end on, nothing waits for the user: the boxes and dialogs
  // that are up close, later errors are logged, and the exit command runs (once the controller
  // is there; before, the program ends without starting).
  bool end_requested = false;
  const auto end_without_asking = [&link, &end_requested] {
    end_requested = true;
    ControllerLink::EndWithoutAsking();
    link.Run([](TQVRDM& dm) { dm.ExitMNUClick(); });
  };
  ExitSignals signals(end_without_asking);
  HelpViewer help;
  link.ShowHelp = [&help](int context) { help.Open(context); };

  TQVRMain main_window(link);
  TPlugInPad plugin_pad(link);
  TQVRPad pad(link, plugin_pad);
  DesktopView view(main_window, pad, plugin_pad, help, link);
  QtTimer timer([&link] { link.Run([](TQVRDM& dm) { dm.TimerTimer(); }); });
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  const std::unique_ptr<WallpaperService> wallpaper = MakeDesktopWallpaper(desktop ? desktop : "");
  SystemDateSource today;
  std::unique_ptr<CdioDrive> drive;

  // The path of the command line replaces the "Drive" setting for this run (the setting stays);
  // one that cannot be played is shown with its reason and the setting's drive is used.
  std::string start_drive = path;
  if (!start_drive.empty()) {
    if (const std::string problem = DriveProblem(start_drive); !problem.empty()) {
      ControllerLink::ShowError(problem);
      start_drive.clear();
    }
  }
  if (end_requested) return 0;
  TQVRDM controller({view, timer, random, *wallpaper,
                     [&](const std::string& name) -> CDDevice& {
                       // Asked again when the drive changes: the layer has closed the old
                       // device, which goes before the new one shares the sound output.
                       drive.reset();
                       const std::string chosen = start_drive.empty() ? name : start_drive;
                       drive = early_start.Take(chosen);
                       if (!drive) drive = std::make_unique<CdioDrive>(chosen, sink);
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
                     today, view, settings, DemoDisc()});
  view.Attach(controller.QVRMenu);
  link.Bind(&controller);
  // A quit that did not come from the exit command is the session manager's.
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, [&view, &end_without_asking] {
    if (!view.MainWindowClosed()) end_without_asking();
  });

  // Paths from later starts and the bus. A path that cannot be played is refused with its
  // reason, shown in the one box for such news, and what plays goes on; a playable one
  // replaces the disc (once the start-up is over, and after a disc check that runs).
  bool started = false;
  std::vector<std::string> early_paths;
  std::function<void(const std::string&)> switch_to = [&](const std::string& received) {
    if (!started) {
      early_paths.push_back(received);
      return;
    }
    bool changed = true;
    link.Run([&](TQVRDM& dm) { changed = dm.ChangeDrive(received); });
    if (!changed) QTimer::singleShot(200, [&switch_to, received] { switch_to(received); });
  };
  const auto take_path = [&switch_to](const std::string& received) {
    std::string problem = DriveProblem(received);
    QMetaObject::invokeMethod(
        qApp,
        [&switch_to, received, problem] {
          if (problem.empty()) {
            switch_to(received);
          } else {
            ControllerLink::ShowNotice(problem);
          }
        },
        Qt::QueuedConnection);
    return problem;
  };
  // Both from the start: a later start gets its answer, and the desktop's sound menu finds the
  // player, also while a start-up box or the start-up registration dialog is up.
  HandOverServer hand_over(guard.HandOverSocket(), take_path);
  MprisService mpris(link, [&take_path](const std::string& received) { take_path(received); });

  controller.QVRDMCreate();
  // A start-up that failed before it bound the drive leaves nothing playing ahead of it.
  early_start.Take({});
  if (controller.QVRMenu.Checked(MenuItemId::LyricsViewMNU) && !view.MainWindowClosed()) main_window.show();
  started = true;
  for (const std::string& early : std::exchange(early_paths, {})) switch_to(early);
  // An exit request during start-up (a signal while the splash was painted) ends the program
  // without entering the event loop.
  const int result = view.MainWindowClosed() ? 0 : QApplication::exec();

  timer.SetEnabled(false);
  controller.QVRDMDestroy();
  link.Bind(nullptr);
  return result;
}
