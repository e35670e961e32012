#pragma once

#include <QStringList>

class QWidget;

namespace glossmith::ui::testing {

// Returns one line for every label or button of `window` whose caption does
// not fit inside the control (wrapped where the control wraps); empty when
// every caption is fully visible.
QStringList captionsThatDoNotFit(QWidget* window);

}  // namespace glossmith::ui::testing
