#include "ui/info/versionline.h"

#include <gtest/gtest.h>

namespace glossmith::ui {
namespace {

TEST(AboutVersionLineTest, Table) {
  struct Case {
    const char* name;
    unsigned major, minor, revision;
    const char* expected;
  };
  const Case cases[] = {
      {"ThisRelease", 1, 2, 217, "Version v.1.2 Beta Build #0217"},
      {"OneDigitRevisionKeepsFixedZero", 1, 2, 5, "Version v.1.2 Beta Build #05"},
      {"FourDigitRevisionKeepsFixedZero", 1, 2, 1234, "Version v.1.2 Beta Build #01234"},
      {"RevisionZero", 1, 2, 0, "Version v.1.2 Beta Build #00"},
      {"AllZero", 0, 0, 0, "Version v.0.0 Beta Build #00"},
      {"MultiDigitMajorMinorNoPadding", 10, 20, 30, "Version v.10.20 Beta Build #030"},
      {"LargestRevision", 1, 2, 4294967295u, "Version v.1.2 Beta Build #04294967295"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(aboutVersionLine(c.major, c.minor, c.revision), QString::fromLatin1(c.expected))
        << c.name;
}

}  // namespace
}  // namespace glossmith::ui
