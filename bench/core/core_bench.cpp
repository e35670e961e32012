// The translation engine against the reference rules, measured in the same
// run, in time and in peak heap memory:
//   chain/...        each translation (both directions, both modes, no Custom
//                    list) on 10 MB of generated English and on its L33T
//                    translation, and the same on 10 MB of real prose (the
//                    licence texts of the system, repeated);
//   custom/...       English to L33T with 1, 100, 1,000 and 30,000 Custom pairs
//                    over 1 MB of English, rules compiled ("warm", as on every
//                    keystroke after the first) or compiled in each call
//                    ("cold", the first keystroke after an edit);
//   scale/...        English to L33T from 1 KB to 100 MB;
//   adversarial/...  rule sets built to make the engine's strategies
//                    expensive (adversarial.h), warm and cold.
// Engine figures go through the process's TranslatorCache, as the window
// and translate.h do (rules read from the settings at every call), and name
// the plan it ran (Translator::Describe). Every figure's output is
// compared with the reference's. At the end one table lists each figure with
// its ratio to the reference and its bar, and a second one checks the engine's
// cost guarantee against the reference: time at most twice the reference's
// plus 50 ms, peak memory at most the reference's plus 64 MB, counting what the
// engine keeps between calls; and against what a user would otherwise run:
// time at most that of the same steps as a CPython loop of replace calls
// (cpython_chain.py, run by /usr/bin/python3 on the same text, its output
// compared too). Times are the CPU time of the benchmark's thread
// (comparable on a machine shared with other work), medians over the
// repetitions; memory is the peak of live heap bytes during a call above what
// was live before it (heap_meter.h), the highest over the iterations. MB are
// 2^20 bytes.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bench/core/adversarial.h"
#include "bench/core/heap_meter.h"
#include "bench/support/english.h"
#include "core/engine/engine.h"
#include "core/rules/alignment.h"
#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/reference.h"
#include "core/rules/rule_set.h"
#include "core/translate.h"

