#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace glossmith {
struct WriteResult;
}

namespace glossmith::ui {

// The one seam through which every window shows message boxes and file
// dialogs. The program passes QtPrompts, which shows the real dialogs; tests
// pass a double that answers in advance and records what was asked.
class Prompts {
 public:
  virtual ~Prompts() = default;

  // Shows a message box and returns the button that closed it.
  virtual QMessageBox::StandardButton message(
      QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
      QMessageBox::StandardButtons buttons,
      QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;

  // Shows a file dialog, modal to `parent`; returns the chosen full file name,
  // or an empty string when the user cancels. `filter` is a bare pattern such
  // as "*.txt"; `initialName` pre-fills the file name.
  virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                               const QString& initialName) = 0;
  virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                               const QString& initialName) = 0;

  // The message boxes the windows show, each built the same way everywhere.

  // A warning with one OK button: something the user asked for was not done.
  void warn(QWidget* parent, const QString& title, const QString& text);
  // A warning that asks Yes or No, with `defaultButton` (Yes or No) as the
  // default; true when the user answers Yes.
  bool confirm(QWidget* parent, const QString& title, const QString& text,
               QMessageBox::StandardButton defaultButton);
  // Reports a finished operation, titled "Done.", with OK and Cancel: either
  // closes it.
  void reportDone(QWidget* parent, const QString& text);
};

// The real Qt dialogs.
class QtPrompts final : public Prompts {
 public:
  QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon,
                                      const QString& title, const QString& text,
                                      QMessageBox::StandardButtons buttons,
                                      QMessageBox::StandardButton defaultButton) override;
  QString openFileName(QWidget* parent, const QString& title, const QString& filter,
                       const QString& initialName) override;
  QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                       const QString& initialName) override;
};

// Tells the user that a change was not saved: a message box titled "Error"
// that says what did not happen (`what`, in the program's words) and names
// the settings file and the reason from `result`.
void showNotSaved(Prompts& prompts, QWidget* parent, const QString& what,
                  const WriteResult& result);

}  // namespace glossmith::ui
