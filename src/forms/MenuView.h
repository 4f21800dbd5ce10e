// The pop-up menu QVRMenu as a QMenu built from the controller's menu model: the same rows,
// captions, check marks, enabled states and visibility, kept in step as the model changes. Choosing an item
// runs its handler. It never pops up by itself.
#pragma once

#include <QAction>
#include <QMenu>
#include <array>
#include <span>

#include "app/QVRMenu.h"
#include "forms/ControllerLink.h"

namespace qvr {

class MenuView {
 public:
  MenuView(const TQVRMenu& model, ControllerLink& link);
  MenuView(const MenuView&) = delete;
  MenuView& operator=(const MenuView&) = delete;

  QMenu& Menu() { return menu_; }
  QAction* Action(MenuItemId item) const { return actions_[static_cast<std::size_t>(item)]; }
  // Takes over the model's caption, check mark, enabled and visible state of one item.
  void Refresh(MenuItemId item);
  void RefreshAll();
  // Rebuilds the PluginMNU sub-menu from the model's plug-in entries.
  void RefreshPluginEntries();

 private:
  void Fill(QMenu& menu, std::span<const MenuEntry> rows);
  void Choose(MenuItemId item);

  const TQVRMenu& model_;
  ControllerLink& link_;
  QMenu menu_;
  QMenu pad_menu_;
  QMenu plugin_menu_;
  std::array<QAction*, kMenuItemCount> actions_{};
};

// Runs the handler of a menu item (none for the two sub-menu items).
class TQVRDM;
void RunMenuItem(TQVRDM& controller, MenuItemId item);

}  // namespace qvr