namespace glossmith::bench {
namespace {

constexpr std::size_t kKiB = 1024, kMiB = kKiB * kKiB;
constexpr double kMB = static_cast<double>(kMiB);

// The guarantee: engine time <= 2 x reference + 50 ms, memory <= reference + 64 MB.
constexpr double kTimeFactor = 2, kTimeSlack = 0.050;
constexpr std::size_t kMemorySlack = 64 * kMiB;

// A text or a rule set, made on first use (a filtered run makes only what it
// needs) and kept for the whole run.
template <typename T>
struct Lazy {
  std::string name;
  std::shared_ptr<std::function<T()>> make;
  std::shared_ptr<std::unique_ptr<T>> value = std::make_shared<std::unique_ptr<T>>();
  const T& operator()() const {
    if (!*value) *value = std::make_unique<T>((*make)());
    return **value;
  }
};
using Input = Lazy<std::string>;
using Rules = Lazy<MemorySettings>;

template <typename T, typename Make>
Lazy<T> MakeLazy(std::string name, Make make) {
  return {std::move(name), std::make_shared<std::function<T()>>(std::move(make))};
}

std::string RunReference(Direction direction, std::string_view text, bool hardcore,
                         const Settings& settings) {
  return direction == Direction::kEnglishToL33t
             ? reference::EnglishToL33t(text, hardcore, settings)
             : reference::L33tToEnglish(text, hardcore, settings);
}

// The reference's result for a text, direction, mode and rule set, computed
// once (or taken from the reference's own benchmark).
std::map<std::string, std::string>& Results() {
  static std::map<std::string, std::string> results;
  return results;
}
std::string ResultKey(Direction direction, bool hardcore, const Rules& rules, const Input& input) {
  return std::string(direction == Direction::kEnglishToL33t ? "E>L " : "L>E ") +
         (hardcore ? "hardcore " : "standard ") + rules.name + " " + input.name;
}
const std::string& Expected(Direction direction, bool hardcore, const Rules& rules,
                            const Input& input) {
  const std::string key = ResultKey(direction, hardcore, rules, input);
  auto it = Results().find(key);
  if (it == Results().end())
    it = Results().emplace(key, RunReference(direction, input(), hardcore, rules())).first;
  return it->second;
}

// The English to L33T translation of `english`: the natural input of the way back.
Input L33tOf(const Input& english, bool hardcore, const Rules& rules) {
  const std::string name =
      "l33t_of_" + english.name + (hardcore ? "_hardcore_" : "_standard_") + rules.name;
  return MakeLazy<std::string>(
      name, [=] { return Expected(Direction::kEnglishToL33t, hardcore, rules, english); });
}

// Memory and plan of one benchmark, kept for the closing tables.
struct Measured {
  std::size_t peak = 0;      // highest peak over the repetitions, kept bytes included
  std::size_t kept = 0;      // heap bytes the engine kept after the last call
  std::size_t retained = 0;  // what the engine itself says it keeps
  std::string plan;
};
std::map<std::string, Measured>& Measures() {
  static std::map<std::string, Measured> measures;
  return measures;
}

// kWarm: rules compiled before the loop, a fresh result string per call, as
// the window gets it; kReusing: the same, written into the caller's buffer, as
// a filter would; kCold: the compiled rules dropped before each call, as after
// an edit.
enum class Mode { kReference, kWarm, kReusing, kCold };

struct Case {
  std::string name;   // benchmark name without the mode
  std::string label;  // in the closing tables
  Direction direction;
  bool hardcore;
  Rules rules;
  Input input;
  double bar = 0;  // the engine's speed-up over the reference must reach this (0: no bar)
  // Iterations: 0 lets the library choose; otherwise that many per repetition.
  int engineIterations = 0, referenceIterations = 0;
  int engineRepetitions = 5, referenceRepetitions = 3;
};

void TranslationBench(benchmark::State& state, const Case& c, Mode mode, const std::string& name) {
  const std::string& text = c.input();
  if (text.empty()) {
    state.SkipWithError("no text (missing input files?)");
    return;
  }
  const MemorySettings& store = c.rules();
  const std::string key = ResultKey(c.direction, c.hardcore, c.rules, c.input);
  const bool reference = mode == Mode::kReference;
  const std::string* expected = nullptr;
  if (!reference || Results().count(key))
    expected = &Expected(c.direction, c.hardcore, c.rules, c.input);

  auto engineCall = [&](std::string& out) {
    TranslatorCache::Process().For(c.direction, c.hardcore, store)->Translate(text, out);
  };
  std::string out;
  // Warm runs count their peaks from the heap without compiled rules, so that
  // what the engine keeps is in the figure.
  TranslatorCache::Process().Clear();
  const std::size_t bare = LiveHeapBytes();
  if (mode == Mode::kWarm || mode == Mode::kReusing) {
    engineCall(out);
    if (out != *expected) state.SkipWithError("output differs from the reference");
    if (mode == Mode::kWarm) std::string().swap(out);
  }
  std::size_t peak = 0;
  for (auto _ : state) {
    if (mode != Mode::kReusing) std::string().swap(out);
    if (mode == Mode::kCold) TranslatorCache::Process().Clear();
    HeapPeak meter(mode == Mode::kCold || reference ? LiveHeapBytes() : bare + HeapBytesOf(out));
    if (reference)
      out = RunReference(c.direction, text, c.hardcore, store);
    else
      engineCall(out);
    peak = std::max(peak, meter.Bytes());
    benchmark::DoNotOptimize(out.data());
  }
  if (expected == nullptr)
    Results().emplace(key, out);
  else if (out != *expected)
    state.SkipWithError("output differs from the reference");

  Measured& m = Measures()[name];
  m.peak = std::max(m.peak, peak);
  if (!reference) {
    {
      const auto translator = TranslatorCache::Process().For(c.direction, c.hardcore, store);
      m.plan = translator->Describe();
      m.retained = translator->RetainedBytes();
    }
    const std::size_t before = LiveHeapBytes();
    TranslatorCache::Process().Clear();
    m.kept = before - LiveHeapBytes();
  }
  state.counters["peak_MB"] = static_cast<double>(peak) / kMB;
  if (!reference) {
    state.counters["kept_MB"] = static_cast<double>(m.kept) / kMB;
    state.counters["says_kept_MB"] = static_cast<double>(m.retained) / kMB;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  if (!m.plan.empty()) state.SetLabel(m.plan);
}

// Thread CPU seconds of the case's steps as a CPython loop of replace calls,
// the median of `repeats` runs; nullopt, with `problem` set, when python3 is
// missing or fails, or its result is not the reference's.
std::optional<double> CPythonSeconds(const Case& c, int repeats, std::string& problem) {
  const RuleSet rules = ReadRuleSet(c.rules(), c.hardcore);
  const Steps steps = c.direction == Direction::kEnglishToL33t
                          ? reference::EnglishToL33tSteps(c.hardcore, rules)
                          : reference::L33tToEnglishSteps(c.hardcore, rules);
  char folder[] = "/tmp/glossmith-cpython-XXXXXX";
  if (!mkdtemp(folder)) {
    problem = "no temporary folder";
    return std::nullopt;
  }
  const std::string stepsFile = std::string(folder) + "/steps";
  const std::string textFile = std::string(folder) + "/text";
  const std::string outFile = std::string(folder) + "/out";
  {
    std::ofstream out(stepsFile, std::ios::binary);
    for (const OwnedStep& step : steps)
      for (const std::string* field : {&step.find, &step.replacement}) {
        const std::uint64_t size = field->size();  // little-endian on every machine we build for
        out.write(reinterpret_cast<const char*>(&size), sizeof size);
        out.write(field->data(), static_cast<std::streamsize>(field->size()));
      }
    std::ofstream(textFile, std::ios::binary)
        .write(c.input().data(), static_cast<std::streamsize>(c.input().size()));
  }
  const std::string command = std::string(GLOSSMITH_CPYTHON) + " '" + GLOSSMITH_CPYTHON_CHAIN +
                              "' " + stepsFile + " " + textFile + " " + outFile + " " +
                              std::to_string(repeats) + " 2>/dev/null";
  std::optional<double> seconds;
  if (FILE* python = popen(command.c_str(), "r")) {
    double value = 0;
    const bool read = std::fscanf(python, "%lf", &value) == 1;
    if (pclose(python) == 0 && read) seconds = value;
  }
  std::ifstream result(outFile, std::ios::binary);
  const std::string output{std::istreambuf_iterator<char>(result), {}};
  if (!seconds) {
    problem = "python3 failed";
  } else if (output != Expected(c.direction, c.hardcore, c.rules, c.input)) {
    problem = "CPython's output differs";
    seconds.reset();
  }
  for (const std::string& file : {stepsFile, textFile, outFile}) unlink(file.c_str());
  rmdir(folder);
  return seconds;
}

// One line of the closing tables: an engine benchmark and its reference.
struct Figure {
  std::string section;
  std::string label;
  std::string engine;
  std::string reference;
  double bar;
  Case source;  // for the CPython column
};
std::vector<Figure>& Figures() {
  static std::vector<Figure> figures;
  return figures;
}

const char* ModeSuffix(Mode mode) {
  switch (mode) {
    case Mode::kReference: return "/reference";
    case Mode::kWarm: return "/engine";
    case Mode::kReusing: return "/engine_reusing";
    case Mode::kCold: return "/engine_cold";
  }
  return "";
}

// Registers the reference (first, so that its result serves as the expected
// output) and the engine in `modes`, and their figures.
void Add(const std::string& section, const Case& c, std::vector<Mode> modes) {
  const std::string reference = c.name + ModeSuffix(Mode::kReference);
  {
    auto* b = benchmark::RegisterBenchmark(reference.c_str(), [c, reference](benchmark::State& s) {
      TranslationBench(s, c, Mode::kReference, reference);
    });
    b->Unit(benchmark::kMillisecond)
        ->Repetitions(c.referenceRepetitions)
        ->ReportAggregatesOnly(true);
    if (c.referenceIterations > 0) b->Iterations(c.referenceIterations);
  }
  for (Mode mode : modes) {
    const std::string name = c.name + ModeSuffix(mode);
    auto* b = benchmark::RegisterBenchmark(
        name.c_str(), [c, mode, name](benchmark::State& s) { TranslationBench(s, c, mode, name); });
    b->Unit(benchmark::kMillisecond)->Repetitions(c.engineRepetitions)->ReportAggregatesOnly(true);
    if (c.engineIterations > 0) b->Iterations(c.engineIterations);
    const std::string label = mode == Mode::kWarm      ? c.label
                              : mode == Mode::kReusing ? "  into a reused buffer"
                                                       : "  cold (rules compiled in the call)";
    Figures().push_back({section, label, name, reference, mode == Mode::kWarm ? c.bar : 0, c});
  }
}

std::string SizeName(std::size_t bytes) {
  if (bytes >= kMiB) return std::to_string(bytes / kMiB) + "MB";
  if (bytes >= kKiB) return std::to_string(bytes / kKiB) + "KB";
  return std::to_string(bytes) + "B";
}

Input English(std::size_t bytes) {
  return MakeLazy<std::string>("english_" + SizeName(bytes), [=] { return EnglishProse(bytes); });
}

Rules Store(std::string name, std::function<MemorySettings()> make) {
  return MakeLazy<MemorySettings>(std::move(name), std::move(make));
}

// A user's Custom list: first respellings of words the text uses, then made-up
// words built from common syllables, which mostly do not occur.
MemorySettings CustomPairList(std::size_t count) {
  static constexpr std::string_view kUsed[] = {
      "dude",  "hello", "people", "your",  "you",   "what",  "the",    "this",   "with",
      "hack",  "world", "there",  "which", "their", "first", "system", "planet", "newbie",
      "elite", "rock",  "said",   "when",  "were",  "have",  "from",   "word",   "each"};
  static constexpr std::string_view kSyllables[] = {"ba", "ce", "di", "fo", "gu", "ha", "je", "ki",
                                                    "lo", "mu", "na", "pe", "ri", "so", "tu", "ve"};
  auto respell = [](std::string word) {
    for (char& c : word) {
      if (c == 'a') c = '4';
      if (c == 'e') c = '3';
      if (c == 'o') c = '0';
      if (c == 'i') c = '1';
    }
    return word + "z";
  };
  std::vector<std::string> search, replace;
  for (std::size_t i = 0; i < count; ++i) {
    std::string word;
    if (i < std::size(kUsed)) {
      word = kUsed[i];
    } else {
      for (std::size_t n = i, k = 0; k < 3 || n > 0; n /= 16, ++k) word += kSyllables[n % 16];
    }
    replace.push_back(respell(word));
    search.push_back(std::move(word));
  }
  MemorySettings store;
  StoreCustomList(store, search, replace);
  return store;
}

void RegisterChains(const Rules& defaults) {
  struct Chain {
    const char* name;
    const char* label;
    Direction direction;
    bool hardcore;
  };
  const Chain chains[] = {
      {"to_l33t/standard", "English to L33T, standard", Direction::kEnglishToL33t, false},
      {"to_l33t/hardcore", "English to L33T, Hardcore", Direction::kEnglishToL33t, true},
      {"to_english/standard", "L33T to English, standard", Direction::kL33tToEnglish, false},
      {"to_english/hardcore", "L33T to English, Hardcore", Direction::kL33tToEnglish, true},
  };
  const Input prose = MakeLazy<std::string>("prose_10MB", [] { return LicenseProse(10 * kMiB); });
  struct Text {
    Input english;
    const char* section;
    const char* englishLabel;
  };
  const Text texts[] = {
      {English(10 * kMiB), "Chains on 10 MB of generated English", "English"},
      {prose, "Chains on 10 MB of real prose (/usr/share/common-licenses)", "prose"},
  };
  for (const Text& t : texts) {
    for (const Chain& chain : chains) {
      for (bool onL33t : {false, true}) {
        const Input input = onL33t ? L33tOf(t.english, chain.hardcore, defaults) : t.english;
        // The natural input of each direction carries the bar; the other one
        // is shown for completeness.
        const bool natural = onL33t == (chain.direction == Direction::kL33tToEnglish);
        double bar = 0;
        if (natural) bar = chain.direction == Direction::kEnglishToL33t && !chain.hardcore ? 10 : 5;
        Case c{
            "chain/" + std::string(chain.name) + "/" + (onL33t ? "l33t_of_" : "") + t.english.name,
            std::string(chain.label) + ", " + (onL33t ? "its L33T" : t.englishLabel),
            chain.direction,
            chain.hardcore,
            defaults,
            input,
            bar};
        c.referenceIterations = 1;
        Add(t.section, c, {Mode::kWarm});
      }
    }
  }
}

void RegisterCustom() {
  for (std::size_t pairs : {1, 100, 1000, 30000}) {
    const std::string count = std::to_string(pairs);
    Case c{"custom/" + count + "_pairs",
           "English to L33T, " + count + " pairs, 1 MB",
           Direction::kEnglishToL33t,
           false,
           Store("custom_" + count, [pairs] { return CustomPairList(pairs); }),
           English(kMiB),
           pairs == 1000 ? 20.0 : 0.0};
    if (pairs >= 1000) c.referenceIterations = 1;
    if (pairs >= 10000) c.referenceRepetitions = 1;  // some 10 s a run
    Add("Custom string lists, English to L33T standard", c, {Mode::kWarm, Mode::kCold});
  }
}

void RegisterScale(const Rules& defaults) {
  for (std::size_t bytes : {kKiB, 10 * kKiB, 100 * kKiB, kMiB, 10 * kMiB, 100 * kMiB}) {
    Case c{"scale/" + SizeName(bytes),
           "English to L33T standard, " + SizeName(bytes),
           Direction::kEnglishToL33t,
           false,
           defaults,
           English(bytes)};
    if (bytes >= 10 * kMiB) c.referenceIterations = 1;
    if (bytes >= 100 * kMiB) c.referenceRepetitions = 1;
    Add("How the cost grows", c, {Mode::kWarm, Mode::kReusing});
  }
}

void RegisterAdversarial() {
  const std::string section = "Adversarial rule sets";
  auto add = [&](Case c, bool slow) {
    if (slow) {
      c.engineIterations = c.referenceIterations = 1;
      c.engineRepetitions = 3;
    }
    Add(section, c, {Mode::kWarm, Mode::kCold});
  };
  auto input = [](std::string name, std::function<std::string()> make) {
    return MakeLazy<std::string>(std::move(name), std::move(make));
  };
  const auto e2l = Direction::kEnglishToL33t;
  const auto l2e = Direction::kL33tToEnglish;

  // (a) Hardcore values that spell other letters, on texts without capitals.
  const Rules letters = Store("letters_spelling_letters", LettersSpellingLetters);
  const Input hi = input("hi", [] { return std::string("hi"); });
  const Input lower = input("lowercase_english_1MB", [] { return LowerCase(EnglishProse(kMiB)); });
  add({"adversarial/letters/to_l33t/hi", "Letters spell letters, E>L, \"hi\"", e2l, true, letters,
       hi},
      false);
  add({"adversarial/letters/to_l33t/lowercase_1MB", "Letters spell letters, E>L, lower-case 1 MB",
       e2l, true, letters, lower},
      false);
  add({"adversarial/letters/to_english/l33t_of_hi",
       "Letters spell letters, L>E, its L33T of \"hi\"", l2e, true, letters,
       L33tOf(hi, true, letters)},
      false);
  add({"adversarial/letters/to_english/l33t_of_lowercase_1MB",
       "Letters spell letters, L>E, its L33T of 1 MB", l2e, true, letters,
       L33tOf(lower, true, letters)},
      false);

  // (b) 32,768 Custom strings of 100 random printable characters -> "x".
  const Rules random = Store("32768_random_strings", [] { return LongRandomStrings(32768, 100); });
  const Input hello = input("hello_world", [] { return std::string("hello world"); });
  for (auto direction : {e2l, l2e}) {
    const std::string way = direction == e2l ? "to_l33t" : "to_english";
    const std::string arrow = direction == e2l ? "E>L" : "L>E";
    add({"adversarial/32768_random_strings/" + way + "/hello_world",
         "32768 random strings, " + arrow + ", \"hello world\"", direction, false, random, hello},
        false);
    Case c{"adversarial/32768_random_strings/" + way + "/english_1MB",
           "32768 random strings, " + arrow + ", English 1 MB",
           direction,
           false,
           random,
           English(kMiB)};
    if (direction == e2l) {  // the reference takes some 12 s
      c.engineIterations = c.referenceIterations = 1;
      c.engineRepetitions = c.referenceRepetitions = 1;
      Add(section, c, {Mode::kWarm, Mode::kCold});
    } else {
      add(c, true);
    }
  }

  // (b2) Long lists that a plain loop of replace calls runs well: letters
  // rotated by 200 and 2,000 pairs, and a block list of 30,000 random words.
  for (std::size_t count : {200, 2000}) {
    const std::string pairs = std::to_string(count);
    const Rules rotating =
        Store(pairs + "_rotating_letters", [count] { return RotatingLetters(count); });
    Case c{"adversarial/" + pairs + "_rotating_letters/to_l33t/letters_1MB",
           pairs + " pairs rotating letters, E>L, a-j 1 MB",
           e2l,
           false,
           rotating,
           input("letters_a_to_j_1MB", [] { return RandomLettersAToJ(kMiB); })};
    c.engineIterations = c.referenceIterations = 1;
    c.engineRepetitions = c.referenceRepetitions = 3;
    Add(section, c, {Mode::kWarm});
  }
  {
    const Rules words = Store("30000_random_words", [] { return RandomWords(30000); });
    Case c{"adversarial/30000_random_words/to_l33t/english_1MB",
           "30000 random words, E>L, English 1 MB",
           e2l,
           false,
           words,
           English(kMiB)};
    c.engineIterations = c.referenceIterations = 1;
    c.engineRepetitions = c.referenceRepetitions = 1;
    Add(section, c, {Mode::kWarm, Mode::kCold});
  }

  // (c) Replacements that hold their own and the next find string.
  const Rules feeding = Store("self_feeding_pairs", SelfFeedingPairs);
  for (int tokens : {300, 3000}) {
    const Input text =
        input("tokens_" + std::to_string(tokens), [tokens] { return SelfFeedingText(tokens); });
    const std::string size = SizeName(text().size());
    for (auto [direction, hardcore] :
         {std::pair{e2l, false}, std::pair{e2l, true}, std::pair{l2e, false}}) {
      const std::string way = direction == e2l ? "to_l33t" : "to_english";
      const std::string mode = hardcore ? "hardcore" : "standard";
      add({"adversarial/self_feeding/" + way + "/" + mode + "/" + size,
           "Self-feeding pairs, " + std::string(direction == e2l ? "E>L " : "L>E ") + mode + ", " +
               size,
           direction, hardcore, feeding, text},
          false);
    }
  }

  // (d) A find string of 64 KiB, on texts of long runs of 'a'.
  const Rules longFind = Store("64KiB_find", LongFindString);
  struct LongCase {
    const char* name;
    const char* label;
    Direction direction;
    std::function<std::string()> make;
    bool slow;
  };
  const LongCase longCases[] = {
      {"to_l33t/two_matches_134KB", "64 KiB find, E>L, 2 matches in 134 KB", e2l,
       [] {
         return std::string(70 * kKiB, 'a') + "b " + std::string(kLongFind - 1, 'a') + "b" +
                std::string(100, 'a');
       },
       false},
      {"to_l33t/runs_of_1000_1MB", "64 KiB find, E>L, runs of 1000 a, 1 MB", e2l,
       [] { return RunsOfA(1000, "b", kMiB); }, false},
      {"to_l33t/runs_of_60000_1MB", "64 KiB find, E>L, runs of 60000 a, 1 MB", e2l,
       [] { return RunsOfA(60000, "b", kMiB); }, true},
      {"to_l33t/matches_only_1MB", "64 KiB find, E>L, 16 matches, nothing else", e2l,
       [] { return RunsOfA(kLongFind - 1, "b", kMiB); }, false},
      {"to_l33t/matches_only_10MB", "64 KiB find, E>L, 160 matches, nothing else", e2l,
       [] { return RunsOfA(kLongFind - 1, "b", 10 * kMiB); }, true},
      {"to_english/two_matches_134KB", "64 KiB find, L>E, 134 KB of a runs", l2e,
       [] {
         return std::string(70 * kKiB, 'a') + "b " + std::string(kLongFind - 1, 'a') + "b" +
                std::string(100, 'a');
       },
       false},
      {"to_english/160_brackets", "64 KiB find, L>E, 160 '<' (10 MB out)", l2e,
       [] { return std::string(160, '<'); }, false},
  };
  for (const LongCase& l : longCases)
    add({std::string("adversarial/64KiB_find/") + l.name, l.label, l.direction, false, longFind,
         input(std::string("64KiB_find_") + l.name, l.make)},
        l.slow);

  // (e) Every byte value in some find string, on random bytes; the engine's
  // scratch grows with the text here, so also on 1 MB and 4 MB.
  const Rules everyByte = Store("every_byte_value", EveryByteValue);
  struct Size {
    std::size_t bytes;
    const char* label;
    const char* name;
  };
  for (const auto& [bytes, size, name] :
       {Size{200 * 1000, "200 KB", "200KB"}, Size{kMiB, "1 MB", "1MB"},
        Size{4 * kMiB, "4 MB", "4MB"}}) {
    const Input text = input(std::string("random_") + name, [bytes] { return RandomBytes(bytes); });
    for (auto direction : {e2l, l2e}) {
      for (bool hardcore : {false, true}) {
        if (hardcore && bytes > kMiB) continue;
        const std::string way = direction == e2l ? "to_l33t" : "to_english";
        const std::string mode = hardcore ? "hardcore" : "standard";
        Case c{"adversarial/every_byte/" + way + "/" + mode + "/" + text.name,
               "Every byte value, " + std::string(direction == e2l ? "E>L " : "L>E ") + mode +
                   ", " + size + " random",
               direction,
               hardcore,
               everyByte,
               text};
        if (bytes > kMiB) {  // seconds a call
          c.engineIterations = c.referenceIterations = 1;
          c.engineRepetitions = c.referenceRepetitions = 1;
          Add(section, c, {Mode::kWarm, Mode::kCold});
        } else {
          add(c, bytes >= kMiB);
        }
      }
    }
  }
}

// Plain translation and the aligned one, alternating in each iteration on
// the same compiled rules, each timed in thread CPU time: the aligned run's
// share of the plain one's speed, and the alignment's bytes per input byte.
// The aligned text is checked against the reference's translation, and its
// pieces against both texts' sizes (the tests check them piece for piece).
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void AlignedBench(benchmark::State& state, const Case& c) {
  const std::string& text = c.input();
  const std::string& expected = Expected(c.direction, c.hardcore, c.rules, c.input);
  const Translator translator(c.direction, c.hardcore, ReadRuleSet(c.rules(), c.hardcore));
  std::string plain, aligned;
  Alignment alignment;
  translator.Translate(text, plain);  // compiled and warm before the loop
  translator.TranslateAligned(text, aligned, alignment);
  std::vector<double> plainTimes, alignedTimes;
  for (auto _ : state) {
    double start = ThreadSeconds();
    translator.Translate(text, plain);
    plainTimes.push_back(ThreadSeconds() - start);
    start = ThreadSeconds();
    translator.TranslateAligned(text, aligned, alignment);
    alignedTimes.push_back(ThreadSeconds() - start);
    benchmark::DoNotOptimize(aligned.data());
  }
  if (plain != expected || aligned != expected)
    state.SkipWithError("output differs from the reference");
  if (alignment.InputSize() != text.size() || alignment.OutputSize() != aligned.size())
    state.SkipWithError("the alignment does not cover both texts");
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double plainSeconds = median(plainTimes), alignedSeconds = median(alignedTimes);
  state.counters["plain_ms"] = plainSeconds * 1e3;
  state.counters["aligned_ms"] = alignedSeconds * 1e3;
  state.counters["share_of_plain"] = plainSeconds / alignedSeconds;
  state.counters["align_B_per_B"] =
      static_cast<double>(alignment.HeapBytes()) / static_cast<double>(text.size());
  state.counters["pieces_per_B"] =
      static_cast<double>(alignment.PieceCount()) / static_cast<double>(text.size());
  state.SetLabel(translator.Describe());
}

void RegisterAligned(const Rules& defaults) {
  const Input prose = MakeLazy<std::string>("prose_10MB", [] { return LicenseProse(10 * kMiB); });
  const struct {
    const char* name;
    Direction direction;
    bool hardcore;
    bool onL33t;
  } cases[] = {
      {"to_l33t/standard", Direction::kEnglishToL33t, false, false},
      {"to_l33t/hardcore", Direction::kEnglishToL33t, true, false},
      {"to_english/standard", Direction::kL33tToEnglish, false, true},
      {"to_english/hardcore", Direction::kL33tToEnglish, true, true},
  };
  for (const auto& a : cases) {
    const Case c{std::string("aligned/") + a.name + "/prose_10MB", "", a.direction, a.hardcore,
                 defaults, a.onL33t ? L33tOf(prose, a.hardcore, defaults) : prose};
    benchmark::RegisterBenchmark(c.name.c_str(), [c](benchmark::State& s) { AlignedBench(s, c); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
  }
  const Case custom{"aligned/to_l33t/1000_pairs/prose_10MB", "", Direction::kEnglishToL33t, false,
                    Store("custom_1000", [] { return CustomPairList(1000); }), prose};
  benchmark::RegisterBenchmark(custom.name.c_str(),
                               [custom](benchmark::State& s) { AlignedBench(s, custom); })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
}

void RegisterAll() {
  const Rules defaults = Store("defaults", DefaultTableStore);
  RegisterChains(defaults);
  RegisterCustom();
  RegisterScale(defaults);
  RegisterAdversarial();
  RegisterAligned(defaults);
}

// Prints the usual table, then the figures with their ratios and bars, then
// the cost guarantee.
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
    SpeedTable();
    GuaranteeTable();
  }

 private:
  static std::string Plan(const std::string& name) {
    const auto m = Measures().find(name);
    return m == Measures().end() ? "" : m->second.plan;
  }

  void SpeedTable() {
    std::printf("\n%-52s %11s %10s %12s %12s  %s\n", "Figure (median)", "time ms", "MB/s",
                "x reference", "bar", "plan");
    bool allMet = true;
    std::string section;
    for (const Figure& f : Figures()) {
      const auto engine = seconds_.find(f.engine);
      const bool failed = failed_.count(f.engine) > 0;
      if (engine == seconds_.end() && !failed) continue;  // filtered out
      if (f.section != section) {
        section = f.section;
        std::printf("-- %s\n", section.c_str());
      }
      if (failed) {
        std::printf("%-52s FAILED: %s\n", f.label.c_str(), failed_[f.engine].c_str());
        allMet = false;
        continue;
      }
      std::printf("%-52s %11.3f %10.1f", f.label.c_str(), engine->second * 1e3,
                  bytesPerSecond_[f.engine] / 1e6);
      const auto reference = seconds_.find(f.reference);
      std::string bar;
      if (reference != seconds_.end()) {
        const double ratio = reference->second / engine->second;
        std::printf(" %11.2fx", ratio);
        if (f.bar > 0) {
          const bool met = ratio >= f.bar;
          allMet = allMet && met;
          char text[32];
          std::snprintf(text, sizeof text, "%.0fx %s", f.bar, met ? "met" : "MISSED");
          bar = text;
        }
      } else {
        std::printf(" %12s", "");
      }
      std::printf(" %12s  %s\n", bar.c_str(), Plan(f.engine).c_str());
    }
    std::printf("%s\n", allMet ? "Every bar that was measured is met." : "Some bar is not met.");
  }

  void GuaranteeTable() {
    std::printf(
        "\nCost guarantee: engine time <= 2 x reference + 50 ms; engine peak <= reference"
        " peak + 64 MB;\nand the target: engine time <= CPython's (the same steps as a loop of "
        "replace calls)."
        "\nPeak: live heap above the call's start; the engine's includes what it"
        " keeps between calls (kept: heap freed by\nTranslatorCache::Clear; says:"
        " Translator::RetainedBytes). MB of 2^20 bytes.\n");
    std::printf("%-52s %10s %10s %10s %10s | %9s %9s %9s %9s %9s | %s\n", "Figure", "engine ms",
                "ref ms", "bound ms", "CPython ms", "engine MB", "kept MB", "says MB", "ref MB",
                "bound MB", "holds");
    bool allHold = true;
    int slowerThanCPython = 0;
    std::string section;
    for (const Figure& f : Figures()) {
      const auto engine = seconds_.find(f.engine);
      const auto reference = seconds_.find(f.reference);
      if (engine == seconds_.end() || reference == seconds_.end()) continue;
      if (f.section != section) {
        section = f.section;
        std::printf("-- %s\n", section.c_str());
      }
      const Measured& em = Measures()[f.engine];
      const Measured& rm = Measures()[f.reference];
      const double timeBound = kTimeFactor * reference->second + kTimeSlack;
      const std::size_t memoryBound = rm.peak + kMemorySlack;
      // Once per reference: the engine's warm and cold figures share it.
      auto cpython = cpython_.find(f.reference);
      if (cpython == cpython_.end()) {
        std::string problem;
        const std::optional<double> seconds =
            CPythonSeconds(f.source, reference->second > 1 ? 1 : 3, problem);
        cpython = cpython_.emplace(f.reference, std::pair{seconds, problem}).first;
      }
      const auto& [cpythonSeconds, problem] = cpython->second;
      std::string failures;
      if (engine->second > timeBound) failures += ", time";
      if (em.peak > memoryBound) failures += ", memory";
      allHold = allHold && failures.empty();
      const bool slower = cpythonSeconds && engine->second > *cpythonSeconds;
      slowerThanCPython += slower ? 1 : 0;
      char cpythonText[32] = "-";
      if (cpythonSeconds)
        std::snprintf(cpythonText, sizeof cpythonText, "%.3f", *cpythonSeconds * 1e3);
      std::printf("%-52s %10.3f %10.3f %10.3f %10s | %9.2f %9.2f %9.2f %9.2f %9.2f | %s%s\n",
                  f.label.c_str(), engine->second * 1e3, reference->second * 1e3, timeBound * 1e3,
                  cpythonText, em.peak / kMB, em.kept / kMB, em.retained / kMB, rm.peak / kMB,
                  memoryBound / kMB,
                  failures.empty() ? "yes" : ("NO (" + failures.substr(2) + ")").c_str(),
                  slower            ? "; slower than CPython"
                  : problem.empty() ? ""
                                    : ("; CPython: " + problem).c_str());
    }
    std::printf("%s\n", allHold ? "The guarantee holds for every figure measured."
                                : "The guarantee does NOT hold for some figure.");
    std::printf("Slower than CPython's loop (the target: none): %d figure(s).\n",
                slowerThanCPython);
  }

  std::map<std::string, std::pair<std::optional<double>, std::string>> cpython_;
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
