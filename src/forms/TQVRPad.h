// TQVRPad: the control pad, a stay-on-top tool window holding six toolbars of buttons in its
// dock DockingBase. Each button runs one of the controller's commands; the pad's caption, the
// buttons' enabled states and the toggle buttons' down states are the controller's.
#pragma once

#include <QToolButton>
#include <QWidget>
#include <array>
#include <string>

#include "app/PadLayout.h"
#include "app/QVRMenu.h"
#include "app/QVRView.h"
#include "forms/ControllerLink.h"
#include "forms/PadDock.h"

namespace qvr {

class TPlugInPad;

// The eighteen buttons, left to right through the six toolbars.
enum class PadButton : std::uint8_t {
  PlayBTN,
  StopBTN,
  PauseBTN,
  PreviousBTN,
  NextBTN,
  PlayListBTN,
  RepeatOneBTN,
  RepeatAllBTN,
  RandomBTN,
  LyricsViewBTN,
  PadViewBTN,
  JacketViewBTN,
  DiscRegBTN,
  PluginBTN,
  EjectBTN,
  OptionBTN,
  HelpBTN,
  ExitBTN,
  Count
};

class TQVRPad : public QWidget {
 public:
  TQVRPad(ControllerLink& link, TPlugInPad& plugin_pad);

  PadDock* DockingBase;
  QToolButton* Button(PadButton button) const { return buttons_[static_cast<std::size_t>(button)]; }

  // The pad's state as the controller sets it.
  void SetCaption(const std::string& text);
  void SetToggle(PadToggle toggle, bool down);
  // Follows a menu item whose enabled state a button shares (PlayMNU - PlayBTN, ...).
  void FollowMenuItem(const TQVRMenu& menu, MenuItemId item);
  void SetStayOnTop(bool stay_on_top);
  void SetHintsEnabled(bool enabled);
  void SetToolbarVisible(PadToolbar toolbar, bool visible);

  PadLayout Layout() const;
  void ApplyLayout(const PadLayout& layout);

  // Opens the plug-in pad at the plug-in button: under the pad window, or under the floating
  // toolbar that holds the button.
  void ShowPluginPad();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Click(PadButton button);
  void CoolPadResize(QSize dock);
  void SyncToggles();

  ControllerLink& link_;
  TPlugInPad& plugin_pad_;
  std::array<QToolButton*, static_cast<std::size_t>(PadButton::Count)> buttons_{};
  bool hints_ = true;
};

}  // namespace qvr
