// The view over the real windows.
#include "forms/DesktopView.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <cmath>

#include "app/TQVRDM.h"
#include "forms/DialogFactories.h"
#include "forms/Icons.h"
#include "forms/MessageText.h"
#include "forms/QtSupport.h"
#include "forms/TPlugInPad.h"
#include "forms/TQVRMain.h"
#include "forms/TQVRPad.h"
#include "forms/TSplashDLG.h"
#include "forms/WindowStacking.h"
#include "platform/HelpViewer.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

// The search progress repaints at most this often (about 30 times a second).
constexpr qint64 kSearchPaintMilliseconds = 33;

}  // namespace

DesktopView::DesktopView(TQVRMain& main, TQVRPad& pad, TPlugInPad& plugin_pad, HelpViewer& help, ControllerLink& link)
    : main_(main), pad_(pad), plugin_pad_(plugin_pad), help_(help), link_(link) {
  tray_.setIcon(TrayIcon(tray_icon_));
  QObject::connect(&tray_, &QSystemTrayIcon::activated, &tray_, [this](QSystemTrayIcon::ActivationReason reason) {
    link_.Run([reason](TQVRDM& dm) {
      switch (reason) {
        case QSystemTrayIcon::Trigger: dm.TaskTrayClick(TQVRDM::MouseButton::Left); break;
        case QSystemTrayIcon::Context: dm.TaskTrayClick(TQVRDM::MouseButton::Right); break;
        case QSystemTrayIcon::MiddleClick: dm.TaskTrayClick(TQVRDM::MouseButton::Middle); break;
        case QSystemTrayIcon::DoubleClick: dm.TaskTrayDblClick(); break;
        case QSystemTrayIcon::Unknown: break;
      }
    });
  });
}

DesktopView::~DesktopView() = default;

void DesktopView::Attach(TQVRMenu& model) {
  menu_ = std::make_unique<MenuView>(model, link_);
  model.SetListener([this, &model](MenuItemId item) {
    menu_->Refresh(item);
    pad_.FollowMenuItem(model, item);
  });
  for (std::size_t i = 0; i < kMenuItemCount; ++i) pad_.FollowMenuItem(model, static_cast<MenuItemId>(i));
}

void DesktopView::ActivateTray() { tray_.show(); }

// Setting the tray's icon or hint repaints it in the notification area (a round trip to the
// display server): only a change is sent.
void DesktopView::SetTrayIcon(std::string_view name) {
  if (name == tray_icon_) return;
  tray_icon_ = name;
  tray_.setIcon(TrayIcon(name));
  ++tray_updates_;
}

void DesktopView::SetTrayHint(const std::string& text) {
  QString hint = LabelDisplayText(text);
  if (hint == tray_hint_) return;
  tray_hint_ = std::move(hint);
  tray_.setToolTip(tray_hint_);
  ++tray_updates_;
}

void DesktopView::PopupMenu() {
  if (menu_) menu_->Menu().popup(QCursor::pos());
}

void DesktopView::SetPadCaption(const std::string& text) { pad_.SetCaption(text); }

void DesktopView::SetPadToggle(PadToggle button, bool down) { pad_.SetToggle(button, down); }

std::string DesktopView::LyricsText() const { return main_.LineText(); }

void DesktopView::SetLyricsText(const std::string& text) { main_.SetLineText(text); }

void DesktopView::ApplyLyricsAppearance(const LyricsAppearance& appearance, bool at_top) {
  main_.ApplyAppearance(appearance, at_top);
}

int DesktopView::ScreenPixelsPerInch() const {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInchY())) : 96;
}

void DesktopView::SetLyricsWindowVisible(bool visible) { main_.setVisible(visible); }

void DesktopView::SetPadWindowVisible(bool visible) { pad_.setVisible(visible); }

void DesktopView::SetPadToolbarVisible(PadToolbar toolbar, bool visible) { pad_.SetToolbarVisible(toolbar, visible); }

void DesktopView::SetPadStayOnTop(bool stay_on_top) { pad_.SetStayOnTop(stay_on_top); }

void DesktopView::SetHintsEnabled(bool enabled) {
  main_.SetHintsEnabled(enabled);
  pad_.SetHintsEnabled(enabled);
  plugin_pad_.ApplyHintSetting(enabled);
}

