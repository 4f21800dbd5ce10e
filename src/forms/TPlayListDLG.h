// TPlayListDLG: the play list dialog. It shows a PlayListModel (one row per play order entry with
// the track's title and length, and the total time) and forwards every edit to the controller
// at once, which stops playback and takes the new order. Rows move by dragging one with the left
// button; the track menu (the add button's drop-down, or a right click on the list) inserts a
// track where it was opened; a double click plays from that row. Closing, however it happens,
// hands the rows to the controller.
#pragma once

#include <QPoint>
#include <cstddef>
#include <optional>

#include "cddb/DiscRecord.h"
#include "dialogs/PlayListModel.h"
#include "forms/DialogFactories.h"
#include "forms/ModalDialog.h"

class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QToolButton;
class QTreeWidget;

namespace qvr {

class TPlayListDLG final : public ModalDialog {
 public:
  // `hidden_track`: the length of the disc's hidden first track, which the track menu offers as
  // track 0 before track 1 (none: the disc has none).
  TPlayListDLG(const DialogContext& context, const TDiscRecord& disc, std::vector<std::string> play_order,
               const std::string& play_list_name, std::optional<std::uint32_t> hidden_track = std::nullopt);

  const PlayListModel& Model() const { return model_; }
  // The info panel's total text, as shown.
  QString TotalText() const;

  // Handlers, named for the controls they serve.
  void AddBTNClick();
  void TrackListClick(int track);
  void DeleteClick();
  void NewMNUClick();
  void LoadMNUClick();
  void SaveMNUClick();
  void SaveAsMNUClick();
  void CloseMNUClick();
  void SelectAllMNUClick();
  void InvertMNUClick();
  void UnselectMNUClick();
  void PlayListLVWDragDrop(std::optional<std::size_t> target);
  void PlayListLVWDblClick(std::optional<std::size_t> row);

  // Controls, named as the form names them (public for tests).
  QMenuBar* PLMenu = nullptr;
  QTreeWidget* PlayListLVW = nullptr;
  QToolButton* AddBTN = nullptr;
  QPushButton* DeleteBTN = nullptr;
  QLabel* PlayListInfoPNL = nullptr;  // the info panel's caption: the total time
  QMenu* TrackListMenu = nullptr;

  void done(int result) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildTrackMenu();
  void FillRows(std::optional<std::size_t> current = std::nullopt);
  void UpdateTotal();
  void ApplyPlayOrder();
  void PopupTrackMenu(std::size_t insert_index, const QPoint& global);
  std::optional<std::size_t> RowAt(const QPoint& viewport_point) const;
  bool ViewportMouse(QEvent* event);

  FileDialogs& files_;
  TDiscRecord disc_;  // the disc the dialog was opened for; rows look their tracks up here
  PlayListModel model_;
  std::size_t InsertIndex = 0;
  bool insert_index_set_ = false;  // the list's right click chose InsertIndex for this menu
  std::optional<std::size_t> DragIndex;
  bool dragging_ = false;
  QPoint press_point_;
  bool closed_ = false;
};

}  // namespace qvr
