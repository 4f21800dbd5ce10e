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
// still searching returns at once, so no disc check ever nests inside another. News from the
// CD device's threads reaches `CDControlNotify` posted to the GUI thread, never directly; it runs
// the tick's steps at once, under the same guards (playback/DeviceNews.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/NowPlaying.h"
#include "app/QVRMenu.h"
#include "app/QVRTimer.h"
#include "app/QVRView.h"
#include "app/RandomSource.h"
#include "app/WallpaperKeeper.h"
#include "app/WallpaperService.h"
#include "cdda/CDDA.h"
#include "cddb/DiscDatabase.h"
#include "ini/IniGT.h"
#include "metadata/CdTextPrefill.h"
#include "metadata/OnlineLookup.h"
#include "plugins/PluginHostSet.h"
#include "util/FileStamp.h"

namespace qvr {

// What the controller is built with. Nothing in it constructs its own device, view or files.
struct TQVRDMPorts {
  QVRView& view;
  QVRTimer& timer;
  RandomSource& random;
  WallpaperService& wallpaper;
  // The CD audio device for the "Drive" setting (file-system encoding; empty: the system's
  // default drive), asked at start-up and again each time the setting changes. The layer is
  // closed before the next call, so a device must live until then (the last one as long as the
  // controller).
  std::function<CDDevice&(const std::string& drive)> drive;
  TDateSource& today;          // today's date for new disc records
  TSearchProgress& progress;   // shows the database search on the lyrics line
  TIniGTEnvironment settings;  // where the settings file is
  // The demo disc's cue sheet as installed (file-system encoding); empty: none is installed.
  std::filesystem::path demo_disc;
};

// Values of the options dialog that ApplyOptions takes over.
struct TOptionValues {
  TIniFont font;
  std::int32_t background = 0;
  bool lyrics_stay_on_top = true;
  bool pad_status = true, pad_stay_on_top = true, pad_dock_info = true, pad_children_status = true, pad_snap = true;
  int repeat_one_unlock = 2, repeat_all_unlock = 2, random_unlock = 2;
  bool auto_play = true, auto_wall = false, auto_dlg_open = true, help_hint = true;
  bool auto_lookup = false;                 // look unregistered discs up online when they arrive
  bool de_emphasis = true;                  // de-emphasise tracks recorded with pre-emphasis
  std::string gnudb_email;                  // UTF-8; the address gnudb's greeting sends
  std::string data_base_path, plugin_path;  // Shift-JIS bytes
  std::string drive;                        // "Other"/"Drive", Shift-JIS bytes; empty: the default drive
  friend bool operator==(const TOptionValues&, const TOptionValues&) = default;
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
  // The built-in value of every option: what a first run without a settings file starts with.
  TOptionValues DefaultOptions() const;
  // The program folder, where the settings file and the default folders are.
  const std::filesystem::path& ProgramFolder() const { return ports_.settings.ProgramFolder; }

  // The monitor.
  void TimerTimer();
  // News from the CD device (posted to the GUI thread): what the tick would notice a moment
  // later is acted on now; what follows the range being played is handed over in time.
  void CDControlNotify(DeviceNews news);
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
  // Offered while no drive or image can be used (app/DriveSetting.cpp): the options dialog at
  // the drive setting, and the installed demo disc for this run (the "Drive" setting stays).
  void DriveSetupMNUClick();
  void DemoDiscMNUClick();
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

  // The play list dialog and play list files (playback/PlayList.cpp). ApplyPlayOrder replaces
  // the play order after an edit: playback stops (PlayIndex 1) and the timer is off around the
  // change. TakePlayOrder takes the rows as the dialog closes, stopping nothing.
  // PlayPlayListEntry plays from a position (1-based), random play suspended so that this entry
  // is the one that plays. LoadPlayList stops playback and reads a play list file of the disc:
  // true when it was one (PlayListName and PlayListPath become the file's); a file of another
  // disc is reported and gives the disc order. SavePlayList writes DiscKey and PlayOrder to a
  // file, replacing it whole; when it is the play list last loaded or saved and another program
  // changed it since, the user is asked first (false: not written). Both raise qvr::Error for a
  // file they cannot read or write.
  void ApplyPlayOrder(std::vector<std::string> entries);
  void TakePlayOrder(std::vector<std::string> entries);
  void PlayPlayListEntry(std::size_t position);
  bool LoadPlayList(const std::string& path);
  bool SavePlayList(const std::string& path);
  // The hidden first track's length (packed MSF) when the disc in the drive has one: the play
  // list offers it as track 0.
  std::optional<std::uint32_t> HiddenTrackLength();

  // Plug-ins. Each library runs in a host process of its own (PluginHosts); the controller never
  // blocks on one. QueryPlugin asks the libraries at `paths` to identify themselves, all at once;
  // a refresh shows what went wrong in one error box.
  void RefreshPlugins();
  std::vector<PluginIdentity> QueryPlugin(const std::vector<std::string>& paths);
  void PluginClick(std::size_t tag);
  bool RunPlugin(const std::string& path);  // shows its own error box

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

  // Why the automatic wallpaper cannot work on this desktop (empty: it can).
  std::string WallpaperUnavailableReason() const { return ports_.wallpaper.UnavailableReason(); }

  // Components and state, read by the views and the dialogs.
  TQVRMenu QVRMenu;
  TIniGT IniCTRL;
  CDDA CD;                    // the CD audio device layer
  TDiscDatabase Database;     // the disc database
  TDiscRecord Disc;           // the disc in the drive
  WallpaperKeeper Wallpaper;  // disc jackets on the desktop, the user's own picture kept aside
  CdTextPrefill DiscCdText;   // the disc's CD-Text: titles of an unregistered disc, the dialog's prefill

