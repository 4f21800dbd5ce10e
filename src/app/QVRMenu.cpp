// The pop-up menu model: its rows, built-in captions and initial states.
#include "app/QVRMenu.h"

namespace qvr {
namespace {

using enum MenuItemId;

struct ItemDefinition {
  MenuItemId item;
  std::string_view name;
  std::string_view caption;
  bool enabled;
  bool checked;
  bool visible = true;
};

constexpr ItemDefinition kItems[] = {
    {PlayMNU, "PlayMNU", "再生", true, false},
    {StopMNU, "StopMNU", "停止", true, false},
    {PauseMNU, "PauseMNU", "一時停止", true, false},
    {NextMNU, "NextMNU", "次の曲へ", false, false},
    {PreviousMNU, "PreviousMNU", "前の曲へ", false, false},
    {PlayListMNU, "PlayListMNU", "プレイリスト...", true, false},
    {RepeatOneMNU, "RepeatOneMNU", "1曲リピート", true, false},
    {RepeatAllMNU, "RepeatAllMNU", "全曲リピート", true, false},
    {RandomMNU, "RandomMNU", "ランダム再生", true, false},
    {LyricsViewMNU, "LyricsViewMNU", "歌詞表示", true, true},
    {PadMNU, "PadMNU", "コントロールパッド表示", true, false},
    {BaseMNU, "BaseMNU", "ドッキングベース", true, true},
    {BasicPadMNU, "BasicPadMNU", "基本", true, true},
    {ControlPadMNU, "ControlPadMNU", "制御", true, true},
    {ModePadMNU, "ModePadMNU", "再生モード", true, true},
    {WindowPadMNU, "WindowPadMNU", "ウィンドウ", true, true},
    {DiscPadMNU, "DiscPadMNU", "ディスク情報", true, true},
    {OtherPadMNU, "OtherPadMNU", "その他", true, true},
    {JacketViewMNU, "JacketViewMNU", "ジャケット表示...", true, false},
    {LibraryEditMNU, "LibraryEditMNU", "データベース登録...", true, false},
    {PluginMNU, "PluginMNU", "プラグイン", false, false},
    {EjectMNU, "EjectMNU", "CD取り出し", true, false},
    {OptionMNU, "OptionMNU", "環境設定...", true, false},
    {HelpMNU, "HelpMNU", "ヘルプ(&H)...", true, false},
    {ExitMNU, "ExitMNU", "終了", true, false},
    {DriveSetupMNU, "DriveSetupMNU", "CDドライブの設定...", true, false, false},
    {DemoDiscMNU, "DemoDiscMNU", "デモディスクを再生", true, false, false},
};
static_assert(std::size(kItems) == kMenuItemCount);
static_assert(
    [] {
      for (std::size_t i = 0; i < kMenuItemCount; ++i) {
        if (static_cast<std::size_t>(kItems[i].item) != i) return false;
      }
      return true;
    }(),
    "the item table must follow the order of MenuItemId");

constexpr MenuEntry Item(MenuItemId item) { return {false, item}; }
constexpr MenuEntry kSeparator{true, Count};

// The two items for a player without a usable drive lead the menu; while they are hidden, the
// menu drops the separator that follows them.
constexpr MenuEntry kTopLevel[] = {
    Item(DriveSetupMNU), Item(DemoDiscMNU),  kSeparator,         Item(PlayMNU),       Item(StopMNU),
    Item(PauseMNU),      kSeparator,         Item(NextMNU),      Item(PreviousMNU),   Item(PlayListMNU),
    kSeparator,          Item(RepeatOneMNU), Item(RepeatAllMNU), Item(RandomMNU),     kSeparator,
    Item(LyricsViewMNU), Item(PadMNU),       kSeparator,         Item(JacketViewMNU), Item(LibraryEditMNU),
    kSeparator,          Item(PluginMNU),    Item(EjectMNU),     Item(OptionMNU),     Item(HelpMNU),
    Item(ExitMNU),
};

constexpr MenuEntry kPadSubMenu[] = {
    Item(BaseMNU),    kSeparator,         Item(BasicPadMNU), Item(ControlPadMNU),
    Item(ModePadMNU), Item(WindowPadMNU), Item(DiscPadMNU),  Item(OtherPadMNU),
};

}  // namespace

TQVRMenu::TQVRMenu() {
  for (const ItemDefinition& definition : kItems) {
    State& state = Get(definition.item);
    state.caption = definition.caption;
    state.enabled = definition.enabled;
    state.checked = definition.checked;
    state.visible = definition.visible;
  }
}

std::span<const MenuEntry> TQVRMenu::TopLevel() { return kTopLevel; }
std::span<const MenuEntry> TQVRMenu::PadSubMenu() { return kPadSubMenu; }

std::string_view TQVRMenu::Name(MenuItemId item) { return kItems[static_cast<std::size_t>(item)].name; }

void TQVRMenu::SetCaption(MenuItemId item, std::string_view caption) {
  if (Get(item).caption == caption) return;
  Get(item).caption = caption;
  Changed(item);
}

void TQVRMenu::SetEnabled(MenuItemId item, bool enabled) {
  if (Get(item).enabled == enabled) return;
  Get(item).enabled = enabled;
  Changed(item);
}

void TQVRMenu::SetVisible(MenuItemId item, bool visible) {
  if (Get(item).visible == visible) return;
  Get(item).visible = visible;
  Changed(item);
}

void TQVRMenu::SetPluginEntries(std::vector<PluginMenuEntry> entries) {
  if (plugin_entries_ == entries) return;
  plugin_entries_ = std::move(entries);
  Changed(MenuItemId::PluginMNU);
}

void TQVRMenu::SetChecked(MenuItemId item, bool checked) {
  if (Get(item).checked == checked) return;
  Get(item).checked = checked;
  Changed(item);
}

}  // namespace qvr
