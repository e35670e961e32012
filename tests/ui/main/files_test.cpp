// Opening and saving pane text with real files, and copy and paste with the
// real clipboard.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <sys/stat.h>

#include "core/translate.h"
#include "main_window_fixture.h"

namespace glossmith::ui::testing {
namespace {

class FilesTest : public MainWindowTest {
 public:
  QString path(const QString& name) const { return dir.filePath(name); }

  void writeFile(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
  }

  static QByteArray readFile(const QString& fullName) {
    QFile file(fullName);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
    return file.readAll();
  }

  QStringList files() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

  // Opens `fullName` into the pane through its menu item.
  void open(QPlainTextEdit* pane, const QString& fullName) {
    prompts.setNextFileName(fullName);
    action(pane == english() ? "openemenu" : "openlmenu")->trigger();
  }
  void save(QPlainTextEdit* pane, const QString& fullName) {
    prompts.setNextFileName(fullName);
    action(pane == english() ? "saveemenu" : "savelmenu")->trigger();
  }

  // The other pane must hold the translation of `pane`'s text.
  void expectTranslated(QPlainTextEdit* pane) {
    const std::string source = text(pane);
    if (pane == english())
      EXPECT_EQ(text(l33t()), EnglishToL33t(source, false, settings));
    else
      EXPECT_EQ(text(english()), L33tToEnglish(source, false, settings));
  }

