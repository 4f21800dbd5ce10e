// Accessible names from labels, texts and hints.
#include "forms/Accessibility.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace qvr {
namespace {

QString WithoutMnemonic(QString text) {
  // "更新(&U)" reads "更新"; "&&" is one ampersand.
  static const QString marker = QStringLiteral("\x01");
  text.replace(QStringLiteral("&&"), marker);
  const qsizetype open = text.indexOf(QStringLiteral("(&"));
  if (open >= 0 && text.indexOf(u')', open) == open + 3) text.remove(open, 4);
  text.remove(u'&');
  text.replace(marker, QStringLiteral("&"));
  return text.trimmed();
}

}  // namespace

void NameControls(QWidget* window) {
  if (!window) return;
  // Labels name their buddies, wherever in the window the two are.
  for (QLabel* label : window->findChildren<QLabel*>()) {
    QWidget* buddy = label->buddy();
    if (buddy && buddy->accessibleName().isEmpty() && !label->text().isEmpty()) {
      buddy->setAccessibleName(WithoutMnemonic(label->text()));
    }
  }
  const QList<QWidget*> controls = window->findChildren<QWidget*>();
  for (QWidget* control : controls) {
    // The edit inside an editable combo box is the combo box for a screen reader.
    if (auto* combo = qobject_cast<QComboBox*>(control->parentWidget());
        combo && qobject_cast<QLineEdit*>(control) && control->accessibleName().isEmpty()) {
      if (QString name = combo->accessibleName(); !name.isEmpty()) control->setAccessibleName(name);
    }
    // The month buttons of Qt's calendar show only an arrow.
    if (control->objectName() == QStringLiteral("qt_calendar_prevmonth")) control->setAccessibleName("前の月");
    if (control->objectName() == QStringLiteral("qt_calendar_nextmonth")) control->setAccessibleName("次の月");
  }
  for (QWidget* control : controls) {
    const bool interactive = control->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton*>(control);
    if (!interactive) continue;
    if (control->accessibleName().isEmpty()) {
      QString name;
      if (auto* button = qobject_cast<QAbstractButton*>(control)) name = WithoutMnemonic(button->text());
      if (name.isEmpty() || name == QStringLiteral("...")) name = control->toolTip();
      if (name.isEmpty()) name = control->statusTip();
      if (auto* edit = qobject_cast<QLineEdit*>(control); name.isEmpty() && edit) name = edit->placeholderText();
      // An edit over a list (the font dialog's family, style and size) is named as its list,
      // which its label names and which follows it in the focus chain.
      if (auto* edit = qobject_cast<QLineEdit*>(control); name.isEmpty() && edit && edit->nextInFocusChain()) {
        name = edit->nextInFocusChain()->accessibleName();
      }
      if (!name.isEmpty()) control->setAccessibleName(name);
    }
    if (control->accessibleDescription().isEmpty()) {
      const QString description = control->statusTip().isEmpty() ? control->toolTip() : control->statusTip();
      if (!description.isEmpty() && description != control->accessibleName()) {
        control->setAccessibleDescription(description);
      }
    }
  }
}

}  // namespace qvr
