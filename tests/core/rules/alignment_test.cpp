#include "core/rules/alignment.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/rules/hardcore_table.h"
#include "core/rules/reference.h"
#include "core/rules/rule_set.h"
#include "tests/support/alignment_check.h"

namespace glossmith {
namespace {

using testing_support::Spelled;

struct StepsCase {
  const char* name;
  std::string text;
  Steps steps;
  std::string pieces;  // as Spelled writes them
};

TEST(AlignmentOfSteps, PiecesKeepEveryReplacedOccurrenceWhole) {
  const std::vector<StepsCase> cases = {
      {"Empty", "", {{"a", "b"}}, ""},
      {"NoSteps", "ab", {}, "a>a|b>b"},
      {"EmptyFindChangesNothing", "ab", {{"", "x"}}, "a>a|b>b"},
      {"NotRescanned", "aaa", {{"aa", "b"}}, "aa>b|a>a"},
      {"GrowThenJoinAcross", "az", {{"a", "xy"}, {"yz", "Q"}}, "az>xQ"},
      {"JoinChainOfThree", "abc", {{"a", "x"}, {"xb", "yy"}, {"yc", "z"}}, "abc>yz"},
      {"EmptyStrictlyInsideJoins", "abc", {{"b", ""}, {"ac", "X"}}, "abc>X"},
      {"EmptyAtEdgeStaysApart", "abc", {{"b", ""}, {"a", "X"}}, "a>X|b>|c>c"},
      {"EmptyAtStart", "ab", {{"a", ""}, {"b", "Y"}}, "a>|b>Y"},
      {"EmptyAtEnd", "ab", {{"b", ""}, {"a", "Y"}}, "a>Y|b>"},
      {"TwoEmptyAtOnePointThenJoined",
       "abcd",
       {{"b", ""}, {"c", ""}, {"ad", "Z"}},
       "abcd>Z"},
      {"TwoEmptyAtOnePointApart", "abcd", {{"b", ""}, {"c", ""}}, "a>a|b>|c>|d>d"},
      {"EmptyJoinsLaterStep", "xay", {{"a", ""}, {"q", "r"}, {"xy", "W"}}, "xay>W"},
      {"DeletedWholeText", "aa", {{"a", ""}}, "a>|a>"},
      {"InsertedTextSeenByLaterStep", "ab", {{"a", "aa"}, {"ab", "c"}}, "ab>ac"},
      {"LongPieceEscaped", "q", {{"q", std::string(300, 'w')}}, "q>" + std::string(300, 'w')},
  };
  for (const StepsCase& c : cases) {
    const AlignedText aligned = RunStepByStepAligned(c.text, c.steps);
    std::string plain(c.text);
    RunStepByStep(plain, c.steps);
    EXPECT_EQ(aligned.text, plain) << c.name;
    EXPECT_EQ(Spelled(c.text, aligned), c.pieces) << c.name;
  }
}

struct ChainCase {
  const char* name;
  bool toEnglish;
  bool hardcore;
  std::string text;
  std::string pieces;
};

TEST(AlignmentOfTranslations, WordsThroughTheChains) {
  const LetterTable table = DefaultLetterTable();
  const std::string h = table['H' - 'A'] + " ", i = table['I' - 'A'] + " ";
  const std::vector<ChainCase> cases = {
      {"Hack", false, false, "hack", "hack>hax0r"},
      {"TheThroughThreeSteps", false, false, "the ", "the >teh "},
      {"HackThePlanet", false, false, "hack the planet",
       "hack>hax0r| > |the >teh |p>p|l>1|a>4|n>n|e>3|t>7"},
      {"SBeforeSpaceThenF", false, false, "is fun", "i>i|s f>z ph|u>u|n>n"},
      {"YouRock", false, false, "you rock", "you>j00| > |rock>r0x0r"},
      {"MultiByteCharacterPasses", false, false, "\xc3\xa9t", "\xc3>\xc3|\xa9>\xa9|t>7"},
      {"CrLf", false, false, "a\r\nb", "a>4|\r>\r|\n>\n|b>b"},
      {"HardcoreLetters", false, true, "hi", "h>" + h + "|i>" + i},
      {"HardcoreWordKeepsTheLastSpace", false, true, "hack", "hack>hax0r "},
      {"BackHax0r", true, false, "hax0r", "hax0r>hack"},
      {"BackLoneA", true, false, " 4 ", " 4 > a(4) "},
      {"BackHardcoreLetters", true, true, h + i, h + ">h|" + i + ">i"},
  };
  for (const ChainCase& c : cases) {
    RuleSet rules;
    if (c.hardcore) rules.letters = table;
    const AlignedText aligned = c.toEnglish ? reference::L33tToEnglishAligned(c.text, c.hardcore, rules)
                                            : reference::EnglishToL33tAligned(c.text, c.hardcore, rules);
    EXPECT_EQ(aligned.text, c.toEnglish ? reference::L33tToEnglish(c.text, c.hardcore, rules)
                                        : reference::EnglishToL33t(c.text, c.hardcore, rules))
        << c.name;
    EXPECT_EQ(Spelled(c.text, aligned), c.pieces) << c.name;
  }
}

TEST(AlignmentOfTranslations, JoiningThePiecesGivesBackBothTexts) {
  RuleSet rules;
  rules.letters = DefaultLetterTable();
  rules.custom = {{"dude", ""}, {"x", "yyy"}, {"3", "e e"}, {"the", "teh"}};
  std::mt19937 random(7);
  const std::string alphabet = "hackthe sfuXyodu3\r\n4710z!";
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int k = 0; k < length; ++k) text += alphabet[random() % alphabet.size()];
    for (bool toEnglish : {false, true})
      for (bool hardcore : {false, true}) {
        const AlignedText aligned = toEnglish
                                        ? reference::L33tToEnglishAligned(text, hardcore, rules)
                                        : reference::EnglishToL33tAligned(text, hardcore, rules);
        EXPECT_EQ(testing_support::CheckCovers(text, aligned), "")
            << text << " toEnglish " << toEnglish << " hardcore " << hardcore;
      }
  }
}

