#include "core/editing/custom_edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/rules/custom_list.h"

namespace glossmith {

template <typename T>
void PrintTo(const ListEdit<T>& edit, std::ostream* os) {
  if (edit)
    *os << ::testing::PrintToString(*edit);
  else
    *os << "refused, reason " << static_cast<int>(edit.refusal());
}

namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;
using Values = CustomListValues;

// The everyday edits are driven through the editor window's tests; these
// tables hold what only a store edited by hand, or a caller outside the
// window, can bring about.

TEST(ShownReplacementTest, Table) {
  struct Case {
    const char* name;
    std::string search, replace, selected;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"NothingStored", "", "", "a", std::nullopt},
      {"LetterCaseCounts", "Dude\r\n", "x\r\n", "dude", std::nullopt},
      {"FinalEmptyElementIsAReplacement", "a\r\nb\r\n", "1\r\n", "b", ""},
      {"ReplaceRunsOut", "a\r\nb\r\n", "1", "b", std::nullopt},
      {"ReplaceEmpty", "a\r\n", "", "a", std::nullopt},
      {"BehindEmptyEntryIsNoEntry", "a\r\n\r\nb\r\n", "1\r\n2\r\n3\r\n", "b", std::nullopt},
      {"EmptySelection", "a\r\n", "1\r\n", "", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShownReplacement(c.search, c.replace, c.selected), c.expected) << c.name;
}

TEST(AddPairTest, Table) {
  struct Case {
    const char* name;
    std::string search, replace, newSearch, newReplace;
    ListEdit<Values> expected;
  };
  const Case cases[] = {
      {"LineBreaksDropped", "", "", "one\r\ntwo\nthree\r", "x\ry\n",
       Values{"onetwothree\r\n", "xy\r\n"s}},
      {"LoneCrInStoredEntryKept", "a\rb\r\n", "1\r\n", "c", "3",
       Values{"a\rb\r\nc\r\n", "1\r\n3\r\n"}},
      {"EmptySearch", "", "", "", "x", ListRefusal::kEmptySearch},
      {"SearchOnlyLineBreaks", "", "", "\r\n", "x", ListRefusal::kEmptySearch},
      // Stores edited by hand, where an appended pair would not line up.
      {"SearchWithoutFinalBreak", "a", "1\r\n", "b", "2", ListRefusal::kSearchNotInForm},
      {"ReplaceWithoutFinalBreak", "a\r\n", "1", "b", "2", ListRefusal::kReplaceNotPaired},
      {"FewerReplacements", "a\r\nb\r\n", "1\r\n", "c", "3", ListRefusal::kReplaceNotPaired},
      {"MoreReplacements", "a\r\n", "1\r\n2\r\n", "c", "3", ListRefusal::kReplaceNotPaired},
      {"ReplacementsWithoutSearch", "", "1\r\n", "c", "3", ListRefusal::kReplaceNotPaired},
      {"EmptyEntryInSearch", "a\r\n\r\nb\r\n", "1\r\n\r\n2\r\n", "c", "3",
       ListRefusal::kSearchNotInForm},
      {"SearchOnlyABreak", "\r\n", "", "c", "3", ListRefusal::kSearchNotInForm},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AddPair(c.search, c.replace, c.newSearch, c.newReplace), c.expected) << c.name;
}

// Update and Erase find the selected pair and refuse alike; each row holds
// the result of both.
TEST(SelectedPairEditTest, Table) {
  struct Case {
    const char* name;
    std::string search, replace, selected, text;  // `text`: the new replacement
    ListEdit<std::string> updated;
    ListEdit<ErasedPair> erased;
  };
  const Case cases[] = {
      {"OnlySelectedReplacementMissing", "a\r\nb\r\n", "1", "b", "X", "1\r\nX\r\n"s,
       ErasedPair{{"a\r\n", "1\r\n"}, 1}},
      {"SingleEntryNothingInReplace", "a\r\n", "", "a", "X", "X\r\n"s, ErasedPair{{"", ""}, 0}},
      {"LineBreaksDropped", "a\r\n", "1\r\n", "a", "x\r\ny", "xy\r\n"s, ErasedPair{{"", ""}, 0}},
      {"OtherEntriesKeepLoneLineFeed", "a\r\nb\r\n", "1\n\r\n2\r\n", "b", "X", "1\n\r\nX\r\n"s,
       ErasedPair{{"a\r\n", "1\n\r\n"}, 1}},
      {"EmptyReplacementStaysPaired", "a\r\nb\r\nc\r\n", "1\r\n\r\n3\r\n", "a", "X",
       "X\r\n\r\n3\r\n"s, ErasedPair{{"b\r\nc\r\n", "\r\n3\r\n"}, 0}},
      {"ExtraReplacementsDropped", "a\r\nb\r\n", "1\r\n2\r\n3\r\n", "a", "X", "X\r\n2\r\n"s,
       ErasedPair{{"b\r\n", "2\r\n"}, 0}},
      {"EntriesBehindEmptyOneDropped", "a\r\nb\r\n\r\nc\r\n", "1\r\n2\r\n\r\n3\r\n", "a", "X",
       "X\r\n2\r\n"s, ErasedPair{{"b\r\n", "2\r\n"}, 0}},
      {"NotStored", "a\r\n", "1\r\n", "b", "X", ListRefusal::kNotListed, ListRefusal::kNotListed},
      {"LetterCaseCounts", "a\r\n", "1\r\n", "A", "X", ListRefusal::kNotListed,
       ListRefusal::kNotListed},
      {"NothingStored", "", "", "a", "X", ListRefusal::kNotListed, ListRefusal::kNotListed},
      {"BehindEmptyEntry", "a\r\n\r\nb\r\n", "1\r\n2\r\n3\r\n", "b", "X",
       ListRefusal::kNotListed, ListRefusal::kNotListed},
      {"KeptReplacementMissing", "a\r\nb\r\n", "1", "a", "X", ListRefusal::kReplaceNotPaired,
       ListRefusal::kReplaceNotPaired},
      {"LastKeptReplacementMissing", "a\r\nb\r\nc\r\n", "1\r\n2", "a", "X",
       ListRefusal::kReplaceNotPaired, ListRefusal::kReplaceNotPaired},
      {"TwoReplacementsMissing", "a\r\nb\r\nc\r\n", "1", "c", "X", ListRefusal::kReplaceNotPaired,
       ListRefusal::kReplaceNotPaired},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UpdateReplacement(c.search, c.replace, c.selected, c.text), c.updated) << c.name;
    EXPECT_EQ(ErasePair(c.search, c.replace, c.selected), c.erased) << c.name;
  }
}

