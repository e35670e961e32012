#include "mainwindow.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScopedValueRollback>

#include <new>

#include "core/files/textfile.h"
#include "core/rules/hardcore_table.h"
#include "core/settings.h"
#include "glossmith/version.h"
#include "panetext.h"
#include "textpane.h"
#include "ui/common/controls.h"
#include "ui/common/prompts.h"
#include "ui/common/twips.h"
#include "ui/common/wrappingbutton.h"
#include "ui/editors/customwordswindow.h"
#include "ui/editors/hardcorewindow.h"
#include "ui/info/aboutwindow.h"
#include "ui/info/instructionswindow.h"

namespace glossmith::ui {

namespace {

const QString kOpenFilter = QStringLiteral("*.txt");
const QString kSaveFilter = QStringLiteral(".txt");
const QString kInitialFileName = QStringLiteral("*.txt");
// Both save commands use this title, the English one included.
const QString kSaveTitle = QStringLiteral("Save L33T...");
const QString kTooLargeText = QStringLiteral(
    "The text is too large to translate: there is not enough memory. "
    "The other text box keeps its text.");

TextPane* addPane(QWidget* parent, const char* objectName, const QRect& geometry) {
  auto* pane = new TextPane(parent);
  pane->setObjectName(QLatin1String(objectName));
  pane->setGeometry(geometry);
  pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Tab moves on to the next control, as the focus order promises.
  pane->setTabChangesFocus(true);
  return pane;
}

}  // namespace

MainWindow::MainWindow(Settings& settings, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent), settings_(settings), prompts_(prompts) {
  setObjectName(QStringLiteral("l33t"));
  setWindowTitle(QString::fromUtf8(kApplicationTitle));
  // A fixed frame: minimise and close, but no maximise and no resizing.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  createControls();
  createMenus();
  connectControls();
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  loadHardcoreSwitch();
  english_->setFocus();
}

void MainWindow::createControls() {
  auto* client = new QWidget(this);
  client->setFixedSize(twipSize(5910, 3870));
  setCentralWidget(client);

  addLabel(client, "engcapt", QStringLiteral("English Text:"), twipRect(120, 120, 975, 255));
  english_ = addPane(client, "english", twipRect(1440, 120, 4335, 1455));
  copyEnglish_ =
      addButton<WrappingButton>(client, "copyenglish", QStringLiteral("Copy English to Clipboard"),
                                twipRect(260, 360, 1060, 495));
  pasteEnglish_ = addButton<WrappingButton>(client, "pasteenglish",
                                            QStringLiteral("Paste to English from Clipboard"),
                                            twipRect(260, 960, 1060, 615));
  reset_ = addButton(client, "reset", QStringLiteral("Clear L33T/English Text Boxes"),
                     twipRect(2400, 1800, 2415, 255));
  addLabel(client, "l33tcapt", QStringLiteral("L33T Text:"), twipRect(120, 2280, 855, 255));
  l33t_ = addPane(client, "l33t", twipRect(1440, 2280, 4335, 1455));
  link_.emplace(*english_, *l33t_);
  highlight_.emplace(*english_, *l33t_, *link_);
  copyL33t_ = addButton<WrappingButton>(
      client, "copyl33t", QStringLiteral("Copy L33T to Clipboard"), twipRect(260, 2520, 1060, 495));
  pasteL33t_ =
      addButton<WrappingButton>(client, "pastel33t", QStringLiteral("Paste to L33T from Clipboard"),
                                twipRect(260, 3120, 1060, 615));

  setTabOrder(english_, l33t_);
  setTabOrder(l33t_, copyEnglish_);
  setTabOrder(copyEnglish_, copyL33t_);
  setTabOrder(copyL33t_, pasteEnglish_);
  setTabOrder(pasteEnglish_, pasteL33t_);
  setTabOrder(pasteL33t_, reset_);

  english_->installEventFilter(this);
  l33t_->installEventFilter(this);
}

// The menu bar, item by item in the order the user sees it.
void MainWindow::createMenus() {
  QMenu* file = addMenu(nullptr, "filemenu", QStringLiteral("&File"));
  connect(addMenuItem(file, "openemenu", QStringLiteral("Open &English..."), Qt::CTRL | Qt::Key_O),
          &QAction::triggered, this,
          [this] { openIntoPane(english_, QStringLiteral("Open English...")); });
  connect(addMenuItem(file, "openlmenu", QStringLiteral("Open &L33T..."), Qt::CTRL | Qt::Key_L),
          &QAction::triggered, this,
          [this] { openIntoPane(l33t_, QStringLiteral("Open L33T...")); });
  connect(
      addMenuItem(file, "saveemenu", QStringLiteral("Save Englis&h As..."), Qt::CTRL | Qt::Key_S),
      &QAction::triggered, this, [this] { savePane(english_); });
  connect(addMenuItem(file, "savelmenu", QStringLiteral("Save L33&T As..."), Qt::CTRL | Qt::Key_T),
          &QAction::triggered, this, [this] { savePane(l33t_); });
  connect(addMenuItem(file, "exitmenu", QStringLiteral("&Exit"), Qt::CTRL | Qt::Key_X),
          &QAction::triggered, this, &QWidget::close);

  QMenu* options = addMenu(nullptr, "optionsmenu", QStringLiteral("&Options"));
  connect(
      addMenuItem(options, "cpyemglishmenu", QStringLiteral("Copy &English"), Qt::CTRL | Qt::Key_C),
      &QAction::triggered, this, [this] { copyPane(english_); });
  connect(addMenuItem(options, "cpyleetmenu", QStringLiteral("Copy &L33T"), Qt::CTRL | Qt::Key_D),
          &QAction::triggered, this, [this] { copyPane(l33t_); });
  connect(addMenuItem(options, "pasteenglishmenu", QStringLiteral("Paste Englis&h"),
                      Qt::CTRL | Qt::Key_V),
          &QAction::triggered, this, [this] { pastePane(english_); });
  connect(
      addMenuItem(options, "pasteleetmenu", QStringLiteral("Paste L33&T"), Qt::CTRL | Qt::Key_F),
      &QAction::triggered, this, [this] { pastePane(l33t_); });

  QMenu* hardcore = addMenu(options, "hardcoremenu", QStringLiteral("&Hardcore L33T"));
  useHardcore_ = addMenuItem(hardcore, "usehardcoremenu", QStringLiteral("&Use Hardcore L33T"),
                             Qt::CTRL | Qt::Key_U);
  useHardcore_->setCheckable(true);
  connect(useHardcore_, &QAction::triggered, this, &MainWindow::toggleHardcore);
  connect(addMenuItem(hardcore, "edithardcoremenu", QStringLiteral("E&dit Hardcore L33T..."),
                      Qt::CTRL | Qt::Key_E),
          &QAction::triggered, this,
          [this] { openChildWindow<HardcoreWindow>(settings_, prompts_); });
  connect(addMenuItem(options, "custommenu", QStringLiteral("Custom String Edito&r..."),
                      Qt::CTRL | Qt::Key_R),
          &QAction::triggered, this,
          [this] { openChildWindow<CustomWordsWindow>(settings_, prompts_); });

  QMenu* help = addMenu(nullptr, "helpmenu", QStringLiteral("&Help"));
  connect(addMenuItem(help, "aboutmenu", QStringLiteral("&About"), Qt::CTRL | Qt::Key_A),
          &QAction::triggered, this, [this] { openChildWindow<AboutWindow>(); });
  connect(
      addMenuItem(help, "instructionsmenu", QStringLiteral("&Instructions"), Qt::CTRL | Qt::Key_I),
      &QAction::triggered, this, [this] { openChildWindow<InstructionsWindow>(); });
}

void MainWindow::connectControls() {
  connect(english_, &QPlainTextEdit::textChanged, this, [this] { translateFrom(english_); });
  connect(l33t_, &QPlainTextEdit::textChanged, this, [this] { translateFrom(l33t_); });
  connect(english_, &TextPane::fileDropped, this,
          [this](const QString& name) { openFile(english_, name); });
  connect(l33t_, &TextPane::fileDropped, this,
          [this](const QString& name) { openFile(l33t_, name); });

  connect(copyEnglish_, &QPushButton::clicked, this, [this] { copyPane(english_); });
  connect(copyL33t_, &QPushButton::clicked, this, [this] { copyPane(l33t_); });
  connect(pasteEnglish_, &QPushButton::clicked, this, [this] { pastePane(english_); });
  connect(pasteL33t_, &QPushButton::clicked, this, [this] { pastePane(l33t_); });
  connect(reset_, &QPushButton::clicked, this, &MainWindow::clearPanes);
}

void MainWindow::openAtStart(const QStringList& fileNames) {
  if (!fileNames.isEmpty()) openFile(english_, fileNames.front());
}

void MainWindow::loadHardcoreSwitch() { useHardcore_->setChecked(StoredHardcoreSwitch(settings_)); }

QMenu* MainWindow::addMenu(QMenu* parent, const char* objectName, const QString& caption) {
  QMenu* menu = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
  menu->setObjectName(QLatin1String(objectName));
  return menu;
}

QAction* MainWindow::addMenuItem(QMenu* menu, const char* objectName, const QString& caption,
                                 const QKeySequence& shortcut) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QLatin1String(objectName));
  action->setShortcut(shortcut);
  menu->addAction(action);
  // Also on the window itself, so the shortcut does not depend on the menu.
  addAction(action);
  return action;
}

