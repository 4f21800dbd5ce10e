// TQVRDM: the controller. It holds all program state (the disc record, the play order and
// position, the dialog state, the settings) and every command handler; the desktop program
// renders its state and forwards each click to a handler here. Its methods are split by
// concern: start-up, shut-down and settings in app/, the monitor tick, the play commands and
// the status texts in playback/.
//
// Re-entrancy: everything runs on the GUI thread, but modal dialogs run their own event loop,
// so a timer tick can run nested inside a command that opened a dialog (and inside the database
// lookup, which lets pending work run). A tick can therefore close the dialog that is up (the
// disc-removed steps); `DialogState` tells it which one. A tick that arrives while a lookup is
// still searching returns at once, so no disc check ever nests inside another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/NowPlaying.h"
#include "app/QVRMenu.h"
#include "app/QVRTimer.h"
#include "app/QVRView.h"
#include "app/RandomSource.h"
#include "app/WallpaperService.h"
#include "cdda/CDDA.h"
#include "cddb/DiscDatabase.h"
#include "ini/IniGT.h"
#include "plugins/PluginLibrary.h"

namespace qvr {

// What the controller is built with. Nothing in it constructs its own device, view or files.
struct TQVRDMPorts {
  QVRView& view;
  QVRTimer& timer;
  RandomSource& random;
  WallpaperService& wallpaper;
  // The CD audio device for the "Drive" setting (file-system encoding; empty: the system's
  // default drive), asked at start-up and again by ChangeDrive; it must live as long as the
  // controller or until the next call.
  std::function<CDDevice&(const std::string& drive)> drive;
  TDateSource& today;           // today's date for new disc records
  TSearchProgress& progress;    // shows the database search on the lyrics line
  TIniGTEnvironment settings;   // where the settings file is
};

// Values of the options dialog that ApplyOptions takes over.
struct TOptionValues {
  TIniFont font;
  std::int32_t background = 0;
  bool lyrics_stay_on_top = true;
  bool pad_status = true, pad_stay_on_top = true, pad_dock_info = true, pad_children_status = true, pad_snap = true;
  int repeat_one_unlock = 2, repeat_all_unlock = 2, random_unlock = 2;
  bool auto_play = true, auto_wall = false, auto_dlg_open = true, help_hint = true;
  std::string data_base_path, plugin_path;  // Shift-JIS bytes
};

// Who asked the stop command to run: the end-of-play form sends no stop request.
enum class StopSender : std::uint8_t { User, Timer };

class TQVRDM {
 public:
  explicit TQVRDM(TQVRDMPorts ports);
  TQVRDM(const TQVRDM&) = delete;
  TQVRDM& operator=(const TQVRDM&) = delete;

  // Start-up and shut-down sequences. Errors inside them are shown through the view and end the
  // sequence; neither raises.
  void QVRDMCreate();
  void QVRDMDestroy();

  // Settings.
  void LoadSettings();
  void SaveSettings();
  void ApplyOptions(const TOptionValues& values);
  TOptionValues CurrentOptions() const;

  // The monitor.
  void TimerTimer();
  void CheckDisc();
  void LoadDisc();

  // Commands.
  void PlayMNUClick();
  void StopMNUClick(StopSender sender = StopSender::User);
  void PauseMNUClick();
  void NextMNUClick();
  void PreviousMNUClick();
  void EjectMNUClick();
  void RepeatOneMNUClick();
  void RepeatAllMNUClick();
  void RandomMNUClick();
  void PlayListMNUClick();
  void JacketViewMNUClick();
  void LibraryEditMNUClick();
  void OptionMNUClick();
  void LyricsViewMNUClick();
  void HelpMNUClick();
  void ExitMNUClick();
  enum class MouseButton : std::uint8_t { Left, Right, Middle };
  void TaskTrayClick(MouseButton button);
  void TaskTrayDblClick() {}

  // The lyrics line's mouse. A move with the left button alone held (no other button, no Shift,
  // Ctrl or Alt) at screen height `screen_y` moves the line to the top edge when the point lies
  // above half of `screen_height`, else to the bottom edge. Releasing the right button opens
  // the pop-up menu at the cursor.
  void LrcLinePosChange(bool left_button_only, double screen_y, int screen_height);
  void LrcLineMouseUp(MouseButton button);