MessageAnswer DesktopView::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                                       MessageButtons buttons) {
  QMessageBox::Icon box_icon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::None: break;
    case MessageIcon::Information: box_icon = QMessageBox::Information; break;
    case MessageIcon::Warning: box_icon = QMessageBox::Warning; break;
    case MessageIcon::Error: box_icon = QMessageBox::Critical; break;
    case MessageIcon::Question: box_icon = QMessageBox::Question; break;
  }
  // Once the program ends without asking, a question is answered no (or cancel, where it can be)
  // and a notice is logged.
  if (ControllerLink::Unattended()) {
    ControllerLink::Log(caption + ": " + text);
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    return buttons == MessageButtons::YesNoCancel ? MessageAnswer::Cancel : MessageAnswer::No;
  }
  QMessageBox::StandardButtons shown = QMessageBox::Ok;
  if (buttons == MessageButtons::YesNo) shown = QMessageBox::Yes | QMessageBox::No;
  if (buttons == MessageButtons::YesNoCancel) shown = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  QMessageBox box(box_icon, QString::fromStdString(caption), QString(), shown);
  SetMessageText(box, QString::fromStdString(text));
  if (buttons == MessageButtons::YesNoCancel) box.setDefaultButton(QMessageBox::Cancel);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  StackAboveModal(box);
  const int answer = box.exec();
  if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
  if (answer == QMessageBox::Yes) return MessageAnswer::Yes;
  return answer == QMessageBox::No ? MessageAnswer::No : MessageAnswer::Cancel;
}

void DesktopView::ShowError(const std::string& message) { ControllerLink::ShowError(message); }

void DesktopView::LogError(const std::string& message) { ControllerLink::Log(message); }

ModalResult DesktopView::RunDialog(DialogKind kind) {
  const DialogContext context{link_, files_};
  std::unique_ptr<ModalDialog> dialog;
  switch (kind) {
    case DialogKind::PlayList: dialog = MakePlayListDialog(context); break;
    case DialogKind::JacketView: dialog = MakeJacketViewDialog(context); break;
    case DialogKind::Registration: dialog = MakeDiscRegDialog(context); break;
    case DialogKind::Options: break;
  }
  return RunModal(kind, std::move(dialog));
}

ModalResult DesktopView::RunOptionsDialog(TOptionValues& values, OptionsStart start) {
  return RunModal(DialogKind::Options, MakeOptionDialog(DialogContext{link_, files_}, values, start));
}

// A dialog that is not there (it could not be built) ends at once as cancelled, which leaves
// the controller's state as it was.
ModalResult DesktopView::RunModal(DialogKind kind, std::unique_ptr<ModalDialog> dialog) {
  if (!dialog) return ModalResult::Cancel;
  active_dialog_ = dialog.get();
  active_kind_ = kind;
  const ModalResult result = dialog->Run();
  active_dialog_ = nullptr;
  return result;
}

void DesktopView::CloseDialog(DialogKind kind, ModalResult result) {
  if (active_dialog_ && active_kind_ == kind) active_dialog_->CloseWith(result);
}

void DesktopView::SplashCreate(const SplashTexts& texts) {
  splash_ = std::make_unique<TSplashDLG>(texts);
  splash_->FormShow();
}

void DesktopView::SplashProgress(int position, const std::string& first_line, const std::string& second_line) {
  if (splash_) splash_->ShowProgress(position, first_line, second_line);
}

void DesktopView::SplashHide() {
  if (splash_) splash_->hide();
}

void DesktopView::SplashShow() {
  if (splash_) splash_->show();
}

void DesktopView::SplashRelease() { splash_.reset(); }

void DesktopView::ProcessPendingWork() { QCoreApplication::processEvents(); }

PadLayout DesktopView::PadGeometry() const { return pad_.Layout(); }

void DesktopView::SetPadGeometry(const PadLayout& layout) { pad_.ApplyLayout(layout); }

std::vector<std::size_t> DesktopView::SetPluginButtons(const std::vector<PluginButton>& buttons) {
  return plugin_pad_.SetButtons(buttons);
}

void DesktopView::PluginPadApplyHintSetting() {
  if (TQVRDM* dm = link_.Controller()) plugin_pad_.ApplyHintSetting(dm->HelpHint);
}

void DesktopView::PluginPadSave() { plugin_pad_.Save(); }

void DesktopView::CloseMainWindow() {
  // An open dialog (the registration dialog of the first tick, say) is cancelled, so that the
  // program ends even when the end arrives before or inside its event loop.
  if (active_dialog_) active_dialog_->CloseWith(ModalResult::Cancel);
  main_closed_ = true;
  main_.close();
  QCoreApplication::quit();
}

void DesktopView::OpenHelp(int context) { help_.Open(context); }

void DesktopView::Searching(std::string_view disc_name) {
  // Called once per record of the master file: the text is made and painted, and pending work
  // let run, only when the last paint is old enough.
  if (since_paint_.isValid() && since_paint_.elapsed() < kSearchPaintMilliseconds) return;
  since_paint_.start();
  ++search_paints_;
  main_.SetLineText(DoubleChar(SearchingCaption(disc_name), '&'));
  main_.RepaintLine();
  QCoreApplication::processEvents();
}

void DesktopView::SearchFinished() {
  since_paint_.invalidate();
  main_.SetLineText(std::string(kSearchFinished));
  main_.RepaintLine();
  QCoreApplication::processEvents();
}

}  // namespace qvr
