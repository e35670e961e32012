#include "customwordswindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include "core/editing/custom_edit.h"
#include "core/rules/custom_list.h"
#include "core/settings.h"
#include "linebreakfilter.h"
#include "ui/common/controls.h"
#include "ui/common/prompts.h"
#include "ui/common/twips.h"

namespace glossmith::ui {

namespace {

// Layout in twips. The font is wider than the one the window was first drawn
// for, so three things differ from the original layout: the two delete
// buttons are 2220 wide instead of 2055 to hold "Delete all Custom Strings";
// the status line and the note start at 2400, under the replacement fields,
// to make room for them; and the client area grows from 6855 x 3000 so that
// the note gets the three lines it needs and ends inside the window.
constexpr int kClientWidth = 6975;
constexpr int kClientHeight = 3150;

const QString kNothingChosen = QStringLiteral("You must choose a string to replace!");

const QString kUnappliedPair =
    QStringLiteral("Your list already holds %1 replacement strings, the most that Glossmith "
                   "applies. A new one would be stored but never used. Add it anyway?")
        .arg(QLocale(QLocale::English).toString(static_cast<qulonglong>(kMaxCustomPairs)));

}  // namespace

QString RefusalText(ListRefusal refusal) {
  switch (refusal) {
    case ListRefusal::kEmptySearch:
      return kNothingChosen;
    // A list edited outside the program.
    case ListRefusal::kSearchNotInForm:
      return QStringLiteral(
          "The search strings in your settings file have been edited by hand and are not in the "
          "form Glossmith needs, so nothing was changed! Every search string must end with "
          "\\r\\n, with no empty one before the last, and a value that holds a ; must be put "
          "in double quotes.");
    case ListRefusal::kReplaceNotPaired:
      return QStringLiteral(
          "The replacement strings in your settings file have been edited by hand and no longer "
          "pair up with the search strings, so nothing was changed! There must be one "
          "replacement string for every search string, each ending with \\r\\n.");
    case ListRefusal::kNotListed:
      return QStringLiteral(
          "The string you picked is no longer in your list, so nothing was changed! Close the "
          "Custom String Editor and open it again to see your list as it is now.");
  }
  return {};
}

CustomWordsWindow::CustomWordsWindow(Settings& settings, Prompts& prompts, QWidget* mainWindow)
    : ChildWindow(mainWindow), settings_(settings), prompts_(prompts) {
  setObjectName(QStringLiteral("customwords"));
  setWindowTitle(QStringLiteral("Custom String Editor"));
  setClientTwips(kClientWidth, kClientHeight);
  createControls();
  chainTabOrder();

  connect(searchStrings_, &QComboBox::activated, this, &CustomWordsWindow::showReplacement);
  connect(addPair_, &QPushButton::clicked, this, &CustomWordsWindow::addPair);
  connect(updateReplacement_, &QPushButton::clicked, this, &CustomWordsWindow::updateReplacement);
  connect(erasePair_, &QPushButton::clicked, this, &CustomWordsWindow::erasePair);
  connect(eraseAll_, &QPushButton::clicked, this, &CustomWordsWindow::eraseAll);
  connect(finished_, &QPushButton::clicked, this, &QWidget::close);

  listStoredSearchStrings();
  newSearch_->setFocus();
}

void CustomWordsWindow::createControls() {
  addWrappedLabel(this, "Label2", QStringLiteral("Add New Custom String:"),
                  twipRect(120, 120, 2055, 255));
  newSearch_ = addField(this, "addstring", twipRect(120, 330, 2055, 285));
  addWrappedLabel(this, "Label4", QStringLiteral("Replace With String:"),
                  twipRect(2400, 120, 2055, 255));
  newReplacement_ = addField(this, "addreplace", twipRect(2400, 330, 2055, 285));
  addPair_ = addButton(this, "addstringbutton", QStringLiteral("Add String to List"),
                       twipRect(4680, 360, 2055, 255));

  addWrappedLabel(this, "Label1", QStringLiteral("Edit Existing String:"),
                  twipRect(120, 840, 2055, 255));
  searchStrings_ = new QComboBox(this);
  searchStrings_->setObjectName(QStringLiteral("replacebox"));
  searchStrings_->setGeometry(twipRect(120, 1080, 2055, 315));
  addWrappedLabel(this, "Label3", QStringLiteral("Replace With String:"),
                  twipRect(2400, 840, 2055, 255));
  replacement_ = addField(this, "editreplace", twipRect(2400, 1080, 2055, 285));
  updateReplacement_ = addButton(this, "updatestringbutton", QStringLiteral("Update String"),
                                 twipRect(4680, 1080, 2055, 255));

  erasePair_ = addButton(this, "erasestring", QStringLiteral("Delete String from List"),
                         twipRect(120, 1440, 2220, 255));
  eraseAll_ = addButton(this, "Eraseall", QStringLiteral("Delete all Custom Strings"),
                        twipRect(120, 1800, 2220, 255));
  status_ = addWrappedLabel(
      this, "messagelabel",
      QStringLiteral("Create a new replacement string, edit an existing replacement string, or "
                     "erase an existing replacement! When you have finished editing your "
                     "personal list, click on the \"Finished\" button to the left."),
      twipRect(2400, 1560, 4455, 855));

  finished_ =
      addButton(this, "OKButton", QStringLiteral("Finished"), twipRect(480, 2520, 1215, 375));
  addWrappedLabel(
      this, "Label5",
      QStringLiteral("NOTE: A, E, L, O, S and T as well as other pre-defined rules will "
                     "automatically be changed to their respective L33T equivalants."),
      twipRect(2400, 2520, 4455, 600));
}

void CustomWordsWindow::chainTabOrder() {
  QWidget* const order[] = {newSearch_,     newReplacement_, addPair_,
                            searchStrings_, replacement_,    updateReplacement_,
                            erasePair_,     finished_,       eraseAll_};
  for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void CustomWordsWindow::listStoredSearchStrings() {
  for (const std::string& entry : SearchEntries(read(kKeySearch)))
    searchStrings_->addItem(QString::fromStdString(entry));
  // A non-editable combo box picks its first item when it gets one; the
  // editor opens with nothing picked.
  searchStrings_->setCurrentIndex(-1);
}

void CustomWordsWindow::showReplacement() {
  const std::optional<std::string> replacement = ShownReplacement(
      read(kKeySearch), read(kKeyReplace), selectedSearchString().toStdString());
  if (replacement) replacement_->setText(QString::fromStdString(*replacement));
}

void CustomWordsWindow::addPair() {
  const QString search = newSearch_->text();
  if (search.isEmpty()) {
    // The program's own words for an empty Add field, though nothing is
    // chosen there: kept as they are.
    warnNothingChosen();
    return;
  }
  const std::string storedSearch = read(kKeySearch);
  const std::string storedReplace = read(kKeyReplace);
  const ListEdit<CustomListValues> values = AddPair(
      storedSearch, storedReplace, search.toStdString(), newReplacement_->text().toStdString());
  if (!values) {
    explainRefusal(values.refusal());
    return;
  }
  if (SearchEntries(storedSearch).size() >= kMaxCustomPairs && !confirmUnappliedPair()) return;
  if (!writeLists({{kKeySearch, values->search, storedSearch},
                   {kKeyReplace, values->replace, storedReplace}},
                  QStringLiteral("Your new replacement string could not be added!")))
    return;

  const int picked = searchStrings_->currentIndex();
  searchStrings_->addItem(search);
  searchStrings_->setCurrentIndex(picked);
  newSearch_->clear();
  newReplacement_->clear();
  status_->setText(QStringLiteral("Your new replacement string has been added!"));
}

void CustomWordsWindow::updateReplacement() {
  const QString selected = selectedSearchString();
  if (selected.isEmpty()) {
    warnNothingChosen();
    return;
  }
  const std::string storedReplace = read(kKeyReplace);
  const ListEdit<std::string> replace = UpdateReplacement(
      read(kKeySearch), storedReplace, selected.toStdString(), replacement_->text().toStdString());
  if (!replace) {
    explainRefusal(replace.refusal());
    return;
  }
  if (!writeLists({{kKeyReplace, *replace, storedReplace}},
                  QStringLiteral("Your existing replacement string could not be updated!")))
    return;
  replacement_->clear();
  status_->setText(QStringLiteral("Your existing replacement string has been updated!"));
}

void CustomWordsWindow::erasePair() {
  const QString selected = selectedSearchString();
  if (selected.isEmpty()) {
    warnNothingChosen();
    return;
  }
  const std::string storedSearch = read(kKeySearch);
  const std::string storedReplace = read(kKeyReplace);
  const ListEdit<ErasedPair> erased =
      ErasePair(storedSearch, storedReplace, selected.toStdString());
  if (!erased) {
    explainRefusal(erased.refusal());
    return;
  }
  if (!writeLists({{kKeyReplace, erased->values.replace, storedReplace},
                   {kKeySearch, erased->values.search, storedSearch}},
                  QStringLiteral("Your replacement string could not be erased!")))
    return;

  const int index = static_cast<int>(erased->index);
  const bool wasPicked = searchStrings_->currentIndex() == index;
  searchStrings_->removeItem(index);
  // Qt would pick a neighbour in place of the removed item, and the next
  // Update or Erase would then act on a pair the user never picked.
  if (wasPicked) searchStrings_->setCurrentIndex(-1);
  replacement_->clear();
  status_->setText(QStringLiteral("Your replacement string has been erased!"));
}

void CustomWordsWindow::eraseAll() {
  if (!prompts_.confirm(
          this, QStringLiteral("Are you sure?"),
          QStringLiteral("Are you sure you want to delete ALL Custom Replacement Strings?"),
          QMessageBox::Yes))
    return;
  const std::string storedSearch = read(kKeySearch);
  const std::string storedReplace = read(kKeyReplace);
  if (!writeLists({{kKeySearch, "", storedSearch}, {kKeyReplace, "", storedReplace}},
                  QStringLiteral("Your Custom Replacement Strings could not be erased!")))
    return;
  searchStrings_->clear();
  prompts_.reportDone(this, QStringLiteral("All Custom Replacement Strings have been erased."));
}

QString CustomWordsWindow::selectedSearchString() const {
  return searchStrings_->currentIndex() < 0 ? QString() : searchStrings_->currentText();
}

void CustomWordsWindow::warnNothingChosen() {
  prompts_.warn(this, QStringLiteral("Error"), kNothingChosen);
}

void CustomWordsWindow::explainRefusal(ListRefusal refusal) {
  prompts_.warn(this, QStringLiteral("Error"), RefusalText(refusal));
}

bool CustomWordsWindow::confirmUnappliedPair() {
  return prompts_.confirm(this, QStringLiteral("Are you sure?"), kUnappliedPair, QMessageBox::No);
}

std::string CustomWordsWindow::read(std::string_view key) const {
  return settings_.Read(kApp, kSectionChange, key);
}

bool CustomWordsWindow::writeLists(std::initializer_list<ListWrite> writes,
                                   const QString& failure) {
  for (auto it = writes.begin(); it != writes.end(); ++it) {
    const WriteResult result = settings_.Write(kApp, kSectionChange, it->key, it->value);
    if (result) continue;
    for (auto done = writes.begin(); done != it; ++done)
      settings_.Write(kApp, kSectionChange, done->key, done->before);
    showNotSaved(prompts_, this, failure, result);
    return false;
  }
  return true;
}

}  // namespace glossmith::ui
