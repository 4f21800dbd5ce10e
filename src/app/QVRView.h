// The view port: everything the controller shows or asks of the desktop. The Qt program
// implements it over its windows (lyrics line, control pad, plug-in pad, tray icon, splash,
// dialogs); the tests implement it with a recorder. All texts are UTF-8. Every method is
// called on the GUI thread; none of them raises an error unless it says so.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/PadLayout.h"
#include "ini/IniGT.h"

namespace qvr {

struct TOptionValues;

// The modal windows the controller runs, numbered as `DialogState` counts them.
enum class DialogKind : std::uint8_t { PlayList = 2, JacketView = 3, Options = 4, Registration = 5 };

// How a modal window ended. `Update` is the registration dialog's update result.
enum class ModalResult : std::uint8_t { None = 0, Ok = 1, Cancel = 2, Update = 3 };

enum class MessageIcon : std::uint8_t { None, Information, Warning, Error, Question };
enum class MessageButtons : std::uint8_t { Ok, YesNo, YesNoCancel };
enum class MessageAnswer : std::uint8_t { Ok, Yes, No, Cancel };

// Where the options dialog opens: its first page, or the page of the drive setting with the
// drive's field focused.
enum class OptionsStart : std::uint8_t { FirstPage, Drive };

// The toggle buttons of the control pad whose down state the controller sets.
enum class PadToggle : std::uint8_t { RepeatOneBTN, RepeatAllBTN, RandomBTN, LyricsViewBTN, PadViewBTN };

// A button of the plug-in pad: one accepted plug-in.
struct PluginButton {
  std::string name;     // the plug-in's identifier, the button's name
  std::string hint;     // UTF-8
  std::string image;    // PNG or BMP bytes of its picture; empty: the program's plug picture
  std::size_t tag = 0;  // its place in the controller's PluginList; its click runs PluginClick(tag)
  friend bool operator==(const PluginButton&, const PluginButton&) = default;
};

// The texts of the start-up splash screen.
struct SplashTexts {
  std::string product;
  std::string version;
  std::string release;
  std::string build;
  std::string copyright;
};

// How the lyrics line looks and where it sits.
struct LyricsAppearance {
  TIniFont font;                // the label font (face name in Shift-JIS, as stored)
  std::int32_t background = 0;  // 0x00BBGGRR, or 0x80000000 | system colour index
  bool stay_on_top = true;
  int client_height = 16;  // pixels: the font's pixel height + 4
};

class QVRView {
 public:
  virtual ~QVRView() = default;

  // Tray icon: made visible once at start-up; its image by name ("NOTREADY", "OPEN", "STOP",
  // "PLAY1", "PLAY2", "PAUSE") and its hint.
  virtual void ActivateTray() = 0;
  virtual void SetTrayIcon(std::string_view name) = 0;
  virtual void SetTrayHint(const std::string& text) = 0;
  // Opens the pop-up menu at the mouse cursor (returns once the menu is shown or closed).
  virtual void PopupMenu() = 0;

  // The control pad's caption and the down state of its toggle buttons.
  virtual void SetPadCaption(const std::string& text) = 0;
  virtual void SetPadToggle(PadToggle button, bool down) = 0;

  // The lyrics line's text as the label holds it ("&&" shows one ampersand).
  virtual std::string LyricsText() const = 0;
  virtual void SetLyricsText(const std::string& text) = 0;
  // Font, colours and height of the lyrics window, and its edge (top, else bottom); it spans
  // the screen's full width.
  virtual void ApplyLyricsAppearance(const LyricsAppearance& appearance, bool at_top) = 0;
  // Pixels per logical inch of the screen, for the font's pixel height (96 on most screens).
  virtual int ScreenPixelsPerInch() const = 0;
  virtual void SetLyricsWindowVisible(bool visible) = 0;
  virtual void SetPadWindowVisible(bool visible) = 0;
  // Shows or hides one toolbar of the pad, docked or floating.
  virtual void SetPadToolbarVisible(PadToolbar toolbar, bool visible) = 0;
  virtual void SetPadStayOnTop(bool stay_on_top) = 0;
  // Help hints on the lyrics window, the control pad and the plug-in pad.
  virtual void SetHintsEnabled(bool enabled) = 0;

  // A message box over the application window; returns the button the user chose (a box with
  // Cancel closed any other way answers Cancel).
  virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                                    MessageButtons buttons) = 0;
  // The application's error box for an error that ended a command, a tick or a step.
  virtual void ShowError(const std::string& message) = 0;
  // An error that needs no box, as the user was told of its cause already: written where the
  // system keeps the program's messages (standard error, the system log).
  virtual void LogError(const std::string& message) = 0;

  // Runs the play list, jacket or registration dialog and returns how it ended; ticks keep
  // running while it is up. The dialog works on the controller it was given when the program
  // was built.
  virtual ModalResult RunDialog(DialogKind kind) = 0;
  // Runs the options dialog, which starts from the controller's current settings (its Apply
  // button applies them at once) and opens where `start` says; on Ok `values` holds what the
  // user chose.
  virtual ModalResult RunOptionsDialog(TOptionValues& values, OptionsStart start) = 0;
  // Ends the modal dialog that is up with `result`. For the registration dialog an Update result
  // first commits its edits into the controller's disc record, as its update button does.
  virtual void CloseDialog(DialogKind kind, ModalResult result) = 0;

  // The splash screen of the start-up sequence.
  virtual void SplashCreate(const SplashTexts& texts) = 0;
  virtual void SplashProgress(int position, const std::string& first_line, const std::string& second_line) = 0;
  virtual void SplashHide() = 0;
  virtual void SplashShow() = 0;
  virtual void SplashRelease() = 0;

  // Lets pending window messages (repaints, clicks, timer ticks) run, then returns.
  virtual void ProcessPendingWork() = 0;

  // Rebuilds the plug-in pad with these buttons, laid out by LayOutPluginPad. With none, the
  // buttons go and the pad keeps its size. (The control pad's plug-in button follows the
  // enabled state of the menu's PluginMNU, like every pad button that has a menu item.)
  // Returns the tags of the buttons whose picture could not be decoded (they show the program's
  // plug picture instead).
  virtual std::vector<std::size_t> SetPluginButtons(const std::vector<PluginButton>& buttons) = 0;

  // The control pad's layout as its windows have it now (pad bounds in screen pixels, toolbars
  // docked or floating, each with its place and visibility), and a layout to apply: the pad
  // window takes the bounds and visibility given, each toolbar docks or floats where it says
  // (the dock may pack a docked toolbar further along its row when it would overlap another).
  virtual PadLayout PadGeometry() const = 0;
  virtual void SetPadGeometry(const PadLayout& layout) = 0;
  // The plug-in pad's own steps at start-up and shut-down.
  virtual void PluginPadApplyHintSetting() = 0;
  virtual void PluginPadSave() = 0;

  // Closes the lyrics window, which ends the program; and opens the help at a context number.
  virtual void CloseMainWindow() = 0;
  virtual void OpenHelp(int context) = 0;
};

}  // namespace qvr
