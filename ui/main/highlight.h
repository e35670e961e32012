#pragma once

#include <QObject>
#include <array>

class QPlainTextEdit;

namespace glossmith::ui {

class PaneLink;

// Marks in the other pane the counterpart of the selection of one pane: the
// text that its translation made, or that made it (PaneLink::counterpart).
//
// The mark is an extra selection with a quiet background, not a selection:
// copying and every other action act as before, and neither pane's text nor
// undo history changes. It follows every change of the selection (mouse,
// keys, Select All), is worked out again after each translation, and goes
// when the selection is empty. A mark off screen is scrolled to the middle of
// its pane, whose caret and selection stay where they were.
class CounterpartHighlight : public QObject {
 public:
  CounterpartHighlight(QPlainTextEdit& english, QPlainTextEdit& l33t, const PaneLink& link);

  // After a translation: the selection marked before is marked afresh.
  void refresh();

  // The pane whose selection is marked in the other one, or nullptr.
  const QPlainTextEdit* selecting() const;

 private:
  void follow(int pane);
  void mark(int pane, int begin, int end);
  void clear();
  void scrollIntoView(QPlainTextEdit& pane, int begin, int end);

  std::array<QPlainTextEdit*, 2> panes_;
  const PaneLink& link_;
  int selecting_ = -1;
  // Set while the other pane's caret moves to scroll it, which is not the
  // user's selection.
  bool scrolling_ = false;
};

}  // namespace glossmith::ui
