#pragma once

#include <QKeySequence>
#include <QMainWindow>
#include <QStringList>
#include <optional>
#include <utility>

#include "highlight.h"
#include "panelink.h"

class QAction;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace glossmith {
class Settings;
}

namespace glossmith::ui {

class Prompts;
class TextPane;

// The main window "l33t": the English pane above the L33T pane, each change
// of one pane translated at once into the other, with the menus and buttons
// for files, the clipboard and the Hardcore switch.
//
// Every shortcut of the window's actions works from anywhere in it and wins
// over a pane's own use of the key (Ctrl+C copies the whole English pane even
// while the L33T pane has the focus).
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(Settings& settings, Prompts& prompts, QWidget* parent = nullptr);

  // Opens the first of `fileNames`, the files named on the command line,
  // into the English pane as Open English opens the file chosen in its
  // dialog; a file that cannot be read changes nothing. The others are
  // ignored.
  void openAtStart(const QStringList& fileNames);

  // Opens a window built on ChildWindow: creates it afresh (its constructor
  // takes `args`, then this window), shows it and returns at once. The child
  // takes all input away from this window until it is closed.
  template <typename Window, typename... Args>
  Window* openChildWindow(Args&&... args) {
    auto* window = new Window(std::forward<Args>(args)..., this);
    window->show();
    return window;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void createControls();
  void createMenus();
  void connectControls();
  void loadHardcoreSwitch();

  QMenu* addMenu(QMenu* parent, const char* objectName, const QString& caption);
  QAction* addMenuItem(QMenu* menu, const char* objectName, const QString& caption,
                       const QKeySequence& shortcut);
  bool isShortcutOfThisWindow(const QKeySequence& keys) const;

  // The Translation guard protocol, the same for both panes.
  void translateFrom(QPlainTextEdit* source);

  void toggleHardcore(bool on);
  void clearPanes();

  void copyPane(const QPlainTextEdit* pane);
  void pastePane(QPlainTextEdit* pane);
  void openIntoPane(QPlainTextEdit* pane, const QString& title);
  // Open without the dialog: also for a file dropped on the pane.
  void openFile(QPlainTextEdit* pane, const QString& name);
  void savePane(const QPlainTextEdit* pane);

  Settings& settings_;
  Prompts& prompts_;

  TextPane* english_ = nullptr;
  TextPane* l33t_ = nullptr;
  QPushButton* copyEnglish_ = nullptr;
  QPushButton* pasteEnglish_ = nullptr;
  QPushButton* copyL33t_ = nullptr;
  QPushButton* pasteL33t_ = nullptr;
  QPushButton* reset_ = nullptr;

  // Its check mark is the Hardcore switch.
  QAction* useHardcore_ = nullptr;

  // The Translation guard: set while one pane's change is being translated,
  // so that writing the other pane does not translate back.
  bool translating_ = false;

  // Keeps the other pane the translation of the pane that changed.
  std::optional<PaneLink> link_;
  // Marks in one pane what the other's selection translates.
  std::optional<CounterpartHighlight> highlight_;
};

}  // namespace glossmith::ui
