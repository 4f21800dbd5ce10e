// The control pad: its toolbars and buttons, and the forwarding of every click.
#include "forms/TQVRPad.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>

#include "app/TQVRDM.h"
#include "forms/Icons.h"
#include "forms/QtSupport.h"
#include "forms/TPlugInPad.h"

namespace qvr {
namespace {

struct ButtonInfo {
  PadButton button;
  PadToolbar toolbar;
  const char* name;
  const char* image;
  const char* hint;
  bool toggle;
};

constexpr ButtonInfo kButtons[] = {
    {PadButton::PlayBTN, PadToolbar::BasicPad, "PlayBTN", "play", "再生", false},
    {PadButton::StopBTN, PadToolbar::BasicPad, "StopBTN", "stop", "停止", false},
    {PadButton::PauseBTN, PadToolbar::BasicPad, "PauseBTN", "pause", "一時停止", false},
    {PadButton::PreviousBTN, PadToolbar::ControlPad, "PreviousBTN", "previous", "前の曲へ", false},
    {PadButton::NextBTN, PadToolbar::ControlPad, "NextBTN", "next", "次の曲へ", false},
    {PadButton::PlayListBTN, PadToolbar::ControlPad, "PlayListBTN", "playlist", "トラックリスト", false},
    {PadButton::RepeatOneBTN, PadToolbar::ModePad, "RepeatOneBTN", "repeatone", "１曲リピート", true},
    {PadButton::RepeatAllBTN, PadToolbar::ModePad, "RepeatAllBTN", "repeatall", "全曲リピート", true},
    {PadButton::RandomBTN, PadToolbar::ModePad, "RandomBTN", "random", "ランダム再生", true},
    {PadButton::LyricsViewBTN, PadToolbar::WindowPad, "LyricsViewBTN", "lyrics", "歌詞表示", true},
    {PadButton::PadViewBTN, PadToolbar::WindowPad, "PadViewBTN", "pad", "コントロールパッド表示", true},
    {PadButton::JacketViewBTN, PadToolbar::DiscPad, "JacketViewBTN", "jacket", "ジャケット表示", false},
    {PadButton::DiscRegBTN, PadToolbar::DiscPad, "DiscRegBTN", "discreg", "データベース登録", false},
    {PadButton::PluginBTN, PadToolbar::OtherPad, "PluginBTN", "plugin", "プラグイン", false},
    {PadButton::EjectBTN, PadToolbar::OtherPad, "EjectBTN", "eject", "ＣＤ取り出し", false},
    {PadButton::OptionBTN, PadToolbar::OtherPad, "OptionBTN", "options", "環境設定", false},
    {PadButton::HelpBTN, PadToolbar::OtherPad, "HelpBTN", "help", "ヘルプ", false},
    {PadButton::ExitBTN, PadToolbar::OtherPad, "ExitBTN", "exit", "終了", false},
};
static_assert(std::size(kButtons) == static_cast<std::size_t>(PadButton::Count));

// The buttons whose enabled state is their menu item's.
struct SharedState {
  MenuItemId item;
  PadButton button;
};
constexpr SharedState kShared[] = {
    {MenuItemId::PlayMNU, PadButton::PlayBTN},
    {MenuItemId::StopMNU, PadButton::StopBTN},
    {MenuItemId::PauseMNU, PadButton::PauseBTN},
    {MenuItemId::NextMNU, PadButton::NextBTN},
    {MenuItemId::PreviousMNU, PadButton::PreviousBTN},
    {MenuItemId::PlayListMNU, PadButton::PlayListBTN},
    {MenuItemId::JacketViewMNU, PadButton::JacketViewBTN},
    {MenuItemId::LibraryEditMNU, PadButton::DiscRegBTN},
    {MenuItemId::PluginMNU, PadButton::PluginBTN},
};

constexpr int kHelpContext = 9;

}  // namespace

TQVRPad::TQVRPad(ControllerLink& link, TPlugInPad& plugin_pad)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      link_(link),
      plugin_pad_(plugin_pad) {
  setObjectName("QVRPad");
  setWindowTitle(QString::fromUtf8("QVRコントロールパッド"));
  QFont pad_font = FontFromIni({"\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E", 9, 0, 0}, 12);
  setFont(pad_font);
  DockingBase = new PadDock(this);
  std::array<PadToolbarWidget*, kPadToolbarCount> toolbars{};
  for (const PadToolbarInfo& info : kPadToolbars) {
    auto* toolbar = new PadToolbarWidget(info.toolbar, *DockingBase);
    toolbars[static_cast<std::size_t>(info.toolbar)] = toolbar;
  }
  for (const ButtonInfo& info : kButtons) {
    QToolButton* button = toolbars[static_cast<std::size_t>(info.toolbar)]->AddButton();
    button->setObjectName(QString::fromUtf8(info.name));
    button->setIcon(ButtonIcon(QString::fromUtf8(info.image)));
    button->setToolTip(QString::fromUtf8(info.hint));
    // A screen reader names the button by its hint, which stays when the tooltips are off.
    button->setAccessibleName(QString::fromUtf8(info.hint));
    button->setCheckable(info.toggle);
    buttons_[static_cast<std::size_t>(info.button)] = button;
    const PadButton id = info.button;
    connect(button, &QToolButton::clicked, this, [this, id] { Click(id); });
  }
  for (PadToolbarWidget* toolbar : toolbars) {
    DockingBase->AddToolbar(toolbar);
    auto* help = new QShortcut(QKeySequence::HelpContents, toolbar->Floating());
    const int context = Info(toolbar->Id()).help_context;
    connect(help, &QShortcut::activated, this, [this, context] { link_.ShowHelp(context); });
  }
  Button(PadButton::PluginBTN)->setEnabled(false);
  DockingBase->Resized = [this](QSize size) { CoolPadResize(size); };
  DockingBase->ToolbarClosed = [this](PadToolbar toolbar) {
    link_.Run([&](TQVRDM& dm) { dm.PadToolbarClose(toolbar); });
  };
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, [this] { link_.ShowHelp(kHelpContext); });
  resize(500, kRowHeight);
  // Placed like a new window of the platform until a stored position is applied.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.left() + 7, std::max(area.top(), std::min(776, area.bottom() - 80)));
  }
  DockingBase->Relayout();
  CoolPadResize(DockingBase->size());
}

