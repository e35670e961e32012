#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include "core/rules/custom_list.h"
#include "editor_fixture.h"
#include "ui/editors/customwordswindow.h"
#include "ui/editors/hardcorewindow.h"

namespace glossmith::ui::testing {
namespace {

// A line break inside a Custom string would split its stored entry in two, so
// no field of the editors lets one through, however the text arrives.
class LineBreaksTest : public EditorTest {
 protected:
  enum class Arrival { kPaste, kSetText };
  static void put(QLineEdit* field, Arrival arrival, const QString& text) {
    if (arrival == Arrival::kPaste)
      pasteInto(field, text);
    else
      field->setText(text);
  }
  static constexpr const char* kLines = "one\r\ntwo\nthree\rfour\r\n";
  static constexpr const char* kJoined = "onetwothreefour";
};

TEST_F(LineBreaksTest, CustomStringFieldsStayOnOneLine) {
  struct Case {
    const char* name;
    const char* field;
    Arrival arrival;
    std::vector<std::string> search, replace;  // stored entries afterwards
  };
  const Case cases[] = {
      {"PastedSearch", "addstring", Arrival::kPaste, {"a", kJoined}, {"1", "x"}},
      {"SetSearch", "addstring", Arrival::kSetText, {"a", kJoined}, {"1", "x"}},
      {"PastedReplacement", "addreplace", Arrival::kPaste, {"a", "x"}, {"1", kJoined}},
      {"SetReplacement", "addreplace", Arrival::kSetText, {"a", "x"}, {"1", kJoined}},
      {"PastedEdit", "editreplace", Arrival::kPaste, {"a"}, {kJoined}},
      {"SetEdit", "editreplace", Arrival::kSetText, {"a"}, {kJoined}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    seed(kSectionChange, kKeySearch, "a\r\n");
    seed(kSectionChange, kKeyReplace, "1\r\n");
    auto* window = open<CustomWordsWindow>();
    const bool editing = std::string_view(c.field) == "editreplace";
    if (editing) {
      clickListItem(control<QComboBox>(window, "replacebox"), 0);
    } else {
      control<QLineEdit>(window, "addstring")->setText(QStringLiteral("x"));
      control<QLineEdit>(window, "addreplace")->setText(QStringLiteral("x"));
    }
    auto* field = control<QLineEdit>(window, c.field);
    put(field, c.arrival, QString::fromLatin1(kLines));
    EXPECT_EQ(field->text(), QString::fromLatin1(kJoined));
    control<QPushButton>(window, editing ? "updatestringbutton" : "addstringbutton")->click();

    EXPECT_EQ(stored(kSectionChange, kKeySearch), JoinList(c.search));
    EXPECT_EQ(stored(kSectionChange, kKeyReplace), JoinList(c.replace));
    window->close();
    settle();
  }
}

TEST_F(LineBreaksTest, HardcoreFieldsStayOnOneLine) {
  for (Arrival arrival : {Arrival::kPaste, Arrival::kSetText}) {
    SCOPED_TRACE(arrival == Arrival::kPaste ? "Paste" : "SetText");
    auto* window = open<HardcoreWindow>();
    put(control<QComboBox>(window, "lettersbox")->lineEdit(), arrival, QStringLiteral("k\r\ney"));
    put(control<QLineEdit>(window, "customletter"), arrival, QStringLiteral("|\n<\r"));
    control<QPushButton>(window, "update")->click();
    EXPECT_EQ(stored(kSectionHardcore, "key"), "|<");
    window->close();
    settle();
  }
}

TEST_F(LineBreaksTest, PasteInTheMiddleKeepsTheCaretAfterThePastedText) {
  auto* window = open<CustomWordsWindow>();
  auto* field = control<QLineEdit>(window, "addstring");
  field->setText(QStringLiteral("ab"));
  field->setCursorPosition(1);
  QGuiApplication::clipboard()->setText(QStringLiteral("x\r\ny\n"));
  QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(field->text(), QStringLiteral("axyb"));
  EXPECT_EQ(field->cursorPosition(), 3);
}

}  // namespace
}  // namespace glossmith::ui::testing