// The compact form against a plain list of pieces: the same pieces, and the
// queries answered as the definition says, piece by piece.
TEST(AlignmentCompactForm, AgreesWithAPlainListOfPieces) {
  std::mt19937 random(11);
  for (int round = 0; round < 60; ++round) {
    Alignment alignment;
    std::vector<Alignment::Piece> plain;
    std::size_t input = 0, output = 0;
    const int count = static_cast<int>(random() % 700);
    for (int k = 0; k < count; ++k) {
      std::size_t in = 1, out = 1, repeat = 1;
      switch (random() % 5) {
        case 0: repeat = 1 + random() % 300; break;             // runs, across codes
        case 1: out = 0; in = 1 + random() % 3; break;          // without output
        case 2: in = 1 + random() % 9; out = random() % 17; break;  // small and at the edge
        case 3: in = 1 + random() % 200; out = random() % 5000; break;  // escaped
        default: break;
      }
      if (repeat > 1)
        alignment.AppendOneToOne(repeat);
      else
        alignment.Append(in, out);
      for (std::size_t r = 0; r < repeat; ++r) {
        plain.push_back({input, input + in, output, output + out});
        input += in;
        output += out;
      }
    }
    ASSERT_EQ(alignment.Pieces(), plain);
    ASSERT_EQ(alignment.PieceCount(), plain.size());
    ASSERT_EQ(alignment.InputSize(), input);
    ASSERT_EQ(alignment.OutputSize(), output);
    for (int probe = 0; probe < 40 && !plain.empty(); ++probe) {
      const std::size_t index = random() % plain.size();
      EXPECT_EQ(alignment.PieceAt(index), plain[index]);
      const std::size_t wanted = 1 + random() % 300;
      std::vector<Alignment::Piece> some(wanted);
      some.resize(alignment.PiecesFrom(index, some.data(), wanted));
      EXPECT_EQ(some, std::vector<Alignment::Piece>(
                          plain.begin() + static_cast<std::ptrdiff_t>(index),
                          plain.begin() + static_cast<std::ptrdiff_t>(
                                              std::min(plain.size(), index + some.size()))));
      EXPECT_EQ(some.size(), std::min(plain.size() - index, wanted));
      const std::size_t a = random() % (input + 2), b = random() % (input + 2);
      EXPECT_EQ(alignment.ToOutput(std::min(a, b), std::max(a, b)),
                testing_support::PlainToOutput(plain, std::min(a, b), std::max(a, b)))
          << a << " " << b;
      const std::size_t c = random() % (output + 2), d = random() % (output + 2);
      EXPECT_EQ(alignment.ToInput(std::min(c, d), std::max(c, d)),
                testing_support::PlainToInput(plain, std::min(c, d), std::max(c, d)))
          << c << " " << d;
    }
  }
}