// A long run of edits checked against a plain vector of pairs: after every
// edit the translations must see exactly the pairs the user made, in order.
TEST(CustomEditSequenceTest, ListsStayPairedThroughEdits) {
  std::mt19937 random(20240611);
  const Strings words = {"a", "b", "dude", "A", " x", "c d", "hack"};
  auto pick = [&](const Strings& from) { return from[random() % from.size()]; };

  Values stored;
  Steps model;
  for (int step = 0; step < 400; ++step) {
    const std::string word = pick(words);
    const std::string text = "r" + std::to_string(step % 5 == 0 ? -1 : step);
    const std::string replacement = text == "r-1" ? "" : text;
    switch (random() % 3) {
      case 0: {
        auto added = AddPair(stored.search, stored.replace, word, replacement);
        ASSERT_TRUE(added) << step;
        stored = *added;
        model.emplace_back(word, replacement);
        break;
      }
      case 1: {
        auto updated = UpdateReplacement(stored.search, stored.replace, word, replacement);
        auto last = std::find_if(model.rbegin(), model.rend(),
                                 [&](const auto& p) { return p.find == word; });
        ASSERT_EQ(updated.has_value(), last != model.rend()) << step;
        if (!updated) break;
        stored.replace = *updated;
        last->replacement = replacement;
        break;
      }
      default: {
        auto erased = ErasePair(stored.search, stored.replace, word);
        auto last = std::find_if(model.rbegin(), model.rend(),
                                 [&](const auto& p) { return p.find == word; });
        ASSERT_EQ(erased.has_value(), last != model.rend()) << step;
        if (!erased) break;
        EXPECT_EQ(erased->index, static_cast<std::size_t>(model.rend() - last - 1)) << step;
        stored = erased->values;
        model.erase(std::next(last).base());
        break;
      }
    }
    ASSERT_EQ(CustomPairs(stored.search, stored.replace), model) << "after step " << step;
  }
}

}  // namespace
}  // namespace glossmith
