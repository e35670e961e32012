// The engine against the reference rules on inputs built to break it: texts
// laid out so that rare tokens fall on the edges where the engine changes
// strategy (blocks, lanes, chunks, batch pieces), and rule sets that feed
// themselves, explode when composed, or leave no byte to cut a text after.
// Every case compiles its rules afresh.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/engine/budget.h"
#include "core/engine/engine.h"
#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/reference.h"
#include "core/rules/rule_set.h"
#include "core/translate.h"
#include "tests/support/engine_comparison.h"
#include "tests/support/rule_store.h"
#include "tests/support/text_difference.h"

namespace glossmith {
namespace {

using testing_support::Difference;
using testing_support::WriteCustomList;

constexpr std::size_t kKiB = 1024, kMiB = 1024 * kKiB;

// What the engine keeps between calls may not grow past this, whatever the rules.
constexpr std::size_t kRetainedLimit = 64 * kMiB;

void ExpectLikeReference(const std::string& text, const Settings& store, Direction direction,
                         bool hardcore, const std::string& label) {
  const Translator translator(direction, hardcore, ReadRuleSet(store, hardcore),
                              {.uncompiledFirstCall = false});
  std::string actual;
  translator.Translate(text, actual);
  const std::string expected = direction == Direction::kEnglishToL33t
                                   ? reference::EnglishToL33t(text, hardcore, store)
                                   : reference::L33tToEnglish(text, hardcore, store);
  ASSERT_EQ(Difference(actual, expected), "") << label << " (" << translator.Describe() << ")";
  EXPECT_LE(translator.RetainedBytes(), kRetainedLimit) << label;
  // Piece for piece, wherever the engine changes strategy; up to a text that
  // spans a chunk's edge, since the reference's alignment is slow on longer.
  if (text.size() > 2 * kMiB) return;
  const RuleSet rules = ReadRuleSet(store, hardcore);
  const AlignedText expectedAligned = direction == Direction::kEnglishToL33t
                                          ? reference::EnglishToL33tAligned(text, hardcore, rules)
                                          : reference::L33tToEnglishAligned(text, hardcore, rules);
  AlignedText aligned;
  translator.TranslateAligned(text, aligned.text, aligned.alignment);
  ASSERT_EQ(testing_support::AlignmentDifference(aligned, expectedAligned), "")
      << label << " (" << translator.Describe() << ")";
  EXPECT_LE(translator.RetainedBytes(), kRetainedLimit) << label;
}

void ExpectAllLikeReference(const std::string& text, const Settings& store,
                            const std::string& label) {
  for (Direction direction : {Direction::kEnglishToL33t, Direction::kL33tToEnglish})
    for (bool hardcore : {false, true})
      ExpectLikeReference(text, store, direction, hardcore,
                          label + (direction == Direction::kEnglishToL33t ? " E>L" : " L>E") +
                              (hardcore ? " hardcore" : " standard"));
}

// A text of one filler byte with runs of a token at given offsets.
std::string Layout(std::size_t size, char filler, const std::string& token,
                   const std::vector<std::pair<std::size_t, std::size_t>>& runs) {
  std::string text(size, filler);
  for (const auto& [from, to] : runs)
    for (std::size_t i = from; i <= to && i < size; ++i) text[i] = token[(i - from) % token.size()];
  return text;
}

// Runs that once made one lane write past its room: a token whose entry is
// computed in one lane while another lane in the same block meets it too.
TEST(EngineStressTest, TokensMetByTwoLanesInOneBlock) {
  MemorySettings hard;
  WriteHardcoreDefaults(hard);
  MemorySettings growing;
  WriteCustomList(growing, {"q"}, {"qqqqqqqqq"});
  struct Case {
    const char* name;
    const Settings& store;
    bool hardcore;
    char filler;
    char token;
    std::size_t secondFrom;
  };
  const Case cases[] = {
      {"hardcore m in 2s", hard, true, '2', 'm', 697686},
      {"hardcore m in 2s, second run at the end", hard, true, '2', 'm', 1047212},
      {"custom q in xs", growing, false, 'x', 'q', 697686},
      {"custom q in xs, second run at the end", growing, false, 'x', 'q', 1047212},
  };
  for (const Case& c : cases) {
    const std::string text = Layout(1 * kMiB, c.filler, std::string(1, c.token),
                                    {{348161, 349524}, {c.secondFrom, c.secondFrom + 1363}});
    ExpectLikeReference(text, c.store, Direction::kEnglishToL33t, c.hardcore, c.name);
  }
}

// Rare tokens at the same offset in every third, block or chunk, and first
// appearances late in the text, at sizes around every edge where the engine
// changes strategy.
TEST(EngineStressTest, RareTokensOnStrategyEdges) {
  MemorySettings store;
  WriteHardcoreDefaults(store);
  WriteCustomList(store, {"dude", "q"}, {"d00d", "qqqqqqqqqqqqq"});  // one long expansion
  const std::size_t sizes[] = {32 * kKiB, 48 * kKiB - 1, 48 * kKiB + 1, 1 * kMiB - 1,
                               1 * kMiB,  1 * kMiB + 1,  3 * kMiB + 7,  4 * kMiB};
  const std::string tokens[] = {"q", "the ", "mmmm", "|-| "};
  for (std::size_t size : sizes) {
    for (const std::string& token : tokens) {
      std::vector<std::pair<std::size_t, std::size_t>> runs;
      const std::size_t run = token.size() * 300;
      for (std::size_t third = 0; third < 3; ++third) {
        const std::size_t at = size * third / 3 + 1000;  // same offset in each third
        runs.emplace_back(at, at + run);
      }
      runs.emplace_back(size - run - 1, size - 1);    // first appearance of a long run at the end
      runs.emplace_back(4096 * 7 - 2, 4096 * 7 + 2);  // across a block edge
      if (size > kMiB) runs.emplace_back(kMiB - 3, kMiB + 3);  // across the chunk edge
      const char filler = token == "|-| " ? 'h' : '2';
      ExpectAllLikeReference(Layout(size, filler, token, runs), store,
                             "size " + std::to_string(size) + " token '" + token + "'");
    }
  }
}

// Letter values that spell other letters: composing them eagerly would need
// gigabytes, the plain rules only touch what the text holds.
TEST(EngineStressTest, LetterValuesThatSpellEachOther) {
  MemorySettings store;
  WriteHardcoreDefaults(store);
  for (char letter = 'A'; letter <= 'I'; ++letter)
    store.Write(kApp, kSectionHardcore, LetterKey(letter),
                std::string(10, static_cast<char>(letter + 1)));
  ExpectAllLikeReference("hi", store, "ten of the next letter");
  ExpectAllLikeReference(std::string(64 * kKiB, 'h') + " hi there", store,
                         "ten of the next letter, long");

  MemorySettings short3;  // a bounded cascade over texts with every letter
  WriteHardcoreDefaults(short3);
  for (char letter = 'A'; letter <= 'E'; ++letter)
    short3.Write(kApp, kSectionHardcore, LetterKey(letter),
                 std::string(3, static_cast<char>(letter + 1)) + "a");
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "The Quick brown fox; ABCDEF abcdef\r\n";
  ExpectAllLikeReference(text, short3, "three of the next letter");
}

// Custom lists that feed themselves, are huge, have very long find strings,
// or leave no byte that no step looks for.
TEST(EngineStressTest, AdversarialCustomLists) {
  std::mt19937 rng(4242);
  auto printable = [&](std::size_t n) {
    std::string s(n, ' ');
    for (char& c : s) c = static_cast<char>(' ' + rng() % 95);
    return s;
  };
  struct Case {
    std::string name;
    std::vector<std::string> search, replace;
    std::string text;
  };
  std::vector<Case> cases;
  {
    Case c{"replacements hold their own and later finds", {}, {}, {}};
    for (int i = 0; i < 24; ++i) {
      c.search.push_back("a" + std::to_string(i % 7));
      c.replace.push_back("a" + std::to_string((i + 1) % 7) + "a" + std::to_string(i % 7));
    }
    for (int i = 0; i < 300; ++i) c.text += "a" + std::to_string(i % 9) + (i % 5 ? "" : " ");
    cases.push_back(std::move(c));
  }
  {
    Case c{"32768 long random strings", {}, {}, "hello world"};
    for (int i = 0; i < 32768; ++i) {
      c.search.push_back(printable(100));
      c.replace.push_back("x");
    }
    cases.push_back(c);
    c.name = "32768 long random strings, some in a long text";
    c.text.clear();
    for (int i = 0; i < 40; ++i)
      c.text += c.search[static_cast<std::size_t>(i * 800)] + (i % 2 ? " x " : "\r\n");
    cases.push_back(std::move(c));
  }
  {
    Case c{
        "a find string of 64 KiB", {std::string(64 * kKiB - 1, 'a') + "b", "ab"}, {"<", "ba"}, {}};
    c.text = std::string(70 * kKiB, 'a') + "b " + std::string(64 * kKiB - 1, 'a') + "b" +
             std::string(100, 'a');
    cases.push_back(std::move(c));
  }
  {
    Case c{"2000 pairs rotating single letters", {}, {}, {}};
    for (int i = 0; i < 2000; ++i) {
      c.search.emplace_back(1, static_cast<char>('a' + i % 26));
      c.replace.emplace_back(1, static_cast<char>('a' + (i + 1) % 26));
    }
    for (int i = 0; i < 16 * 1024; ++i) c.text += "abcdefghij "[rng() % 11];
    cases.push_back(std::move(c));
  }
  {
    Case c{"a find string of 64 KiB, then runs that almost match it",
           {std::string(64 * kKiB - 1, 'a') + "b", "ab"},
           {"<", "ba"},
           {}};
    for (int i = 0; i < 4; ++i) c.text += std::string(60000, 'a') + "b";
    c.text += std::string(64 * kKiB - 1, 'a') + "b\n";
    cases.push_back(std::move(c));
  }
  {
    Case c{"30000 random words", {}, {}, {}};
    for (int i = 0; i < 30000; ++i) {
      std::string word(5 + rng() % 16, ' ');
      for (char& ch : word) ch = static_cast<char>('a' + rng() % 26);
      c.search.push_back(word);
      c.replace.push_back(i % 3 ? word.substr(1) + "x" : "");
    }
    for (int i = 0; i < 400; ++i)
      c.text += (i % 4 ? c.search[rng() % 30000] : printable(8)) + (i % 7 ? " " : "\r\n");
    cases.push_back(std::move(c));
  }
  {
    Case c{"every byte value in some find string", {}, {}, {}};
    for (int b = 0; b < 256; ++b) {
      if (b == '\r') continue;  // a lone CR cannot end an entry before the LF that follows
      c.search.push_back(std::string(1, static_cast<char>(b)) + (b % 2 ? "y" : ""));
      c.replace.push_back(std::string(1, static_cast<char>(255 - b)));
    }
    c.search.push_back("\rz");
    c.replace.push_back("r");
    for (int i = 0; i < 200000; ++i) c.text += static_cast<char>(rng() % 256);
    cases.push_back(std::move(c));
  }
  for (const Case& c : cases) {
    MemorySettings store;
    WriteHardcoreDefaults(store);
    WriteCustomList(store, c.search, c.replace);
    ExpectAllLikeReference(c.text, store, c.name);
  }
}

// Long lists of one-byte find strings compose into one machine up to
// kMaxOneByteList steps and run as a batch past it: letters rotating through
// the alphabet, each step feeding the next, on either side of the limit; and
// z growing dashes every round, so that the byte map outgrows its cap.
TEST(EngineStressTest, LongListsOfOneByteSteps) {
  constexpr std::size_t kLimit = detail::kMaxOneByteList;
  const struct {
    const char* name;
    std::size_t pairs;
    std::size_t dashes;
  } kCases[] = {{"17 rotating letters", 17, 0},
                {"rotating letters at the limit", kLimit, 0},
                {"rotating letters past the limit", kLimit + 1, 0},
                {"rotating letters growing dashes", kLimit, 30}};
  std::mt19937 rng(11);
  std::string text;
  for (int i = 0; i < 300; ++i) text += "abcdefghijz \n"[rng() % 13];
  for (const auto& c : kCases) {
    std::vector<std::string> search, replace;
    for (std::size_t i = 0; i < c.pairs; ++i) {
      search.emplace_back(1, static_cast<char>('a' + i % 26));
      replace.emplace_back(1, static_cast<char>('a' + (i + 1) % 26));
      if (i % 26 == 25) replace.back() += std::string(c.dashes, '-');
    }
    MemorySettings store;
    WriteHardcoreDefaults(store);
    WriteCustomList(store, search, replace);
    ExpectAllLikeReference(text, store, c.name);
    const Translator translator(Direction::kEnglishToL33t, false, ReadRuleSet(store, false));
    EXPECT_EQ(translator.Describe().find("batch") != std::string::npos, c.pairs > kLimit)
        << c.name << ": " << translator.Describe();
  }
}

// The aligned run: each byte is a piece of its own output except in stretches
// where a step completed a find string of several bytes, which are looked up
// by their bytes (small ones in a table, longer ones in a map or aligned
// alone) until their cost passes the budget. Cases on each of those edges,
// and stretches cut by a chunk's edge or the end of the text.
TEST(EngineStressTest, AlignmentOnItsFastPathsEdges) {
  auto repeat = [](const std::string& unit, std::size_t size) {
    std::string text;
    while (text.size() < size) text += unit;
    text.resize(size);
    return text;
  };
  auto runsOf = [](char c, std::initializer_list<std::size_t> lengths, const std::string& after) {
    std::string text;
    for (std::size_t n : lengths) text += std::string(n, c) + after;
    return text;
  };
  const std::string phrase = "the d00d sux0r, 7h3 dude fucks. a h4ck ";
  struct Case {
    std::string name;
    std::vector<std::string> search, replace;
    std::string text;
  };
  std::vector<Case> cases = {
      {"stretches on the ends of the text", {}, {}, "the dude"},
      {"one byte pending at the end", {}, {}, "fuck the"},
      {"three lanes of stretches", {}, {}, repeat(phrase, 64 * kKiB + 5)},
      {"empty replacements", {"x", "ab"}, {"", ""}, "xaxbabxx ab a b xabx the"},
      {"a step's output that a later step finds whole", {"q", "ab"}, {"ab", "X"}, "qqabq q"},
      {"one byte to 254 bytes", {"q"}, {std::string(254, 'w')}, "aqbqq q the q"},
      {"one byte to 255 bytes", {"q"}, {std::string(255, 'w')}, "aqbqq q the q"},
      {"one byte to 300 bytes", {"q"}, {std::string(300, 'w')}, "aqbqq q the q"},
      {"two bytes to 300 bytes", {"qz"}, {std::string(300, 'w')}, "qzqz aqzb the"},
      {"stretches of 15 to 17 and 63 to 81 bytes",
       {std::string(80, 'q') + "Z", "qq"},
       {"!", "k"},
       runsOf('q', {15, 16, 17, 63, 64, 65, 79, 80, 81}, ".") + std::string(80, 'q') + "Z."},
      // The pieces wait as codes of one byte: runs of up to 128, small pieces,
      // and those too large for one, appended on their own.
      {"runs of 127 to 129 and 1023 to 1025 bytes between occurrences",
       {},
       {},
       runsOf('b', {127, 128, 129, 1023, 1024, 1025}, "s ")},
      {"runs that fill the buffer of codes", {}, {}, repeat(std::string(1000, 'b') + "s ", 600 * kKiB)},
      {"one byte to 15 and 16 bytes",
       {"q", "k"},
       {std::string(15, 'w'), std::string(16, 'w')},
       repeat("aqbk qk the kq s ", 20 * kKiB)},
      {"pieces of 8 bytes to 14 and 15, and of 9 bytes",
       {std::string(9, 'q'), std::string(8, 'q'), "kkkkkkkk"},
       {"!", std::string(15, 'w'), std::string(14, 'w')},
       repeat(std::string(9, 'q') + "." + std::string(8, 'q') + ". kkkkkkkk s ", 20 * kKiB)},
      {"small stretches of 14 to 16 pieces",
       {std::string(20, 'x') + "Y", "xY"},
       {"!", "Z"},
       runsOf('x', {13, 14, 15}, "Y.")},
      {"long stretches past the budget",
       {std::string(200, 'q') + "Z", "qq"},
       {"!", "k"},
       repeat(std::string(150, 'q') + ".", 400 * kKiB)},
  };
  // Stretches cut by the chunk's edge, at two places in the phrase.
  for (std::size_t shift = 0; shift < 10; shift += 5)
    cases.push_back({"chunk edge, shift " + std::to_string(shift),
                     {},
                     {},
                     std::string(shift, 'x') + repeat(phrase, detail::kChunkBytes + 100)});
  for (const Case& c : cases) {
    MemorySettings store;
    WriteHardcoreDefaults(store);
    if (!c.search.empty()) WriteCustomList(store, c.search, c.replace);
    ExpectAllLikeReference(c.text, store, c.name);
  }
}

// A Custom list of more one-byte steps than are fused is a machine of its
// own; with few bytes to look for it copies the rest in bulk, marking each
// byte copied as a piece of its own.
TEST(EngineStressTest, AlignedMachineThatCopiesBetweenStartBytes) {
  std::vector<std::string> search, replace;
  for (std::size_t i = 0; i < Translator::kFusedPairs + 4; ++i) {
    search.push_back(i % 2 ? "q" : "z");
    replace.push_back(i % 3 ? "zz" : "q");
  }
  MemorySettings store;
  WriteHardcoreDefaults(store);
  WriteCustomList(store, search, replace);
  std::string text;
  for (int i = 0; i < 3000; ++i) text += i % 40 ? "plain words, nothing else " : "q z qz ";
  ExpectAllLikeReference(text, store, "one-byte list with two start bytes");
}

}  // namespace
}  // namespace glossmith