// Pieces appended in bulk are the pieces appended one by one: runs that go on
// from the call before and past a code's 128, codes at the edge of the small
// form, escapes, and marks every kMarkCodes codes.
TEST(AlignmentCompactForm, PiecesAppendedInBulkAreThoseAppendedOneByOne) {
  struct Batch {
    std::vector<std::uint8_t> inputs, outputs;
  };
  auto ones = [](std::size_t n) {
    return Batch{std::vector<std::uint8_t>(n, 1), std::vector<std::uint8_t>(n, 1)};
  };
  std::mt19937 random(5);
  Batch mixed;
  for (int k = 0; k < 3000; ++k) {
    mixed.inputs.push_back(static_cast<std::uint8_t>(random() % 4 ? 1 : 1 + random() % 12));
    mixed.outputs.push_back(static_cast<std::uint8_t>(random() % 3 ? 1 : random() % 256));
  }
  const struct {
    const char* name;
    std::vector<Batch> batches;
  } cases[] = {
      {"nothing", {Batch{}}},
      {"a run over calls and codes", {ones(100), ones(100), ones(300)}},
      {"runs joined to 128 pieces and one past", {ones(125), ones(1), ones(226)}},
      {"small form edges", {Batch{{8, 8, 7, 1, 9}, {14, 15, 15, 0, 3}}}},
      {"escapes", {Batch{{255, 1, 200}, {255, 16, 0}}, ones(5)}},
      {"many codes past their marks", {mixed, ones(7), mixed}},
  };
  // As codes: runs of up to 100 pieces of one byte to one byte (so that
  // joining runs passes a code's 128), a piece without a code on its own.
  auto appendCoded = [](Alignment& coded, const Batch& batch) {
    std::vector<std::uint8_t> codes;
    for (std::size_t k = 0; k < batch.inputs.size();) {
      std::size_t ones = 0;
      while (k + ones < batch.inputs.size() && ones < 100 && batch.inputs[k + ones] == 1 &&
             batch.outputs[k + ones] == 1)
        ++ones;
      if (ones > 0) {
        codes.push_back(static_cast<std::uint8_t>(ones - 1));
        k += ones;
      } else if (const auto code = Alignment::CodeOf(batch.inputs[k], batch.outputs[k]);
                 code != Alignment::kNoCode) {
        codes.push_back(code);
        ++k;
      } else {
        coded.AppendCodes(codes);
        codes.clear();
        coded.Append(batch.inputs[k], batch.outputs[k]);
        ++k;
      }
    }
    coded.AppendCodes(codes);
  };
  for (const auto& c : cases) {
    Alignment bulk, single, coded;
    for (Alignment* a : {&bulk, &single, &coded}) {
      a->Append(2, 3);  // after a piece, and a run that may grow
      a->AppendOneToOne(3);
    }
    for (const Batch& batch : c.batches) {
      bulk.AppendPieces(batch.inputs, batch.outputs);
      appendCoded(coded, batch);
      for (std::size_t k = 0; k < batch.inputs.size(); ++k)
        single.Append(batch.inputs[k], batch.outputs[k]);
    }
    ASSERT_EQ(bulk, single) << c.name;
    ASSERT_EQ(coded, single) << c.name;
    EXPECT_EQ(bulk.PieceCount(), single.PieceCount()) << c.name;
    EXPECT_EQ(coded.PieceCount(), single.PieceCount()) << c.name;
    for (std::size_t index = 0; index < single.PieceCount(); index += 97) {
      EXPECT_EQ(bulk.PieceAt(index), single.PieceAt(index)) << c.name << " piece " << index;
      EXPECT_EQ(coded.PieceAt(index), single.PieceAt(index)) << c.name << " piece " << index;
    }
    for (std::size_t at = 0; at < single.InputSize(); at += 89)
      EXPECT_EQ(coded.ToOutput(at, at + 7), single.ToOutput(at, at + 7)) << c.name << " at " << at;
  }
}

