// The linked panes translate a change piece by piece; after every change the
// other pane must hold exactly what translating the whole pane gives.
#include <gtest/gtest.h>

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <random>
#include <string>

#include "core/rules/hardcore_table.h"
#include "core/rules/reference.h"
#include "core/rules/rule_set.h"
#include "core/settings.h"
#include "core/translate.h"
#include "store/inisettings.h"
#include "main_window_fixture.h"
#include "tests/ui/support/scripted_prompts.h"
#include "ui/main/mainwindow.h"
#include "ui/main/panelink.h"
#include "ui/main/panetext.h"
#include "ui/main/textpane.h"

namespace glossmith::ui::testing {
namespace {

// Every ASCII byte, CR and LF included (never next to each other as CR LF):
// a Custom pair with it as find string and replacement leaves no split byte.
std::string everyAsciiByte() {
  std::string bytes;
  for (int b = 0; b < 128; ++b) bytes += static_cast<char>(b);
  return bytes;
}

struct Rules {
  const char* name;
  bool hardcore;
  std::string search;  // stored lists, "" for none
  std::string replace;
};

// Two panes linked as the main window links them, with short pieces so that
// a short text has many.
class LinkedPanes {
 public:
  explicit LinkedPanes(const Rules& rules) : rules_(rules), hardcore_(rules.hardcore) {
    WriteHardcoreDefaults(settings_);
    changeRules(false);
    for (QPlainTextEdit* pane : {&english, &l33t})
      QObject::connect(pane, &QPlainTextEdit::textChanged, pane, [this, pane] {
        if (guard_) return;
        guard_ = true;
        link_.translate(*pane, hardcore_, settings_);
        translated = pane;
        guard_ = false;
      });
  }

  // The other pane shows the whole translation of `source`, as writing it
  // into the pane shows it.
  ::testing::AssertionResult agree(const QPlainTextEdit& source) const {
    const std::string text = paneText(source);
    const std::string translation = &source == &english ? EnglishToL33t(text, hardcore_, settings_)
                                                        : L33tToEnglish(text, hardcore_, settings_);
    const QString expected = detail::platformFromProgramText(translation);
    const QString actual = panePlatformText(&source == &english ? l33t : english);
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "source " << ::testing::PrintToString(text) << "\n  gives "
           << ::testing::PrintToString(actual.toStdString()) << "\n  not   "
           << ::testing::PrintToString(expected.toStdString());
  }

  // Where units [begin, end) of `pane` lie in the other pane, by the link
  // and by the reference's alignment of the whole text.
  std::optional<detail::UnitRange> counterpart(const QPlainTextEdit& pane, int begin,
                                               int end) const {
    return link_.counterpart(pane, begin, end);
  }
  detail::UnitRange wholeCounterpart(const QPlainTextEdit& pane, int begin, int end) const {
    const RuleSet rules = ReadRuleSet(settings_, hardcore_);
    detail::AlignedPiece whole;
    whole.source = paneText(*translated);
    AlignedText aligned = translated == &english
                              ? reference::EnglishToL33tAligned(whole.source, hardcore_, rules)
                              : reference::L33tToEnglishAligned(whole.source, hardcore_, rules);
    whole.target = std::move(aligned.text);
    whole.alignment = std::move(aligned.alignment);
    const bool fromSource = &pane == translated;
    return {detail::otherStart(whole, fromSource, begin), detail::otherEnd(whole, fromSource, end)};
  }

  // The rules of the test, or with a Custom pair more and the other mode.
  void changeRules(bool changed) {
    const std::string more = changed ? "he\r\n" : "";
    settings_.Write(kApp, kSectionChange, kKeySearch, rules_.search + more);
    settings_.Write(kApp, kSectionChange, kKeyReplace, rules_.replace + (changed ? "HE\r\n" : ""));
    hardcore_ = rules_.hardcore != changed;
  }

  TextPane english;
  TextPane l33t;
  const QPlainTextEdit* translated = nullptr;  // the pane translated last

