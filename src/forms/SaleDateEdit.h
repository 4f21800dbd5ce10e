// SaleDateEdit: the registration dialog's sale date, one field and one Tab stop. The date is
// typed ("2024/3/15", "2024年3月15日", ...) or picked from a calendar (the button in the field,
// Alt+↓ or F4), and the field may be left empty for a date nobody knows (shown as "不明"). The
// calendar has 今日 and 不明 buttons too. A text that is no date is shown in red and kept, so the
// dialog can name it.
#pragma once

#include <QFrame>
#include <QLineEdit>
#include <QPointer>
#include <functional>
#include <optional>

#include "cddb/DateSource.h"

class QFrame;

namespace qvr {

class SaleDateEdit final : public QLineEdit {
 public:
  explicit SaleDateEdit(QWidget* parent = nullptr);

  // The day the text names; none for an unknown date or a text that is no date (see Valid).
  std::optional<CivilDate> Day() const;
  // Whether the text is a date or empty.
  bool Valid() const;
  // Shows `day` (none: an empty field).
  void SetDay(std::optional<CivilDate> day);
  // Opens the calendar under the field (the button, Alt+↓, F4).
  void OpenCalendar();
  // The calendar while it is open (for tests).
  QFrame* Calendar() const { return calendar_; }

  // Called whenever the text becomes a different valid date or empty, by typing or picking.
  std::function<void(std::optional<CivilDate>)> DayChanged;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void TextChanged();
  void Pick(std::optional<CivilDate> day);

  // Cleared by Qt when the popup is deleted (on close, or with this field).
  QPointer<QFrame> calendar_;
  std::optional<CivilDate> last_;
};

}  // namespace qvr
