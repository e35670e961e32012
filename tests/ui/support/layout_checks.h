#pragma once

#include <QLabel>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <string>

namespace glossmith::ui::testing {

// The part of a control the user sees: for a label, only the lines its text
// takes up (label boxes may touch or overlap by a pixel where the twip
// positions round, which nobody can see while their texts stay apart).
inline QRect visibleArea(const QWidget* control) {
  QRect area = control->geometry();
  if (const auto* label = qobject_cast<const QLabel*>(control)) {
    const int textHeight =
        label->wordWrap() ? label->heightForWidth(area.width()) : label->sizeHint().height();
    area.setHeight(qMin(area.height(), textHeight));
  }
  return area;
}

// Names every pair of the window's controls that cover each other, and every
// control that reaches past the window's client area.
inline QStringList layoutProblems(const QWidget* window) {
  QStringList problems;
  const QList<QWidget*> controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (qsizetype i = 0; i < controls.size(); ++i) {
    const QWidget* a = controls[i];
    if (!window->rect().contains(a->geometry()))
      problems << QStringLiteral("%1 reaches past the window").arg(a->objectName());
    for (qsizetype j = i + 1; j < controls.size(); ++j) {
      const QWidget* b = controls[j];
      if (visibleArea(a).intersects(visibleArea(b)))
        problems << QStringLiteral("%1 overlaps %2").arg(a->objectName(), b->objectName());
    }
  }
  return problems;
}

// For readable failures: GoogleTest cannot print Qt strings.
inline std::string lines(const QStringList& list) { return list.join(QLatin1Char('\n')).toStdString(); }

}  // namespace glossmith::ui::testing
