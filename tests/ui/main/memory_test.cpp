// A translation that runs out of memory: the window says so and goes on. Run
// in a child process whose address space is capped, so that only that process
// meets the failure.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAction>
#include <QPlainTextEdit>
#include <QProcessEnvironment>
#include <QTest>

#include "core/rules/hardcore_table.h"
#include "core/settings.h"
#include "tests/ui/support/child_process.h"
#include "tests/ui/support/scripted_prompts.h"
#include "ui/main/mainwindow.h"
#include "ui/main/panetext.h"

namespace glossmith::ui::testing {
namespace {

constexpr char kChildVariable[] = "GLOSSMITH_TEST_CAPPED_MEMORY";
constexpr char kTestName[] = "TranslationMemoryTest.TooLargeTextKeepsOtherPane";

// Bytes of address space this process has mapped now.
rlim_t MappedBytes() {
  long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  return static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

void runCapped() {
  MemorySettings settings;
  WriteHardcoreDefaults(settings);
  settings.Write(kApp, kSectionGeneral, kKeyUseHard, "yes");
  // Every "a" becomes 16 MB of L33T.
  settings.Write(kApp, kSectionHardcore, "A", std::string(std::size_t{16} << 20, '4'));
  ScriptedPrompts prompts;
  MainWindow window(settings, prompts);
  auto* english = window.findChild<QPlainTextEdit*>("english");
  auto* l33t = window.findChild<QPlainTextEdit*>("l33t");
  ASSERT_TRUE(english && l33t);
  QTest::keyClicks(english, "hi");
  const std::string before = paneText(*l33t);
  ASSERT_EQ(before, "|-| ! ");

  const rlimit cap{MappedBytes() + (rlim_t{256} << 20), RLIM_INFINITY};
  ASSERT_EQ(setrlimit(RLIMIT_AS, &cap), 0);
  english->insertPlainText(QString(40, 'a'));  // 640 MB of L33T, in one edit
  ASSERT_EQ(prompts.messages().size(), 1);
  EXPECT_EQ(prompts.messages().front().title, "Error");
  EXPECT_TRUE(prompts.messages().front().text.startsWith("The text is too large to translate"));
  EXPECT_EQ(paneText(*l33t), before);

  // The next edit that fits translates as usual.
  english->selectAll();
  english->insertPlainText("hi");
  EXPECT_EQ(paneText(*l33t), before);
  EXPECT_EQ(prompts.messages().size(), 1);
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

TEST(TranslationMemoryTest, TooLargeTextKeepsOtherPane) {
  if (kUnderAddressSanitizer) {
    GTEST_SKIP() << "the address sanitizer reserves more address space than the cap allows";
  }
  if (qEnvironmentVariableIsSet(kChildVariable)) return runCapped();
  QProcessEnvironment environment;
  environment.insert(kChildVariable, "1");
  EXPECT_EQ(runTestInChildProcess(kTestName, environment), 0);
}

}  // namespace
}  // namespace glossmith::ui::testing