  QTemporaryDir dir;
};

TEST_F(FilesTest, SaveWritesPaneTextAndLineBreak) {
  struct Case {
    const char* name;
    std::string text;
    QByteArray bytes;
  };
  const Case cases[] = {
      {"ThreeLetters", "abc", "abc\r\n"},
      {"EmptyPane", "", "\r\n"},
      {"Lines", "a\r\n\r\nb", "a\r\n\r\nb\r\n"},
      {"NoBreakSpaceKept", "a\xC2\xA0" "b", "a\xC2\xA0" "b\r\n"},
  };
  for (const Case& c : cases) {
    for (QPlainTextEdit* pane : {english(), l33t()}) {
      SCOPED_TRACE(std::string(c.name) + " from " + pane->objectName().toStdString());
      replacePaneText(*pane, c.text);
      save(pane, path("out.txt"));
      EXPECT_EQ(readFile(path("out.txt")), c.bytes);
    }
  }
  EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(FilesTest, SaveNameGetsTxtUnlessItEndsInExactlyTxt) {
  struct Case {
    const char* name;
    QString chosen;
    QString written;
  };
  const Case cases[] = {
      {"NoExtension", "notes", "notes.txt"},
      {"Txt", "notes.txt", "notes.txt"},
      {"CapitalTxt", "notes.TXT", "notes.TXT.txt"},
      {"OtherExtension", "a.b", "a.b.txt"},
  };
  for (const Case& c : cases) {
    QDir(dir.path()).removeRecursively();
    QDir().mkpath(dir.path());
    replacePaneText(*english(), std::string_view("abc"));
    save(english(), path(c.chosen));
    EXPECT_EQ(files(), QStringList{c.written}) << c.name;
    EXPECT_EQ(readFile(path(c.written)), "abc\r\n") << c.name;
  }
}

TEST_F(FilesTest, SaveReplacesExistingFile) {
  writeFile("old.txt", QByteArray(10000, 'x'));
  replacePaneText(*l33t(), std::string_view("n3w"));
  save(l33t(), path("old.txt"));
  EXPECT_EQ(readFile(path("old.txt")), "n3w\r\n");
  EXPECT_EQ(files(), QStringList{"old.txt"});
}

TEST_F(FilesTest, CancelledSaveWritesNothing) {
  replacePaneText(*english(), std::string_view("abc"));
  for (const char* item : {"saveemenu", "savelmenu"}) {
    prompts.setNextFileName(QString());
    action(item)->trigger();
  }
  EXPECT_TRUE(files().isEmpty());
  EXPECT_TRUE(prompts.messages().isEmpty());
}

// A failed save says so, names the file, and leaves what was there alone.
TEST_F(FilesTest, FailedSaveShowsErrorAndKeepsOldFile) {
  writeFile("plain", "a regular file");
  ASSERT_TRUE(QDir(dir.path()).mkpath("folder.txt/inside"));
  writeFile("folder.txt/kept", "kept");
  struct Case {
    const char* name;
    QString chosen;
  };
  const Case cases[] = {
      {"ParentIsRegularFile", path("plain/notes")},
      {"ParentDoesNotExist", path("missing/notes.txt")},
      {"NameIsFolder", path("folder.txt")},
  };
  replacePaneText(*english(), std::string_view("abc"));
  for (const Case& c : cases) {
    prompts.clear();
    save(english(), c.chosen);
    ASSERT_EQ(prompts.messages().size(), 1) << c.name;
    const auto& shown = prompts.messages()[0];
    EXPECT_EQ(shown.title, "Error") << c.name;
    EXPECT_EQ(shown.icon, QMessageBox::Warning) << c.name;
    EXPECT_EQ(shown.buttons, QMessageBox::Ok) << c.name;
    const QString written = c.chosen.endsWith(".txt") ? c.chosen : c.chosen + ".txt";
    EXPECT_TRUE(shown.text.contains(QDir::toNativeSeparators(written)))
        << c.name << ": " << shown.text.toStdString();
    EXPECT_EQ(shown.parent, window.get()) << c.name;
  }
  EXPECT_EQ(readFile(path("plain")), "a regular file");
  EXPECT_EQ(readFile(path("folder.txt/kept")), "kept");
  EXPECT_EQ(files(), (QStringList{"folder.txt", "plain"}));
}

TEST_F(FilesTest, OpenReadsFileIntoPane) {
  struct Case {
    const char* name;
    QByteArray bytes;
    std::string text;
  };
  const Case cases[] = {
      {"LineWithTerminator", "abc\r\n", "abc"},
      {"TwoEmptyLinesThenLine", "\r\n\r\nabc", "abc"},
      {"EmptyLineKept", "a\r\n\r\nb", "a\r\n\r\nb"},
      {"TwoTerminators", "abc\r\n\r\n", "abc\r\n"},
      {"SpaceCommasQuotesUnaltered", " \"one\", two,\"3\"\r\n", " \"one\", two,\"3\""},
      {"EmptyFile", "", ""},
      {"Windows1252", "caf\xE9 \x93ok\x94\r\n", "caf\xC3\xA9 \xE2\x80\x9Cok\xE2\x80\x9D"},
      {"LineSeparatorStaysCharacter", "a\xE2\x80\xA8" "b\r\n", "a\xE2\x80\xA8" "b"},
      {"Utf8WithStrayByte", "caf\xC3\xA9 na\xEFve\r\n", "caf\xC3\xA9 na\xC3\xAFve"},
  };
  for (const Case& c : cases) {
    for (QPlainTextEdit* pane : {english(), l33t()}) {
      SCOPED_TRACE(std::string(c.name) + " into " + pane->objectName().toStdString());
      replacePaneText(*pane, std::string_view("previous text"));
      writeFile("in.txt", c.bytes);
      open(pane, path("in.txt"));
      EXPECT_EQ(text(pane), c.text);
      expectTranslated(pane);
    }
  }
}

TEST_F(FilesTest, DialogTitlesFiltersAndInitialName) {
  struct Case {
    const char* item;
    bool save;
    const char* title;
    const char* filter;
  };
  // Both save commands say "Save L33T...", the English one included.
  const Case cases[] = {
      {"openemenu", false, "Open English...", "*.txt"},
      {"openlmenu", false, "Open L33T...", "*.txt"},
      {"saveemenu", true, "Save L33T...", ".txt"},
      {"savelmenu", true, "Save L33T...", ".txt"},
  };
  for (const Case& c : cases) {
    prompts.clear();
    action(c.item)->trigger();
    ASSERT_EQ(prompts.fileDialogs().size(), 1) << c.item;
    const auto& shown = prompts.fileDialogs()[0];
    EXPECT_EQ(shown.save, c.save) << c.item;
    EXPECT_EQ(shown.title, c.title) << c.item;
    EXPECT_EQ(shown.filter, c.filter) << c.item;
    EXPECT_EQ(shown.initialName, "*.txt") << c.item;
  }
}

// Cancel, a missing file, a folder, or a file that would never end or keep
// the window waiting: both panes stay as they were, silently, at once.
TEST_F(FilesTest, OpenThatEndsEarlyChangesNothing) {
  QDir(dir.path()).mkdir("folder");
  ASSERT_EQ(mkfifo(QFile::encodeName(path("fifo.txt")).constData(), 0600), 0);
  const QString chosen[] = {QString(),        path("missing.txt"), path("folder"),
                            path("fifo.txt"), "/dev/zero",         "/dev/null"};
  typeInto(english(), "keep me");
  for (const QString& name : chosen) {
    for (QPlainTextEdit* pane : {english(), l33t()}) {
      open(pane, name);
      EXPECT_EQ(text(english()), "keep me") << name.toStdString();
      EXPECT_EQ(text(l33t()), "k33p m3") << name.toStdString();
    }
  }
  EXPECT_TRUE(prompts.messages().isEmpty());
}

// `glossmith FILE...`: the first file opens into the English pane as Open
// English would open it; one that cannot be read leaves the window empty.
TEST_F(FilesTest, FileNamedAtStartOpensIntoEnglishPane) {
  writeFile("notes.txt", "hack the\r\nplanet\r\n");
  writeFile("other.txt", "other");
  QDir(dir.path()).mkdir("folder");
  struct Case {
    const char* name;
    QStringList files;
    std::string english;
  };
  const Case cases[] = {
      {"NoFile", {}, ""},
      {"OneFile", {path("notes.txt")}, "hack the\r\nplanet"},
      {"FirstOfSeveral", {path("notes.txt"), path("other.txt")}, "hack the\r\nplanet"},
      {"MissingFirstStartsEmpty", {path("missing.txt"), path("notes.txt")}, ""},
      {"FolderStartsEmpty", {path("folder")}, ""},
  };
  for (const Case& c : cases) {
    MainWindow started(settings, prompts);
    started.openAtStart(c.files);
    const auto* english = started.findChild<QPlainTextEdit*>("english");
    const auto* l33t = started.findChild<QPlainTextEdit*>("l33t");
    EXPECT_EQ(paneText(*english), c.english) << c.name;
    EXPECT_EQ(paneText(*l33t), EnglishToL33t(c.english, false, settings)) << c.name;
  }
  EXPECT_TRUE(prompts.fileDialogs().isEmpty());
  EXPECT_TRUE(prompts.messages().isEmpty());
}

// One local file dropped on a pane opens into it as its Open command would,
// taken as a copy; text and links are inserted where they are dropped.
TEST_F(FilesTest, DropOnPane) {
  writeFile("notes.txt", "hack the\r\nplanet\r\n");
  writeFile("other.txt", "other");
  QDir(dir.path()).mkdir("folder");
  ASSERT_EQ(mkfifo(QFile::encodeName(path("fifo.txt")).constData(), 0600), 0);
  const auto file = [this](const char* name) { return QUrl::fromLocalFile(path(name)); };
  struct Case {
    const char* name;
    const char* pane;
    QList<QUrl> urls;
    QString text;  // offered as text/plain, when not empty
    std::string before;
    Qt::DropAction action;
    std::string after;
  };
  const Case cases[] = {
      {"FileIntoEnglish", "english", {file("notes.txt")}, {}, "keep me", Qt::CopyAction,
       "hack the\r\nplanet"},
      {"FileIntoL33t", "l33t", {file("notes.txt")}, {}, "k33p m3", Qt::CopyAction,
       "hack the\r\nplanet"},
      {"FileWithItsNameAsText", "english", {file("notes.txt")}, path("notes.txt"), "keep me",
       Qt::CopyAction, "hack the\r\nplanet"},
      {"MissingFileChangesNothing", "english", {file("missing.txt")}, {}, "keep me",
       Qt::CopyAction, "keep me"},
      {"FolderChangesNothing", "l33t", {file("folder")}, {}, "k33p m3", Qt::CopyAction, "k33p m3"},
      {"FifoChangesNothing", "english", {file("fifo.txt")}, {}, "keep me", Qt::CopyAction,
       "keep me"},
      {"SeveralFilesRefused", "english", {file("notes.txt"), file("other.txt")}, {}, "keep me",
       Qt::IgnoreAction, "keep me"},
      {"TextInserted", "english", {}, "hack", "", Qt::CopyAction, "hack"},
      {"RemoteLinkInsertedAsText", "l33t", {QUrl("https://example.org/notes.txt")}, {}, "",
       Qt::CopyAction, "https://example.org/notes.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QPlainTextEdit* target = pane(c.pane);
    replacePaneText(*target, c.before);
    QMimeData data;
    if (!c.urls.isEmpty()) data.setUrls(c.urls);
    if (!c.text.isEmpty()) data.setText(c.text);
    EXPECT_EQ(drop(target, data), c.action);
    EXPECT_EQ(text(target), c.after);
    expectTranslated(target);
  }
  EXPECT_TRUE(prompts.fileDialogs().isEmpty());
  EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(FilesTest, SaveAndOpenGiveTextBackExceptLeadingEmptyLines) {
  struct Case {
    const char* name;
    std::string text;
    std::string reopened;
  };
  const Case cases[] = {
      {"OneLine", "hack the planet", "hack the planet"},
      {"InnerAndTrailingEmptyLines", "a\r\n\r\nb\r\n\r\n", "a\r\n\r\nb\r\n\r\n"},
      {"LeadingEmptyLinesLost", "\r\n\r\nx", "x"},
  };
  for (const Case& c : cases) {
    for (QPlainTextEdit* pane : {english(), l33t()}) {
      replacePaneText(*pane, c.text);
      save(pane, path("round"));
      replacePaneText(*pane, std::string_view("other"));
      open(pane, path("round.txt"));
      EXPECT_EQ(text(pane), c.reopened) << c.name;
    }
  }
}

// Several megabytes go through open and translation in one piece.
TEST_F(FilesTest, OpensLargeFile) {
  QByteArray bytes;
  const QByteArray line = "the quick brown fox jumps over the lazy dog, you newbie\r\n";
  while (bytes.size() < 3 * 1024 * 1024) bytes += line;
  writeFile("large.txt", bytes);
  open(english(), path("large.txt"));
  const std::string expected = bytes.chopped(2).toStdString();
  EXPECT_EQ(text(english()), expected);
  EXPECT_EQ(text(l33t()), EnglishToL33t(expected, false, settings));
}

TEST_F(FilesTest, CopyPutsWholePaneOnClipboard) {
  struct Case {
    const char* name;
    std::string text;
    QString clipboard;  // line breaks as Linux programs expect them
  };
  const Case cases[] = {
      {"OneLine", "hack the planet", "hack the planet"},
      {"Lines", "a\r\n\r\nb", "a\n\nb"},
      {"Empty", "", ""},
      {"NoBreakSpace", "a\xC2\xA0" "b", QStringLiteral("a\u00A0b")},
  };
  const std::pair<const char*, const char*> commands[] = {
      {"english", "copyenglish"}, {"english", "cpyemglishmenu"},
      {"l33t", "copyl33t"},       {"l33t", "cpyleetmenu"}};
  for (const Case& c : cases) {
    for (const auto& [paneName, command] : commands) {
      SCOPED_TRACE(std::string(c.name) + " by " + command);
      QPlainTextEdit* pane = this->pane(paneName);
      replacePaneText(*pane, c.text);
      // Only the first character is selected; the whole pane is copied.
      QTextCursor cursor(pane->document());
      cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
      pane->setTextCursor(cursor);
      clipboard()->setText("before");
      if (auto* b = window->findChild<QPushButton*>(command))
        QTest::mouseClick(b, Qt::LeftButton);
      else
        action(command)->trigger();
      EXPECT_EQ(clipboard()->text(), c.clipboard);
      EXPECT_EQ(text(pane), c.text);
    }
  }
}

TEST_F(FilesTest, PasteReplacesWholePane) {
  struct Case {
    const char* name;
    std::function<void(QClipboard*)> fill;
    std::string text;
  };
  const Case cases[] = {
      {"PlainText", [](QClipboard* c) { c->setText("you rock"); }, "you rock"},
      {"LinuxLineBreaks", [](QClipboard* c) { c->setText("a\n\nb"); }, "a\r\n\r\nb"},
      {"WindowsLineBreaks", [](QClipboard* c) { c->setText("a\r\nb\r\n"); }, "a\r\nb\r\n"},
      {"OldMacLineBreaks", [](QClipboard* c) { c->setText("a\rb"); }, "a\r\nb"},
      {"LineSeparatorStaysCharacter", [](QClipboard* c) { c->setText(QStringLiteral("a\u2028b")); },
       "a\xE2\x80\xA8" "b"},
      {"Emptied", [](QClipboard* c) { c->clear(); }, ""},
      {"ImageOnly",
       [](QClipboard* c) {
         QImage image(4, 4, QImage::Format_RGB32);
         image.fill(Qt::red);
         c->setImage(image);
       },
       ""},
      {"HtmlOnly",
       [](QClipboard* c) {
         auto* data = new QMimeData;
         data->setHtml("<b>bold</b>");
         c->setMimeData(data);
       },
       ""},
  };
  const std::pair<const char*, const char*> commands[] = {
      {"english", "pasteenglish"}, {"english", "pasteenglishmenu"},
      {"l33t", "pastel33t"},       {"l33t", "pasteleetmenu"}};
  for (const Case& c : cases) {
    for (const auto& [paneName, command] : commands) {
      SCOPED_TRACE(std::string(c.name) + " by " + command);
      QPlainTextEdit* pane = this->pane(paneName);
      replacePaneText(*pane, std::string_view("old text"));
      pane->moveCursor(QTextCursor::End);
      c.fill(clipboard());
      if (auto* b = window->findChild<QPushButton*>(command))
        QTest::mouseClick(b, Qt::LeftButton);
      else
        action(command)->trigger();
      EXPECT_EQ(text(pane), c.text);
      expectTranslated(pane);
    }
  }
}

}  // namespace
}  // namespace glossmith::ui::testing
