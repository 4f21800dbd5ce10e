// The controller's view over the real windows: the lyrics line, the control pad, the plug-in
// pad, the tray icon, the pop-up menu, the splash screen and the help window. It also shows the
// database search on the lyrics line, repainting at most about 30 times a second.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QSystemTrayIcon>
#include <memory>

#include "app/QVRView.h"
#include "cddb/SearchProgress.h"
#include "dialogs/FileDialogs.h"
#include "forms/ControllerLink.h"
#include "forms/MenuView.h"
#include "forms/ModalDialog.h"
#include "forms/QtFileDialogs.h"

namespace qvr {

class TQVRMain;
class TQVRPad;
class TPlugInPad;
class TSplashDLG;
class HelpViewer;

class DesktopView final : public QVRView, public TSearchProgress {
 public:
  DesktopView(TQVRMain& main, TQVRPad& pad, TPlugInPad& plugin_pad, HelpViewer& help, ControllerLink& link);
  ~DesktopView() override;

  // Connects the menu and the pad buttons to the controller's menu model; call once the
  // controller exists, before its start-up.
  void Attach(TQVRMenu& model);
  MenuView* Menu() const { return menu_.get(); }
  QSystemTrayIcon& Tray() { return tray_; }
  // The file and folder dialogs every dialog uses (they remember their folders for the session).
  FileDialogs& Files() { return files_; }
  // The modal dialog that is up, if any (for tests).
  ModalDialog* ActiveDialog() const { return active_dialog_; }

  // QVRView
  void ActivateTray() override;
  void SetTrayIcon(std::string_view name) override;
  void SetTrayHint(const std::string& text) override;
  void PopupMenu() override;
  void SetPadCaption(const std::string& text) override;
  void SetPadToggle(PadToggle button, bool down) override;
  std::string LyricsText() const override;
  void SetLyricsText(const std::string& text) override;
  void ApplyLyricsAppearance(const LyricsAppearance& appearance, bool at_top) override;
  int ScreenPixelsPerInch() const override;
  void SetLyricsWindowVisible(bool visible) override;
  void SetPadWindowVisible(bool visible) override;
  void SetPadToolbarVisible(PadToolbar toolbar, bool visible) override;
  void SetPadStayOnTop(bool stay_on_top) override;
  void SetHintsEnabled(bool enabled) override;
  MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                            MessageButtons buttons) override;
  void ShowError(const std::string& message) override;
  void LogError(const std::string& message) override;
  ModalResult RunDialog(DialogKind kind) override;
  ModalResult RunOptionsDialog(TOptionValues& values, OptionsStart start) override;
  void CloseDialog(DialogKind kind, ModalResult result) override;
  void SplashCreate(const SplashTexts& texts) override;
  void SplashProgress(int position, const std::string& first_line, const std::string& second_line) override;
  void SplashHide() override;
  void SplashShow() override;
  void SplashRelease() override;
  void ProcessPendingWork() override;
  std::vector<std::size_t> SetPluginButtons(const std::vector<PluginButton>& buttons) override;
  PadLayout PadGeometry() const override;
  void SetPadGeometry(const PadLayout& layout) override;
  void PluginPadApplyHintSetting() override;
  void PluginPadSave() override;
  void CloseMainWindow() override;
  void OpenHelp(int context) override;

  // TSearchProgress
  void Searching(std::string_view disc_name) override;
  void SearchFinished() override;
  // How many times the search progress was painted (for tests of the repaint limit).
  int SearchPaints() const { return search_paints_; }
  // How many times the tray's icon and hint were handed to the system tray (for tests: an
  // unchanged picture or text is not sent again).
  int TrayUpdates() const { return tray_updates_; }
  // Whether the exit command closed the lyrics line (also before the event loop ran).
  bool MainWindowClosed() const { return main_closed_; }

 private:
  ModalResult RunModal(DialogKind kind, std::unique_ptr<ModalDialog> dialog);

  TQVRMain& main_;
  TQVRPad& pad_;
  TPlugInPad& plugin_pad_;
  HelpViewer& help_;
  ControllerLink& link_;
  QSystemTrayIcon tray_;
  // What the tray shows now: the tick asks for the same icon every second while nothing changes.
  std::string tray_icon_ = "NOTREADY";
  QString tray_hint_;
  int tray_updates_ = 0;
  std::unique_ptr<MenuView> menu_;
  std::unique_ptr<TSplashDLG> splash_;
  QElapsedTimer since_paint_;
  int search_paints_ = 0;
  bool main_closed_ = false;
  QtFileDialogs file_port_;
  FileDialogs files_{file_port_};
  QPointer<ModalDialog> active_dialog_;
  DialogKind active_kind_ = DialogKind::PlayList;
};

}  // namespace qvr
