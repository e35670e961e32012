#include "core/rules/custom_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glossmith {
namespace {

using Strings = std::vector<std::string>;

TEST(SplitListTest, Table) {
  struct Case {
    const char* name;
    std::string stored;
    Strings expected;
  };
  const Case cases[] = {
      {"Empty", "", {}},
      {"OneEntry", "dude\r\n", {"dude", ""}},
      {"TwoEntries", "dude\r\nrock\r\n", {"dude", "rock", ""}},
      {"NoFinalBreak", "dude\r\nrock", {"dude", "rock"}},
      {"ConsecutiveBreaks", "a\r\n\r\nb\r\n", {"a", "", "b", ""}},
      {"OnlyBreak", "\r\n", {"", ""}},
      {"LoneCrAndLfStayInEntry", "a\rb\nc\r\n", {"a\rb\nc", ""}},
      {"LfCrIsNoBreak", "a\n\rb", {"a\n\rb"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitList(c.stored), c.expected) << c.name;
}

TEST(JoinListTest, EveryEntryFollowedByBreak) {
  EXPECT_EQ(JoinList({}), "");
  EXPECT_EQ(JoinList({"dude", "rock"}), "dude\r\nrock\r\n");
  EXPECT_EQ(JoinList({"", "x"}), "\r\nx\r\n");
  EXPECT_EQ(SplitList(JoinList({"a", "b"})), (Strings{"a", "b", ""}));
}

TEST(CountSearchEntriesTest, StopsAtFirstEmptyElement) {
  EXPECT_EQ(CountSearchEntries({}), 0u);
  EXPECT_EQ(CountSearchEntries({"a", "b", ""}), 2u);
  EXPECT_EQ(CountSearchEntries({"a", "", "b", ""}), 1u);
  EXPECT_EQ(CountSearchEntries({"a", "b"}), 2u);
}

TEST(CustomPairsTest, Table) {
  struct Case {
    const char* name;
    std::string search, replace;
    Steps expected;
  };
  const Case cases[] = {
      {"NothingStored", "", "", {}},
      {"OnePair", "hello\r\n", "howdy\r\n", {{"hello", "howdy"}}},
      {"EmptyReplacementKept", "a\r\nb\r\n", "\r\nx\r\n", {{"a", ""}, {"b", "x"}}},
      {"ShortReplaceListMeetsFinalEmptyEntry", "hello\r\ndude\r\n", "howdy\r\n",
       {{"hello", "howdy"}, {"dude", ""}}},
      {"ReplaceListRunsOut", "a\r\nb\r\nc\r\n", "x", {{"a", "x"}}},
      {"EmptySearchEntryEndsList", "a\r\n\r\nb\r\n", "1\r\n2\r\n3\r\n", {{"a", "1"}}},
      {"EmptyReplaceValue", "a\r\n", "", {}},
      {"WithoutFinalBreaks", "a\r\nb", "1\r\n2", {{"a", "1"}, {"b", "2"}}},
      {"DuplicateSearchStrings", "a\r\na\r\n", "1\r\n2\r\n", {{"a", "1"}, {"a", "2"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(CustomPairs(c.search, c.replace), c.expected) << c.name;
}

TEST(CustomPairsTest, AtMost32768PairsApply) {
  std::vector<std::string> entries;
  for (int i = 0; i < 32770; ++i) entries.push_back("s" + std::to_string(i));
  std::string stored = JoinList(entries);
  Steps pairs = CustomPairs(stored, stored);
  ASSERT_EQ(pairs.size(), kMaxCustomPairs);
  EXPECT_EQ(pairs.back().find, "s32767");
}

}  // namespace
}  // namespace glossmith
