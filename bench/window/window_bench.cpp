// Editing a pane of the main window while it holds a large text. One
// iteration is one edit, from the key (or the paste) until it has been handled
// and the window has repainted; by then the other pane holds the translation
// of the whole edited pane. That is checked outside the clock before the first
// edit and after the last one, and every few edits for texts up to 10 MB.
//
// Typing cycles through a letter, Backspace, Return and Backspace in the
// middle of the text, so the size stays the same; a paste inserts 1 KB with
// line breaks at the caret and is undone outside the clock. Typing into the
// L33T pane starts after one untimed key there, which moves the translation's
// direction (and so retranslates the whole text once).
//
// Each run reports the median and the slowest edit (median_ms, max_ms) and,
// for typing, the median of each key (letter_ms, backspace_ms, return_ms);
// load_s is how long putting the text into the English pane took, the
// translation included.
// --keys=N sets the edits per run (default 40), for slow builds.
//
// BM_SelectHighlight selects a stretch of words in one pane and then in the
// other, at places spread over the text, and times each selection until the
// counterpart is marked (and scrolled to) in the other pane, in the process's
// processor time: median_ms and max_ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>
#include <ctime>
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/support/english.h"
#include "core/engine/engine.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/rule_set.h"
#include "core/settings.h"
#include "core/translate.h"
#include "ui/common/appearance.h"
#include "ui/common/prompts.h"
#include "ui/main/mainwindow.h"
#include "ui/main/panetext.h"

