// Refuses edits that the stored field could not hold.
#include "forms/ShiftJisValidator.h"

#include <QComboBox>
#include <QLineEdit>

#include "dialogs/EditText.h"
#include "forms/ModalDialog.h"

namespace qvr {

ShiftJisValidator::ShiftJisValidator(std::size_t capacity, ModalDialog* dialog)
    : QValidator(dialog), capacity_(capacity), dialog_(dialog) {}

QValidator::State ShiftJisValidator::validate(QString& input, int&) const {
  const EditCheck check = CheckEditText(input.toStdString(), capacity_);
  if (check.ok()) return Acceptable;
  if (dialog_) dialog_->ShowStatus(QString::fromStdString(EditRefusalMessage(check, capacity_)));
  return Invalid;
}

void LimitToShiftJis(QLineEdit* edit, std::size_t capacity, ModalDialog* dialog) {
  edit->setValidator(new ShiftJisValidator(capacity, dialog));
}

void LimitToShiftJis(QComboBox* combo, std::size_t capacity, ModalDialog* dialog) {
  if (combo->lineEdit()) combo->lineEdit()->setValidator(new ShiftJisValidator(capacity, dialog));
}

}  // namespace qvr
