// The play list dialog's layout and its handlers. Every edit goes through the model, then the
// rows are shown again and the controller takes the new order.
#include "forms/TPlayListDLG.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/TQVRDM.h"
#include "dialogs/PlayListCommands.h"
#include "forms/ControllerLink.h"
#include "forms/QtSupport.h"
#include "util/ZLUtils.h"

namespace qvr {
namespace {

constexpr int kHelpContext = 10;
// "ＭＳ Ｐゴシック" in Shift-JIS, the dialog's font at 12 pixels.
constexpr const char* kFontFace = "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

QAction* MenuItem(QMenu* menu, const char* name, const char* caption, const char* hint) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setObjectName(name);
  action->setStatusTip(QString::fromUtf8(hint));
  return action;
}

}  // namespace

TPlayListDLG::TPlayListDLG(const DialogContext& context, const TDiscRecord& disc, std::vector<std::string> play_order,
                           const std::string& play_list_name, std::optional<std::uint32_t> hidden_track)
    : ModalDialog(context.link, Text(PlayListCaption(play_list_name, false)), kHelpContext),
      files_(context.files),
      disc_(disc),
      model_(disc_, std::move(play_order), hidden_track) {
  setObjectName("PlayListDLG");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setFont(FontFromIni({kFontFace, 9, 0, 0}, 12));
  setSizeGripEnabled(true);

  TrackListMenu = new QMenu(this);
  TrackListMenu->setObjectName("TrackListMenu");
  BuildTrackMenu();
  BuildMenus();

  Body()->setContentsMargins(0, 0, 0, 0);
  Body()->setSpacing(0);

  auto* track_panel = new QFrame(this);
  track_panel->setObjectName("TrackListPNL");
  track_panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  track_panel->setLineWidth(2);
  auto* track_layout = new QVBoxLayout(track_panel);
  track_layout->setContentsMargins(2, 2, 2, 2);
  PlayListLVW = new QTreeWidget(track_panel);
  PlayListLVW->setObjectName("PlayListLVW");
  PlayListLVW->setColumnCount(3);
  PlayListLVW->setHeaderLabels({QStringLiteral("トラック"), QStringLiteral("曲名"), QStringLiteral("演奏時間")});
  PlayListLVW->setRootIsDecorated(false);
  PlayListLVW->setItemsExpandable(false);
  PlayListLVW->setUniformRowHeights(true);
  PlayListLVW->setAllColumnsShowFocus(true);
  PlayListLVW->setSelectionMode(QAbstractItemView::ExtendedSelection);
  PlayListLVW->setSelectionBehavior(QAbstractItemView::SelectRows);
  PlayListLVW->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PlayListLVW->setFrameShape(QFrame::NoFrame);
  // The title takes the room the number and the length leave, so that the three columns fit the
  // list without a horizontal scroll bar at any width of the sizable dialog.
  QHeaderView* header = PlayListLVW->header();
  header->setStretchLastSection(false);
  header->setSectionsMovable(false);
  header->setMinimumSectionSize(40);
  header->setSectionResizeMode(1, QHeaderView::Stretch);
  PlayListLVW->setColumnWidth(
      0, std::max(50, PlayListLVW->fontMetrics().horizontalAdvance(QStringLiteral("トラック")) + 16));
  PlayListLVW->setColumnWidth(1, 160);
  PlayListLVW->setColumnWidth(
      2, std::max(60, PlayListLVW->fontMetrics().horizontalAdvance(QStringLiteral("演奏時間")) + 14));
  PlayListLVW->installEventFilter(this);
  PlayListLVW->viewport()->installEventFilter(this);
  SetHint(PlayListLVW, "右クリックで曲を挿入します|ドラッグで移動、ダブルクリックで再生");
  track_layout->addWidget(PlayListLVW);
  Body()->addWidget(track_panel, 1);

  auto* info_panel = new QWidget(this);
  info_panel->setObjectName("PlayListInfoPanel");
  info_panel->setFixedHeight(47);
  auto* info_layout = new QVBoxLayout(info_panel);
  info_layout->setContentsMargins(4, 4, 4, 1);
  info_layout->setSpacing(0);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(3);
  AddBTN = new QToolButton(info_panel);
  AddBTN->setObjectName("AddBTN");
  AddBTN->setText(QStringLiteral("追加(&A)"));
  AddBTN->setPopupMode(QToolButton::InstantPopup);
  AddBTN->setMenu(TrackListMenu);
  AddBTN->setFixedSize(75, 25);
  SetHint(AddBTN, "曲を追加|曲を選んでプレイリストの最後に追加します");
  DeleteBTN = new QPushButton(QStringLiteral("削除(&D)"), info_panel);
  DeleteBTN->setObjectName("DeleteBTN");
  DeleteBTN->setFixedSize(75, 25);
  // Return in the list plays a row; it must never press this button.
  DeleteBTN->setAutoDefault(false);
  SetHint(DeleteBTN, "選択した曲を削除|選択した曲をプレイリストから削除します");
  connect(DeleteBTN, &QPushButton::clicked, this, [this] { DeleteClick(); });
  buttons->addWidget(AddBTN);
  buttons->addWidget(DeleteBTN);
  buttons->addStretch(1);
  info_layout->addLayout(buttons);
  info_layout->addStretch(1);
  PlayListInfoPNL = new QLabel(info_panel);
  PlayListInfoPNL->setObjectName("PlayListInfoPNL");
  PlayListInfoPNL->setTextFormat(Qt::PlainText);
  PlayListInfoPNL->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  info_layout->addWidget(PlayListInfoPNL);
  Body()->addWidget(info_panel);

  // Keys a list user expects: Delete deletes the selection, Return plays the current row.
  auto* delete_key = new QShortcut(QKeySequence::Delete, PlayListLVW);
  delete_key->setContext(Qt::WidgetShortcut);
  connect(delete_key, &QShortcut::activated, this, [this] { DeleteClick(); });
  for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* play_key = new QShortcut(QKeySequence(key), PlayListLVW);
    play_key->setContext(Qt::WidgetShortcut);
    connect(play_key, &QShortcut::activated, this, [this] {
      const QModelIndex current = PlayListLVW->currentIndex();
      if (current.isValid()) PlayListLVWDblClick(static_cast<std::size_t>(current.row()));
    });
  }

  FillRows();
  UpdateTotal();
  resize(285, 287);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
  PlayListLVW->setFocus();
}

