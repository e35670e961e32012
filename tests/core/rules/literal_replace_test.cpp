#include "core/rules/literal_replace.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace glossmith {
namespace {

struct ReplaceCase {
  const char* name;
  std::string text, find, replacement, expected;
};

void PrintTo(const ReplaceCase& c, std::ostream* os) { *os << c.name; }

class ReplaceAllTest : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllTest, GivesExpected) {
  const ReplaceCase& c = GetParam();
  EXPECT_EQ(ReplaceAll(c.text, c.find, c.replacement), c.expected);
  std::string inPlace = c.text;
  ReplaceAllInPlace(inPlace, c.find, c.replacement);
  EXPECT_EQ(inPlace, c.expected);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ReplaceAllTest,
    testing::Values(
        ReplaceCase{"EmptyText", "", "a", "b", ""},
        ReplaceCase{"EmptyFindLeavesText", "abc", "", "x", "abc"},
        ReplaceCase{"EmptyTextAndFind", "", "", "x", ""},
        ReplaceCase{"NotFound", "abc", "d", "x", "abc"},
        ReplaceCase{"AtStart", "abc", "a", "x", "xbc"},
        ReplaceCase{"InMiddle", "abc", "b", "x", "axc"},
        ReplaceCase{"AtEnd", "abc", "c", "x", "abx"},
        ReplaceCase{"EveryOccurrence", "abab", "ab", "x", "xx"},
        ReplaceCase{"WholeText", "abc", "abc", "", ""},
        ReplaceCase{"CaseCounts", "aA", "a", "x", "xA"},
        ReplaceCase{"NonOverlappingLeftToRight", "aaa", "aa", "b", "ba"},
        ReplaceCase{"FourAsTwoPairs", "aaaa", "aa", "b", "bb"},
        ReplaceCase{"InsertedTextNotRescanned", "aa", "a", "aa", "aaaa"},
        ReplaceCase{"InsertionFormsNewMatchNotRescanned", "ab", "b", "ab", "aab"},
        ReplaceCase{"EmptyReplacementDeletes", "a-b-c", "-", "", "abc"},
        ReplaceCase{"LongerReplacement", "x", "x", "|-|", "|-|"},
        ReplaceCase{"FindLongerThanText", "ab", "abc", "x", "ab"},
        ReplaceCase{"Utf8FindMatchesWholeCharacter", "caf\xC3\xA9 \xC3\xA9", "\xC3\xA9", "e",
                    "cafe e"},
        ReplaceCase{"InvalidUtf8PassesThrough", "\xFF" "a\xC3", "a", "4", "\xFF" "4\xC3"},
        ReplaceCase{"NulBytesPassThrough", "a\0b\0"s, "b", "8", "a\0" "8\0"s},
        ReplaceCase{"NulByteAsFind", "a\0b"s, "\0"s, "-", "a-b"},
        ReplaceCase{"CrLfAreOrdinaryBytes", "a\r\nb", "\r\n", "|", "a|b"}),
    [](const testing::TestParamInfo<ReplaceCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace glossmith
