#include "highlight.h"

#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <new>

#include "panelink.h"

namespace glossmith::ui {

namespace {

// A quarter of the way from the pane's background to its selection colour:
// seen at once, and never taken for a selection.
QColor quietColour(const QPalette& palette) {
  const QColor base = palette.color(QPalette::Base);
  const QColor selection = palette.color(QPalette::Highlight);
  const auto mix = [](float from, float to) { return from + (to - from) * 0.25f; };
  return QColor::fromRgbF(mix(base.redF(), selection.redF()), mix(base.greenF(), selection.greenF()),
                          mix(base.blueF(), selection.blueF()));
}

}  // namespace

CounterpartHighlight::CounterpartHighlight(QPlainTextEdit& english, QPlainTextEdit& l33t,
                                           const PaneLink& link)
    : panes_{&english, &l33t}, link_(link) {
  for (int i = 0; i < 2; ++i)
    connect(panes_[i], &QPlainTextEdit::selectionChanged, this, [this, i] { follow(i); });
}

void CounterpartHighlight::refresh() {
  if (selecting_ >= 0) follow(selecting_);
}

const QPlainTextEdit* CounterpartHighlight::selecting() const {
  return selecting_ >= 0 ? panes_[static_cast<size_t>(selecting_)] : nullptr;
}

void CounterpartHighlight::follow(int pane) {
  if (scrolling_) return;
  const QTextCursor cursor = panes_[static_cast<size_t>(pane)]->textCursor();
  if (!cursor.hasSelection()) {
    if (pane == selecting_) clear();
    return;
  }
  selecting_ = pane;
  std::optional<detail::UnitRange> other;
  try {
    other = link_.counterpart(*panes_[static_cast<size_t>(pane)], cursor.selectionStart(),
                              cursor.selectionEnd());
  } catch (const std::bad_alloc&) {
    // Marking is a convenience: without the memory for it, nothing is marked.
  }
  if (!other || other->begin >= other->end) {
    panes_[static_cast<size_t>(1 - pane)]->setExtraSelections({});
    return;
  }
  mark(1 - pane, other->begin, other->end);
}

void CounterpartHighlight::mark(int pane, int begin, int end) {
  QPlainTextEdit& marked = *panes_[static_cast<size_t>(pane)];
  QTextEdit::ExtraSelection selection;
  selection.cursor = QTextCursor(marked.document());
  selection.cursor.setPosition(begin);
  selection.cursor.setPosition(end, QTextCursor::KeepAnchor);
  selection.format.setBackground(quietColour(marked.palette()));
  marked.setExtraSelections({selection});
  panes_[static_cast<size_t>(1 - pane)]->setExtraSelections({});
  scrollIntoView(marked, begin, end);
}

void CounterpartHighlight::clear() {
  selecting_ = -1;
  for (QPlainTextEdit* pane : panes_) pane->setExtraSelections({});
}

void CounterpartHighlight::scrollIntoView(QPlainTextEdit& pane, int begin, int end) {
  const QRect shown = pane.viewport()->rect();
  const int top = pane.cursorForPosition(shown.topLeft()).position();
  const int bottom = pane.cursorForPosition(shown.bottomRight()).position();
  if (begin <= bottom && end >= top) return;
  // The pane scrolls only to its own caret: moved there, and back once the
  // pane has scrolled.
  const QScopedValueRollback scrolling(scrolling_, true);
  const QTextCursor kept = pane.textCursor();
  QTextCursor at(pane.document());
  at.setPosition(begin);
  pane.setTextCursor(at);
  pane.centerCursor();
  const int vertical = pane.verticalScrollBar()->value();
  const int horizontal = pane.horizontalScrollBar()->value();
  pane.setTextCursor(kept);
  pane.verticalScrollBar()->setValue(vertical);
  pane.horizontalScrollBar()->setValue(horizontal);
}

}  // namespace glossmith::ui
