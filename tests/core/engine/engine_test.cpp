#include "core/engine/engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/engine/batch_replace.h"
#include "core/engine/budget.h"
#include "core/engine/chain_machine.h"
#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/literal_replace.h"
#include "core/rules/reference.h"
#include "core/rules/rule_set.h"
#include "core/translate.h"
#include "tests/support/recording_settings.h"
#include "tests/support/engine_comparison.h"
#include "tests/support/rule_store.h"
#include "tests/support/text_difference.h"

namespace glossmith {
namespace {

// The suite tests the compiled paths on new Translators, short texts
// included; first calls that run uncompiled have a test of their own.
constexpr TranslatorOptions kCompiledAtOnce{.uncompiledFirstCall = false};

using namespace std::string_literals;
using testing_support::Difference;
using testing_support::WriteCustomList;
using testing_support::WriteStoredList;

std::string Sequential(std::string text, const Steps& steps) {
  for (const auto& [find, replacement] : steps) ReplaceAllInPlace(text, find, replacement);
  return text;
}

std::string ByMachine(std::string_view text, const Steps& steps) {
  detail::ChainMachine machine(steps);
  std::string out;
  machine.Run(text, out);
  return out;
}

std::string ByBatch(std::string_view text, const Steps& steps) {
  detail::BatchReplacer batch(steps);
  std::string out;
  batch.Run(text, out);
  return out;
}

struct ChainCase {
  const char* name;
  Steps steps;
  std::string text;
  std::string expected;
};

void PrintTo(const ChainCase& c, std::ostream* os) { *os << c.name; }

class ComposedChainTest : public testing::TestWithParam<ChainCase> {};

// Chains whose steps interact; both engines must give what running the steps
// one by one gives.
TEST_P(ComposedChainTest, MatchesStepByStep) {
  const ChainCase& c = GetParam();
  ASSERT_EQ(Sequential(c.text, c.steps), c.expected) << "the case itself is wrong";
  EXPECT_EQ(ByMachine(c.text, c.steps), c.expected);
  EXPECT_EQ(ByBatch(c.text, c.steps), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Interactions, ComposedChainTest,
    testing::Values(
        ChainCase{"LaterStepRewritesInsertion", {{"a", "b"}, {"b", "c"}}, "ab", "cc"},
        ChainCase{"InsertionCompletesLaterFind", {{"x", "a"}, {"ab", "Z"}}, "xb", "Z"},
        ChainCase{"DeletionJoinsNeighbours", {{"x", ""}, {"ab", "Z"}}, "axb", "Z"},
        ChainCase{"EarlierStepWinsOverlap", {{"bc", "X"}, {"ab", "Y"}}, "abc", "aX"},
        ChainCase{"LaterStepTakesWhatIsLeft", {{"ab", "Y"}, {"bc", "X"}}, "abcbc", "YcX"},
        ChainCase{"LeftmostNonOverlapping", {{"aa", "b"}}, "aaaaa", "bba"},
        ChainCase{"BorderFallback", {{"aab", "X"}}, "aaab", "aX"},
        ChainCase{"PendingPrefixAtEnd", {{"abc", "X"}}, "xab", "xab"},
        ChainCase{"PendingPrefixFeedsLaterStep", {{"abc", "X"}, {"ab", "Y"}}, "ab", "Y"},
        ChainCase{"InsertionNotRescannedBySameStep", {{"a", "aa"}}, "aa", "aaaa"},
        ChainCase{"OneByteStepsFuseInOrder", {{"a", "b"}, {"b", "c"}, {"c", "a"}}, "abc", "aaa"},
        ChainCase{"OneByteStepExpands", {{"a", "xy"}, {"y", "z"}, {"xz", "!"}}, "aya", "!z!"},
        ChainCase{"EmptyFindChangesNothing", {{"", "x"}, {"b", "c"}}, "ab", "ac"},
        ChainCase{"EmptyTextStaysEmpty", {{"a", "b"}}, "", ""},
        ChainCase{"DuplicateFindSeesOnlyNewText", {{"ab", "a"}, {"ab", "c"}}, "aabb", "ac"},
        ChainCase{"SelfOverlapThenOther", {{"aba", "1"}, {"ab", "2"}}, "ababab", "1b2"},
        ChainCase{"Utf8FindMatchesWholeCharacter",
                  {{"\xC3\xA9", "e"}, {"e ", "3 "}},
                  "\xC3\xA9 x",
                  "3 x"},
        ChainCase{
            "InvalidBytesAndNul", {{"\xFF\0"s, "<>"}, {"<", "\0"s}}, "a\xFF\0\xFF"s, "a\0>\xFF"s}),
    [](const testing::TestParamInfo<ChainCase>& info) { return std::string(info.param.name); });

// Random chains over a small alphabet, where steps overlap and feed each other
// all the time. Long texts hold split bytes so that the machine runs in
// several lanes and the batch in several chunks.
class RandomChains : public testing::Test {
 protected:
  std::string Random(int maxLength, std::string_view alphabet) {
    std::string s(rng_() % (maxLength + 1), ' ');
    for (char& c : s) c = alphabet[rng_() % alphabet.size()];
    return s;
  }
  Steps RandomSteps(int count, std::string_view alphabet) {
    Steps steps;
    const int findLength = 1 + static_cast<int>(rng_() % 5),
              replaceLength = static_cast<int>(rng_() % 5);
    for (int i = 0; i < count; ++i)
      steps.emplace_back(Random(findLength, alphabet), Random(replaceLength, alphabet));
    return steps;
  }
  std::mt19937 rng_{20240611};
};

// Few distinct bytes make steps feed each other all the time; more distinct
// bytes make machines that run long texts in interleaved lanes rather than
// skipping between the few bytes that start a match.
TEST_F(RandomChains, MachineMatchesStepByStep) {
  int interleaved = 0, skipping = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string_view alphabet = round % 2 ? "abcdefg " : "ab ";
    const Steps steps = RandomSteps(1 + static_cast<int>(rng_() % 8) + (round % 2) * 4, alphabet);
    detail::ChainMachine machine(steps);
    for (int t = 0; t < 4; ++t) {
      // Long texts of the few-byte rounds are mostly bytes that no step
      // looks for, the case in which runs copy them in bulk.
      const bool longText = t == 3 && round % 50 < 2;
      const std::string sparse = std::string(alphabet) + std::string(60, 'x');
      std::string text = Random(longText ? 60000 : 40, longText ? sparse : alphabet);
      for (std::size_t i = 97; i < text.size(); i += 97) text[i] = '\n';  // a split byte
      const std::string expected = Sequential(text, steps);
      if (expected.size() > 200000) continue;
      std::string out;
      machine.Run(text, out);
      ASSERT_EQ(Difference(out, expected), "") << "round " << round;
      if (longText) ++(machine.CopiesBetweenStartBytes() ? skipping : interleaved);
    }
  }
  EXPECT_GT(interleaved, 0);
  EXPECT_GT(skipping, 0);
}

TEST_F(RandomChains, MachineStaysExactWhenItsTableIsRebuilt) {
  std::size_t resets = 0;
  int interleaved = 0;
  for (int round = 0; round < 300; ++round) {
    const Steps steps = RandomSteps(8, "abcdefg ");
    detail::ChainMachine machine(steps, {.maxEntries = 64});  // room for a few states only
    const bool longText = round % 10 == 0;
    std::string text = Random(longText ? 70000 : 400, "abcdefg ");
    for (std::size_t i = 89; i < text.size(); i += 89) text[i] = '\n';  // lanes
    const std::string expected = Sequential(text, steps);
    if (expected.size() > 200000) continue;
    std::string out;
    machine.Run(text, out);
    ASSERT_EQ(Difference(out, expected), "") << "round " << round;
    resets += machine.ResetCount();
    interleaved += longText && !machine.CopiesBetweenStartBytes();
  }
  EXPECT_GT(resets, 0u);
  EXPECT_GT(interleaved, 0);
}

// The machine indexes which steps react to each byte, 64 steps to a word up
// to a cap, and visits every step of a longer chain. Chains end on either
// side of a word's edge and of the cap; every seventh step has one byte, a
// byte map of its own between two longer ones.
TEST_F(RandomChains, LongChainsMatchStepByStep) {
  const std::string_view letters = "abcdefghijklmnopqrstuvwxyz";
  auto word = [&](std::size_t length) {
    std::string s(length, ' ');
    for (char& c : s) c = letters[rng_() % letters.size()];
    return s;
  };
  for (const int count : {63, 64, 65, 130, 512, 513, 700}) {
    Steps steps;
    for (int i = 0; i < count; ++i) steps.emplace_back(word(i % 7 == 3 ? 1 : 2), word(rng_() % 3));
    std::string text = word(3000);
    for (std::size_t i = 7; i < text.size(); i += 7 + rng_() % 5) text[i] = ' ';
    // Budget enough to compose every entry, so that the machine runs it all.
    detail::ChainMachine machine(steps, {.fixedWork = std::size_t{1} << 28});
    std::string out;
    machine.Run(text, out);
    EXPECT_FALSE(machine.LastRunStepByStep()) << count << " steps";
    EXPECT_EQ(Difference(out, Sequential(text, steps)), "") << count << " steps";
  }
}

// A machine starts with a column for every byte value and, once its table
// outgrows the budget that way, goes on with narrow rows from the next
// megabyte chunk, or from the next run, unless its rules look for nearly
// every byte value. Texts end inside the first chunk, on its edge and past
// it; both runs of each fresh machine must give the steps' result.
TEST(ChainMachineTest, GoingNarrowLosesNoByte) {
  // Runs of "a" walk a 1,500-byte find string through its 1,500 states.
  const Steps fewBytes = {{std::string(1499, 'a') + "b", "<X>"}, {"ab", "Y"}, {"\xE9", "e"}};
  Steps everyByte = fewBytes;
  std::string allValues;
  for (int b = 0; b < 256; ++b) allValues += static_cast<char>(b);
  everyByte.emplace_back(allValues, "!");
  const struct {
    const char* name;
    const Steps& steps;
    bool narrowAfter;
  } kCases[] = {{"few bytes", fewBytes, true}, {"every byte value", everyByte, false}};
  const std::string unit = std::string(1600, 'a') + "b\n" + std::string(700, 'a') + "\xE9 z\n";
  for (const auto& c : kCases) {
    for (const std::size_t size : {std::size_t{5000}, std::size_t{1} << 20,
                                   (std::size_t{1} << 20) + 1, std::size_t{3} << 20}) {
      std::string text;
      while (text.size() < size) text += unit;
      text.resize(size);
      const std::string expected = Sequential(text, c.steps);
      detail::ChainMachine machine(c.steps);
      ASSERT_TRUE(machine.Wide());
      for (int run = 0; run < 2; ++run) {
        std::string out;
        machine.Run(text, out);
        ASSERT_EQ(Difference(out, expected), "") << c.name << ", " << size << " bytes, run " << run;
      }
      EXPECT_EQ(machine.Wide(), !c.narrowAfter) << c.name << ", " << size;
      // Narrow, the second run's table holds every state it needs.
      if (c.narrowAfter) {
        EXPECT_FALSE(machine.LastRunStepByStep()) << size;
      }
    }
  }
}

TEST_F(RandomChains, BatchMatchesStepByStep) {
  for (int round = 0; round < 1500; ++round) {
    const Steps steps = RandomSteps(1 + static_cast<int>(rng_() % 40), "abc ");
    // Tiny limits make most passes run out of room and cut texts into pieces;
    // now and then a long text is scanned in two lanes with little room.
    const bool tight = round % 2 == 1, longText = round % 50 == 0;
    detail::BatchReplacer batch(
        steps, longText
                   ? detail::BatchLimits{.chunkBytes = std::size_t{1} << 20, .extraOccurrences = 0}
               : tight ? detail::BatchLimits{.chunkBytes = 16, .extraOccurrences = 0}
                       : detail::BatchLimits{});
    for (int t = 0; t < 3; ++t) {
      std::string text = Random(longText ? 40000 : t == 0 ? 30 : 300, "abc ");
      for (std::size_t i = 97; longText && i < text.size(); i += 97) text[i] = '\n';
      const std::string expected = Sequential(text, steps);
      if (expected.size() > 100000) continue;
      std::string out;
      batch.Run(text, out);
      ASSERT_EQ(Difference(out, expected), "")
          << "round " << round << " text " << testing_support::Escaped(text, 400);
    }
  }
}

// A run whose budget is spent part way (in any lane, block, pass or chunk)
// gives up and still gives the steps' result, and so does the next run, which
// starts with the entries the first one computed.
TEST_F(RandomChains, SpentBudgetFallsBackExactly) {
  int runs = 0, machineGaveUp = 0, batchGaveUp = 0;
  for (int round = 0; round < 200; ++round) {
    const Steps steps = RandomSteps(2 + static_cast<int>(rng_() % 12), "abcdefg ");
    std::string text = Random(round % 4 == 0 ? 70000 : 3000, "abcdefg ");
    for (std::size_t i = 89; i < text.size(); i += 89) text[i] = '\n';
    const std::string expected = Sequential(text, steps);
    if (expected.size() > 200000) continue;
    const std::size_t work = rng_() % 30000;
    detail::ChainMachine machine(steps, {.fixedWork = work, .workPerByte = 0});
    detail::BatchReplacer batch(steps,
                                {.chunkBytes = 4096, .fixedWork = work / 4, .workPerByteStep = 0});
    for (int run = 0; run < 2; ++run, ++runs) {
      std::string out;
      machine.Run(text, out);
      ASSERT_EQ(Difference(out, expected), "") << "machine, round " << round << " run " << run;
      machineGaveUp += machine.LastRunStepByStep();
      batch.Run(text, out);
      ASSERT_EQ(Difference(out, expected), "") << "batch, round " << round << " run " << run;
      batchGaveUp += batch.LastRunStepByStep();
    }
  }
  EXPECT_GT(machineGaveUp, 0);
  EXPECT_LT(machineGaveUp, runs);
  EXPECT_GT(batchGaveUp, 0);
  EXPECT_LT(batchGaveUp, runs);
}

TEST(BatchReplacerTest, IndependentPairsTakeOnePass) {
  // A thousand word pairs whose insertions no other pair looks for.
  Steps steps;
  std::string text;
  for (int i = 0; i < 1000; ++i) {
    std::string word = "w" + std::to_string(i) + "x";
    steps.emplace_back(word, "<" + std::to_string(i) + ">");
    text += word + " ";
  }
  detail::BatchReplacer batch(steps);
  std::string out;
  batch.Run(text, out);
  EXPECT_EQ(out, Sequential(text, steps));
  EXPECT_EQ(batch.LastPassCount(), 1u);
}

TEST(BatchReplacerTest, CopiesShareTheAutomatonTheFirstBuilds) {
  Steps steps;
  std::string text;
  for (int i = 0; i < 1000; ++i) {
    steps.emplace_back("w" + std::to_string(i) + "x", "<" + std::to_string(i) + ">");
    text += steps.back().find + " ";
  }
  detail::BatchReplacer first(steps), second(steps);
  second.ShareAutomaton(first.Automaton());
  ASSERT_FALSE(second.HasAutomaton());
  std::string out;
  first.Run(text, out);
  EXPECT_TRUE(second.HasAutomaton());
  // Too short to build an automaton for, but it is there already.
  second.Run("w7x w12x", out);
  EXPECT_EQ(out, "<7> <12>");
  EXPECT_FALSE(second.LastRunStepByStep());
}

// Every byte value is looked for and every step's insertion feeds a later
// step: on random bytes a pass would spend a small budget checking the
// occurrence at nearly every byte before it could apply more than its first
// step. The sample of the text tells so before the pass is begun.
TEST(BatchReplacerTest, OccurrencesAtNearlyEveryByteRunOneByOneAtOnce) {
  Steps steps;
  for (int b = 0; b < 256; ++b)
    steps.emplace_back(std::string(1, static_cast<char>(b)) + (b % 2 ? "y" : ""),
                       std::string(1, static_cast<char>(255 - b)));
  std::mt19937 rng(7);
  std::string text(60000, '\0');
  for (char& c : text) c = static_cast<char>(rng() % 256);
  detail::BatchReplacer batch(steps, {.fixedWork = std::size_t{1} << 16});
  std::string out;
  batch.Run(text, out);
  EXPECT_EQ(Difference(out, Sequential(text, steps)), "");
  EXPECT_EQ(batch.LastPassCount(), 0u);
  EXPECT_TRUE(batch.LastRunStepByStep());
}

// Each pass applies one step (the next one sees what it inserted) and is
// followed by eight steps run one by one: 25 steps take three passes.
TEST(BatchReplacerTest, PairsFeedingEachOtherRunMostlyOneByOne) {
  Steps steps;
  for (char c = 'a'; c < 'z'; ++c) steps.emplace_back(std::string(1, c), std::string(1, c + 1));
  detail::BatchReplacer batch(steps);
  std::string text, expected;
  for (int i = 0; i < 20; ++i)
    text += "a-m", expected += "z-z";  // long enough to build the automaton
  std::string out;
  batch.Run(text, out);
  EXPECT_EQ(out, expected);
  EXPECT_EQ(batch.LastPassCount(), 3u);
}

using testing_support::RecordingSettings;

TEST(TranslatorTest, ReadsEachKeyOncePerCall) {
  RecordingSettings store;
  WriteHardcoreDefaults(store);
  WriteStoredList(store, "dude\r\n", "pal\r\n");
  for (bool hardcore : {false, true}) {
    for (int call = 0; call < 2; ++call) {  // the second call finds the compiled form
      store.forgetReads();
      EnglishToL33t("dude", hardcore, store);
      L33tToEnglish("pal", hardcore, store);
      EXPECT_EQ(store.readsOf("change/search"), 2);
      EXPECT_EQ(store.readsOf("change/replace"), 2);
      for (char letter = 'A'; letter <= 'Z'; ++letter)
        EXPECT_EQ(store.readsOf("hardcore/" + std::string(1, letter)), hardcore ? 2 : 0) << letter;
      EXPECT_EQ(store.keysRead(), hardcore ? 28u : 2u);
    }
  }
}

TEST(TranslatorTest, EveryChangedByteOfTheRulesIsInForceAtTheNextCall) {
  MemorySettings store;
  WriteHardcoreDefaults(store);
  EXPECT_EQ(EnglishToL33t("hi", true, store), "|-| ! ");
  store.Write(kApp, kSectionHardcore, "I", "!!");
  EXPECT_EQ(EnglishToL33t("hi", true, store), "|-| !! ");
  store.Write(kApp, kSectionHardcore, "I", "!");
  EXPECT_EQ(EnglishToL33t("hi", true, store), "|-| ! ");

  // Lists long enough to run as a batch; only the last byte of one entry changes.
  std::vector<std::string> search, replace;
  for (int i = 0; i < 40; ++i) {
    search.push_back("k" + std::to_string(i) + "q");
    replace.push_back("v" + std::to_string(i));
  }
  WriteCustomList(store, search, replace);
  EXPECT_EQ(EnglishToL33t("k39q", false, store), "v39");
  replace.back() = "vXy";
  store.Write(kApp, kSectionChange, kKeyReplace, JoinList(replace));
  EXPECT_EQ(EnglishToL33t("k39q", false, store), "vXy");
  replace.back() = "vXq";
  store.Write(kApp, kSectionChange, kKeyReplace, JoinList(replace));
  EXPECT_EQ(EnglishToL33t("k39q", false, store), "vXq");
  EXPECT_EQ(L33tToEnglish("vXq", false, store), "k39q");
}

// A first call on a short text runs the steps uncompiled; the same rules
// read again get the same Translator, which compiles them. Both give the
// reference's bytes, whatever the list's odd ends. A Lease's first call is
// the Translator's too.
TEST(TranslatorTest, FirstCallsRunUncompiledThenCompile) {
  const struct {
    const char* search;
    const char* replace;
  } kLists[] = {
      {"", ""},
      {"dude\r\nrock\r\n", "d00d\r\nr0x0r\r\n"},
      {"a\r\n\r\nb\r\n", "4\r\n8\r\n6\r\n"},  // the list ends at the empty search
      {"cat\r\ndog\r\nfox\r\n", "k4t\r\n"},   // "dog" to nothing; "fox" has no pair
      {"cat\r\ndog", "k4t"},                  // no final line break
      {"a\rb\r\n\n\r\n", "x\ny\r\nZ\r\n"},    // lone CR and LF inside entries
  };
  const std::string kShort = "the dude said a cat\rb and a dog hi\nZ k4t 4 r0x0r ph0x";
  const std::string kLong(detail::kFirstCallWork / 64, 'a');  // too long for a first call
  for (const auto& list : kLists) {
    MemorySettings store;
    WriteHardcoreDefaults(store);
    WriteStoredList(store, list.search, list.replace);
    const RuleSet rules = ReadRuleSet(store, true);
    for (const Direction direction : {Direction::kEnglishToL33t, Direction::kL33tToEnglish})
      for (const bool hardcore : {false, true})
        for (const std::string* text : {&kShort, &kLong}) {
          const std::string label =
              std::string(list.search) + (hardcore ? " Hardcore" : "") +
              (direction == Direction::kEnglishToL33t ? " to L33T" : " back") +
              (text == &kLong ? " long" : "");
          const std::string expected = direction == Direction::kEnglishToL33t
                                           ? reference::EnglishToL33t(*text, hardcore, rules)
                                           : reference::L33tToEnglish(*text, hardcore, rules);
          TranslatorCache cache;
          const auto translator = cache.For(direction, hardcore, store);
          for (const bool first : {true, false}) {
            EXPECT_EQ(cache.For(direction, hardcore, store), translator) << label;
            std::string out;
            translator->Translate(*text, out);
            EXPECT_EQ(Difference(out, expected), "") << label;
            EXPECT_EQ(translator->Describe() == "uncompiled", first && text == &kShort) << label;
          }
          const Translator leased(direction, hardcore, ReadRuleSet(store, hardcore));
          Translator::Lease lease(leased);
          for (const bool first : {true, false}) {
            std::string out;
            lease.Translate(*text, out);
            EXPECT_EQ(Difference(out, expected), "") << label << " leased";
            EXPECT_EQ(leased.PlanCount(), first && text == &kShort ? 0u : 1u) << label;
          }
          // The same for the alignment, which an uncompiled first call takes
          // from the stored strings too.
          const AlignedText expectedAligned =
              direction == Direction::kEnglishToL33t
                  ? reference::EnglishToL33tAligned(*text, hardcore, rules)
                  : reference::L33tToEnglishAligned(*text, hardcore, rules);
          const Translator alignedBy(direction, hardcore, ReadStoredRules(store, hardcore));
          for (const bool first : {true, false}) {
            AlignedText aligned;
            alignedBy.TranslateAligned(*text, aligned.text, aligned.alignment);
            EXPECT_EQ(testing_support::AlignmentDifference(aligned, expectedAligned), "") << label;
            EXPECT_EQ(alignedBy.PlanCount(), first && text == &kShort ? 0u : 1u) << label;
          }
        }
  }
}

// A Translator made from the rules as stored reads its pairs in place; one
// made from them parsed must be the same translation, split bytes included.
TEST(TranslatorTest, StoredAndParsedRulesAgree) {
  const struct {
    const char* search;
    const char* replace;
  } kLists[] = {
      {"", ""},
      {"dude\r\n\r\nb\r\n", "d00d\r\n8\r\n6\r\n"},  // ends at the empty search
      {"cat\r\ndog\r\nfox\r\n", "k4t\r\n"},         // "dog" to nothing
      {"a\rb\r\n\n\r\n~", "x\ny\r\nZ\r\n"},         // CR and LF inside entries
  };
  const std::string text = "the dude said a cat\rb and a dog hi\nZ k4t 4 ~ x\ny ph0x";
  for (const auto& list : kLists) {
    MemorySettings store;
    WriteHardcoreDefaults(store);
    WriteStoredList(store, list.search, list.replace);
    for (const Direction direction : {Direction::kEnglishToL33t, Direction::kL33tToEnglish})
      for (const bool hardcore : {false, true}) {
        const std::string label = std::string(list.search) + (hardcore ? " Hardcore" : "") +
                                  (direction == Direction::kEnglishToL33t ? " to L33T" : " back");
        const Translator stored(direction, hardcore, ReadStoredRules(store, hardcore));
        const Translator parsed(direction, hardcore, ReadRuleSet(store, hardcore));
        EXPECT_EQ(stored.rules(), parsed.rules()) << label;
        for (int b = 0; b < 256; ++b)
          EXPECT_EQ(stored.IsSplitByte(b), parsed.IsSplitByte(b)) << label << ", byte " << b;
        std::string fromStored, fromParsed;
        for (int call = 0; call < 2; ++call) {  // uncompiled, then compiled
          stored.Translate(text, fromStored);
          parsed.Translate(text, fromParsed);
          EXPECT_EQ(fromStored, fromParsed) << label << ", call " << call;
        }
      }
  }
}

// A find string longer than kMaxComposedFind runs on its own between the
// composed machines; one byte shorter, it is composed. Either way the result
// is the plain steps'.
TEST(TranslatorTest, LongFindStringsRunOnTheirOwn) {
  const struct {
    std::size_t length;
    Direction direction;
    const char* plan;
  } kCases[] = {
      {detail::kMaxComposedFind, Direction::kEnglishToL33t, "machine"},
      {detail::kMaxComposedFind + 1, Direction::kEnglishToL33t, "machine, step by step, machine"},
      {detail::kMaxComposedFind + 1, Direction::kL33tToEnglish, "machine, step by step, machine"},
  };
  for (const auto& c : kCases) {
    const std::string longer = std::string(c.length - 1, 'a') + "b";
    const RuleSet rules{{{"dude", "d00d"}, {"qq", longer}, {longer, "<X>"}}, DefaultLetterTable()};
    const std::string text = "the dude said " + longer + "\n" + std::string(c.length + 9, 'a') +
                             "b qq " + longer.substr(1);
    const Translator translator(c.direction, false, rules, kCompiledAtOnce);
    std::string out;
    translator.Translate(text, out);
    EXPECT_EQ(translator.Describe(), c.plan) << c.length;
    EXPECT_EQ(out, c.direction == Direction::kEnglishToL33t
                       ? reference::EnglishToL33t(text, false, rules)
                       : reference::L33tToEnglish(text, false, rules))
        << c.length;
  }
}

TEST(TranslatorTest, PiecesCutAtTheSplitPointJoinToTheWhole) {
  MemorySettings store;
  WriteStoredList(store, "s\r\nline\r\n", "\n\r\n|\r\n");
  const std::string text = "this is the first line\r\nand the second\r\nand the last one";
  for (Direction direction : {Direction::kEnglishToL33t, Direction::kL33tToEnglish}) {
    for (bool hardcore : {false, true}) {
      const Translator translator(direction, hardcore, ReadRuleSet(store, hardcore));
      std::string whole, head, tail;
      translator.Translate(text, whole);
      for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        const std::size_t split = translator.SplitPoint(std::string_view(text).substr(0, cut));
        ASSERT_LE(split, cut);
        translator.Translate(std::string_view(text).substr(0, split), head);
        translator.Translate(std::string_view(text).substr(split), tail);
        ASSERT_EQ(head + tail, whole) << "cut " << cut << " split " << split;
      }
    }
  }
}

// The fast phases run: a plan that fell back to steps run one by one would
// still translate exactly, and nothing else would notice. Custom lists of
// respellings, then made-up words: up to 16 pairs are composed into the
// machine, more run as a batch before (or, back to English, after) it.
TEST(TranslatorTest, PlansRunTheirFastPhases) {
  std::mt19937 random(9);
  const auto word = [&] {
    std::string w(3 + random() % 6, 'a');
    for (char& c : w) c = static_cast<char>('a' + random() % 26);
    return w;
  };
  const std::string sentences =
      "You rock, dude! The elite hackers are at the gates of the planet.\r\n"
      "Is it fun to hack? Newbies ask what the first rule is, and the hackers laugh.\n";
  std::string text;
  while (text.size() < 200000) text += sentences;
  for (const std::size_t pairs : {0u, 1u, 16u, 17u, 1000u, 30000u}) {
    std::vector<std::string> search, replace;
    for (const char* respelled : {"dude", "rock", "elite", "hack"})
      if (search.size() < pairs) {
        search.push_back(respelled);
        replace.push_back(search.back() + "z");
      }
    while (search.size() < pairs) {  // made-up words
      search.push_back(word());
      replace.push_back(search.back() + "z");
    }
    MemorySettings store;
    WriteHardcoreDefaults(store);
    testing_support::WriteCustomList(store, search, replace);
    for (const Direction direction : {Direction::kEnglishToL33t, Direction::kL33tToEnglish})
      for (const bool hardcore : {false, true}) {
        const Translator translator(direction, hardcore, ReadRuleSet(store, hardcore));
        std::string out;
        translator.Translate(text, out);
        const std::string plan = translator.Describe();
        const std::string label =
            std::to_string(pairs) + " pairs, " +
            (direction == Direction::kEnglishToL33t ? "to L33T" : "to English") +
            (hardcore ? ", Hardcore: " : ", standard: ") + plan;
        EXPECT_EQ(plan.find("step by step"), std::string::npos) << label;
        EXPECT_EQ(plan.find("gave up"), std::string::npos) << label;
        EXPECT_EQ(plan.find("batch") != std::string::npos, pairs > Translator::kFusedPairs)
            << label;
        EXPECT_TRUE(plan.ends_with("machine")) << label << (hardcore ? ", Hardcore" : ", standard");
      }
  }
}

}  // namespace
}  // namespace glossmith
