// Replacing a pane's text edits only the range that differs, and gives the
// same text as replacing all of it.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextCursor>
#include <QTextDocument>
#include <functional>
#include <optional>
#include <string>

#include "core/translate.h"
#include "main_window_fixture.h"
#include "ui/main/panetext.h"

namespace glossmith::ui {
namespace {

struct Change {
  int position;
  int removed;
  int added;
};

struct ReplaceCase {
  const char* name;
  QString before;            // platform form
  std::string after;         // program form, as the translations give it
  QString expected;          // the pane's text afterwards, platform form
  std::optional<Change> change;  // the one document edit; none when equal
};

class ReplaceRangeTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceRangeTest, EditsOnlyTheChangedRange) {
  const ReplaceCase& c = GetParam();
  QPlainTextEdit pane;
  pane.setPlainText(c.before);
  QSignalSpy edits(pane.document(), &QTextDocument::contentsChange);
  QSignalSpy notifications(&pane, &QPlainTextEdit::textChanged);

  replacePaneText(pane, c.after);

  EXPECT_EQ(panePlatformText(pane), c.expected);
  EXPECT_EQ(paneText(pane), QString(c.expected).replace(QLatin1Char('\n'), QLatin1String("\r\n")).toStdString());
  EXPECT_EQ(notifications.count(), 1);
  ASSERT_EQ(edits.count(), c.change ? 1 : 0);
  if (c.change) {
    EXPECT_EQ(edits[0][0].toInt(), c.change->position);
    EXPECT_EQ(edits[0][1].toInt(), c.change->removed);
    EXPECT_EQ(edits[0][2].toInt(), c.change->added);
  }
  EXPECT_FALSE(pane.document()->isUndoAvailable());
  EXPECT_EQ(pane.document()->blockCount(), c.expected.count(QLatin1Char('\n')) + 1);
}

// "\U0001F600" is D83D DE00, "\U0001F601" D83D DE01, "\U0001FA00" D83E DE00.
INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceRangeTest,
    ::testing::Values(
        ReplaceCase{"Identical", "abc", "abc", "abc", std::nullopt},
        ReplaceCase{"BothEmpty", "", "", "", std::nullopt},
        ReplaceCase{"FromEmpty", "", "abc", "abc", Change{0, 0, 3}},
        ReplaceCase{"ToEmpty", "abc", "", "", Change{0, 3, 0}},
        ReplaceCase{"InsertAtStart", "bc", "abc", "abc", Change{0, 0, 1}},
        ReplaceCase{"InsertInMiddle", "ac", "abc", "abc", Change{1, 0, 1}},
        ReplaceCase{"InsertAtEnd", "ab", "abc", "abc", Change{2, 0, 1}},
        ReplaceCase{"DeleteInMiddle", "abc", "ac", "ac", Change{1, 1, 0}},
        ReplaceCase{"RepeatShrinks", "aaa", "aa", "aa", Change{2, 1, 0}},
        ReplaceCase{"RepeatGrows", "aa", "aaa", "aaa", Change{2, 0, 1}},
        ReplaceCase{"CompleteChange", "abc", "xyz", "xyz", Change{0, 3, 3}},
        ReplaceCase{"SameHighSurrogate", QString::fromUtf8("x\U0001F600y"),
                    "x\U0001F601y", QString::fromUtf8("x\U0001F601y"), Change{1, 2, 2}},
        ReplaceCase{"SameLowSurrogate", QString::fromUtf8("x\U0001F600y"),
                    "x\U0001FA00y", QString::fromUtf8("x\U0001FA00y"), Change{1, 2, 2}},
        ReplaceCase{"PairAfterItsHalf", QString::fromUtf8("x\U0001F600"),
                    "x\U0001F600\U0001F600", QString::fromUtf8("x\U0001F600\U0001F600"),
                    Change{3, 0, 2}},
        ReplaceCase{"LineBreakAdded", "a\nb", "a\r\n\r\nb", "a\n\nb", Change{2, 0, 1}},
        ReplaceCase{"LineBreakRemoved", "a\n\nb", "a\r\nb", "a\nb", Change{2, 1, 0}},
        ReplaceCase{"LinesJoined", "ab\ncd", "abcd", "abcd", Change{2, 1, 0}},
        ReplaceCase{"LineBreakReplaced", "ab\ncd", "abxcd", "abxcd", Change{2, 1, 1}},
        ReplaceCase{"SameLinesOtherBreaks", "a\nb\nc", "a\rb\r\nc", "a\nb\nc", std::nullopt},
        ReplaceCase{"LoneCarriageReturnAtEnd", "a", "a\r", "a\n", Change{1, 0, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

// Decoding the program's form in pieces gives what decoding it whole and
// then turning every line break into "\n" gives.
TEST(PlatformFromProgramTextTest, MatchesWholeDecodeThenLineBreaks) {
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"Empty", ""},
      {"CrLf", "one\r\ntwo\r\n"},
      {"LoneLf", "one\ntwo"},
      {"LoneCr", "one\rtwo\r"},
      {"CrCrLf", "a\r\r\nb"},
      {"LfCr", "a\n\rb"},
      {"MultiByte", "caf\xC3\xA9\r\n\xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"ByteOrderMarkFirst", "\xEF\xBB\xBFhi"},
      {"ByteOrderMarkAfterBreak", "hi\r\xEF\xBB\xBFthere"},
      {"InvalidBytes", "a\xFF\xFE" "b\x80"},
      {"TruncatedBeforeBreak", "a\xE2\x82\r\nb\xF0\x9F"},
      {"Nul", std::string("a\0b\r\0", 5)},
  };
  for (const Case& c : cases) {
    QString whole = QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size()));
    whole.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    whole.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    EXPECT_EQ(detail::platformFromProgramText(c.text), whole) << c.name;
  }
}

// Reading a pane line by line gives what its whole raw text gives, in both
// forms: every character kept (no-break spaces too), breaks as "\n" or CR LF.
TEST(PaneTextTest, ReadsTheRawTextOfEveryLine) {
  struct Case {
    const char* name;
    QString text;
  };
  const Case cases[] = {
      {"Empty", QString()},
      {"OneLine", QStringLiteral("hello")},
      {"EmptyLines", QStringLiteral("\n\na\n\n")},
      {"NoBreakSpace", QString::fromUtf8("a\u00A0b\nc")},
      {"SurrogatePairs", QString::fromUtf8("\U0001F600\n\U0001F600x")},
      {"LoneSurrogates", QString::fromUtf16(u"a\xD800\nb\xDC00")},
  };
  for (const Case& c : cases) {
    QPlainTextEdit pane;
    pane.setPlainText(c.text);
    QString raw = pane.document()->toRawText();
    EXPECT_EQ(panePlatformText(pane), QString(raw).replace(QChar::ParagraphSeparator, QLatin1Char('\n')))
        << c.name;
    EXPECT_EQ(paneText(pane), raw.replace(QChar::ParagraphSeparator, QLatin1String("\r\n")).toStdString())
        << c.name;
  }
}

// A replace that leaves the start of a long text alone leaves the view and
// the caret there too, instead of jumping back to the top.
TEST(ReplaceRangeTest, UnchangedStartKeepsCaretAndScroll) {
  QPlainTextEdit pane;
  pane.resize(200, 100);
  pane.show();
  QString lines;
  for (int i = 0; i < 200; ++i) lines += QStringLiteral("line %1\n").arg(i);
  replacePaneText(pane, lines);
  QTextCursor caret = pane.textCursor();
  caret.setPosition(static_cast<int>(lines.size() / 2));
  pane.setTextCursor(caret);
  pane.ensureCursorVisible();
  const int scroll = pane.verticalScrollBar()->value();
  ASSERT_GT(scroll, 0);

  replacePaneText(pane, lines + QStringLiteral("tail"));
  EXPECT_EQ(pane.textCursor().position(), lines.size() / 2);
  EXPECT_EQ(pane.verticalScrollBar()->value(), scroll);

  // An edit before the caret moves it along with its text.
  replacePaneText(pane, QStringLiteral("new ") + lines + QStringLiteral("tail"));
  EXPECT_EQ(pane.textCursor().position(), lines.size() / 2 + 4);
}

// A replace given what it last wrote compares against that only while the
// pane is untouched since; after any other edit it reads the pane again.
// Each edit changes the start of the text while the new text differs only at
// the end, so comparing against the stale text would keep the edit.
TEST(PaneMemoryTest, OtherEditsOfThePaneAreNotOverlooked) {
  struct Case {
    const char* name;
    std::function<void(QPlainTextEdit&)> edit;
  };
  const auto typeAtStart = [](QPlainTextEdit& pane, const QString& keys) {
    QTextCursor cursor(pane.document());
    cursor.setPosition(1, QTextCursor::KeepAnchor);
    cursor.insertText(keys);
  };
  const Case cases[] = {
      {"Untouched", [](QPlainTextEdit&) {}},
      {"TypedSameLength", [&](QPlainTextEdit& pane) { typeAtStart(pane, QStringLiteral("j")); }},
      {"TypedLonger", [&](QPlainTextEdit& pane) { typeAtStart(pane, QStringLiteral("jj")); }},
      {"TypedThenUndone",
       [&](QPlainTextEdit& pane) {
         typeAtStart(pane, QStringLiteral("j"));
         pane.undo();
       }},
      {"SetPlainText", [](QPlainTextEdit& pane) { pane.setPlainText(QStringLiteral("jello world")); }},
      {"ReplacedWithoutMemory",
       [](QPlainTextEdit& pane) { replacePaneText(pane, std::string_view("jello world")); }},
      {"RewrittenByNotifiedListener",
       [](QPlainTextEdit&) {}},  // set up below: the listener edits during the write
  };
  for (const Case& c : cases) {
    QPlainTextEdit pane;
    PaneWriter writer(pane);
    const bool listener = std::string_view(c.name) == "RewrittenByNotifiedListener";
    bool rewrite = listener;
    QObject::connect(&pane, &QPlainTextEdit::textChanged, &pane, [&] {
      if (!rewrite) return;
      rewrite = false;
      QTextCursor cursor(pane.document());
      cursor.setPosition(1, QTextCursor::KeepAnchor);
      cursor.insertText(QStringLiteral("j"));
    });
    writer.write("hello world");
    EXPECT_EQ(panePlatformText(pane), listener ? "jello world" : "hello world") << c.name;
    c.edit(pane);
    const QString now = panePlatformText(pane);

    writer.write("hello there");
    EXPECT_EQ(panePlatformText(pane), QStringLiteral("hello there")) << c.name << " was " << now.toStdString();
    EXPECT_EQ(writer.written(), QStringLiteral("hello there")) << c.name;
  }
}

// Typing into the L33T pane between two keystrokes in the English pane: the
// L33T pane still ends up as the translation of the English pane.
class PaneMemoryWindowTest : public testing::MainWindowTest,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(PaneMemoryWindowTest, L33tPaneTypedInBetweenIsRetranslated) {
  const QString typedIntoL33t = QString::fromUtf8(GetParam());
  typeInto(english(), QStringLiteral("hello world"));
  ASSERT_EQ(text(l33t()), EnglishToL33t("hello world", false, settings));

  l33t()->moveCursor(QTextCursor::Start);
  typeInto(l33t(), typedIntoL33t);
  english()->moveCursor(QTextCursor::End);
  typeInto(english(), QStringLiteral("s"));
  EXPECT_EQ(text(l33t()), EnglishToL33t(text(english()), false, settings));
}

INSTANTIATE_TEST_SUITE_P(Typed, PaneMemoryWindowTest,
                         ::testing::Values("Q", "zz", "4", " x "));

}  // namespace
}  // namespace glossmith::ui
