// Every shortcut of the main window, pressed while each pane has the focus
// and holds a selection: the window's command wins over the pane's own use
// of the key.
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "core/translate.h"
#include "main_window_fixture.h"

namespace glossmith::ui::testing {
namespace {

class ShortcutsTest : public MainWindowTest {
 public:
  std::string fileText(const char* name) const {
    QFile file(dir.filePath(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly)) return "<missing>";
    return file.readAll().toStdString();
  }

  QTemporaryDir dir;
};

constexpr const char* kEnglish = "one two";
constexpr const char* kL33t = "0n3 7w0";
constexpr const char* kClipboard = "pasted text";

TEST_F(ShortcutsTest, EachShortcutWinsInEitherPane) {
  struct Row {
    const char* name;
    Qt::Key key;
    const char* fileName;  // what the file dialog answers, if the command asks
    std::function<void(ShortcutsTest&)> check;
  };
  const Row rows[] = {
      {"CtrlC_CopiesWholeEnglish", Qt::Key_C, nullptr,
       [](ShortcutsTest& t) {
         EXPECT_EQ(t.clipboard()->text(), kEnglish);
         EXPECT_EQ(t.text(t.english()), kEnglish);
       }},
      {"CtrlD_CopiesWholeL33t", Qt::Key_D, nullptr,
       [](ShortcutsTest& t) { EXPECT_EQ(t.clipboard()->text(), kL33t); }},
      {"CtrlV_ReplacesWholeEnglish", Qt::Key_V, nullptr,
       [](ShortcutsTest& t) {
         EXPECT_EQ(t.text(t.english()), kClipboard);
         EXPECT_EQ(t.text(t.l33t()), EnglishToL33t(kClipboard, false, t.settings));
       }},
      {"CtrlF_ReplacesWholeL33t", Qt::Key_F, nullptr,
       [](ShortcutsTest& t) {
         EXPECT_EQ(t.text(t.l33t()), kClipboard);
         EXPECT_EQ(t.text(t.english()), L33tToEnglish(kClipboard, false, t.settings));
       }},
      {"CtrlU_TogglesHardcore", Qt::Key_U, nullptr,
       [](ShortcutsTest& t) {
         EXPECT_TRUE(t.action("usehardcoremenu")->isChecked());
         EXPECT_EQ(t.settings.Read(kApp, kSectionGeneral, kKeyUseHard), "yes");
         EXPECT_EQ(t.text(t.english()), kEnglish);
         EXPECT_EQ(t.text(t.l33t()), kL33t);
       }},
      {"CtrlO_OpensIntoEnglish", Qt::Key_O, "source.txt",
       [](ShortcutsTest& t) {
         ASSERT_EQ(t.prompts.fileDialogs().size(), 1);
         EXPECT_EQ(t.prompts.fileDialogs()[0].title, "Open English...");
         EXPECT_EQ(t.text(t.english()), "from file");
       }},
      {"CtrlL_OpensIntoL33t", Qt::Key_L, "source.txt",
       [](ShortcutsTest& t) {
         ASSERT_EQ(t.prompts.fileDialogs().size(), 1);
         EXPECT_EQ(t.prompts.fileDialogs()[0].title, "Open L33T...");
         EXPECT_EQ(t.text(t.l33t()), "from file");
       }},
      {"CtrlS_SavesEnglish", Qt::Key_S, "saved",
       [](ShortcutsTest& t) { EXPECT_EQ(t.fileText("saved.txt"), "one two\r\n"); }},
      {"CtrlT_SavesL33t", Qt::Key_T, "saved",
       [](ShortcutsTest& t) { EXPECT_EQ(t.fileText("saved.txt"), "0n3 7w0\r\n"); }},
  };

  for (const Row& row : rows) {
    for (const char* focus : {"english", "l33t"}) {
      SCOPED_TRACE(std::string(row.name) + " in " + focus);
      settings = MemorySettings();
      start();
      ASSERT_TRUE(dir.isValid());
      QFile::remove(dir.filePath("saved.txt"));
      QFile source(dir.filePath("source.txt"));
      ASSERT_TRUE(source.open(QIODevice::WriteOnly));
      source.write("from file\r\n");
      source.close();
      prompts.clear();
      if (row.fileName) prompts.setNextFileName(dir.filePath(row.fileName));

      typeInto(english(), kEnglish);
      ASSERT_EQ(text(l33t()), kL33t);
      clipboard()->setText(kClipboard);
      QPlainTextEdit* pane = this->pane(focus);
      pane->setFocus();
      QTextCursor cursor = pane->textCursor();
      cursor.setPosition(1);
      cursor.setPosition(3, QTextCursor::KeepAnchor);
      pane->setTextCursor(cursor);

      QTest::keyClick(pane, row.key, Qt::ControlModifier);
      row.check(*this);
    }
  }
}

// Keys that are no shortcut of the window keep their meaning in the pane.
TEST_F(ShortcutsTest, PaneKeepsItsOtherKeys) {
  typeInto(english(), "ab cd");
  for (QPlainTextEdit* pane : {english(), l33t()}) {
    pane->setFocus();
    pane->moveCursor(QTextCursor::End);
    QTest::keyClick(pane, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(pane->textCursor().selectedText().isEmpty());
    EXPECT_EQ(pane->textCursor().selectedText(), pane->toPlainText());
  }
  english()->setFocus();
  QTest::keyClick(english(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_NE(text(english()), "ab cd");
}

}  // namespace
}  // namespace glossmith::ui::testing
