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

void Prompts::warn(QWidget* parent, const QString& title, const QString& text) {
  message(parent, QMessageBox::Warning, title, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool Prompts::confirm(QWidget* parent, const QString& title, const QString& text,
                      QMessageBox::StandardButton defaultButton) {
  return message(parent, QMessageBox::Warning, title, text, QMessageBox::Yes | QMessageBox::No,
                 defaultButton) == QMessageBox::Yes;
}

void Prompts::reportDone(QWidget* parent, const QString& text) {
  message(parent, QMessageBox::NoIcon, QStringLiteral("Done."), text,
          QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
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
  prompts.warn(parent, QStringLiteral("Error"),
               QStringLiteral("%1\n\nThe settings file \"%2\" could not be written: %3.")
                   .arg(what, file, QString::fromStdString(result.reason)));
}

}  // namespace glossmith::ui
