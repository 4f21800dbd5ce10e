// The Qt menu over the menu model.
#include "forms/MenuView.h"

#include "app/TQVRDM.h"

namespace qvr {
namespace {

// Shows a separator only between two visible items, so that hidden items leave no doubled,
// leading or trailing line behind.
void TidySeparators(QMenu& menu) {
  QAction* pending = nullptr;  // a separator after visible items, waiting for one after it
  bool item_before = false;
  for (QAction* action : menu.actions()) {
    if (action->isSeparator()) {
      action->setVisible(false);
      if (item_before && !pending) pending = action;
      continue;
    }
    if (!action->isVisible()) continue;
    if (pending) pending->setVisible(true);
    pending = nullptr;
    item_before = true;
  }
}

bool Checkable(MenuItemId item) {
  switch (item) {
    case MenuItemId::RepeatOneMNU:
    case MenuItemId::RepeatAllMNU:
    case MenuItemId::RandomMNU:
    case MenuItemId::LyricsViewMNU:
    case MenuItemId::BaseMNU:
    case MenuItemId::BasicPadMNU:
    case MenuItemId::ControlPadMNU:
    case MenuItemId::ModePadMNU:
    case MenuItemId::WindowPadMNU:
    case MenuItemId::DiscPadMNU:
    case MenuItemId::OtherPadMNU: return true;
    default: return false;
  }
}

}  // namespace

void RunMenuItem(TQVRDM& dm, MenuItemId item) {
  switch (item) {
    case MenuItemId::PlayMNU: dm.PlayMNUClick(); break;
    case MenuItemId::StopMNU: dm.StopMNUClick(); break;
    case MenuItemId::PauseMNU: dm.PauseMNUClick(); break;
    case MenuItemId::NextMNU: dm.NextMNUClick(); break;
    case MenuItemId::PreviousMNU: dm.PreviousMNUClick(); break;
    case MenuItemId::PlayListMNU: dm.PlayListMNUClick(); break;
    case MenuItemId::RepeatOneMNU: dm.RepeatOneMNUClick(); break;
    case MenuItemId::RepeatAllMNU: dm.RepeatAllMNUClick(); break;
    case MenuItemId::RandomMNU: dm.RandomMNUClick(); break;
    case MenuItemId::LyricsViewMNU: dm.LyricsViewMNUClick(); break;
    case MenuItemId::BaseMNU: dm.BaseMNUClick(); break;
    case MenuItemId::BasicPadMNU: dm.BasicPadMNUClick(); break;
    case MenuItemId::ControlPadMNU: dm.ControlPadMNUClick(); break;
    case MenuItemId::ModePadMNU: dm.ModePadMNUClick(); break;
    case MenuItemId::WindowPadMNU: dm.WindowPadMNUClick(); break;
    case MenuItemId::DiscPadMNU: dm.DiscPadMNUClick(); break;
    case MenuItemId::OtherPadMNU: dm.OtherPadMNUClick(); break;
    case MenuItemId::JacketViewMNU: dm.JacketViewMNUClick(); break;
    case MenuItemId::LibraryEditMNU: dm.LibraryEditMNUClick(); break;
    case MenuItemId::EjectMNU: dm.EjectMNUClick(); break;
    case MenuItemId::OptionMNU: dm.OptionMNUClick(); break;
    case MenuItemId::HelpMNU: dm.HelpMNUClick(); break;
    case MenuItemId::ExitMNU: dm.ExitMNUClick(); break;
    case MenuItemId::DriveSetupMNU: dm.DriveSetupMNUClick(); break;
    case MenuItemId::DemoDiscMNU: dm.DemoDiscMNUClick(); break;
    case MenuItemId::PadMNU:
    case MenuItemId::PluginMNU:
    case MenuItemId::Count: break;
  }
}

MenuView::MenuView(const TQVRMenu& model, ControllerLink& link) : model_(model), link_(link) {
  menu_.setObjectName("QVRMenu");
  pad_menu_.setObjectName("PadMNU");
  plugin_menu_.setObjectName("PluginMNU");
  Fill(menu_, TQVRMenu::TopLevel());
  Fill(pad_menu_, TQVRMenu::PadSubMenu());
  Action(MenuItemId::PadMNU)->setMenu(&pad_menu_);
  Action(MenuItemId::PluginMNU)->setMenu(&plugin_menu_);
  RefreshAll();
  TidySeparators(menu_);
}

void MenuView::Fill(QMenu& menu, std::span<const MenuEntry> rows) {
  for (const MenuEntry& row : rows) {
    if (row.separator) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(QString());
    action->setObjectName(QString::fromUtf8(TQVRMenu::Name(row.item).data(), TQVRMenu::Name(row.item).size()));
    action->setCheckable(Checkable(row.item));
    const MenuItemId item = row.item;
    if (item != MenuItemId::PadMNU && item != MenuItemId::PluginMNU) {
      QObject::connect(action, &QAction::triggered, &menu_, [this, item] { Choose(item); });
    }
    actions_[static_cast<std::size_t>(item)] = action;
  }
}

void MenuView::Choose(MenuItemId item) {
  link_.Run([item](TQVRDM& dm) { RunMenuItem(dm, item); });
  // A checkable action flips itself when chosen; the model decides its check mark.
  Refresh(item);
}

void MenuView::RefreshPluginEntries() {
  plugin_menu_.clear();
  for (const PluginMenuEntry& entry : model_.PluginEntries()) {
    QAction* action = plugin_menu_.addAction(QString::fromStdString(entry.caption));
    action->setObjectName(QString::fromStdString(entry.name));
    const std::size_t tag = entry.tag;
    QObject::connect(action, &QAction::triggered, &menu_,
                     [this, tag] { link_.Run([tag](TQVRDM& dm) { dm.PluginClick(tag); }); });
  }
}

void MenuView::Refresh(MenuItemId item) {
  if (item == MenuItemId::PluginMNU) RefreshPluginEntries();
  QAction* action = Action(item);
  if (!action) return;
  action->setText(QString::fromStdString(model_.Caption(item)));
  action->setEnabled(model_.Enabled(item));
  if (action->isCheckable()) action->setChecked(model_.Checked(item));
  if (action->isVisible() != model_.Visible(item)) {
    action->setVisible(model_.Visible(item));
    TidySeparators(menu_);
  }
}

void MenuView::RefreshAll() {
  for (std::size_t i = 0; i < kMenuItemCount; ++i) Refresh(static_cast<MenuItemId>(i));
}

}  // namespace qvr