bool MainWindow::isShortcutOfThisWindow(const QKeySequence& keys) const {
  // Asked afresh on every key, so actions added later are covered too.
  const QList<QAction*> actions = findChildren<QAction*>();
  for (const QAction* action : actions)
    for (const QKeySequence& shortcut : action->shortcuts())
      if (shortcut.matches(keys) == QKeySequence::ExactMatch) return true;
  return false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A text pane claims keys such as Ctrl+C, Ctrl+V and Ctrl+A for itself
  // before shortcuts are looked up. Refusing that claim for this window's
  // shortcuts lets them win.
  if (event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (isShortcutOfThisWindow(QKeySequence(key->keyCombination()))) {
      event->ignore();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // While a child window is open this window takes no input, and that
  // includes the close button of its title bar.
  if (!isEnabled()) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void MainWindow::translateFrom(QPlainTextEdit* source) {
  if (translating_) return;
  // Set for the translation, and reset on every way out of it.
  const QScopedValueRollback guard(translating_, true);
  try {
    link_->translate(*source, useHardcore_->isChecked(), settings_);
  } catch (const std::bad_alloc&) {
    // The other pane keeps its text (or the part already written); the next
    // change translates the whole text. The program goes on.
    link_->forget();
    prompts_.message(this, QMessageBox::Critical, QStringLiteral("Error"), kTooLargeText,
                     QMessageBox::Ok);
  }
  highlight_->refresh();
}

void MainWindow::toggleHardcore(bool on) {
  // Nothing is translated now; the next change of a pane uses the new state.
  const WriteResult written = WriteStoredHardcoreSwitch(settings_, on);
  // The switch keeps the state the user chose for this run either way.
  if (!written)
    showNotSaved(prompts_, this,
                 QStringLiteral("Hardcore L33T is switched %1 for now, but this will not be "
                                "remembered the next time Glossmith starts!")
                     .arg(on ? QStringLiteral("on") : QStringLiteral("off")),
                 written);
}

void MainWindow::clearPanes() {
  replacePaneText(*english_, std::string_view());
  replacePaneText(*l33t_, std::string_view());
}

void MainWindow::copyPane(const QPlainTextEdit* pane) {
  QGuiApplication::clipboard()->setText(panePlatformText(*pane));
}

void MainWindow::pastePane(QPlainTextEdit* pane) {
  // A clipboard without text gives the empty text, which empties the pane.
  const QString text = QGuiApplication::clipboard()->text();
  const BusyCursor busy(text.size() >= BusyCursor::kLarge);
  replacePaneText(*pane, text);
}

void MainWindow::openIntoPane(QPlainTextEdit* pane, const QString& title) {
  const QString name = prompts_.openFileName(this, title, kOpenFilter, kInitialFileName);
  if (name.isEmpty()) return;
  openFile(pane, name);
}

void MainWindow::openFile(QPlainTextEdit* pane, const QString& name) {
  // Only a regular file read to its end replaces the pane; a FIFO or a device
  // counts as a file that cannot be read, and is never waited for.
  const std::optional<std::string> bytes = ReadRegularFile(QFile::encodeName(name).toStdString());
  if (!bytes) return;
  const BusyCursor busy(bytes->size() >= BusyCursor::kLarge);
  replacePaneText(*pane, TextFromFileBytes(*bytes));
}

void MainWindow::savePane(const QPlainTextEdit* pane) {
  const QString chosen = prompts_.saveFileName(this, kSaveTitle, kSaveFilter, kInitialFileName);
  if (chosen.isEmpty()) return;
  const QString name = QString::fromStdString(SaveFileName(chosen.toStdString()));
  const std::string bytes = TextFileBytes(paneText(*pane));

  // The file that was there stays whole until the new one is complete.
  QSaveFile file(name);
  const bool saved = file.open(QIODevice::WriteOnly) &&
                     file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                         static_cast<qint64>(bytes.size()) &&
                     file.commit();
  if (!saved) {
    prompts_.warn(this, QStringLiteral("Error"),
                  QStringLiteral("The file \"%1\" could not be saved: %2")
                      .arg(QDir::toNativeSeparators(name), file.errorString()));
  }
}

}  // namespace glossmith::ui
