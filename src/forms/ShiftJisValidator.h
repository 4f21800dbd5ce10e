// An edit's validator for a field stored as Shift-JIS bytes: input that would not fit the
// field's capacity in bytes, or that has a character with no Shift-JIS form, is refused at the
// keystroke (or paste), and the dialog's status bar says why. Nothing typed is lost later at
// the store.
#pragma once

#include <QValidator>
#include <cstddef>

class QComboBox;
class QLineEdit;

namespace qvr {

class ModalDialog;

class ShiftJisValidator final : public QValidator {
 public:
  ShiftJisValidator(std::size_t capacity, ModalDialog* dialog);
  State validate(QString& input, int& position) const override;
  std::size_t Capacity() const { return capacity_; }

 private:
  std::size_t capacity_;
  ModalDialog* dialog_;
};

// Limits a line edit or an editable combo box to a field of `capacity` bytes.
void LimitToShiftJis(QLineEdit* edit, std::size_t capacity, ModalDialog* dialog);
void LimitToShiftJis(QComboBox* combo, std::size_t capacity, ModalDialog* dialog);

}  // namespace qvr
