// The control pad's dock and its toolbars.
#include "forms/PadDock.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <map>

namespace qvr {
namespace {

// How far the pointer may leave the dock while a docked toolbar is dragged before it floats.
constexpr int kFloatMargin = 12;

}  // namespace

PadToolbarWidget::PadToolbarWidget(PadToolbar id, PadDock& dock) : QFrame(&dock), id_(id), dock_(dock) {
  setObjectName(QString::fromUtf8(std::string(Info(id).key_prefix) + "Pad"));
  setFrameStyle(QFrame::NoFrame);
  dock_pos_ = Info(id).design_pos;
  setFixedSize(kGripWidth, kRowHeight);
  setCursor(Qt::ArrowCursor);
}

QString PadToolbarWidget::Caption() const {
  return QString::fromUtf8(Info(id_).caption.data(), Info(id_).caption.size());
}

QToolButton* PadToolbarWidget::AddButton() {
  auto* button = new QToolButton(this);
  button->setAutoRaise(true);
  button->setIconSize({16, 16});
  button->setFixedSize(kButtonWidth, kButtonHeight);
  button->move(kGripWidth + buttons_ * kButtonWidth, (kRowHeight - kButtonHeight) / 2);
  ++buttons_;
  setFixedSize(kGripWidth + buttons_ * kButtonWidth, kRowHeight);
  return button;
}

void PadToolbarWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // The grip: two raised vertical lines at the left edge.
  const QColor light = palette().color(QPalette::Light), dark = palette().color(QPalette::Dark);
  for (int x : {3, 6}) {
    painter.setPen(light);
    painter.drawLine(x, 4, x, height() - 5);
    painter.setPen(dark);
    painter.drawLine(x + 1, 4, x + 1, height() - 5);
  }
}

void PadToolbarWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || event->position().x() >= kGripWidth) return QFrame::mousePressEvent(event);
  dragging_ = true;
  grab_ = event->position().toPoint();
  setCursor(Qt::SizeAllCursor);
}

void PadToolbarWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QFrame::mouseMoveEvent(event);
  dock_.DragDocked(*this, event->globalPosition().toPoint(), grab_);
}

void PadToolbarWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return QFrame::mouseReleaseEvent(event);
  dragging_ = false;
  setCursor(Qt::ArrowCursor);
  dock_.DropDocked(*this, event->globalPosition().toPoint(), grab_);
}

FloatingToolbar::FloatingToolbar(PadToolbarWidget& toolbar, PadDock& dock)
    : QWidget(dock.window(), Qt::Tool | Qt::FramelessWindowHint), toolbar_(toolbar), dock_(dock) {
  setObjectName(toolbar.objectName() + "Window");
  setWindowTitle(toolbar.Caption());
  close_ = new QToolButton(this);
  close_->setObjectName("CloseButton");
  close_->setText(QString::fromUtf8("×"));
  close_->setAutoRaise(true);
  close_->setFixedSize(kCaptionHeight, kCaptionHeight - 2);
  close_->setToolTip(QString::fromUtf8("閉じる"));
  close_->setAccessibleName(QString::fromUtf8("ツールバーを閉じる"));
  connect(close_, &QToolButton::clicked, this, [this] { close(); });
}

void FloatingToolbar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  painter.fillRect(QRect(0, 0, width(), kCaptionHeight), palette().color(QPalette::Highlight));
  painter.setPen(palette().color(QPalette::HighlightedText));
  QFont font = painter.font();
  font.setPixelSize(kCaptionHeight - 3);
  painter.setFont(font);
  painter.drawText(QRect(3, 0, width() - kCaptionHeight - 4, kCaptionHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   toolbar_.Caption());
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
  close_->move(width() - kCaptionHeight - 1, 1);
}

void FloatingToolbar::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || event->position().y() >= kCaptionHeight) return;
  dragging_ = true;
  grab_ = event->position().toPoint();
}

void FloatingToolbar::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_) move(event->globalPosition().toPoint() - grab_);
}

void FloatingToolbar::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  dock_.DropFloating(toolbar_, event->globalPosition().toPoint(), grab_ - QPoint(0, kCaptionHeight));
}

void FloatingToolbar::closeEvent(QCloseEvent* event) {
  event->accept();
  if (!toolbar_.Shown()) return;
  dock_.SetShown(toolbar_, false);
  if (dock_.ToolbarClosed) dock_.ToolbarClosed(toolbar_.Id());
}

PadDock::PadDock(QWidget* pad) : QWidget(pad) { setObjectName("DockingBase"); }

void PadDock::AddToolbar(PadToolbarWidget* toolbar) {
  toolbars_[static_cast<std::size_t>(toolbar->Id())] = toolbar;
  toolbar->floating_ = new FloatingToolbar(*toolbar, *this);
}

int PadDock::RowCount() const {
  std::map<int, int> rows;
  for (PadToolbarWidget* toolbar : toolbars_) {
    if (toolbar && toolbar->docked_ && toolbar->shown_) rows[toolbar->dock_row_] = 0;
  }
  return static_cast<int>(rows.size());
}