  std::vector<std::string> PlayOrder;  // track numbers in decimal, positions from 1
  std::size_t PlayIndex = 0;           // position being played or to be played next
  std::uint8_t LastTrack = 0;
  bool BlinkPhase = false;
  bool TitleShown = false;
  bool LyricsLoaded = false;
  std::int32_t LyricsIndex = 0;
  std::vector<std::string> LyricsTexts, LyricsTimes;
  std::vector<std::string> PluginList;  // plug-in file paths (file-system encoding), by tag
  PluginHostSet PluginHosts;            // the host process of each listed plug-in
  std::string PlayListName;
  std::string PlayListPath;  // the full path of the play list last loaded or saved; empty: none yet
  std::string PauseSavedText;
  std::uint8_t DialogState = 0;

  // Settings fields.
  bool LyricsAtTop = false;
  bool PadStatus = false, PadStayOnTop = false, PadDockInfo = false, PadChildrenStatus = false, PadSnap = false;
  int RepeatOneUnlock = 0, RepeatAllUnlock = 0, RandomUnlock = 0;
  bool AutoPlay = false, AutoWall = false, AutoDLGOpen = false, HelpHint = false;
  // "AutoLookup": an unregistered disc that arrives opens the registration dialog, which looks
  // it up online at once. Off by default: it sends the disc's table of contents to a server.
  bool AutoLookup = false;
  OnlineLookupSettings LookupServers;  // the online lookup's servers ("Other")
  // "DeEmphasis": tracks recorded with pre-emphasis play de-emphasised, as on a home CD player.
  bool DeEmphasis = true;
  std::string DataBasePath, PluginPath;  // Shift-JIS bytes, each ending in "/"
  std::string Drive;                     // CD drive, image or image folder; empty: the default drive
  LyricsAppearance Lyrics;               // the lyrics line: font, background, stay-on-top, height

 private:
  // Monitor steps.
  void DiscRemovedSteps();
  void RangeEndedSteps();
  void DiscArrivedSteps();
  void AlreadyPlayingSteps();
  void PlayingSteps(bool blink);
  void MonitorSteps(bool blink);
  void RegistrationDialogSteps();
  void ReleaseModes(bool disc_removed);
  // Closes the device layer and opens it again on the "Drive" setting (app/DriveSetting.cpp);
  // SwitchDevice is the step both it and ChangeDrive take (file-system encoding).
  void ReopenDrive();
  void SwitchDevice(const std::string& drive);
  // Runs the options dialog from `start` and applies what it ends with on Ok.
  void RunOptions(OptionsStart start);
  // What the user can do while no drive or image can be used (playback/Status.cpp).
  std::string NotReadyAdvice() const;

  // The disc record follows the database (app/RecordFreshness.cpp). The stamps of the five
  // files are kept from the player's last read or write of them; FollowDatabase (in the tick, no
  // dialog up) reads the record again when one moved. RunRegistrationDialog runs the dialog on
  // the record as stored now and, at 更新, asks before overwriting a record another writer
  // changed meanwhile; true when Disc holds edits to store.
  std::array<std::optional<FileStamp>, kAllDBFiles.size()> DatabaseStamps() const;
  void RememberDatabaseStamps();
  bool DatabaseChanged() const;
  TDiscRecord StoredRecordOfDisc() const;
  void TakeStoredRecord(const TDiscRecord& stored);
  void FollowDatabase();
  bool RunRegistrationDialog();

  // Play order helpers.
  static constexpr int kNoTrack = -1;
  // The track number at a position (1-based); kNoTrack for an entry that names none.
  int TrackAt(std::size_t position) const;
  // The first and last track of the range that plays from a position; none when it names no track.
  std::optional<std::pair<std::uint8_t, std::uint8_t>> RangeAt(std::size_t position) const;
  std::size_t DrawOtherEntry(std::size_t previous);
  std::size_t RangeEndIndex() const;
  std::optional<std::size_t> EntryAfterRange(std::size_t last);

  // The range handed to the device to follow the one playing (playback/DeviceNews.cpp).
  void HandOverNextRange();
  void TakeOverHandedRange();
  void FollowModeChange();
  void ForgetHandOver();
  void ToggleMode(MenuItemId mode);
  std::string TrackTitleCaption(int track);
  void SetLyricsHeightFromFont();

  TQVRDMPorts ports_;
  bool looking_up_ = false;       // a lookup is running; nested ticks return at once
  bool settings_loaded_ = false;  // start-up read the settings: shut-down may write them back
  std::string settings_problem_;  // why the settings file could not be read or written at start-up
  bool layout_restored_ = false;  // start-up restored the pad's layout: shut-down may save it
  // Why the drive is not ready, as the status texts show it; nothing while it is ready.
  std::optional<std::string> shown_reason_;
  bool drive_changed_ = false;  // the "Drive" setting changed during a lookup; the next tick reopens
  struct HandedRange {
    bool pending = false;   // handed to the device, not heard yet
    std::size_t index = 0;  // the play order position it plays
    std::uint8_t from = 0, to = 0;
  } handed_;
  std::array<std::optional<FileStamp>, kAllDBFiles.size()> database_stamps_;
  std::optional<FileStamp> play_list_stamp_;  // the play list file as last loaded or saved
  bool de_emphasis_shown_ = false;            // the status texts say the heard track is de-emphasised
  bool range_read_ = false;                   // the device has read all of the range: what follows may be handed over
  bool range_chosen_ = false;                 // CD.PlayFrom and CD.PlayTo hold the range the play command chose
};

}  // namespace qvr
