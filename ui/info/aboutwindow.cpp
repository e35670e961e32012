#include "aboutwindow.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "glossmith/version.h"
#include "ui/common/controls.h"
#include "ui/common/twips.h"
#include "versionline.h"

namespace glossmith::ui {

AboutWindow::AboutWindow(QWidget* mainWindow) : ChildWindow(mainWindow) {
  setObjectName(QStringLiteral("frmAbout"));
  setClientTwips(6030, 2595);
  setWindowTitle(QStringLiteral("About ") + QString::fromUtf8(kApplicationTitle));
  createLabels();
  createLines();
  createButton();
}

void AboutWindow::createLabels() {
  addLabel("lblTitle", QString::fromUtf8(kApplicationTitle), twipRect(120, 120, 3885, 225));
  addLabel("lblVersion", aboutVersionLine(kVersionMajor, kVersionMinor, kVersionRevision),
           twipRect(120, 360, 3885, 225));
  addLabel("lbldate", QStringLiteral("10/24/2001"), twipRect(120, 600, 3855, 255));

  // The credit column ends at the separator, so its lines stay short enough
  // for 145 pixels.
  addLabel("lblcredit", QStringLiteral("Credits:"), twipRect(120, 1080, 855, 255), true);
  addLabel("lblprogramming", QStringLiteral("Coding: Glossmith project"),
           twipRect(240, 1320, 2175, 255));
  addLabel("lbldevelopment", QStringLiteral("Design: Glossmith project"),
           twipRect(240, 1560, 2175, 255));
  addLabel("lbltesting", QStringLiteral("Testing: Glossmith project"),
           twipRect(240, 1800, 2175, 255));
  addLabel("lblcopyright", QStringLiteral("Copyright \u00a9 the Glossmith project"),
           twipRect(240, 2040, 2175, 495))
      ->setWordWrap(true);

  addLabel("lblContact", QStringLiteral("Contact:"), twipRect(2760, 1080, 855, 255), true);
  // Widened to the right-hand margin: a bold project name needs more than the
  // 89 pixels a personal name had, and nothing else stands on that line.
  addLabel("lblname", QStringLiteral("The Glossmith project"), twipRect(2880, 1320, 3000, 255),
           true);
}

void AboutWindow::createLines() {
  addLine("Line1", twipRect(120, 960, 5760, 15), QPalette::Dark);
  // An etched look: a grey line with a white one right beside it.
  const QRect grey = twipRect(2640, 1080, 15, 1440);
  addLine("Line2", grey, QPalette::Dark);
  addLine("Line3", grey.translated(1, 0), QPalette::Light);
}

void AboutWindow::createButton() {
  // Enter clicks the default button; Esc closes the dialog the same way.
  QPushButton* ok =
      addDefaultButton(this, "cmdOK", QStringLiteral("OK"), twipRect(4680, 120, 1260, 345));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QLabel* AboutWindow::addLabel(const char* name, const QString& text, const QRect& geometry,
                              bool bold) {
  QLabel* label = ui::addLabel(this, name, text, geometry);
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  return label;
}

QFrame* AboutWindow::addLine(const char* name, const QRect& geometry, QPalette::ColorRole colour) {
  auto* line = new QFrame(this);
  line->setObjectName(QString::fromLatin1(name));
  line->setFrameShape(geometry.width() >= geometry.height() ? QFrame::HLine : QFrame::VLine);
  line->setFrameShadow(QFrame::Plain);
  line->setLineWidth(1);
  // A plain line is drawn in the text colour; give it the separator's colour.
  QPalette palette = line->palette();
  palette.setColor(QPalette::WindowText, palette.color(colour));
  line->setPalette(palette);
  line->setGeometry(geometry);
  return line;
}

}  // namespace glossmith::ui
