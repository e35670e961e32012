// Throughput of the translation engine against the reference rules, measured
// in the same run:
//   chain/...   each translation (both directions, both modes, no Custom list)
//               on 10 MB of English and on its L33T translation;
//   custom/...  the Custom stage alone with 1, 100, 1,000 and 30,000 pairs over
//               1 MB of English, rules compiled ("warm", as on every keystroke
//               after the first) or compiled inside the loop ("cold", the first
//               keystroke after an edit); and the whole translation with them;
//   scale/...   English to L33T from 1 KB to 100 MB.
// Every engine benchmark compares its output with the reference's before and
// after timing. At the end a table lists each figure, its ratio to the
// reference and its bar. Times are the CPU time of the benchmark's thread
// (the figures stay comparable on a machine shared with other work), medians
// over the repetitions.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/core/english.h"
#include "core/batch_replace.h"
#include "core/chain_machine.h"
#include "core/custom_list.h"
#include "core/engine.h"
#include "core/hardcore_table.h"
#include "core/literal_replace.h"
#include "core/translate.h"

namespace glossmith::bench {
namespace {

constexpr std::size_t kKiB = 1024, kMiB = kKiB * kKiB;
constexpr std::size_t kChainBytes = 10 * kMiB;
constexpr std::size_t kCustomBytes = kMiB;

using Steps = std::vector<std::pair<std::string, std::string>>;

const std::string& English(std::size_t bytes) {
  static std::map<std::size_t, std::string> texts;
  auto it = texts.find(bytes);
  if (it == texts.end()) it = texts.emplace(bytes, EnglishProse(bytes)).first;
  return it->second;
}

// The default Hardcore table and no Custom list.
const MemorySettings& DefaultStore() {
  static const MemorySettings store = [] {
    MemorySettings s;
    WriteHardcoreDefaults(s);
    return s;
  }();
  return store;
}

std::string Translate(bool reference, Direction direction, std::string_view text, bool hardcore,
                      const Settings& settings) {
  if (direction == Direction::kEnglishToL33t)
    return reference ? reference::EnglishToL33t(text, hardcore, settings)
                     : EnglishToL33t(text, hardcore, settings);
  return reference ? reference::L33tToEnglish(text, hardcore, settings)
                   : L33tToEnglish(text, hardcore, settings);
}

// The reference's result, computed once per input.
const std::string& Expected(Direction direction, std::string_view text, bool hardcore,
                            const Settings& settings, const std::string& key) {
  static std::map<std::string, std::string> results;
  auto it = results.find(key);
  if (it == results.end())
    it = results.emplace(key, Translate(true, direction, text, hardcore, settings)).first;
  return it->second;
}

const std::string& L33tText(bool hardcore) {
  return Expected(Direction::kEnglishToL33t, English(kChainBytes), hardcore, DefaultStore(),
                  hardcore ? "l33t/hardcore" : "l33t/standard");
}

void ChainBench(benchmark::State& state, Direction direction, bool hardcore, bool onL33t,
                bool reference, const std::string& key) {
  const std::string& text = onL33t ? L33tText(hardcore) : English(kChainBytes);
  const std::string& expected = Expected(direction, text, hardcore, DefaultStore(), key);
  std::string out = Translate(reference, direction, text, hardcore, DefaultStore());
  if (out != expected) state.SkipWithError("output differs from the reference");
  for (auto _ : state) {
    out = Translate(reference, direction, text, hardcore, DefaultStore());
    benchmark::DoNotOptimize(out.data());
  }
  if (out != expected) state.SkipWithError("output differs from the reference");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// A user's Custom list: first respellings of words the text uses, then made-up
// words built from common syllables, which mostly do not occur.
Steps CustomPairList(std::size_t count) {
  static constexpr std::string_view kUsed[] = {
      "dude",  "hello", "people", "your",  "you",   "what",  "the",   "this",  "with",
      "hack",  "world", "there", "which", "their", "first", "system", "planet", "newbie",
      "elite", "rock",  "said",  "when",  "were",  "have",  "from",  "word",  "each"};
  static constexpr std::string_view kSyllables[] = {"ba", "ce", "di", "fo", "gu", "ha",
                                                    "je", "ki", "lo", "mu", "na", "pe",
                                                    "ri", "so", "tu", "ve"};
  auto respell = [](std::string word) {
    for (char& c : word) {
      if (c == 'a') c = '4';
      if (c == 'e') c = '3';
      if (c == 'o') c = '0';
      if (c == 'i') c = '1';
    }
    return word + "z";
  };
  Steps steps;
  for (std::size_t i = 0; i < count; ++i) {
    std::string search;
    if (i < std::size(kUsed)) {
      search = kUsed[i];
    } else {
      for (std::size_t n = i, k = 0; k < 3 || n > 0; n /= 16, ++k) search += kSyllables[n % 16];
    }
    steps.emplace_back(search, respell(search));
  }
  return steps;
}

MemorySettings StoreWith(const Steps& steps) {
  MemorySettings store;
  std::vector<std::string> search, replace;
  for (const auto& [s, r] : steps) {
    search.push_back(s);
    replace.push_back(r);
  }
  store.Write(kApp, kSectionChange, kKeySearch, JoinList(search));
  store.Write(kApp, kSectionChange, kKeyReplace, JoinList(replace));
  return store;
}

std::string SequentialSteps(std::string_view text, const Steps& steps) {
  std::string out(text);
  for (const auto& [find, replacement] : steps) ReplaceAllInPlace(out, find, replacement);
  return out;
}

// The Custom stage as the engine runs it: a short list is composed into a
// machine, a long one runs as a batch.
class CustomStage {
 public:
  explicit CustomStage(const Steps& steps) {
    if (steps.size() <= Translator::kFusedPairs)
      machine_ = std::make_unique<detail::ChainMachine>(steps);
    else
      batch_ = std::make_unique<detail::BatchReplacer>(steps);
  }
  void Run(std::string_view text, std::string& out) {
    if (machine_)
      machine_->Run(text, out);
    else
      batch_->Run(text, out);
  }

 private:
  std::unique_ptr<detail::ChainMachine> machine_;
  std::unique_ptr<detail::BatchReplacer> batch_;
};

enum class Mode { kReference, kWarm, kCold, kReusing };

void CustomStageBench(benchmark::State& state, std::size_t pairs, Mode mode) {
  const std::string& text = English(kCustomBytes);
  const Steps steps = CustomPairList(pairs);
  static std::map<std::size_t, std::string> expectedByCount;
  auto found = expectedByCount.find(pairs);
  if (found == expectedByCount.end())
    found = expectedByCount.emplace(pairs, SequentialSteps(text, steps)).first;
  const std::string& expected = found->second;

  std::string out;
  auto stage = std::make_unique<CustomStage>(steps);
  stage->Run(text, out);
  if (out != expected) state.SkipWithError("output differs from the reference");
  for (auto _ : state) {
    switch (mode) {
      case Mode::kReference: out = SequentialSteps(text, steps); break;
      case Mode::kWarm:
      case Mode::kReusing: stage->Run(text, out); break;
      case Mode::kCold:
        stage = std::make_unique<CustomStage>(steps);
        stage->Run(text, out);
        break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  if (out != expected) state.SkipWithError("output differs from the reference");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void CustomTranslationBench(benchmark::State& state, std::size_t pairs, bool reference) {
  const std::string& text = English(kCustomBytes);
  const MemorySettings store = StoreWith(CustomPairList(pairs));
  const std::string& expected = Expected(Direction::kEnglishToL33t, text, false, store,
                                         "custom/" + std::to_string(pairs));
  std::string out = Translate(reference, Direction::kEnglishToL33t, text, false, store);
  if (out != expected) state.SkipWithError("output differs from the reference");
  for (auto _ : state) {
    out = Translate(reference, Direction::kEnglishToL33t, text, false, store);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != expected) state.SkipWithError("output differs from the reference");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// kWarm: a fresh result string per call, as the window gets it; kReusing:
// the overload that writes into the caller's buffer, as a filter would use it.
void ScaleBench(benchmark::State& state, std::size_t bytes, Mode mode) {
  const std::string& text = English(bytes);
  const std::string& expected = Expected(Direction::kEnglishToL33t, text, false, DefaultStore(),
                                         "scale/" + std::to_string(bytes));
  const bool reference = mode == Mode::kReference;
  std::string out = Translate(reference, Direction::kEnglishToL33t, text, false, DefaultStore());
  if (out != expected) state.SkipWithError("output differs from the reference");
  for (auto _ : state) {
    if (mode == Mode::kReusing)
      EnglishToL33t(text, false, DefaultStore(), out);
    else
      out = Translate(reference, Direction::kEnglishToL33t, text, false, DefaultStore());
    benchmark::DoNotOptimize(out.data());
  }
  if (out != expected) state.SkipWithError("output differs from the reference");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

std::string SizeName(std::size_t bytes) {
  return bytes >= kMiB ? std::to_string(bytes / kMiB) + "MB" : std::to_string(bytes / kKiB) + "KB";
}

// One line of the closing table: an engine benchmark, its reference and the
// ratio it has to reach (0: no bar).
struct Figure {
  std::string label;
  std::string engine;
  std::string reference;
  double bar;
};
std::vector<Figure>& Figures() {
  static std::vector<Figure> figures;
  return figures;
}

void RegisterAll() {
  auto engineRuns = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
  };
  // The reference takes up to seconds on 10 MB: one iteration per repetition
  // there, as many as the library wants where it is fast (a single call would
  // also time the first touch of its fresh output buffer).
  auto referenceRuns = [](benchmark::internal::Benchmark* b, bool slow) {
    b->Unit(benchmark::kMillisecond);
    if (slow) b->Iterations(1);
    b->Repetitions(3)->ReportAggregatesOnly(true);
  };

  struct Chain {
    const char* name;
    const char* label;
    Direction direction;
    bool hardcore;
  };
  const Chain chains[] = {
      {"to_l33t/standard", "EnglishToL33t standard", Direction::kEnglishToL33t, false},
      {"to_l33t/hardcore", "EnglishToL33t hardcore", Direction::kEnglishToL33t, true},
      {"to_english/standard", "L33tToEnglish standard", Direction::kL33tToEnglish, false},
      {"to_english/hardcore", "L33tToEnglish hardcore", Direction::kL33tToEnglish, true},
  };
  for (const Chain& chain : chains) {
    for (bool onL33t : {false, true}) {
      const std::string input = onL33t ? "l33t_10MB" : "english_10MB";
      const std::string base = std::string("chain/") + chain.name + "/" + input;
      // The natural input of each direction carries the bar; the other one is
      // shown for completeness.
      const bool natural = onL33t == (chain.direction == Direction::kL33tToEnglish);
      const double bar = !natural ? 0 : (chain.direction == Direction::kEnglishToL33t && !chain.hardcore) ? 10 : 5;
      for (bool reference : {false, true}) {
        const std::string name = base + (reference ? "/reference" : "/engine");
        auto* b = benchmark::RegisterBenchmark(
            name.c_str(), [=](benchmark::State& s) {
              ChainBench(s, chain.direction, chain.hardcore, onL33t, reference, name.substr(0, name.rfind('/')));
            });
        if (reference)
          referenceRuns(b, true);
        else
          engineRuns(b);
      }
      Figures().push_back({std::string(chain.label) + ", " + (onL33t ? "L33T" : "English") + " 10 MB",
                           base + "/engine", base + "/reference", bar});
    }
  }

  for (std::size_t pairs : {1, 100, 1000, 30000}) {
    const std::string base = "custom/" + std::to_string(pairs) + "_pairs/stage";
    for (Mode mode : {Mode::kWarm, Mode::kCold, Mode::kReference}) {
      const char* suffix = mode == Mode::kWarm ? "/engine" : mode == Mode::kCold ? "/engine_cold" : "/reference";
      auto* b = benchmark::RegisterBenchmark((base + suffix).c_str(), [=](benchmark::State& s) {
        CustomStageBench(s, pairs, mode);
      });
      if (mode == Mode::kReference) {
        referenceRuns(b, pairs >= 1000);
        if (pairs >= 10000) b->Repetitions(1);  // some 10 s a run
      } else {
        engineRuns(b);
      }
    }
    Figures().push_back({"Custom stage, " + std::to_string(pairs) + " pairs, 1 MB", base + "/engine",
                         base + "/reference", pairs == 1000 ? 20.0 : 0.0});
    Figures().push_back({"  same, rules compiled in the loop", base + "/engine_cold",
                         base + "/reference", 0});

    const std::string whole = "custom/" + std::to_string(pairs) + "_pairs/translation";
    for (bool reference : {false, true}) {
      auto* b = benchmark::RegisterBenchmark(
          (whole + (reference ? "/reference" : "/engine")).c_str(),
          [=](benchmark::State& s) { CustomTranslationBench(s, pairs, reference); });
      if (reference) {
        referenceRuns(b, pairs >= 1000);
        if (pairs >= 10000) b->Repetitions(1);
      } else {
        engineRuns(b);
      }
    }
    Figures().push_back({"  EnglishToL33t standard with them", whole + "/engine",
                         whole + "/reference", 0});
  }

  for (std::size_t bytes : {kKiB, 10 * kKiB, 100 * kKiB, kMiB, 10 * kMiB, 100 * kMiB}) {
    const std::string base = "scale/" + SizeName(bytes);
    engineRuns(benchmark::RegisterBenchmark(
        (base + "/engine").c_str(), [=](benchmark::State& s) { ScaleBench(s, bytes, Mode::kWarm); }));
    engineRuns(benchmark::RegisterBenchmark(
        (base + "/engine_reusing").c_str(),
        [=](benchmark::State& s) { ScaleBench(s, bytes, Mode::kReusing); }));
    std::string reference;
    if (bytes <= 10 * kMiB) {
      reference = base + "/reference";
      referenceRuns(benchmark::RegisterBenchmark(
                        reference.c_str(),
                        [=](benchmark::State& s) { ScaleBench(s, bytes, Mode::kReference); }),
                    bytes >= 10 * kMiB);
    }
    Figures().push_back({"EnglishToL33t standard, " + SizeName(bytes), base + "/engine", reference, 0});
    Figures().push_back({"  into a reused buffer", base + "/engine_reusing", reference, 0});
  }
}

// Prints the usual table, then the figures with their ratios and bars. Times
// are medians over the repetitions where there are several.
class FigureReporter : public benchmark::ConsoleReporter {
 public:
  FigureReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string& name = run.run_name.function_name;
      if (run.error_occurred) {
        failed_[name] = run.error_message;
        continue;
      }
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      if (run.iterations == 0) continue;
      seconds_[name] = run.cpu_accumulated_time / static_cast<double>(run.iterations);
      const auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end()) bytesPerSecond_[name] = rate->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-46s %12s %12s %13s %10s\n", "Figure (median)", "time ms", "MB/s", "x reference",
                "bar");
    bool allMet = true;
    for (const Figure& f : Figures()) {
      if (failed_.count(f.engine)) {
        std::printf("%-46s  FAILED: %s\n", f.label.c_str(), failed_[f.engine].c_str());
        allMet = false;
        continue;
      }
      const auto engine = seconds_.find(f.engine);
      if (engine == seconds_.end()) continue;  // filtered out
      const double mbps = bytesPerSecond_[f.engine] / 1e6;
      std::printf("%-46s %12.3f %12.1f", f.label.c_str(), engine->second * 1e3, mbps);
      const auto reference = seconds_.find(f.reference);
      if (reference != seconds_.end()) {
        const double ratio = reference->second / engine->second;
        std::printf(" %12.1fx", ratio);
        if (f.bar > 0) {
          const bool met = ratio >= f.bar;
          allMet = allMet && met;
          std::printf(" %5.0fx %s", f.bar, met ? "met" : "MISSED");
        }
      }
      std::printf("\n");
    }
    std::printf("%s\n", allMet ? "Every bar that was measured is met." : "Some bar is not met.");
  }

 private:
  std::map<std::string, double> seconds_;
  std::map<std::string, double> bytesPerSecond_;
  std::map<std::string, std::string> failed_;
};

}  // namespace
}  // namespace glossmith::bench

int main(int argc, char** argv) {
  // Keep freed memory in the heap for texts up to 32 MB: otherwise every
  // megabyte-sized string comes fresh from the system and is paid for in page
  // faults, which costs the reference (a new string per step) far more than
  // the engine and would flatter the ratios.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  glossmith::bench::RegisterAll();
  glossmith::bench::FigureReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
