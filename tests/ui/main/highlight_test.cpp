// Selecting text in one pane marks its counterpart in the other: the text its
// translation made, or that made it.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QTextCursor>
#include <algorithm>
#include <string>
#include <vector>

#include "core/engine/engine.h"
#include "core/rules/alignment.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/rule_set.h"
#include "main_window_fixture.h"
#include "ui/main/counterpart.h"

namespace glossmith::ui::testing {
namespace {

class HighlightTest : public MainWindowTest {
 public:
  // Selects units [begin, end) of `pane`, as dragging the mouse over them does.
  static void select(QPlainTextEdit* pane, int begin, int end) {
    QTextCursor cursor = pane->textCursor();
    cursor.setPosition(begin);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    pane->setTextCursor(cursor);
  }
  // Selects the first `selected` in `pane`.
  static void select(QPlainTextEdit* pane, const QString& selected) {
    const int at = static_cast<int>(panePlatformText(*pane).indexOf(selected));
    ASSERT_GE(at, 0) << selected.toStdString();
    select(pane, at, at + static_cast<int>(selected.size()));
  }

  // The marked range of `pane` ({0, 0} for none).
  static detail::UnitRange marked(const QPlainTextEdit* pane) {
    const QList<QTextEdit::ExtraSelection> marks = pane->extraSelections();
    if (marks.isEmpty()) return {};
    EXPECT_EQ(marks.size(), 1);
    return {marks[0].cursor.selectionStart(), marks[0].cursor.selectionEnd()};
  }
  static QString markedText(const QPlainTextEdit* pane) {
    const detail::UnitRange range = marked(pane);
    return panePlatformText(*pane).mid(range.begin, range.end - range.begin);
  }
};

struct Case {
  const char* name;
  bool hardcore;
  const char* english;  // entered into the English pane ("\n": Return)
  bool inL33t;          // the selection is made in the L33T pane
  const char* selected;
  const char* counterpart;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class HighlightCaseTest : public HighlightTest, public ::testing::WithParamInterface<Case> {};

// A replaced word is marked whole, whatever part of it is selected; the
// selection's own pane keeps no mark.
TEST_P(HighlightCaseTest, MarksTheCounterpart) {
  const Case& c = GetParam();
  if (c.hardcore) {
    WriteHardcoreDefaults(settings);
    action("usehardcoremenu")->setChecked(true);
  }
  const QStringList lines = QString::fromUtf8(c.english).split(QLatin1Char('\n'));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (i > 0) QTest::keyClick(english(), Qt::Key_Return);
    english()->insertPlainText(lines[i]);
  }
  QPlainTextEdit* from = c.inL33t ? l33t() : english();
  QPlainTextEdit* other = c.inL33t ? english() : l33t();
  select(from, QString::fromUtf8(c.selected));
  EXPECT_EQ(markedText(other), QString::fromUtf8(c.counterpart));
  EXPECT_EQ(marked(from), detail::UnitRange{});
}

INSTANTIATE_TEST_SUITE_P(
    , HighlightCaseTest,
    ::testing::Values(
        Case{"ReplacedWord", false, "the hacker", false, "hack", "hax0r"},
        Case{"PartOfAReplacedWord", false, "the hacker", false, "ac", "hax0r"},
        Case{"WordAndItsSpace", false, "the hacker", false, "the", "teh "},
        Case{"BackFromL33t", false, "the hacker", true, "x0", "hack"},
        Case{"AcrossLineBreak", false, "dude\nelite", false, "e\ne", "d00d\n1337"},
        Case{"MultiByte", false, "caf\xC3\xA9 \xC3\xBC" "ber", false, "\xC3\xBC" "b",
             "\xC3\xBC" "b"},
        Case{"HardcoreSymbol", true, "hi", false, "h", "|-| "},
        Case{"HardcoreBack", true, "hi", true, "-", "h"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST_F(HighlightTest, FollowsTheSelectionAndClearsWhenEmpty) {
  typeInto(english(), "the hacker");
  select(english(), "hack");
  EXPECT_EQ(markedText(l33t()), "hax0r");
  QTest::keyClick(english(), Qt::Key_Right, Qt::ShiftModifier);  // "hacke"
  EXPECT_EQ(markedText(l33t()), "hax0r3");
  english()->selectAll();
  EXPECT_EQ(markedText(l33t()), panePlatformText(*l33t()));
  QTest::keyClick(english(), Qt::Key_Left);
  EXPECT_EQ(marked(l33t()), detail::UnitRange{});
}

TEST_F(HighlightTest, ChangesNeitherTextNorUndo) {
  typeInto(english(), "the hacker");
  const std::string before[] = {text(english()), text(l33t())};
  const int undoSteps[] = {english()->document()->availableUndoSteps(),
                           l33t()->document()->availableUndoSteps()};
  select(l33t(), 0, 3);
  select(english(), 4, 6);
  EXPECT_EQ(markedText(l33t()), "hax0r");
  EXPECT_EQ(text(english()), before[0]);
  EXPECT_EQ(text(l33t()), before[1]);
  EXPECT_EQ(english()->document()->availableUndoSteps(), undoSteps[0]);
  EXPECT_EQ(l33t()->document()->availableUndoSteps(), undoSteps[1]);
  // The other pane's own selection stays.
  EXPECT_EQ(l33t()->textCursor().selectionStart(), 0);
  EXPECT_EQ(l33t()->textCursor().selectionEnd(), 3);
}

TEST_F(HighlightTest, FollowsEdits) {
  typeInto(english(), "the hacker");
  select(english(), "hack");
  typeInto(english(), "dude");  // replaces the selection
  EXPECT_EQ(marked(l33t()), detail::UnitRange{});
  select(english(), "dude");
  EXPECT_EQ(markedText(l33t()), "d00d");
  // An edit of the other pane translates back: the marked pane's selection is
  // marked again against the new translation.
  typeInto(l33t(), " ");
  EXPECT_EQ(markedText(l33t()), "d00d");
}

// Where each unit of a pane starts in its program form, for a text of whole
// characters of valid UTF-8.
class UnitOffsets {
 public:
  explicit UnitOffsets(const QPlainTextEdit& pane) {
    const QString units = panePlatformText(pane);
    bytes_.reserve(static_cast<std::size_t>(units.size()) + 1);
    std::size_t byte = 0;
    for (const QChar unit : units) {
      bytes_.push_back(byte);
      const char16_t code = unit.unicode();
      byte += code == u'\n' ? 2 : code < 0x80 ? 1 : code < 0x800 ? 2 : unit.isSurrogate() ? 2 : 3;
    }
    bytes_.push_back(byte);
  }
  std::size_t byteOf(int unit) const { return bytes_[static_cast<std::size_t>(unit)]; }
  // The unit that starts at `byte`.
  int unitOf(std::size_t byte) const {
    const auto at = std::lower_bound(bytes_.begin(), bytes_.end(), byte);
    EXPECT_EQ(*at, byte) << "inside a character";
    return static_cast<int>(at - bytes_.begin());
  }

 private:
  std::vector<std::size_t> bytes_;
};

// 20 MB: the marks are those of the whole text's alignment, and one off
// screen is scrolled into view.
TEST_F(HighlightTest, ExactInALargeText) {
  std::string line;
  for (int i = 0; line.size() < 1000; ++i)
    line += "the dude hacked " + std::to_string(i) + " caf\xC3\xA9s, elite!\r\n";
  std::string large;
  while (large.size() < (std::size_t{20} << 20)) large += line;
  replacePaneText(*english(), large);
  QCoreApplication::processEvents();
  const Translator translator(Direction::kEnglishToL33t, false, ReadRuleSet(settings, false));
  std::string translation;
  Alignment alignment;
  translator.TranslateAligned(text(english()), translation, alignment);
  ASSERT_EQ(translation, text(l33t()));
  const UnitOffsets englishBytes(*english()), l33tBytes(*l33t());

  const int length = english()->document()->characterCount() - 1;
  const int l33tLength = l33t()->document()->characterCount() - 1;
  struct Selection {
    bool inL33t;
    int begin, end;
  };
  for (const Selection s : {Selection{false, length / 2, length / 2 + 5000},
                            Selection{false, 10, length - 10}, Selection{true, 3, 4},
                            Selection{true, l33tLength - 40, l33tLength - 1}}) {
    l33t()->verticalScrollBar()->setValue(0);
    english()->verticalScrollBar()->setValue(0);
    select(s.inL33t ? l33t() : english(), s.begin, s.end);
    const UnitOffsets& from = s.inL33t ? l33tBytes : englishBytes;
    const UnitOffsets& to = s.inL33t ? englishBytes : l33tBytes;
    const std::size_t begin = from.byteOf(s.begin), end = from.byteOf(s.end);
    const Alignment::Range range =
        s.inL33t ? alignment.ToInput(begin, end) : alignment.ToOutput(begin, end);
    const detail::UnitRange expected{to.unitOf(range.begin), to.unitOf(range.end)};
    QPlainTextEdit* other = s.inL33t ? english() : l33t();
    EXPECT_EQ(marked(other), expected) << s.begin << " to " << s.end;
    const QRect shown = other->viewport()->rect();
    EXPECT_LE(other->cursorForPosition(shown.topLeft()).position(), expected.end);
    EXPECT_GE(other->cursorForPosition(shown.bottomRight()).position(), expected.begin);
  }
}

}  // namespace
}  // namespace glossmith::ui::testing