void TPlayListDLG::BuildMenus() {
  PLMenu = new QMenuBar(this);
  PLMenu->setObjectName("PLMenu");
  QMenu* file = PLMenu->addMenu(QStringLiteral("ファイル(&F)"));
  file->setObjectName("FileMNU");
  connect(MenuItem(file, "NewMNU", "新規作成(&N)", "プレイリストをＣＤの曲順に戻します"), &QAction::triggered, this,
          [this] { NewMNUClick(); });
  connect(MenuItem(file, "LoadMNU", "読み込み(&L)...", "このＣＤのプレイリストファイルを読み込みます"),
          &QAction::triggered, this, [this] { LoadMNUClick(); });
  connect(MenuItem(file, "SaveMNU", "保存(&S)...", "プレイリストを今のファイルに保存します"), &QAction::triggered, this,
          [this] { SaveMNUClick(); });
  connect(MenuItem(file, "SaveAsMNU", "名前を付けて保存(&A)...", "プレイリストを新しいファイルに保存します"),
          &QAction::triggered, this, [this] { SaveAsMNUClick(); });
  file->addSeparator();
  connect(MenuItem(file, "CloseMNU", "閉じる(&C)", "プレイリストを閉じます"), &QAction::triggered, this,
          [this] { CloseMNUClick(); });

  QMenu* edit = PLMenu->addMenu(QStringLiteral("編集(&E)"));
  edit->setObjectName("EditMNU");
  connect(MenuItem(edit, "SelectAllMNU", "全て選択(&A)", "全ての曲を選択します"), &QAction::triggered, this,
          [this] { SelectAllMNUClick(); });
  connect(MenuItem(edit, "InvertMNU", "選択項目を反転(&R)", "選択している曲と選択していない曲を入れ替えます"),
          &QAction::triggered, this, [this] { InvertMNUClick(); });
  connect(MenuItem(edit, "UnselectMNU", "全て選択解除(&U)", "全ての曲の選択を解除します"), &QAction::triggered, this,
          [this] { UnselectMNUClick(); });
  edit->addSeparator()->setVisible(false);
  QAction* track_info = MenuItem(edit, "TrackInfoMNU", "トラック情報(&I)...", "");
  track_info->setVisible(false);
  track_info->setEnabled(false);

  QMenu* sort = PLMenu->addMenu(QStringLiteral("ソート(&S)"));
  sort->setObjectName("SortMNU");
  sort->menuAction()->setVisible(false);
  sort->setEnabled(false);

  static_cast<QVBoxLayout*>(layout())->setMenuBar(PLMenu);
}

