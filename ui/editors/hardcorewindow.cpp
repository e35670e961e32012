#include "hardcorewindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/rules/hardcore_table.h"
#include "core/settings.h"
#include "linebreakfilter.h"
#include "ui/common/controls.h"
#include "ui/common/prompts.h"
#include "ui/common/twips.h"

namespace glossmith::ui {

namespace {

constexpr int kClientWidth = 3855;
constexpr int kClientHeight = 1710;

}  // namespace

HardcoreWindow::HardcoreWindow(Settings& settings, Prompts& prompts, QWidget* mainWindow)
    : ChildWindow(mainWindow), settings_(settings), prompts_(prompts) {
  setObjectName(QStringLiteral("hardcore"));
  setWindowTitle(QStringLiteral("Edit Hardcore L33T"));
  setClientTwips(kClientWidth, kClientHeight);
  createControls();
  chainTabOrder();

  connect(letters_, &QComboBox::activated, this, &HardcoreWindow::showChosenLetter);
  connect(update_, &QPushButton::clicked, this, &HardcoreWindow::updateLetter);
  connect(restore_, &QPushButton::clicked, this, &HardcoreWindow::restoreDefaults);
  connect(finished_, &QPushButton::clicked, this, &QWidget::close);

  fillTableOnFirstOpening();
  letters_->setFocus();
}

void HardcoreWindow::createControls() {
  // Both captions of the top row are wider than in the original layout (1170
  // and 975 twips instead of 975 and 855), and the status line starts 60
  // twips further left and is 1455 wide instead of 1335: at this font each
  // needs that room to wrap into the lines it has.
  addWrappedLabel(this, "choseletterlabel", QStringLiteral("Chose a letter A-Z and a-z."),
                  twipRect(120, 120, 1170, 450));

  letters_ = new QComboBox(this);
  letters_->setObjectName(QStringLiteral("lettersbox"));
  letters_->setEditable(true);
  // Typed text is a key of its own: the box neither adds it to the list, nor
  // completes it to a letter, nor turns it into a choice when editing ends
  // (QComboBox's own handler of editingFinished picks the item that matches
  // the typed text and reports it as activated; the typing tests guard this).
  letters_->setInsertPolicy(QComboBox::NoInsert);
  letters_->setCompleter(nullptr);
  disconnect(letters_->lineEdit(), &QLineEdit::editingFinished, letters_, nullptr);
  keepOnOneLine(letters_->lineEdit());
  for (char letter = 'A'; letter <= 'Z'; ++letter) letters_->addItem(QString(QLatin1Char(letter)));
  letters_->setCurrentIndex(-1);
  letters_->setEditText(QString());
  letters_->setGeometry(twipRect(120, 600, 1095, 315));

  addWrappedLabel(this, "replabel", QStringLiteral("Is Replaced With This:"),
                  twipRect(1320, 120, 975, 495));
  replacement_ = addField(this, "customletter", twipRect(1320, 600, 975, 285));
  update_ = addButton(this, "update", QStringLiteral("Update"), twipRect(120, 960, 2175, 255));
  restore_ = addButton(this, "restore", QStringLiteral("Restore Defaults"),
                       twipRect(120, 1320, 2175, 255));
  finished_ =
      addButton(this, "Finished", QStringLiteral("Finished"), twipRect(2520, 120, 1215, 375));
  status_ =
      addWrappedLabel(this, "infolabel",
                      QStringLiteral("Please select a letter to change its Hardcore L33T value, "
                                     "or, restore default values."),
                      twipRect(2340, 600, 1455, 975));
}

void HardcoreWindow::chainTabOrder() {
  QWidget* const order[] = {letters_, replacement_, update_, restore_, finished_};
  for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void HardcoreWindow::fillTableOnFirstOpening() {
  const WriteResult written = WriteDefaultsOnFirstOpening(settings_);
  if (!written)
    showNotSaved(prompts_, this,
                 QStringLiteral("The default Hardcore L33T letters could not be stored! Until "
                                "they are, Hardcore L33T has no letters to write."),
                 written);
}

void HardcoreWindow::showChosenLetter() {
  replacement_->setText(QString::fromStdString(
      settings_.Read(kApp, kSectionHardcore, letterBoxText().toStdString())));
}

void HardcoreWindow::updateLetter() {
  const QString letter = letterBoxText();
  if (letter.isEmpty()) {
    showError(QStringLiteral("You must choose a letter!"));
    return;
  }
  const QString value = replacement_->text();
  if (value.isEmpty()) {
    showError(QStringLiteral("You must choose a string to replace ") + letter +
              QStringLiteral(" with!"));
    return;
  }
  // The letter box's text is the key as typed: store names ignore case, so
  // "a" is the same entry as "A", and any other text is a key of its own.
  const WriteResult written =
      settings_.Write(kApp, kSectionHardcore, letter.toStdString(), value.toStdString());
  if (!written) {
    showNotSaved(prompts_, this,
                 QStringLiteral("The letter ") + letter + QStringLiteral(" could not be updated!"),
                 written);
    return;
  }
  replacement_->clear();
  status_->setText(QStringLiteral("The letter ") + letter + QStringLiteral(" has been updated."));
}

void HardcoreWindow::restoreDefaults() {
  if (!prompts_.confirm(
          this, QStringLiteral("Are you sure?"),
          QStringLiteral(
              "Are you sure you want restore the default values for all Hardcore L33T letters?"),
          QMessageBox::Yes))
    return;
  if (const WriteResult written = WriteHardcoreDefaults(settings_); !written) {
    showNotSaved(prompts_, this, QStringLiteral("The default values could not be restored!"),
                 written);
    return;
  }
  prompts_.reportDone(this, QStringLiteral("Defaults restored."));
  status_->setText(QStringLiteral("Defaults have been restored."));
  replacement_->clear();
  // Shows "A" without choosing it (no value is loaded); the arrow keys then
  // move on from A.
  letters_->setCurrentIndex(0);
  letters_->setEditText(QStringLiteral("A"));
}

QString HardcoreWindow::letterBoxText() const { return letters_->currentText(); }

void HardcoreWindow::showError(const QString& text) {
  prompts_.warn(this, QStringLiteral("Error"), text);
}

}  // namespace glossmith::ui