void TQVRPad::ShowPluginPad() {
  // Under the pad window while the toolbar with the plug-in button is docked, else under that
  // toolbar's floating window.
  const PadToolbarWidget* other = DockingBase->Toolbar(PadToolbar::OtherPad);
  const QRect anchor =
      other->Docked() || other->Floating() == nullptr ? frameGeometry() : other->Floating()->frameGeometry();
  plugin_pad_.ShowAt(Button(PadButton::PluginBTN)->mapToGlobal(QPoint(0, 0)).x(), anchor);
}

void TQVRPad::Click(PadButton button) {
  link_.Run([&](TQVRDM& dm) {
    switch (button) {
      case PadButton::PlayBTN: dm.PlayMNUClick(); break;
      case PadButton::StopBTN: dm.StopMNUClick(); break;
      case PadButton::PauseBTN: dm.PauseMNUClick(); break;
      case PadButton::PreviousBTN: dm.PreviousMNUClick(); break;
      case PadButton::NextBTN: dm.NextMNUClick(); break;
      case PadButton::PlayListBTN: dm.PlayListMNUClick(); break;
      case PadButton::RepeatOneBTN: dm.RepeatOneMNUClick(); break;
      case PadButton::RepeatAllBTN: dm.RepeatAllMNUClick(); break;
      case PadButton::RandomBTN: dm.RandomMNUClick(); break;
      case PadButton::LyricsViewBTN: dm.LyricsViewMNUClick(); break;
      case PadButton::PadViewBTN: dm.BaseMNUClick(); break;
      case PadButton::JacketViewBTN: dm.JacketViewMNUClick(); break;
      case PadButton::DiscRegBTN: dm.LibraryEditMNUClick(); break;
      case PadButton::PluginBTN:
        // Shows the plug-in pad, or gives it the focus when it is shown already.
        if (plugin_pad_.isVisible()) {
          plugin_pad_.activateWindow();
        } else {
          ShowPluginPad();
        }
        break;
      case PadButton::EjectBTN: dm.EjectMNUClick(); break;
      case PadButton::OptionBTN: dm.OptionMNUClick(); break;
      case PadButton::HelpBTN: dm.HelpMNUClick(); break;
      case PadButton::ExitBTN: dm.ExitMNUClick(); break;
      case PadButton::Count: break;
    }
  });
  SyncToggles();
}

