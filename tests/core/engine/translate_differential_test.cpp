// The engine against the reference rules on random texts and rule sets, in
// both directions and both modes. Reproducible: the base seed is printed with
// every failure; GLOSSMITH_DIFF_SEED picks another one and GLOSSMITH_DIFF_SCALE
// multiplies the number of rule sets.

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/rules/custom_list.h"
#include "core/engine/engine.h"
#include "core/rules/hardcore_table.h"
#include "core/translate.h"
#include "tests/support/engine_comparison.h"
#include "tests/support/rule_store.h"
#include "tests/support/text_difference.h"

namespace glossmith {
namespace {

using testing_support::Difference;
using testing_support::Escaped;

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::strtoull(value, nullptr, 0) : fallback;
}

// Random material built to hit the rules: their letters and words, the
// spaces and punctuation they look for, line breaks, digits of L33T, tokens
// of the current Hardcore table, multi-byte and invalid UTF-8.
class RuleSetGenerator {
 public:
  explicit RuleSetGenerator(std::uint64_t seed) : rng_(seed) {}

  int Below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

  LetterTable Table() {
    LetterTable table = DefaultLetterTable();
    const int style = Below(4);
    if (style == 0) return table;
    if (style == 1) return LetterTable{};  // nothing stored
    for (std::string& value : table) {
      switch (Below(6)) {
        case 0: value.clear(); break;
        case 1: value = Piece("aAbBeEtTsSoO 01345|_-()/\\<>.!", 1 + Below(4)); break;
        case 2: break;  // default kept
        case 3: value = table[Below(26)]; break;  // shared value
        default: value = Piece("|_-/\\()<>!. 4301", 1 + Below(3)); break;
      }
    }
    // Values that are prefixes or extensions of each other.
    for (int i = 0; i < 4; ++i) {
      std::string& value = table[Below(26)];
      const std::string& other = table[Below(26)];
      value = Chance(50) ? other.substr(0, other.size() / 2) : other + Piece("|_ ", 1);
    }
    return table;
  }

  // The stored "search" and "replace" values.
  std::pair<std::string, std::string> CustomList(const LetterTable& table) {
    int count;
    const int size = Below(100);
    if (size < 40)
      count = Below(5);
    else if (size < 75)
      count = 5 + Below(12);
    else if (size < 95)
      count = 17 + Below(200);
    else
      count = 200 + Below(2000);
    std::vector<std::string> search, replace;
    for (int i = 0; i < count; ++i) {
      search.push_back(Entry(table, false));
      replace.push_back(Entry(table, true));
    }
    if (Chance(15) && !replace.empty()) replace.resize(Below(static_cast<int>(replace.size())));
    if (Chance(5) && !search.empty()) search[Below(static_cast<int>(search.size()))].clear();
    std::string storedSearch = JoinList(search), storedReplace = JoinList(replace);
    if (Chance(5)) storedSearch += Piece("ab", 2);  // a last entry without a line break
    if (Chance(5)) storedReplace.resize(storedReplace.size() / 2);
    return {storedSearch, storedReplace};
  }

  // A list longer than the pair counter allows.
  std::pair<std::string, std::string> HugeCustomList(const LetterTable& table) {
    std::vector<std::string> search, replace;
    for (std::size_t i = 0; i < kMaxCustomPairs + 50; ++i) {
      search.push_back(Chance(1) ? Entry(table, false) : Word() + std::to_string(i % 977));
      replace.push_back(Chance(1) ? Entry(table, true) : "x" + std::to_string(i % 31));
    }
    // Pairs past the counter's end would change this text.
    search.back() = "the";
    replace.back() = "!!";
    return {JoinList(search), JoinList(replace)};
  }

  std::string Text(const LetterTable& table, int maxFragments) {
    std::string text;
    const int fragments = Below(maxFragments + 1);
    for (int i = 0; i < fragments; ++i) text += Fragment(table);
    return text;
  }

 private:
  std::string Piece(std::string_view alphabet, int length) {
    std::string s;
    for (int i = 0; i < length; ++i) s += alphabet[Below(static_cast<int>(alphabet.size()))];
    return s;
  }

  std::string Word() {
    static const char* const kWords[] = {
        "you",   "You",   "YOU",  "the ",  "The ", "THE ", "hack",  "Hack", "fuck", "Fuck",
        "bitch", "newbie", "N3w", "joobie", "dude", "Dude", "woot",  "Woot", "WOOT", "suck",
        "elite", "rock",  "Rock", "pass ", "is ",  "SS ",  "Ss ",   "sz ",  " fun", " Fun",
        "j00",   "J00",   "teh ", "hax0r", "d00d", "w00t", "1337",  "r0x0r", "n00b", "sux0r",
        "fux0r", "biz07ch", "j00bie", "youbie", "dood", "z ", "Z!",  " ph",  " Ph", " a ",
        " o ",   " 4 ",   " 1 ",  "quiz ", "|-| ", "|_| ", "_| ", "\\/ ", "|\\/| "};
    return kWords[Below(static_cast<int>(std::size(kWords)))];
  }

  std::string Fragment(const LetterTable& table) {
    switch (Below(12)) {
      case 0: case 1: case 2: return Word();
      case 3: return Piece("aeloystfAELOSTFhkcdunwbijr", 1 + Below(5));
      case 4: return Piece("  !,;:.?'\"", 1 + Below(2));
      case 5: return Chance(70) ? "\r\n" : Piece("\r\n", 1);
      case 6: return Piece("0134579", 1 + Below(3));
      case 7: return table[Below(26)] + (Chance(70) ? " " : "");  // a token
      case 8: {
        static const char* const kOdd[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xFF",
                                           "\x80",     "\xC3",         "\0",           "\t"};
        const int k = Below(8);
        return k == 6 ? std::string(1, '\0') : std::string(kOdd[k]);
      }
      default: return Piece("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ ", 1 + Below(6));
    }
  }