  // The PadMNU sub-menu: the pad window (also the pad's PadViewBTN) and each toolbar.
  void BaseMNUClick();
  void BasicPadMNUClick() { PadToolbarMNUClick(PadToolbar::BasicPad); }
  void ControlPadMNUClick() { PadToolbarMNUClick(PadToolbar::ControlPad); }
  void ModePadMNUClick() { PadToolbarMNUClick(PadToolbar::ModePad); }
  void WindowPadMNUClick() { PadToolbarMNUClick(PadToolbar::WindowPad); }
  void DiscPadMNUClick() { PadToolbarMNUClick(PadToolbar::DiscPad); }
  void OtherPadMNUClick() { PadToolbarMNUClick(PadToolbar::OtherPad); }
  void PadToolbarMNUClick(PadToolbar toolbar);
  // A floating toolbar was closed by its close button (the pad has already hidden it).
  void PadToolbarClose(PadToolbar toolbar);
  // The pad's layout from the settings file at start-up, and to it at shut-down, under the
  // PadStatus, PadDockInfo and PadChildrenStatus switches.
  void RestoreLayout();
  void SaveLayout();

  // Timed lyrics: read the disc's lyrics file, and show the line the play head has reached.
  void LoadLyrics();
  void LyricsStep();
  void SelectPlayRange();
  void ResetPlayOrder();

  // Plug-ins.
  void RefreshPlugins();
  PluginIdentity QueryPlugin(const std::string& path);  // shows its own error box
  void PluginClick(std::size_t tag);
  bool RunPlugin(const std::string& path);               // shows its own error box

  // Clients outside the windows (app/ClientEntries.cpp). ChangeDrive plays another drive, image
  // or image folder (file-system encoding) without changing the "Drive" setting; false while a
  // disc check runs (try again later). SeekTo moves the play head inside the track being heard
  // (milliseconds from its start); false when nothing plays or the place is outside the track.
  bool ChangeDrive(const std::string& drive);
  bool SeekTo(std::uint32_t milliseconds);
  NowPlaying NowPlayingSnapshot();

  // Status presentation.
  void UpdateControls();
  void UpdateStatus();

  // Components and state, read by the views and the dialogs.
  TQVRMenu QVRMenu;
  TIniGT IniCTRL;
  CDDA CD;                // the CD audio device layer
  TDiscDatabase Database;  // the disc database
  TDiscRecord Disc;        // the disc in the drive

  std::vector<std::string> PlayOrder;  // track numbers in decimal, positions from 1
  std::size_t PlayIndex = 0;           // position being played or to be played next
  std::uint8_t LastTrack = 0;
  bool BlinkPhase = false;
  bool TitleShown = false;
  bool LyricsLoaded = false;
  std::int32_t LyricsIndex = 0;
  std::vector<std::string> LyricsTexts, LyricsTimes;
  std::vector<std::string> PluginList;  // plug-in file paths (file-system encoding), by tag
  std::string PlayListName;
  std::string PauseSavedText;
  std::uint8_t DialogState = 0;

  // Settings fields.
  bool LyricsAtTop = false;
  bool PadStatus = false, PadStayOnTop = false, PadDockInfo = false, PadChildrenStatus = false, PadSnap = false;
  int RepeatOneUnlock = 0, RepeatAllUnlock = 0, RandomUnlock = 0;
  bool AutoPlay = false, AutoWall = false, AutoDLGOpen = false, HelpHint = false;
  std::string DataBasePath, PluginPath;  // Shift-JIS bytes, each ending in "/"
  std::string Drive;                     // CD drive, image or image folder; empty: the default drive
  LyricsAppearance Lyrics;               // the lyrics line: font, background, stay-on-top, height

 private:
  // Monitor steps.
  void DiscRemovedSteps();
  void RangeEndedSteps();
  void DiscArrivedSteps();
  void AlreadyPlayingSteps();
  void PlayingSteps();
  void RegistrationDialogSteps();
  void ReleaseModes(bool disc_removed);

  // Play order helpers.
  int TrackAt(std::size_t position) const;  // the track number at a position (1-based)
  void ToggleMode(MenuItemId mode);
  std::string TrackTitleCaption();
  void SetLyricsHeightFromFont();

  TQVRDMPorts ports_;
  bool looking_up_ = false;  // a lookup is running; nested ticks return at once
};

}  // namespace qvr
