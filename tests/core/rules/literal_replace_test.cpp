#include "core/rules/literal_replace.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
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

// The plain left-to-right scan with std::string::find, as an oracle.
std::string Scanned(const std::string& text, const std::string& find, const std::string& replacement) {
  std::string out;
  std::size_t done = 0;
  for (std::size_t hit = text.find(find); hit != std::string::npos; hit = text.find(find, done)) {
    out += text.substr(done, hit - done) + replacement;
    done = hit + find.size();
  }
  return out + text.substr(done);
}

// Texts and find strings over two letters, where occurrences overlap, crowd
// together and nearly match, at the sizes where the search turns linear;
// replacements shorter, as long, and longer than the find string.
TEST(ReplaceStepTest, MatchesAPlainScan) {
  std::mt19937 random(1);
  const auto word = [&](std::size_t size) {
    std::string w(size, 'a');
    for (char& c : w) c = random() % 4 ? 'a' : 'b';
    return w;
  };
  std::vector<std::string> finds = {"a", "b", "ab", "aa", "aab", std::string(300, 'a') + "b",
                                    "b" + std::string(300, 'a')};
  for (int i = 0; i < 20; ++i) finds.push_back(word(1 + random() % 12));
  // Long ones, periodic or not, searched by the two-way search once it turns linear.
  std::string periodic;
  for (int i = 0; i < 30; ++i) periodic += "aab";
  finds.insert(finds.end(),
               {periodic, periodic + "b", std::string(40, 'a') + "b" + std::string(40, 'a'),
                word(64), word(100), word(257)});
  const std::vector<std::string> texts = {
      std::string(20000, 'a'), std::string(20000, 'a') + "b", word(50000),
      std::string(5000, 'a') + "b" + std::string(5000, 'a') + std::string(301, 'a') + "b"};
  // Beginnings of the find string one after another, and all of it, some
  // with a byte changed (mostly near its start, where a search that shifts
  // by the find string's period resumes).
  const auto nearMisses = [&](const std::string& find) {
    std::string text;
    while (text.size() < 30000) {
      std::string piece = find.substr(0, random() % 2 ? random() % find.size() : find.size());
      if (!piece.empty() && random() % 2) {
        char& c = piece[random() % 2 ? random() % std::min<std::size_t>(piece.size(), 4)
                                     : random() % piece.size()];
        c = c == 'a' ? 'b' : 'a';
      }
      text += piece;
    }
    return text;
  };
  std::string spare;
  for (const std::string& find : finds)
    for (const std::string& replacement : {std::string(), std::string("x"), find + "y", word(3)})
      for (const std::string& text : {texts[0], texts[1], texts[2], texts[3], nearMisses(find)}) {
        std::string actual = text;
        ReplaceStep(actual, spare, find, replacement);
        ASSERT_EQ(actual, Scanned(text, find, replacement))
            << "find " << find.substr(0, 20) << " (" << find.size() << " bytes), replacement "
            << replacement << ", text of " << text.size();
      }
}

}  // namespace
}  // namespace glossmith