void TPlayListDLG::BuildTrackMenu() {
  connect(MenuItem(TrackListMenu, "DeleteMNU", "削除(&D)", "選択した曲をプレイリストから削除します"),
          &QAction::triggered, this, [this] { DeleteClick(); });
  TrackListMenu->addSeparator()->setObjectName("N1");
  for (const PlayListTrackItem& item : model_.TrackItems()) {
    // Titles are shown as they are: an ampersand is not an accelerator here.
    QAction* action = TrackListMenu->addAction(Text(DoubleChar(item.caption, '&')));
    action->setObjectName(QStringLiteral("TrackList%1").arg(item.track));
    action->setData(item.track);
    action->setStatusTip(QStringLiteral("この曲をプレイリストに挿入します"));
    const int track = item.track;
    connect(action, &QAction::triggered, this, [this, track] { TrackListClick(track); });
  }
  // The add button opens the menu to append; the list's right click has chosen its own place.
  connect(TrackListMenu, &QMenu::aboutToShow, this, [this] {
    if (!insert_index_set_) AddBTNClick();
    insert_index_set_ = false;
  });
}

QString TPlayListDLG::TotalText() const { return PlayListInfoPNL->text(); }

void TPlayListDLG::FillRows(std::optional<std::size_t> current) {
  PlayListLVW->clear();
  QList<QTreeWidgetItem*> items;
  for (std::size_t row = 0; row < model_.Count(); ++row) {
    const PlayListRow shown = model_.Row(row);
    items << new QTreeWidgetItem(QStringList{Text(shown.entry), Text(shown.title), Text(shown.length)});
  }
  PlayListLVW->addTopLevelItems(items);
  if (current && *current < model_.Count()) {
    QTreeWidgetItem* item = PlayListLVW->topLevelItem(static_cast<int>(*current));
    PlayListLVW->setCurrentItem(item);
    PlayListLVW->scrollToItem(item);
  }
}

void TPlayListDLG::UpdateTotal() { PlayListInfoPNL->setText(Text(model_.TotalText())); }

void TPlayListDLG::ApplyPlayOrder() {
  Link().Run([this](TQVRDM& dm) { dm.ApplyPlayOrder(model_.Entries()); });
}

void TPlayListDLG::AddBTNClick() { InsertIndex = model_.Count(); }

void TPlayListDLG::PopupTrackMenu(std::size_t insert_index, const QPoint& global) {
  InsertIndex = insert_index;
  insert_index_set_ = true;
  TrackListMenu->popup(global);
}

void TPlayListDLG::TrackListClick(int track) {
  const std::size_t row = model_.Insert(InsertIndex, track);
  FillRows(row);
  UpdateTotal();
  ApplyPlayOrder();
}

void TPlayListDLG::DeleteClick() {
  std::vector<std::size_t> selected;
  for (const QModelIndex& index : PlayListLVW->selectionModel()->selectedRows()) {
    selected.push_back(static_cast<std::size_t>(index.row()));
  }
  if (!model_.Delete(selected)) return;
  FillRows();
  UpdateTotal();
  ApplyPlayOrder();
}

void TPlayListDLG::NewMNUClick() {
  model_.Reset();
  FillRows();
  UpdateTotal();
  ApplyPlayOrder();
}

void TPlayListDLG::LoadMNUClick() {
  Link().Run([this](TQVRDM& dm) {
    const PlayListLoad loaded = LoadPlayListCommand(dm, files_);
    if (loaded == PlayListLoad::Cancelled) return;
    model_.Assign(dm.PlayOrder);
    FillRows();
    UpdateTotal();
    if (loaded == PlayListLoad::Loaded) setWindowTitle(Text(PlayListCaption(dm.PlayListName, true)));
  });
}

void TPlayListDLG::SaveMNUClick() {
  Link().Run([this](TQVRDM& dm) {
    if (SavePlayListCommand(dm, files_)) setWindowTitle(Text(PlayListCaption(dm.PlayListName, true)));
  });
}

void TPlayListDLG::SaveAsMNUClick() {
  Link().Run([this](TQVRDM& dm) {
    if (SaveAsPlayListCommand(dm, files_)) setWindowTitle(Text(PlayListCaption(dm.PlayListName, true)));
  });
}

void TPlayListDLG::CloseMNUClick() { CloseWith(ModalResult::Ok); }

void TPlayListDLG::SelectAllMNUClick() { PlayListLVW->selectAll(); }

void TPlayListDLG::InvertMNUClick() {
  const int rows = PlayListLVW->topLevelItemCount();
  if (rows == 0) return;
  const QItemSelection all(PlayListLVW->model()->index(0, 0),
                           PlayListLVW->model()->index(rows - 1, PlayListLVW->columnCount() - 1));
  PlayListLVW->selectionModel()->select(all, QItemSelectionModel::Toggle);
}

void TPlayListDLG::UnselectMNUClick() { PlayListLVW->clearSelection(); }