// A toggle button changes its own state when clicked; the controller's state decides it.
void TQVRPad::SyncToggles() {
  TQVRDM* dm = link_.Controller();
  if (!dm) return;
  SetToggle(PadToggle::RepeatOneBTN, dm->QVRMenu.Checked(MenuItemId::RepeatOneMNU));
  SetToggle(PadToggle::RepeatAllBTN, dm->QVRMenu.Checked(MenuItemId::RepeatAllMNU));
  SetToggle(PadToggle::RandomBTN, dm->QVRMenu.Checked(MenuItemId::RandomMNU));
  SetToggle(PadToggle::LyricsViewBTN, dm->QVRMenu.Checked(MenuItemId::LyricsViewMNU));
  SetToggle(PadToggle::PadViewBTN, dm->QVRMenu.Checked(MenuItemId::BaseMNU));
}

void TQVRPad::SetCaption(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

void TQVRPad::SetToggle(PadToggle toggle, bool down) {
  PadButton button = PadButton::Count;
  switch (toggle) {
    case PadToggle::RepeatOneBTN: button = PadButton::RepeatOneBTN; break;
    case PadToggle::RepeatAllBTN: button = PadButton::RepeatAllBTN; break;
    case PadToggle::RandomBTN: button = PadButton::RandomBTN; break;
    case PadToggle::LyricsViewBTN: button = PadButton::LyricsViewBTN; break;
    case PadToggle::PadViewBTN: button = PadButton::PadViewBTN; break;
  }
  if (button != PadButton::Count) Button(button)->setChecked(down);
}

void TQVRPad::FollowMenuItem(const TQVRMenu& menu, MenuItemId item) {
  for (const SharedState& shared : kShared) {
    if (shared.item == item) Button(shared.button)->setEnabled(menu.Enabled(item));
  }
}

void TQVRPad::SetStayOnTop(bool stay_on_top) {
  if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != stay_on_top) {
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, stay_on_top);
    if (shown) show();
  }
  DockingBase->SetFloatingStayOnTop(stay_on_top);
}

void TQVRPad::SetHintsEnabled(bool enabled) {
  if (hints_ == enabled) return;
  hints_ = enabled;
  for (const ButtonInfo& info : kButtons) {
    Button(info.button)->setToolTip(enabled ? QString::fromUtf8(info.hint) : QString());
  }
}

void TQVRPad::SetToolbarVisible(PadToolbar toolbar, bool visible) {
  DockingBase->SetShown(*DockingBase->Toolbar(toolbar), visible);
}

PadLayout TQVRPad::Layout() const {
  PadLayout layout;
  layout.window = {x(), y(), width(), height(), isVisible()};
  DockingBase->ReadLayout(layout);
  return layout;
}

void TQVRPad::ApplyLayout(const PadLayout& layout) {
  move(layout.window.left, layout.window.top);
  resize(std::max(1, layout.window.width), std::max(1, layout.window.height));
  DockingBase->ApplyLayout(layout);
  CoolPadResize(DockingBase->size());
  setVisible(layout.window.visible);
}

void TQVRPad::CoolPadResize(QSize dock) {
  // The pad's client area is exactly its dock: the dock spans the width, the pad follows its
  // height.
  setFixedHeight(dock.height());
  DockingBase->setGeometry(0, 0, width(), dock.height());
}

void TQVRPad::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  DockingBase->setGeometry(0, 0, width(), DockingBase->height());
}

void TQVRPad::closeEvent(QCloseEvent* event) {
  // Asking the pad to close ends the program. The pad itself stays as it is, so that the
  // layout saved at the end says it was shown.
  event->ignore();
  link_.Run([](TQVRDM& dm) { dm.ExitMNUClick(); });
}

}  // namespace qvr
