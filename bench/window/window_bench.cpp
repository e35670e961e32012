// Typing into the English pane of the main window while it holds 1 MB or
// 10 MB of English text. One iteration is one keystroke (an insert or a
// Backspace, in turn, so the size stays the same) until the key has been
// handled and the window has repainted; by then the L33T pane holds the
// translation of the whole English pane. That is checked outside the clock
// every few keystrokes and after the last one.
//
// Besides the mean per repetition, each run reports the median and the
// slowest keystroke it saw (median_ms, max_ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "bench/support/english.h"
#include "core/rules/hardcore_table.h"
#include "core/settings.h"
#include "core/translate.h"
#include "ui/common/appearance.h"
#include "ui/common/prompts.h"
#include "ui/main/mainwindow.h"
#include "ui/main/panetext.h"

namespace glossmith::ui {
namespace {

bool PanesAgree(const QPlainTextEdit& english, const QPlainTextEdit& l33t, bool hardcore,
                const Settings& settings) {
  return paneText(l33t) == EnglishToL33t(paneText(english), hardcore, settings);
}

void BM_KeystrokeInEnglishPane(benchmark::State& state) {
  const auto bytes = static_cast<std::size_t>(state.range(0)) << 20;
  const bool hardcore = state.range(1) != 0;

  MemorySettings settings;
  if (hardcore) {
    WriteHardcoreDefaults(settings);
    settings.Write(kApp, kSectionGeneral, kKeyUseHard, "yes");
  }
  QtPrompts prompts;
  MainWindow window(settings, prompts);
  window.show();
  auto* english = window.findChild<QPlainTextEdit*>(QStringLiteral("english"));
  auto* l33t = window.findChild<QPlainTextEdit*>(QStringLiteral("l33t"));

  replacePaneText(*english, bench::EnglishProse(bytes));
  // Type in the middle of the text, the caret where the user left it.
  english->setFocus();
  QTextCursor caret = english->textCursor();
  caret.setPosition(english->document()->characterCount() / 2);
  english->setTextCursor(caret);
  QCoreApplication::processEvents();
  if (!PanesAgree(*english, *l33t, hardcore, settings)) {
    state.SkipWithError("the panes disagree before typing");
    return;
  }

  std::vector<double> seconds;
  bool insert = true;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    if (insert)
      QTest::keyClick(english, Qt::Key_E);
    else
      QTest::keyClick(english, Qt::Key_Backspace);
    QCoreApplication::processEvents();
    const double elapsed = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
    state.SetIterationTime(elapsed);
    seconds.push_back(elapsed);
    insert = !insert;

    if (seconds.size() % 16 == 0 && !PanesAgree(*english, *l33t, hardcore, settings)) {
      state.SkipWithError("the panes disagree after a keystroke");
      return;
    }
  }
  if (!PanesAgree(*english, *l33t, hardcore, settings)) {
    state.SkipWithError("the panes disagree after the last keystroke");
    return;
  }

  std::sort(seconds.begin(), seconds.end());
  state.counters["median_ms"] = seconds[seconds.size() / 2] * 1e3;
  state.counters["max_ms"] = seconds.back() * 1e3;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
}

// {megabytes, hardcore}
BENCHMARK(BM_KeystrokeInEnglishPane)
    ->ArgNames({"MB", "hardcore"})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({10, 0})
    ->Args({10, 1})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace glossmith::ui

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  glossmith::ui::applyAppearance(app);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