void TPlayListDLG::PlayListLVWDragDrop(std::optional<std::size_t> target) {
  if (!DragIndex) return;
  const std::size_t from = *DragIndex;
  if (!model_.Move(from, target)) return;
  const std::size_t landed = target && *target < model_.Count() ? *target : model_.Count() - 1;
  FillRows(landed);
  ApplyPlayOrder();
}

void TPlayListDLG::PlayListLVWDblClick(std::optional<std::size_t> row) {
  if (!row || *row >= model_.Count()) return;
  Link().Run([position = *row + 1](TQVRDM& dm) { dm.PlayPlayListEntry(position); });
}

void TPlayListDLG::done(int result) {
  // However the dialog ends (close command, Esc, close box, the disc leaving the drive), the
  // controller takes the rows as they are; nothing stops.
  Link().Run([this](TQVRDM& dm) { dm.TakePlayOrder(model_.Entries()); });
  ModalDialog::done(result);
}

std::optional<std::size_t> TPlayListDLG::RowAt(const QPoint& viewport_point) const {
  const QModelIndex index = PlayListLVW->indexAt(viewport_point);
  if (!index.isValid()) return std::nullopt;
  return static_cast<std::size_t>(index.row());
}

bool TPlayListDLG::eventFilter(QObject* watched, QEvent* event) {
  if (watched == PlayListLVW && event->type() == QEvent::ContextMenu) {
    // The mouse's right button has opened the menu already; the keyboard's menu key opens it at
    // the current row.
    auto* menu_event = static_cast<QContextMenuEvent*>(event);
    if (menu_event->reason() != QContextMenuEvent::Mouse) {
      const QModelIndex current = PlayListLVW->currentIndex();
      const QRect place = current.isValid() ? PlayListLVW->visualRect(current) : QRect();
      PopupTrackMenu(current.isValid() ? static_cast<std::size_t>(current.row()) : model_.Count(),
                     PlayListLVW->viewport()->mapToGlobal(place.bottomLeft()));
    }
    return true;
  }
  if (watched == PlayListLVW->viewport()) return ViewportMouse(event);
  return ModalDialog::eventFilter(watched, event);
}

bool TPlayListDLG::ViewportMouse(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint at = mouse->position().toPoint();
      const bool alone = mouse->modifiers() == Qt::NoModifier && mouse->buttons() == mouse->button();
      if (mouse->button() == Qt::LeftButton) {
        // Only a plain press on a row can start a drag; with Shift or Ctrl it only selects.
        DragIndex = alone ? RowAt(at) : std::nullopt;
        dragging_ = false;
        press_point_ = at;
        return false;
      }
      if (mouse->button() == Qt::RightButton && alone) {
        PopupTrackMenu(RowAt(at).value_or(model_.Count()), mouse->globalPosition().toPoint());
        return true;
      }
      return false;
    }
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (!DragIndex || !(mouse->buttons() & Qt::LeftButton)) return false;
      const QPoint at = mouse->position().toPoint();
      if (!dragging_ && (at - press_point_).manhattanLength() >= QApplication::startDragDistance()) {
        dragging_ = true;
        PlayListLVW->viewport()->setCursor(Qt::DragMoveCursor);
      }
      if (dragging_) {
        // The focus frame shows the row the entry would land on.
        const QModelIndex over = PlayListLVW->indexAt(at);
        const QModelIndex target =
            over.isValid() ? over : PlayListLVW->model()->index(PlayListLVW->topLevelItemCount() - 1, 0);
        PlayListLVW->selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
      }
      // Moves with the button down never sweep a selection: they belong to the drag.
      return true;
    }
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton || !dragging_) {
        if (mouse->button() == Qt::LeftButton) DragIndex.reset();
        return false;
      }
      dragging_ = false;
      PlayListLVW->viewport()->unsetCursor();
      const QPoint at = mouse->position().toPoint();
      // A drop outside the list does nothing; below its last row it goes to the last row.
      if (PlayListLVW->viewport()->rect().contains(at)) PlayListLVWDragDrop(RowAt(at));
      DragIndex.reset();
      return true;
    }
    case QEvent::MouseButtonDblClick: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) return false;
      PlayListLVWDblClick(RowAt(mouse->position().toPoint()));
      return true;
    }
    default: return false;
  }
}

std::unique_ptr<ModalDialog> MakePlayListDialog(const DialogContext& context) {
  TQVRDM* dm = context.link.Controller();
  if (!dm) return nullptr;
  return std::make_unique<TPlayListDLG>(context, dm->Disc, dm->PlayOrder, dm->PlayListName, dm->HiddenTrackLength());
}

}  // namespace qvr
