#include "editor_fixture.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTest>
#include <ostream>

#include "store/inisettings.h"
#include "tests/ui/support/widget_steps.h"

void PrintTo(const QString& text, std::ostream* os) {
  *os << ::testing::PrintToString(text.toStdString());
}

void PrintTo(const QStringList& texts, std::ostream* os) {
  *os << '{';
  for (qsizetype i = 0; i < texts.size(); ++i) {
    if (i) *os << ", ";
    PrintTo(texts[i], os);
  }
  *os << '}';
}

namespace glossmith::ui::testing {

EditorTest::EditorTest()
    : path_(dir_.filePath(QStringLiteral("l33t.ini"))),
      store_(std::make_unique<IniSettings>(path_)),
      settings_(*store_) {
  pane_ = new QLineEdit(QStringLiteral("text in a pane"));
  mainWindow_.setCentralWidget(pane_);
  mainWindow_.show();
}

EditorTest::~EditorTest() {
  // Editors left open close with the main window; let them go first.
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != &mainWindow_) w->close();
  settle();
}

void EditorTest::seed(std::string_view section, std::string_view key, std::string_view value) {
  IniSettings(path_).Write(kApp, section, key, value);
}

std::string EditorTest::stored(std::string_view section, std::string_view key) const {
  return IniSettings(path_).Read(kApp, section, key);
}

void EditorTest::settle() {
  flushDeletes();
  QApplication::processEvents();
}

void EditorTest::expectBoxes(const std::vector<ExpectedBox>& expected, QWidget* parent) {
  const auto& shown = prompts_.messages();
  ASSERT_EQ(static_cast<std::size_t>(shown.size()), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto& box = shown[static_cast<qsizetype>(i)];
    SCOPED_TRACE(::testing::Message() << "message box " << i << ": " << box.text.toStdString());
    EXPECT_EQ(box.icon, expected[i].icon);
    EXPECT_EQ(box.title, expected[i].title);
    EXPECT_EQ(box.text, expected[i].text);
    EXPECT_EQ(box.buttons, expected[i].buttons);
    EXPECT_EQ(box.defaultButton, expected[i].defaultButton);
    EXPECT_EQ(box.parent, parent);
  }
}

void EditorTest::clickListItem(QComboBox* box, int index) {
  ASSERT_LT(index, box->count());
  box->showPopup();
  QAbstractItemView* list = box->view();
  ASSERT_TRUE(list->isVisible());
  const QModelIndex at = list->model()->index(index, box->modelColumn());
  list->scrollTo(at);
  const QRect item = list->visualRect(at);
  ASSERT_TRUE(list->viewport()->rect().contains(item.center()));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
  QApplication::processEvents();
  ASSERT_FALSE(list->isVisible());
}

void EditorTest::typeInto(QLineEdit* field, const QString& text) {
  field->setFocus();
  field->selectAll();
  if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Delete);
  for (QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(field, c.toLatin1());
    } else {
      // Beyond ASCII there is no key code; the key event carries the text alone.
      QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
      QApplication::sendEvent(field, &press);
      QApplication::sendEvent(field, &release);
    }
  }
}

void EditorTest::pasteInto(QLineEdit* field, const QString& text) {
  QGuiApplication::clipboard()->setText(text);
  field->setFocus();
  field->selectAll();
  QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
}

}  // namespace glossmith::ui::testing
