// Accessible names from labels, texts and hints.
#include "forms/Accessibility.h"

#include <QAbstractButton>
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
  for (QWidget* control : window->findChildren<QWidget*>()) {
    const bool interactive = control->focusPolicy() != Qt::NoFocus || qobject_cast<QAbstractButton*>(control);
    if (!interactive) continue;
    if (control->accessibleName().isEmpty()) {
      QString name;
      if (auto* button = qobject_cast<QAbstractButton*>(control)) name = WithoutMnemonic(button->text());
      if (name.isEmpty() || name == QStringLiteral("...")) name = control->toolTip();
      if (name.isEmpty()) name = control->statusTip();
      if (auto* edit = qobject_cast<QLineEdit*>(control); name.isEmpty() && edit) name = edit->placeholderText();
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