namespace glossmith::ui {
namespace {

int edits = 40;

enum class Edit { kTyping, kPaste };
enum class Text { kProse, kNoSplitByte };

struct Case {
  int megabytes;
  bool hardcore;
  bool l33tPane;  // edits go into the L33T pane
  Edit edit;
  Text text;
};

bool PanesAgree(const QPlainTextEdit& english, const QPlainTextEdit& l33t, bool fromL33t,
                bool hardcore, const Settings& settings) {
  if (fromL33t) return paneText(english) == L33tToEnglish(paneText(l33t), hardcore, settings);
  return paneText(l33t) == EnglishToL33t(paneText(english), hardcore, settings);
}

// English prose with every byte that the rules of `settings` do not look for
// turned into a space: a text that cannot be cut anywhere (when the rules look
// for line breaks).
std::string WithoutSplitBytes(std::string text, bool hardcore, const Settings& settings) {
  const Translator translator(Direction::kEnglishToL33t, hardcore, ReadRuleSet(settings, hardcore));
  for (char& c : text)
    if (translator.IsSplitByte(static_cast<unsigned char>(c))) c = ' ';
  return text;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

// 1 KB of English in lines, in the platform's form, as a paste carries it.
QString PastedText() {
  std::string text = bench::EnglishProse(1024);
  QString lines = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return lines;
}

void BM_EditPane(benchmark::State& state, Case c) {
  const std::size_t bytes = static_cast<std::size_t>(c.megabytes) << 20;
  MemorySettings settings;
  if (c.hardcore) {
    WriteHardcoreDefaults(settings);
    settings.Write(kApp, kSectionGeneral, kKeyUseHard, "yes");
  }
  if (c.text == Text::kNoSplitByte) {
    // Custom pairs that look for CR and LF (and never match in text with CR
    // LF line breaks), so that the text keeps its lines and no byte is free.
    settings.Write(kApp, kSectionChange, kKeySearch, "\r\r\r\n\n\n\r\n");
    settings.Write(kApp, kSectionChange, kKeyReplace, "\r\r\r\n\n\n\r\n");
  }
  QtPrompts prompts;
  MainWindow window(settings, prompts);
  window.show();
  auto* english = window.findChild<QPlainTextEdit*>(QStringLiteral("english"));
  auto* l33t = window.findChild<QPlainTextEdit*>(QStringLiteral("l33t"));
  QPlainTextEdit* pane = c.l33tPane ? l33t : english;

  std::string text = bench::EnglishProse(bytes);
  if (c.text == Text::kNoSplitByte) text = WithoutSplitBytes(std::move(text), c.hardcore, settings);
  QElapsedTimer load;
  load.start();
  replacePaneText(*english, text);
  QCoreApplication::processEvents();
  const double loadSeconds = static_cast<double>(load.nsecsElapsed()) * 1e-9;
  text = std::string();

  // Edit in the middle of the text, the caret where the user left it.
  pane->setFocus();
  QTextCursor caret = pane->textCursor();
  caret.setPosition(pane->document()->characterCount() / 2);
  pane->setTextCursor(caret);
  if (c.l33tPane) {
    QTest::keyClick(pane, Qt::Key_E);
    QTest::keyClick(pane, Qt::Key_Backspace);
  }
  QCoreApplication::processEvents();
  const bool check = c.megabytes <= 10;
  if (!PanesAgree(*english, *l33t, c.l33tPane, c.hardcore, settings)) {
    state.SkipWithError("the panes disagree before editing");
    return;
  }

  static constexpr Qt::Key kCycle[] = {Qt::Key_E, Qt::Key_Backspace, Qt::Key_Return,
                                       Qt::Key_Backspace};
  const QString pasted = PastedText();
  std::vector<double> all;
  std::map<Qt::Key, std::vector<double>> byKey;
  for (auto _ : state) {
    const Qt::Key key = kCycle[all.size() % 4];
    QElapsedTimer clock;
    clock.start();
    if (c.edit == Edit::kPaste)
      pane->insertPlainText(pasted);
    else
      QTest::keyClick(pane, key);
    QCoreApplication::processEvents();
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
    state.SetIterationTime(elapsed);
    all.push_back(elapsed);
    if (c.edit == Edit::kPaste) {
      state.PauseTiming();
      pane->undo();
      QCoreApplication::processEvents();
      state.ResumeTiming();
    } else {
      byKey[key].push_back(elapsed);
    }
    if (check && all.size() % 16 == 0 &&
        !PanesAgree(*english, *l33t, c.l33tPane, c.hardcore, settings)) {
      state.SkipWithError("the panes disagree after an edit");
      return;
    }
  }
  if (!PanesAgree(*english, *l33t, c.l33tPane, c.hardcore, settings)) {
    state.SkipWithError("the panes disagree after the last edit");
    return;
  }

  state.counters["load_s"] = loadSeconds;
  state.counters["median_ms"] = Median(all) * 1e3;
  state.counters["max_ms"] = *std::max_element(all.begin(), all.end()) * 1e3;
  if (c.edit == Edit::kTyping) {
    state.counters["letter_ms"] = Median(byKey[Qt::Key_E]) * 1e3;
    state.counters["backspace_ms"] = Median(byKey[Qt::Key_Backspace]) * 1e3;
    state.counters["return_ms"] = Median(byKey[Qt::Key_Return]) * 1e3;
  }
}

double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void BM_SelectHighlight(benchmark::State& state, int megabytes) {
  MemorySettings settings;
  QtPrompts prompts;
  MainWindow window(settings, prompts);
  window.show();
  auto* english = window.findChild<QPlainTextEdit*>(QStringLiteral("english"));
  auto* l33t = window.findChild<QPlainTextEdit*>(QStringLiteral("l33t"));
  replacePaneText(*english, bench::EnglishProse(static_cast<std::size_t>(megabytes) << 20));
  QCoreApplication::processEvents();
  english->setFocus();

  std::vector<double> all;
  for (auto _ : state) {
    QPlainTextEdit* pane = all.size() % 2 == 0 ? english : l33t;
    const int length = pane->document()->characterCount() - 1;
    // Some 60 units, at a place that moves through the text by a prime step.
    const int begin = static_cast<int>((static_cast<long long>(all.size()) * 7919 * 104729) %
                                       std::max(1, length - 64));
    QTextCursor cursor = pane->textCursor();
    cursor.setPosition(begin);
    cursor.setPosition(begin + 60, QTextCursor::KeepAnchor);
    const double start = ProcessSeconds();
    pane->setTextCursor(cursor);
    QCoreApplication::processEvents();
    const double elapsed = ProcessSeconds() - start;
    if ((pane == english ? l33t : english)->extraSelections().isEmpty()) {
      state.SkipWithError("nothing was marked");
      return;
    }
    state.SetIterationTime(elapsed);
    all.push_back(elapsed);
  }
  state.counters["median_ms"] = Median(all) * 1e3;
  state.counters["max_ms"] = *std::max_element(all.begin(), all.end()) * 1e3;
}

void RegisterCases() {
  struct Named {
    const char* name;
    Case c;
  };
  std::vector<Named> cases;
  for (const bool hardcore : {false, true})
    for (const bool l33tPane : {false, true})
      for (const int megabytes : {1, 10, hardcore ? 20 : 100})
        cases.push_back({l33tPane ? "BM_TypeInL33tPane" : "BM_TypeInEnglishPane",
                         {megabytes, hardcore, l33tPane, Edit::kTyping, Text::kProse}});
  for (const int megabytes : {1, 100})
    cases.push_back(
        {"BM_PasteIntoEnglishPane", {megabytes, false, false, Edit::kPaste, Text::kProse}});
  for (const int megabytes : {1, 10})
    cases.push_back(
        {"BM_TypeWithoutSplitByte", {megabytes, false, false, Edit::kTyping, Text::kNoSplitByte}});

  for (const int megabytes : {1, 100})
    benchmark::RegisterBenchmark(("BM_SelectHighlight/MB:" + std::to_string(megabytes)).c_str(),
                                 BM_SelectHighlight, megabytes)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(edits)
        ->Repetitions(1);
  for (const Named& named : cases) {
    const std::string name = std::string(named.name) + "/MB:" + std::to_string(named.c.megabytes) +
                             "/hardcore:" + std::to_string(named.c.hardcore ? 1 : 0);
    benchmark::RegisterBenchmark(name.c_str(), BM_EditPane, named.c)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(edits)
        ->Repetitions(1);
  }
}

}  // namespace
}  // namespace glossmith::ui

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  glossmith::ui::applyAppearance(app);
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--keys=", 7) != 0) continue;
    glossmith::ui::edits = std::max(4, std::atoi(argv[i] + 7));
    std::copy(argv + i + 1, argv + argc, argv + i);
    --argc;
    break;
  }
  glossmith::ui::RegisterCases();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
