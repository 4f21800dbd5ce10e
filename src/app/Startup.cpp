// The controller's construction, start-up sequence, shut-down and the exit and help commands.
// Start-up and shut-down report their own errors through the view: an error ends the sequence,
// the splash screen is released and the program goes on with what was set up.
#include <filesystem>
#include <string>
#include <string_view>

#include "app/PlayerSettings.h"
#include "app/TQVRDM.h"
#include "app/Version.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr const char* kPleaseWait = "Please wait...";

}  // namespace

TQVRDM::TQVRDM(TQVRDMPorts ports)
    : IniCTRL(ports.settings), Database(ports.today), Wallpaper(ports.wallpaper, IniCTRL), ports_(std::move(ports)) {
  ConfigurePlayerSettings(IniCTRL);
  Lyrics.font = DefaultOptions().font;
}

void TQVRDM::QVRDMCreate() {
  QVRView& view = ports_.view;
  bool splash = false;
  try {
    ports_.random.Seed();
    view.SplashCreate({kProductName, std::to_string(kFileVersion.major) + "." + std::to_string(kFileVersion.minor),
                       std::to_string(kFileVersion.release), std::to_string(kFileVersion.build), kCopyright});
    splash = true;
    view.SplashProgress(0, kPleaseWait, "");
    LoadSettings();
    settings_loaded_ = true;
    // A settings file that cannot be read (the defaults are used) or written (nothing will be
    // kept) is said now, once, while the user can still do something about it.
    settings_problem_ = IniCTRL.FileProblem();
    if (!settings_problem_.empty()) view.ShowError(settings_problem_);
    view.SplashProgress(20, kPleaseWait, "");
    view.PluginPadApplyHintSetting();
    view.ActivateTray();
    view.SplashProgress(40, kPleaseWait, "");
    PluginList.clear();
    LyricsTexts.clear();
    LyricsTimes.clear();
    PlayIndex = 1;
    LastTrack = 0;
    LyricsIndex = 0;
    LyricsLoaded = false;
    TitleShown = false;
    BlinkPhase = false;
    DialogState = 1;
    PlayOrder.clear();
    PlayListName = "Default";
    view.SplashProgress(60, kPleaseWait, "");
    view.ApplyLyricsAppearance(Lyrics, LyricsAtTop);
    view.SetHintsEnabled(HelpHint);
    CD.CDInit(ports_.drive(SjisToUtf8(Drive)));
    Database.DBOpen(MasterFileIn(DataBasePath));
    view.SplashProgress(80, kPleaseWait, "");
    RefreshPlugins();
    view.SplashProgress(100, kPleaseWait, "");
    // The first tick meets whatever the drive and the audio output do; its error is shown and
    // the start-up goes on, so that the pad's layout is restored and the monitor runs.
    // Sound the device began ahead of the start-up plays on only as the range this tick chose;
    // what the tick did not take over ends here, before any box is shown.
    try {
      TimerTimer();
    } catch (const std::exception& error) {
      CD.CDDropAhead();
      view.ShowError(error.what());
    }
    CD.CDDropAhead();
    RestoreLayout();
    layout_restored_ = true;
    ports_.timer.SetEnabled(true);
  } catch (const std::exception& error) {
    CD.CDDropAhead();
    view.ShowError(error.what());
  }
  if (splash) view.SplashRelease();
  // Also after a failure: a start-up state left behind would keep the tray menu closed for good.
  DialogState = 0;
}

void TQVRDM::QVRDMDestroy() {
  try {
    CD.CDClose();
    LyricsTexts.clear();
    LyricsTimes.clear();
    PlayOrder.clear();
    PluginList.clear();
    // The settings and the pad's layout reach the file in one replacement: all or nothing, even
    // when the session ends the program in the middle. What start-up never read (a failure came
    // first) is not written back over what the file holds.
    if (settings_loaded_) {
      IniCTRL.BeginUpdate();
      SaveSettings();
      ports_.view.PluginPadSave();
      if (layout_restored_) SaveLayout();
      IniCTRL.EndUpdate();
    } else {
      ports_.view.PluginPadSave();
    }
    Database.DBClose();
  } catch (const std::exception& error) {
    // A failed save of the settings file that start-up already reported is logged, not asked
    // about a second time.
    const bool told =
        !settings_problem_.empty() && std::string_view(error.what()).starts_with(IniCTRL.FullPath().string() + " ");
    if (told) {
      ports_.view.LogError(error.what());
    } else {
      ports_.view.ShowError(error.what());
    }
  }
}

void TQVRDM::ExitMNUClick() {
  // A wait for a plug-in that the exit arrived inside ends now rather than keep the program.
  PluginHosts.CancelWaits();
  ports_.view.CloseMainWindow();
}

void TQVRDM::HelpMNUClick() { ports_.view.OpenHelp(1); }

}  // namespace qvr
