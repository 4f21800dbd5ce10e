// The sale date field and its calendar pop-up.
#include "forms/SaleDateEdit.h"

#include <QAction>
#include <QCalendarWidget>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/SaleDateText.h"
#include "forms/Accessibility.h"
#include "forms/Icons.h"

namespace qvr {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
QDate ToQDate(CivilDate day) { return QDate(day.Year, day.Month, day.Day); }
CivilDate FromQDate(QDate date) { return CivilDate{date.year(), date.month(), date.day()}; }

}  // namespace

SaleDateEdit::SaleDateEdit(QWidget* parent) : QLineEdit(parent) {
  setPlaceholderText(QString::fromUtf8("不明"));
  setMaxLength(40);
  QAction* open = addAction(ButtonIcon("calendar"), QLineEdit::TrailingPosition);
  open->setText(QString::fromUtf8("カレンダーから選ぶ"));
  open->setToolTip(QString::fromUtf8("カレンダーから選びます (Alt+↓)"));
  connect(open, &QAction::triggered, this, &SaleDateEdit::OpenCalendar);
  connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
  setMinimumWidth(fontMetrics().horizontalAdvance(QString::fromUtf8("0000年00月00日")) + 48);
}

std::optional<CivilDate> SaleDateEdit::Day() const { return ReadSaleDate(text().toStdString()).day; }

bool SaleDateEdit::Valid() const { return ReadSaleDate(text().toStdString()).ok; }

void SaleDateEdit::SetDay(std::optional<CivilDate> day) {
  last_ = day;
  setText(Q(SaleDateText(day)));
}

void SaleDateEdit::TextChanged() {
  const SaleDateReading reading = ReadSaleDate(text().toStdString());
  QPalette colours = palette();
  colours.setColor(QPalette::Text, reading.ok ? QPalette().color(QPalette::Text) : QColor(Qt::red));
  setPalette(colours);
  if (!reading.ok || reading.day == last_) return;
  last_ = reading.day;
  if (DayChanged) DayChanged(reading.day);
}

void SaleDateEdit::focusOutEvent(QFocusEvent* event) {
  // A typed date takes the field's own form once the user moves on.
  if (const SaleDateReading reading = ReadSaleDate(text().toStdString()); reading.ok) {
    const QString shown = Q(SaleDateText(reading.day));
    if (shown != text()) setText(shown);
  }
  QLineEdit::focusOutEvent(event);
}

void SaleDateEdit::keyPressEvent(QKeyEvent* event) {
  const bool alt_down = event->key() == Qt::Key_Down && (event->modifiers() & Qt::AltModifier);
  if (alt_down || (event->key() == Qt::Key_F4 && event->modifiers() == Qt::NoModifier)) {
    OpenCalendar();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void SaleDateEdit::Pick(std::optional<CivilDate> day) {
  SetDay(day);
  if (DayChanged) DayChanged(day);
  if (calendar_) calendar_->close();
  setFocus();
}

void SaleDateEdit::OpenCalendar() {
  if (calendar_) return;
  calendar_ = new QFrame(this, Qt::Popup);
  calendar_->setObjectName("SaleDateCalendar");
  calendar_->setAttribute(Qt::WA_DeleteOnClose);
  calendar_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  auto* column = new QVBoxLayout(calendar_);
  column->setContentsMargins(2, 2, 2, 2);
  auto* days = new QCalendarWidget(calendar_);
  days->setObjectName("SaleDateDays");
  days->setAccessibleName(QString::fromUtf8("発売日のカレンダー"));
  days->setDateRange(QDate(1, 1, 1), QDate(9999, 12, 31));
  days->setSelectedDate(Day() ? ToQDate(*Day()) : QDate::currentDate());
  days->setGridVisible(true);
  column->addWidget(days);
  auto* row = new QHBoxLayout;
  auto* today = new QPushButton(QString::fromUtf8("今日(&T)"), calendar_);
  today->setObjectName("SaleDateTodayBTN");
  auto* unknown = new QPushButton(QString::fromUtf8("不明(&N)"), calendar_);
  unknown->setObjectName("SaleDateUnknownBTN");
  unknown->setToolTip(QString::fromUtf8("発売日がわからないときに選びます"));
  row->addStretch(1);
  row->addWidget(today);
  row->addWidget(unknown);
  column->addLayout(row);
  connect(days, &QCalendarWidget::clicked, this, [this](QDate date) { Pick(FromQDate(date)); });
  connect(days, &QCalendarWidget::activated, this, [this](QDate date) { Pick(FromQDate(date)); });
  connect(today, &QPushButton::clicked, this, [this] { Pick(FromQDate(QDate::currentDate())); });
  connect(unknown, &QPushButton::clicked, this, [this] { Pick(std::nullopt); });
  NameControls(calendar_);
  calendar_->adjustSize();
  calendar_->move(mapToGlobal(QPoint(0, height())));
  calendar_->show();
  days->setFocus();
}

}  // namespace qvr