  // A custom entry: words that the chains make or undo, tokens of the table,
  // short strings that overlap each other, and now and then an empty
  // replacement or one holding a lone line feed.
  std::string Entry(const LetterTable& table, bool replacement) {
    switch (Below(10)) {
      case 0: return Word();
      case 1: return table[Below(26)] + " ";
      case 2: return Piece("aes ", 1 + Below(2));
      case 3: return replacement && Chance(60) ? std::string() : Piece("ab", 1 + Below(3));
      case 4: return Piece("aAeE0134 z", 1 + Below(4));
      case 5: return Chance(20) ? Piece("x\ny\r", 2) : Piece("hello", 2 + Below(3));
      default: return Piece("abcdefghijklmnopqrstuvwxyz", 2 + Below(5));
    }
  }

  std::mt19937_64 rng_;
};

struct RuleSet {
  LetterTable table;
  std::string search, replace;
};

MemorySettings Store(const RuleSet& rules) {
  MemorySettings store;
  testing_support::WriteLetterTable(store, rules.table);
  testing_support::WriteStoredList(store, rules.search, rules.replace);
  return store;
}

std::string Describe(std::uint64_t seed, int set, const testing_support::EngineRun& run,
                     const RuleSet& rules, std::string_view text) {
  std::ostringstream os;
  os << "seed " << seed << ", rule set " << set << ", " << testing_support::RunName(run)
     << "\n  text    " << Escaped(text);
  for (int i = 0; i < 26; ++i)
    os << (i % 6 == 0 ? "\n  table  " : " ") << static_cast<char>('A' + i) << "="
       << Escaped(rules.table[i]);
  os << "\n  search  " << Escaped(rules.search) << "\n  replace " << Escaped(rules.replace);
  return os.str();
}

// Short texts too run the compiled paths; first calls that run uncompiled
// have a test of their own.
constexpr TranslatorOptions kCompiledAtOnce{.uncompiledFirstCall = false};

// Translates with both engines; also cuts the text at a random split point
// and checks that the pieces join to the whole.
void ExpectSame(std::uint64_t seed, int set, const RuleSet& rules, std::string_view text,
                std::size_t cut) {
  const MemorySettings store = Store(rules);
  for (const testing_support::EngineRun& run :
       testing_support::RunEngineAndReference(text, store, cut, kCompiledAtOnce)) {
    ASSERT_EQ(Difference(run.whole, run.expected), "") << Describe(seed, set, run, rules, text);
    ASSERT_EQ(Difference(run.joined, run.expected), "")
        << "split at " << run.split << "\n" << Describe(seed, set, run, rules, text);
    using testing_support::AlignmentDifference;
    ASSERT_EQ(AlignmentDifference(run.aligned, run.expectedAligned), "")
        << Describe(seed, set, run, rules, text);
    ASSERT_EQ(AlignmentDifference(run.joinedAligned, run.expectedAligned), "")
        << "split at " << run.split << "\n" << Describe(seed, set, run, rules, text);
  }
}

TEST(TranslateDifferentialTest, EngineEqualsReferenceOnRandomRuleSets) {
  const std::uint64_t seed = EnvNumber("GLOSSMITH_DIFF_SEED", 0x5EED1337);
  const int sets = static_cast<int>(400 * EnvNumber("GLOSSMITH_DIFF_SCALE", 1));
  RuleSetGenerator gen(seed);
  for (int set = 0; set < sets; ++set) {
    RuleSet rules;
    rules.table = gen.Table();
    std::tie(rules.search, rules.replace) = gen.CustomList(rules.table);
    for (int t = 0; t < 4; ++t) {
      const std::string text = gen.Text(rules.table, t == 0 ? 4 : 60);
      ASSERT_NO_FATAL_FAILURE(ExpectSame(seed, set, rules, text, gen.Below(200)));
    }
  }
}

TEST(TranslateDifferentialTest, EngineEqualsReferenceOnLongTexts) {
  // Long enough for the machine to cut the text into lanes.
  const std::uint64_t seed = EnvNumber("GLOSSMITH_DIFF_SEED", 0x5EED1337) + 1;
  RuleSetGenerator gen(seed);
  for (int set = 0; set < 4; ++set) {
    RuleSet rules;
    rules.table = gen.Table();
    std::tie(rules.search, rules.replace) = gen.CustomList(rules.table);
    std::string text;
    while (text.size() < 70000) text += gen.Text(rules.table, 40);
    ASSERT_NO_FATAL_FAILURE(ExpectSame(seed, set, rules, text, text.size() / 2));
  }
}

TEST(TranslateDifferentialTest, EngineEqualsReferenceAtThePairLimit) {
  const std::uint64_t seed = EnvNumber("GLOSSMITH_DIFF_SEED", 0x5EED1337) + 2;
  RuleSetGenerator gen(seed);
  RuleSet rules;
  rules.table = gen.Table();
  std::tie(rules.search, rules.replace) = gen.HugeCustomList(rules.table);
  for (int t = 0; t < 3; ++t) {
    const std::string text = "the " + gen.Text(rules.table, 200);
    ASSERT_NO_FATAL_FAILURE(ExpectSame(seed, 0, rules, text, text.size() / 3));
  }
}

}  // namespace
}  // namespace glossmith
