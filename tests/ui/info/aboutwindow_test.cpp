#include "ui/info/aboutwindow.h"

#include <gtest/gtest.h>

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <memory>

#include "glossmith/version.h"
#include "info_window_fixture.h"
#include "tests/ui/support/caption_fit.h"
#include "tests/ui/support/layout_checks.h"
#include "ui/common/twips.h"
#include "ui/info/versionline.h"

namespace glossmith::ui {
namespace {

using AboutWindowTest = InfoWindowTest<AboutWindow>;

TEST_F(AboutWindowTest, CaptionAndObjectNameComeFromTheBuildTitle) {
  EXPECT_EQ(window_->objectName(), QStringLiteral("frmAbout"));
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("About Glossmith"));
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("About ") + QString::fromUtf8(kApplicationTitle));
}

TEST_F(AboutWindowTest, FixedTexts) {
  struct Case {
    const char* name;
    QString text;
  };
  const Case cases[] = {
      {"lblTitle", QStringLiteral("Glossmith")},
      {"lblVersion", aboutVersionLine(kVersionMajor, kVersionMinor, kVersionRevision)},
      {"lbldate", QStringLiteral("10/24/2001")},
      {"lblcredit", QStringLiteral("Credits:")},
      {"lblContact", QStringLiteral("Contact:")},
  };
  for (const Case& c : cases) {
    QLabel* l = label(c.name);
    ASSERT_NE(l, nullptr) << c.name;
    EXPECT_EQ(l->text(), c.text) << c.name;
  }
}

TEST_F(AboutWindowTest, CreditsAndContactNameTheProjectOnly) {
  for (const char* name :
       {"lblprogramming", "lbldevelopment", "lbltesting", "lblcopyright", "lblname"}) {
    QLabel* l = label(name);
    ASSERT_NE(l, nullptr) << name;
    EXPECT_TRUE(l->text().contains(QStringLiteral("Glossmith project"))) << name;
    EXPECT_FALSE(l->text().contains(QLatin1Char('@'))) << name << " must not show an address";
  }
}

TEST_F(AboutWindowTest, OnlyHeadingsAndNameAreBold) {
  const QStringList bold = {QStringLiteral("lblcredit"), QStringLiteral("lblContact"),
                            QStringLiteral("lblname")};
  for (QLabel* l : window_->findChildren<QLabel*>())
    EXPECT_EQ(l->font().bold(), bold.contains(l->objectName())) << l->objectName().toStdString();
}

TEST_F(AboutWindowTest, OkIsTheDefaultButton) {
  auto* ok = window_->findChild<QPushButton*>(QStringLiteral("cmdOK"));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
  EXPECT_TRUE(ok->isDefault());
}

TEST_F(AboutWindowTest, FixedClientArea) {
  EXPECT_EQ(window_->size(), twipSize(6030, 2595));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
}

TEST_F(AboutWindowTest, EveryCaptionShowsInFull) {
  EXPECT_EQ(testing::lines(testing::captionsThatDoNotFit(window_)), "");
  EXPECT_EQ(testing::lines(testing::layoutProblems(window_)), "");
}

TEST_F(AboutWindowTest, SeparatorsAreDrawn) {
  struct Case {
    const char* name;
    QFrame::Shape shape;
    QPalette::ColorRole colour;
  };
  const Case cases[] = {
      {"Line1", QFrame::HLine, QPalette::Dark},
      {"Line2", QFrame::VLine, QPalette::Dark},
      {"Line3", QFrame::VLine, QPalette::Light},
  };
  const QImage shot = window_->grab().toImage();
  for (const Case& c : cases) {
    auto* line = window_->findChild<QFrame*>(QString::fromLatin1(c.name));
    ASSERT_NE(line, nullptr) << c.name;
    EXPECT_EQ(line->frameShape(), c.shape) << c.name;
    const QPoint middle = line->geometry().center();
    EXPECT_EQ(shot.pixel(middle * shot.devicePixelRatio()), window_->palette().color(c.colour).rgb())
        << c.name;
  }
  // The etched pair: grey on the left, white right beside it, the same length.
  const QRect grey = window_->findChild<QFrame*>(QStringLiteral("Line2"))->geometry();
  const QRect white = window_->findChild<QFrame*>(QStringLiteral("Line3"))->geometry();
  EXPECT_EQ(white, grey.translated(grey.width(), 0));
  EXPECT_LT(window_->palette().color(QPalette::Dark).lightness(),
            window_->palette().color(QPalette::Light).lightness());
}

}  // namespace
}  // namespace glossmith::ui