 private:
  MemorySettings settings_;
  Rules rules_;
  bool hardcore_;
  bool guard_ = false;
  PaneLink link_{english, l33t, 6};
};

void PrintTo(const Rules& rules, std::ostream* out) { *out << rules.name; }

class RandomEditsTest : public ::testing::TestWithParam<Rules> {};

// Text that the rules act on, line breaks, characters outside ASCII (one of
// them a surrogate pair) and a byte order mark.
QString randomText(std::mt19937& random, int length) {
  static const QStringList kParts = {
      "the ",        "dude ", "s ", "elite", "hack",
      "4",           "|3",    "ph", "0",     "5 ",
      "7",           ". ",    ", ", "a",     "\n",
      "\n",          "\r\n",  "#",  "é",     QString::fromUtf8("\xF0\x9F\x98\x80"),
      QChar(0xFEFF), "ss ",   "T",  "|-|",   "x"};
  QString text;
  while (text.size() < length) text += kParts[static_cast<qsizetype>(random() % kParts.size())];
  return text;
}

// One user edit of `pane` at random: typing, deleting, pasting lines,
// splitting or joining a line, undo, redo, or replacing everything.
void randomEdit(std::mt19937& random, QPlainTextEdit& pane) {
  QTextCursor cursor = pane.textCursor();
  const int length = pane.document()->characterCount() - 1;
  const auto at = [&] { return static_cast<int>(random() % static_cast<unsigned>(length + 1)); };
  switch (random() % 8) {
    case 0:
    case 1:
      cursor.setPosition(at());
      cursor.insertText(randomText(random, 1 + static_cast<int>(random() % 3)));
      break;
    case 2: {
      const int from = at();
      cursor.setPosition(from);
      cursor.setPosition(std::min(length, from + static_cast<int>(random() % 12)),
                         QTextCursor::KeepAnchor);
      cursor.removeSelectedText();
      break;
    }
    case 3:
      cursor.setPosition(at());
      pane.setTextCursor(cursor);
      pane.insertPlainText(randomText(random, 20 + static_cast<int>(random() % 40)));
      break;
    case 4: {  // a line break typed, or one removed
      cursor.setPosition(at());
      if (random() % 2 != 0 || pane.document()->blockCount() == 1) {
        cursor.insertBlock();
      } else {
        const QTextBlock block = pane.document()->findBlock(at()).previous();
        if (!block.isValid()) break;
        cursor.setPosition(block.position() + block.length() - 1);
        cursor.deleteChar();
      }
      break;
    }
    case 5: pane.undo(); break;
    case 6: pane.redo(); break;
    default:
      if (random() % 8 == 0)
        replacePaneText(pane, randomText(random, static_cast<int>(random() % 90)));
      break;
  }
}

TEST_P(RandomEditsTest, OtherPaneIsAlwaysTheWholeTranslation) {
  LinkedPanes panes(GetParam());
  std::mt19937 random(20);
  replacePaneText(panes.english, randomText(random, 120));
  ASSERT_TRUE(panes.agree(panes.english));
  QPlainTextEdit* source = &panes.english;
  for (int edit = 0; edit < 700; ++edit) {
    if (random() % 40 == 0) source = source == &panes.english ? &panes.l33t : &panes.english;
    if (random() % 50 == 0) panes.changeRules(random() % 2 != 0);
    randomEdit(random, *source);
    // An undo with nothing to undo changes nothing, and translates nothing.
    ASSERT_TRUE(panes.agree(*panes.translated)) << "edit " << edit;
  }
}

// A selection of either pane maps to the other as the alignment of the whole
// text says, though the link aligns only the pieces that hold its ends.
TEST_P(RandomEditsTest, CounterpartIsTheWholeAlignments) {
  LinkedPanes panes(GetParam());
  std::mt19937 random(32);
  replacePaneText(panes.english, randomText(random, 120));
  QPlainTextEdit* source = &panes.english;
  for (int edit = 0; edit < 200; ++edit) {
    if (random() % 30 == 0) source = source == &panes.english ? &panes.l33t : &panes.english;
    randomEdit(random, *source);
    for (const QPlainTextEdit* pane : {&panes.english, &panes.l33t}) {
      const auto length = static_cast<unsigned>(pane->document()->characterCount() - 1);
      if (length == 0) continue;
      const int begin = static_cast<int>(random() % length);
      const int end = begin + 1 + static_cast<int>(random() % std::min(length - begin, 30u));
      const auto found = panes.counterpart(*pane, begin, end);
      ASSERT_TRUE(found) << "edit " << edit;
      ASSERT_EQ(*found, panes.wholeCounterpart(*pane, begin, end))
          << "edit " << edit << ", units " << begin << " to " << end << " of "
          << (pane == &panes.english ? "English" : "L33T");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    , RandomEditsTest,
    ::testing::Values(
        Rules{"Standard", false, "", ""}, Rules{"Hardcore", true, "", ""},
        // Replacements with line breaks of their own.
        Rules{"BreakingReplacements", false, "dude\r\nthe\r\ns \r\n", "d\nude\r\nth\re\r\n\r\r\n"},
        // Find strings that hold line breaks: CR and LF are not split bytes.
        Rules{"BreakingFinds", false, "\nthe\r\ns\r\r\na\n\r\n", "THE\r\nZ\r\n\nA\r\n"},
        Rules{"NoSplitByte", false, everyAsciiByte() + "\r\n", everyAsciiByte() + "\r\n"}),
    [](const ::testing::TestParamInfo<Rules>& info) { return std::string(info.param.name); });

// Units before each byte of a program text, rounded down and up to whole
// characters and line breaks, and the byte each unit starts at.
TEST(UnitBytesTest, CountsUnitsAsThePaneDecodes) {
  struct Case {
    const char* name;
    std::string program;
    bool textStart;
    std::vector<int> down;  // units before bytes 0 .. size
    std::vector<int> up;
  };
  const Case cases[] = {
      {"ascii", "ab", true, {0, 1, 2}, {0, 1, 2}},
      {"two byte character", "a\xC3\xA9" "b", true, {0, 1, 1, 2, 3}, {0, 1, 2, 2, 3}},
      {"CR LF is one unit", "a\r\nb", true, {0, 1, 1, 2, 3}, {0, 1, 2, 2, 3}},
      {"lone CR and LF", "\r\n\n\r", true, {0, 0, 1, 2, 3}, {0, 1, 1, 2, 3}},
      {"surrogate pair", "\xF0\x9F\x98\x80", true, {0, 0, 0, 0, 2}, {0, 2, 2, 2, 2}},
      {"byte order mark dropped", "\xEF\xBB\xBF" "a", true, {0, 0, 0, 0, 1}, {0, 0, 0, 0, 1}},
      {"byte order mark kept", "\xEF\xBB\xBF" "a", false, {0, 0, 0, 1, 2}, {0, 1, 1, 1, 2}},
  };
  for (const Case& c : cases) {
    const detail::UnitBytes units(c.program, c.textStart);
    for (std::size_t byte = 0; byte <= c.program.size(); ++byte) {
      EXPECT_EQ(units.unitsBefore(byte, detail::UnitBytes::Round::kDown), c.down[byte])
          << c.name << ", byte " << byte;
      EXPECT_EQ(units.unitsBefore(byte, detail::UnitBytes::Round::kUp), c.up[byte])
          << c.name << ", byte " << byte;
    }
    // A unit starts at the first byte whose units before reach it.
    for (int unit = 0; unit <= c.down.back(); ++unit) {
      const std::size_t byte = units.byteOf(unit);
      EXPECT_GE(c.down[byte], unit) << c.name << ", unit " << unit;
      if (byte > 0) {
        EXPECT_LT(c.down[byte - 1], unit) << c.name << ", unit " << unit;
      }
    }
  }
}

// A settings file changed by hand while the window runs is read at the next
// keystroke, which then translates the whole text with the new rules.
TEST(HandEditedSettingsTest, EditInForceAtNextKeystroke) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath("l33t.ini");
  IniSettings settings(file);
  ScriptedPrompts prompts;
  MainWindow window(settings, prompts);
  window.show();
  auto* english = window.findChild<QPlainTextEdit*>("english");
  auto* l33t = window.findChild<QPlainTextEdit*>("l33t");
  english->setFocus();
  QTest::keyClicks(english, "hello");
  EXPECT_EQ(paneText(*l33t), "h3110");

  QFile edited(file);
  ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
  edited.write("[change]\nsearch=\"hello\\r\\n\"\nreplace=\"howdy\\r\\n\"\n");
  edited.close();
  QTest::keyClick(english, ' ');
  EXPECT_EQ(paneText(*l33t), "h0wdy ");
}

// Ctrl+Z undoes the user's own edit in either pane, and the other pane
// follows; the program's rewrites are not in the other pane's history.
TEST_F(MainWindowTest, UndoInEitherPaneIsFollowedByTheOther) {
  for (QPlainTextEdit* source : {english(), l33t()}) {
    QPlainTextEdit* target = source == english() ? l33t() : english();
    typeInto(source, "dude the");
    EXPECT_FALSE(target->document()->isUndoAvailable()) << source->objectName().toStdString();
    const std::string typed = text(source);
    QTest::keyClick(source, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(text(source), typed);
    const std::string translation = source == english()
                                        ? EnglishToL33t(text(source), false, settings)
                                        : L33tToEnglish(text(source), false, settings);
    EXPECT_EQ(text(target), translation);
  }
}

}  // namespace
}  // namespace glossmith::ui::testing
