// The controller's construction, start-up sequence, shut-down and the exit and help commands.
// Start-up and shut-down report their own errors through the view: an error ends the sequence,
// the splash screen is released and the program goes on with what was set up.
#include <filesystem>
#include <string>

#include "app/PlayerSettings.h"
#include "app/TQVRDM.h"
#include "app/Version.h"
#include "util/ShiftJis.h"

namespace qvr {
namespace {

constexpr const char* kPleaseWait = "Please wait...";

}  // namespace

TQVRDM::TQVRDM(TQVRDMPorts ports)
    : IniCTRL(ports.settings), Database(ports.today), ports_(std::move(ports)) {
  ConfigurePlayerSettings(IniCTRL);
  Lyrics.font = {"\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 9, 0, 0x0000FFFF};  // ＭＳ Ｐゴシック
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
    const std::filesystem::path master = SjisToUtf8(DataBasePath + "MasterDB.QVR");
    // A first start in a fresh per-user folder (an installed program) has no database folder
    // yet; the lookup makes the files, the folder is made here. A folder that cannot be made
    // shows its error at the first lookup.
    std::error_code no_folder;
    std::filesystem::create_directories(master.parent_path(), no_folder);
    Database.DBOpen(master);
    view.SplashProgress(80, kPleaseWait, "");
    RefreshPlugins();
    view.SplashProgress(100, kPleaseWait, "");
    TimerTimer();
    RestoreLayout();
    ports_.timer.SetEnabled(true);
  } catch (const std::exception& error) {
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
    // when the session ends the program in the middle.
    IniCTRL.BeginUpdate();
    SaveSettings();
    ports_.view.PluginPadSave();
    SaveLayout();
    IniCTRL.EndUpdate();
    Database.DBClose();
  } catch (const std::exception& error) {
    ports_.view.ShowError(error.what());
  }
}

void TQVRDM::ExitMNUClick() { ports_.view.CloseMainWindow(); }

void TQVRDM::HelpMNUClick() { ports_.view.OpenHelp(1); }

}  // namespace qvr
