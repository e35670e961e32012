#include "prompts.h"

#include <QDir>
#include <QFileDialog>

#include "core/settings.h"

namespace glossmith::ui {

QMessageBox::StandardButton QtPrompts::message(QWidget* parent, QMessageBox::Icon icon,
                                               const QString& title, const QString& text,
                                               QMessageBox::StandardButtons buttons,
                                               QMessageBox::StandardButton defaultButton) {
  QMessageBox box(icon, title, text, buttons, parent);
  if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
  const int answer = box.exec();
  return static_cast<QMessageBox::StandardButton>(answer);
}

namespace {

QString runFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const QString& title,
                      const QString& filter, const QString& initialName) {
  QFileDialog dialog(parent, title, QString(), filter);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  // The filter is a bare pattern ("*.txt", or ".txt" for the save dialog):
  // the dialog lists the names that end in it first, and "*" lets the user
  // pick any other file.
  const QString pattern = filter.startsWith(QLatin1Char('*')) ? filter : QLatin1Char('*') + filter;
  dialog.setNameFilters({pattern, QStringLiteral("*")});
  if (!initialName.contains(QLatin1Char('*'))) dialog.selectFile(initialName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().constFirst();
}

}  // namespace

QString QtPrompts::openFileName(QWidget* parent, const QString& title, const QString& filter,
                                const QString& initialName) {
  return runFileDialog(parent, QFileDialog::AcceptOpen, title, filter, initialName);
}

QString QtPrompts::saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                const QString& initialName) {
  return runFileDialog(parent, QFileDialog::AcceptSave, title, filter, initialName);
}

void showNotSaved(Prompts& prompts, QWidget* parent, const QString& what,
                  const WriteResult& result) {
  const QString file = QDir::toNativeSeparators(QString::fromStdString(result.file));
  prompts.message(parent, QMessageBox::Warning, QStringLiteral("Error"),
                  QStringLiteral("%1\n\nThe settings file \"%2\" could not be written: %3.")
                      .arg(what, file, QString::fromStdString(result.reason)),
                  QMessageBox::Ok, QMessageBox::Ok);
}

}  // namespace glossmith::ui
