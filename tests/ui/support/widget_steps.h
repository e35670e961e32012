#pragma once

// Small steps that widget tests take again and again.

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QStringList>
#include <QTest>
#include <QWidget>

namespace glossmith::ui::testing {

// Destroys what deleteLater marked, such as closed child windows, without
// running the rest of the event loop.
inline void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// Presses Tab `presses` times from the widget with focus and names every
// widget the focus stands on, the one it starts from first.
inline QStringList tabWalk(int presses) {
  QStringList visited{QApplication::focusWidget()->objectName()};
  for (int i = 0; i < presses; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  return visited;
}

}  // namespace glossmith::ui::testing
