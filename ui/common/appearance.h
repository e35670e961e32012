#pragma once

class QApplication;

namespace glossmith::ui {

// The font and style every Glossmith window is laid out for. The program and
// the widget tests both call it, so that what the tests measure is what the
// user sees.
void applyAppearance(QApplication& app);

}  // namespace glossmith::ui
