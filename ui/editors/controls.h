#pragma once

#include <QRect>

class QLabel;
class QLineEdit;
class QPushButton;
class QString;
class QWidget;

namespace glossmith::ui::editors {

// Controls placed at fixed positions given in twips (left, top, width,
// height), built the same way in both editors.

// A plain-text caption, top-left aligned and wrapped at word boundaries.
QLabel* addLabel(QWidget* window, const char* name, const QString& text, QRect twips);

// A single-line field that never takes a line break.
QLineEdit* addField(QWidget* window, const char* name, QRect twips);

// A push button that Enter does not press: neither editor has a default button.
QPushButton* addButton(QWidget* window, const char* name, const QString& text, QRect twips);

// Places `control` at a twip position.
void place(QWidget* control, QRect twips);

}  // namespace glossmith::ui::editors
