#include "instructionswindow.h"

#include <QLabel>
#include <QPushButton>

#include "ui/common/controls.h"
#include "ui/common/twips.h"

namespace glossmith::ui {

namespace {

struct Paragraph {
  const char* name;
  QString text;
  QRect plan;  // in twips
};

}  // namespace

InstructionsWindow::InstructionsWindow(QWidget* mainWindow) : ChildWindow(mainWindow) {
  setObjectName(QStringLiteral("frmInstructions"));
  setWindowTitle(QStringLiteral("Instructions"));
  const int extraHeight = createLabels();
  createButton();
  setClientTwips(4095, 4770);
  setFixedHeight(height() + extraHeight);
}

int InstructionsWindow::createLabels() {
  QLabel* heading = addLabel(this, "lblinstructions", QStringLiteral("Instructions:"),
                             twipRect(120, 120, 1215, 255));
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);

  const Paragraph paragraphs[] = {
      {"lblinst",
       QStringLiteral(
           "To translate regular English text to L33T, type normally into the top textbox. Your "
           "text is then converted to L33T in the bottom box. To copy this text to the clip "
           "board, press the button labeled \"Copy L33T to Clipboard\". Do just the opposite to "
           "translate L33T into English*."),
       QRect(240, 360, 2295, 1815)},
      {"lblinstruc",
       QStringLiteral("You can also paste information from the clipboard into either text field "
                      "by using their respective buttons."),
       QRect(240, 2280, 2295, 855)},
      {"lblinast",
       QStringLiteral("* - Due to the nature of L33T and its use of numbers in the place of "
                      "letters, when translating from L33T to english, the numbers 1, 3, 4, 5, 7 "
                      "and 0 may appear as L, E, A, S, T, and O respectively."),
       QRect(240, 3240, 2295, 1455)},
  };

  // The paragraphs keep their planned widths and grow downwards when the
  // font needs more lines than planned; everything below moves down with them.
  int shift = 0;
  for (const Paragraph& p : paragraphs) {
    QRect geometry = twipRect(p.plan.x(), p.plan.y(), p.plan.width(), p.plan.height());
    geometry.translate(0, shift);
    QLabel* label = addWrappedLabel(this, p.name, p.text, geometry);
    const int needed = label->heightForWidth(geometry.width());
    if (needed > geometry.height()) {
      shift += needed - geometry.height();
      geometry.setHeight(needed);
    }
    label->setGeometry(geometry);
  }
  return shift;
}

void InstructionsWindow::createButton() {
  QPushButton* ok =
      addDefaultButton(this, "OKButton", QStringLiteral("OK"), twipRect(2760, 120, 1215, 375));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace glossmith::ui