void PadDock::Relayout() {
  std::map<int, std::vector<PadToolbarWidget*>> rows;
  for (PadToolbarWidget* toolbar : toolbars_) {
    if (toolbar && toolbar->docked_ && toolbar->shown_) rows[toolbar->dock_row_].push_back(toolbar);
  }
  int row_index = 0;
  for (auto& [number, members] : rows) {
    std::stable_sort(members.begin(), members.end(),
                     [](PadToolbarWidget* a, PadToolbarWidget* b) { return a->dock_pos_ < b->dock_pos_; });
    int next = 0;
    for (PadToolbarWidget* toolbar : members) {
      const int x = std::max({toolbar->dock_pos_, next, 0});
      toolbar->dock_pos_ = x;
      toolbar->dock_row_ = row_index;
      toolbar->setGeometry(x, row_index * kRowHeight, toolbar->width(), kRowHeight);
      toolbar->show();
      next = x + toolbar->width() + kToolbarGap;
    }
    ++row_index;
  }
  const int height = rows.empty() ? kEmptyDockHeight : row_index * kRowHeight;
  const QSize size(parentWidget() ? parentWidget()->width() : width(), height);
  if (size != this->size()) {
    resize(size);
    if (Resized) Resized(size);
  }
}

void PadDock::Dock(PadToolbarWidget& toolbar, int row, int pos) {
  toolbar.docked_ = true;
  toolbar.dock_row_ = row;
  toolbar.dock_pos_ = std::max(0, pos);
  if (toolbar.parentWidget() != this) toolbar.setParent(this);
  toolbar.floating_->hide();
  toolbar.setVisible(toolbar.shown_);
  Relayout();
}

void PadDock::Float(PadToolbarWidget& toolbar, QPoint screen) {
  toolbar.docked_ = false;
  FloatingToolbar& window = *toolbar.floating_;
  toolbar.setParent(&window);
  toolbar.move(0, FloatingToolbar::kCaptionHeight);
  toolbar.show();
  window.setFixedSize(toolbar.width(), toolbar.height() + FloatingToolbar::kCaptionHeight);
  window.move(screen);
  window.setVisible(toolbar.shown_);
  Relayout();
}

void PadDock::SetShown(PadToolbarWidget& toolbar, bool shown) {
  toolbar.shown_ = shown;
  if (toolbar.docked_) {
    toolbar.setVisible(shown);
  } else {
    toolbar.floating_->setVisible(shown);
  }
  Relayout();
}

void PadDock::SetFloatingStayOnTop(bool stay_on_top) {
  floating_on_top_ = stay_on_top;
  for (PadToolbarWidget* toolbar : toolbars_) {
    if (!toolbar) continue;
    FloatingToolbar* window = toolbar->floating_;
    const bool shown = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, stay_on_top);
    if (shown) window->show();
  }
}

void PadDock::DragDocked(PadToolbarWidget& toolbar, QPoint global, QPoint grab) {
  const QPoint local = mapFromGlobal(global);
  const QRect area = rect().adjusted(-kFloatMargin, -kFloatMargin, kFloatMargin, kFloatMargin + kRowHeight);
  if (!area.contains(local)) return;  // floats when dropped out there
  const int row = std::clamp(local.y() / kRowHeight, 0, RowCount());
  const int pos = std::max(0, local.x() - grab.x());
  // Rows are renumbered on every layout, so a toolbar moved below the last row gets a number
  // past all others and a row of its own.
  toolbar.dock_row_ = row >= RowCount() ? 1000 : row;
  toolbar.dock_pos_ = pos;
  Relayout();
}

void PadDock::DropDocked(PadToolbarWidget& toolbar, QPoint global, QPoint grab) {
  const QPoint local = mapFromGlobal(global);
  const QRect area = rect().adjusted(-kFloatMargin, -kFloatMargin, kFloatMargin, kFloatMargin + kRowHeight);
  if (area.contains(local)) return Relayout();
  Float(toolbar, global - grab - QPoint(0, FloatingToolbar::kCaptionHeight));
}

bool PadDock::DropFloating(PadToolbarWidget& toolbar, QPoint global, QPoint grab) {
  if (!window()->isVisible()) return false;
  const QPoint local = mapFromGlobal(global);
  const QRect area = rect().adjusted(0, 0, 0, kRowHeight / 2);
  if (!area.contains(local)) return false;
  const int rows = RowCount();
  const int row = std::clamp(local.y() / kRowHeight, 0, rows);
  Dock(toolbar, row >= rows ? 1000 : row, local.x() - grab.x());
  return true;
}

void PadDock::ReadLayout(PadLayout& layout) const {
  for (PadToolbarWidget* toolbar : toolbars_) {
    PadToolbarGeometry& bar = layout[toolbar->Id()];
    bar.docked = toolbar->docked_;
    bar.dock_pos = toolbar->dock_pos_;
    bar.dock_row = toolbar->dock_row_;
    if (toolbar->docked_) {
      bar.left = toolbar->x();
      bar.top = toolbar->y();
    } else {
      bar.left = toolbar->floating_->x();
      bar.top = toolbar->floating_->y();
    }
    bar.width = toolbar->width();
    bar.height = toolbar->height();
    bar.visible = toolbar->shown_;
  }
}

void PadDock::ApplyLayout(const PadLayout& layout) {
  for (PadToolbarWidget* toolbar : toolbars_) {
    const PadToolbarGeometry& bar = layout[toolbar->Id()];
    toolbar->shown_ = bar.visible;
    if (bar.docked) {
      toolbar->docked_ = true;
      toolbar->dock_row_ = bar.dock_row;
      toolbar->dock_pos_ = std::max(0, bar.dock_pos);
      if (toolbar->parentWidget() != this) toolbar->setParent(this);
      toolbar->floating_->hide();
      toolbar->setVisible(bar.visible);
    } else {
      toolbar->dock_row_ = bar.dock_row;
      toolbar->dock_pos_ = std::max(0, bar.dock_pos);
      Float(*toolbar, {bar.left, bar.top});
    }
  }
  Relayout();
}

}  // namespace qvr
