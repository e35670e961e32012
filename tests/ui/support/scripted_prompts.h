#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>

#include "ui/common/prompts.h"

namespace glossmith::ui::testing {

// A Prompts double: tests say in advance what the user will answer, and read
// afterwards what was shown. With no answer queued, a message box is closed
// by its default button (or its first button) and a file dialog is cancelled.
class ScriptedPrompts final : public Prompts {
 public:
  struct Shown {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
    QWidget* parent;
  };
  struct FileDialog {
    bool save;
    QString title;
    QString filter;
    QString initialName;
  };

  void setNextAnswer(QMessageBox::StandardButton answer) { answers_.push_back(answer); }
  // An empty name answers the dialog with Cancel.
  void setNextFileName(const QString& name) { fileNames_.push_back(name); }

  const QList<Shown>& messages() const { return messages_; }
  const QList<FileDialog>& fileDialogs() const { return fileDialogs_; }
  void clear() {
    messages_.clear();
    fileDialogs_.clear();
  }

  QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon,
                                      const QString& title, const QString& text,
                                      QMessageBox::StandardButtons buttons,
                                      QMessageBox::StandardButton defaultButton) override {
    messages_.append({icon, title, text, buttons, defaultButton, parent});
    if (!answers_.empty()) {
      auto answer = answers_.front();
      answers_.pop_front();
      return answer;
    }
    if (defaultButton != QMessageBox::NoButton) return defaultButton;
    for (unsigned bit = 1; bit != 0; bit <<= 1)
      if (buttons.testFlag(static_cast<QMessageBox::StandardButton>(bit)))
        return static_cast<QMessageBox::StandardButton>(bit);
    return QMessageBox::NoButton;
  }

  QString openFileName(QWidget*, const QString& title, const QString& filter,
                       const QString& initialName) override {
    return nextFile(false, title, filter, initialName);
  }
  QString saveFileName(QWidget*, const QString& title, const QString& filter,
                       const QString& initialName) override {
    return nextFile(true, title, filter, initialName);
  }

 private:
  QString nextFile(bool save, const QString& title, const QString& filter,
                   const QString& initialName) {
    fileDialogs_.append({save, title, filter, initialName});
    if (fileNames_.empty()) return QString();
    QString name = fileNames_.front();
    fileNames_.pop_front();
    return name;
  }

  std::deque<QMessageBox::StandardButton> answers_;
  std::deque<QString> fileNames_;
  QList<Shown> messages_;
  QList<FileDialog> fileDialogs_;
};

}  // namespace glossmith::ui::testing