TEST(AlignmentCompactForm, ProseTakesLittleMemory) {
  std::string text;
  for (int k = 0; k < 2000; ++k) text += "the quick brown fox hacks your site, dude. ";
  const AlignedText aligned = reference::EnglishToL33tAligned(text, false, RuleSet{});
  EXPECT_LE(aligned.alignment.HeapBytes(), 2 * text.size());
}

struct QueryCase {
  const char* name;
  std::size_t begin, end;
  Alignment::Range expected;
};

TEST(AlignmentQueries, HackThePlanet) {
  // "hack the planet" -> "hax0r teh p14n37"
  const AlignedText aligned = reference::EnglishToL33tAligned("hack the planet", false, RuleSet{});
  const std::vector<QueryCase> toInput = {
      {"InsideHax0r", 1, 2, {0, 4}},
      {"Hax0rAndSpace", 0, 6, {0, 5}},
      {"InsideTeh", 7, 8, {5, 9}},
      {"OneToOne", 11, 13, {10, 12}},
      {"EmptyBetween", 5, 5, {4, 4}},
      {"EmptyInside", 2, 2, {0, 4}},
      {"PastTheEnd", 10, 99, {9, 15}},
  };
  for (const QueryCase& c : toInput)
    EXPECT_EQ(aligned.alignment.ToInput(c.begin, c.end), c.expected) << c.name;
  const std::vector<QueryCase> toOutput = {
      {"InsideHack", 2, 3, {0, 5}},
      {"TheAndP", 6, 10, {6, 11}},
      {"EmptyAtStart", 0, 0, {0, 0}},
      {"EmptyInside", 6, 6, {6, 10}},
      {"AtTheEnd", 15, 15, {16, 16}},
  };
  for (const QueryCase& c : toOutput)
    EXPECT_EQ(aligned.alignment.ToOutput(c.begin, c.end), c.expected) << c.name;
}

TEST(AlignmentQueries, PiecesWithoutOutputAreLeftOutAtTheEdges) {
  // "a>X|b>|c>c": output "Xc"
  const AlignedText aligned = RunStepByStepAligned("abc", {{"b", ""}, {"a", "X"}});
  EXPECT_EQ(aligned.alignment.ToInput(1, 2), (Alignment::Range{2, 3}));
  EXPECT_EQ(aligned.alignment.ToInput(0, 2), (Alignment::Range{0, 3}));
  EXPECT_EQ(aligned.alignment.ToInput(1, 1), (Alignment::Range{1, 1}));
  EXPECT_EQ(aligned.alignment.ToOutput(1, 2), (Alignment::Range{1, 1}));
}

}  // namespace
}  // namespace glossmith
