#include "caption_fit.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

#include "ui/common/wrappingbutton.h"

namespace glossmith::ui::testing {

namespace {

QString plainCaption(QString text) {
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
  return text;
}

QString describe(const QWidget* w, const QString& text, const QString& why) {
  return QStringLiteral("%1 \"%2\": %3").arg(w->objectName(), text, why);
}

// The text must fit `area`, wrapped at word boundaries when `wrap` is set.
QString checkText(const QWidget* w, const QString& text, const QRect& area, bool wrap) {
  const QFontMetrics fm(w->font());
  if (!wrap) {
    if (fm.horizontalAdvance(text) > area.width())
      return describe(w, text, QStringLiteral("%1 px wide, room for %2")
                                   .arg(fm.horizontalAdvance(text))
                                   .arg(area.width()));
    if (fm.height() > area.height())
      return describe(w, text,
                      QStringLiteral("%1 px high, room for %2").arg(fm.height()).arg(area.height()));
    return QString();
  }
  for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s+")),
                                        Qt::SkipEmptyParts)) {
    if (fm.horizontalAdvance(word) > area.width())
      return describe(w, text, QStringLiteral("word \"%1\" is wider than %2 px")
                                   .arg(word)
                                   .arg(area.width()));
  }
  const QRect needed = fm.boundingRect(QRect(0, 0, area.width(), 100000),
                                       Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
  if (needed.height() > area.height())
    return describe(w, text, QStringLiteral("wrapped text needs %1 px, room for %2")
                                 .arg(needed.height())
                                 .arg(area.height()));
  return QString();
}

}  // namespace

QStringList captionsThatDoNotFit(QWidget* window) {
  QStringList problems;
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (label->text().isEmpty() || !label->isVisibleTo(window)) continue;
    // A label inside a wrapping button is checked with the button.
    if (qobject_cast<QAbstractButton*>(label->parentWidget())) continue;
    const QString text = label->textFormat() == Qt::PlainText || !Qt::mightBeRichText(label->text())
                             ? plainCaption(label->text())
                             : label->text();
    const QString problem =
        checkText(label, text, label->contentsRect().adjusted(label->margin(), label->margin(),
                                                              -label->margin(), -label->margin()),
                  label->wordWrap());
    if (!problem.isEmpty()) problems << problem;
    if (!window->rect().contains(label->mapTo(window, label->rect().bottomRight())))
      problems << describe(label, text, QStringLiteral("reaches past the window's edge"));
  }
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(window)) continue;
    if (!window->rect().contains(button->mapTo(window, button->rect().bottomRight())))
      problems << describe(button, button->text(), QStringLiteral("reaches past the window's edge"));
    if (button->text().isEmpty()) {
      // A button that draws its caption with a label inside wraps it there.
      for (QLabel* inner : button->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const QString problem = checkText(inner, plainCaption(inner->text()),
                                          inner->contentsRect(), inner->wordWrap());
        if (!problem.isEmpty()) problems << problem;
        if (!button->rect().contains(inner->geometry()))
          problems << describe(inner, inner->text(), QStringLiteral("sticks out of its button"));
      }
      continue;
    }
    if (const auto* wrapping = qobject_cast<const WrappingButton*>(button)) {
      const QString problem =
          checkText(button, plainCaption(button->text()), wrapping->captionRect(), true);
      if (!problem.isEmpty()) problems << problem;
      continue;
    }
    QStyleOptionButton option;
    option.initFrom(button);
    const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
    const QRect area = button->rect().adjusted(margin / 2 + 1, 2, -(margin / 2 + 1), -2);
    const QString problem = checkText(button, plainCaption(button->text()), area, false);
    if (!problem.isEmpty()) problems << problem;
  }
  return problems;
}

}  // namespace glossmith::ui::testing
