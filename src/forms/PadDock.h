// The control pad's small dock: toolbars docked in rows at pixel positions along each row, or
// floating in a small window of their own with their caption and a close button. A toolbar is
// dragged by its grip along and between rows, off the dock to float, and by its floating
// window's caption back onto the dock. Qt's own toolbars keep no position along a row, so the
// pad has this one.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPoint>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/PadLayout.h"

namespace qvr {

class PadDock;
class FloatingToolbar;

// Sizes of the dock's parts, in pixels.
inline constexpr int kGripWidth = 11;
inline constexpr int kButtonWidth = 23;
inline constexpr int kButtonHeight = 22;
inline constexpr int kRowHeight = 26;
inline constexpr int kEmptyDockHeight = 6;
inline constexpr int kToolbarGap = 2;

class PadToolbarWidget : public QFrame {
 public:
  PadToolbarWidget(PadToolbar id, PadDock& dock);
  PadToolbar Id() const { return id_; }
  QString Caption() const;
  QToolButton* AddButton();

  bool Docked() const { return docked_; }
  int DockPos() const { return dock_pos_; }
  int DockRow() const { return dock_row_; }
  // Shown as the user sees it: docked and not hidden, or its floating window shown.
  bool Shown() const { return shown_; }
  FloatingToolbar* Floating() const { return floating_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  friend class PadDock;
  PadToolbar id_;
  PadDock& dock_;
  FloatingToolbar* floating_ = nullptr;
  bool docked_ = true;
  bool shown_ = true;
  int dock_pos_ = 0, dock_row_ = 0;
  bool dragging_ = false;
  QPoint grab_;  // where the grip was taken, inside the toolbar
  int buttons_ = 0;
};

// The small window a floating toolbar lives in: a caption bar with the toolbar's caption and a
// close button, the toolbar below. Dragging the caption moves it; dropping it over the dock
// docks the toolbar there.
class FloatingToolbar : public QWidget {
 public:
  FloatingToolbar(PadToolbarWidget& toolbar, PadDock& dock);
  static constexpr int kCaptionHeight = 14;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  PadToolbarWidget& toolbar_;
  PadDock& dock_;
  QToolButton* close_;
  bool dragging_ = false;
  QPoint grab_;
};

class PadDock : public QWidget {
 public:
  explicit PadDock(QWidget* pad);

  PadToolbarWidget* Toolbar(PadToolbar id) const { return toolbars_[static_cast<std::size_t>(id)]; }
  void AddToolbar(PadToolbarWidget* toolbar);

  // Docks a toolbar at (row, pos), or floats it with its window's top-left corner at `screen`.
  void Dock(PadToolbarWidget& toolbar, int row, int pos);
  void Float(PadToolbarWidget& toolbar, QPoint screen);
  void SetShown(PadToolbarWidget& toolbar, bool shown);

  // The toolbars' part of the pad's layout, and applying it.
  void ReadLayout(PadLayout& layout) const;
  void ApplyLayout(const PadLayout& layout);

  // Places the docked toolbars: rows in order of their numbers with empty rows dropped, each
  // row's toolbars by position, pushed along when they would overlap the one before. The dock's
  // height follows its rows and each change of size is reported (CoolPadResize).
  void Relayout();
  std::function<void(QSize)> Resized;
  // A floating toolbar was closed by its close button.
  std::function<void(PadToolbar)> ToolbarClosed;
  // The top-level window the dock's floating toolbars belong to (for stay-on-top).
  void SetFloatingStayOnTop(bool stay_on_top);

  // Called while a docked toolbar is dragged (`global`: the pointer; `grab`: where in the
  // toolbar it was taken) and when it is dropped.
  void DragDocked(PadToolbarWidget& toolbar, QPoint global, QPoint grab);
  void DropDocked(PadToolbarWidget& toolbar, QPoint global, QPoint grab);
  // A floating toolbar dropped with the pointer at `global`: docks it when over the dock.
  bool DropFloating(PadToolbarWidget& toolbar, QPoint global, QPoint grab);

 private:
  int RowCount() const;
  std::vector<PadToolbarWidget*> toolbars_ = std::vector<PadToolbarWidget*>(kPadToolbarCount, nullptr);
  bool floating_on_top_ = true;
};

}  // namespace qvr
