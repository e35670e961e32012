#include "core/rules/reference.h"
#include "core/translate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "tests/support/rule_store.h"

namespace glossmith {
namespace {

using namespace std::string_literals;

enum class Table { kEmpty, kDefaults };

struct Case {
  const char* name;
  std::string text;
  std::string expected;
};

struct Rules {
  Table table = Table::kEmpty;
  std::vector<std::string> search;  // stored as the editor stores them
  std::vector<std::string> replace;
};

MemorySettings MakeStore(const Rules& rules) {
  MemorySettings store;
  if (rules.table == Table::kDefaults) WriteHardcoreDefaults(store);
  testing_support::WriteCustomList(store, rules.search, rules.replace);
  return store;
}

enum class Direction { kToL33t, kToEnglish };

// Every example is checked against the reference rules and against the
// engine that the program uses.
void ExpectAll(Direction direction, bool hardcore, const Rules& rules,
               const std::vector<Case>& cases) {
  const MemorySettings store = MakeStore(rules);
  for (const Case& c : cases) {
    if (direction == Direction::kToL33t) {
      EXPECT_EQ(reference::EnglishToL33t(c.text, hardcore, store), c.expected) << c.name;
      EXPECT_EQ(EnglishToL33t(c.text, hardcore, store), c.expected) << c.name;
    } else {
      EXPECT_EQ(reference::L33tToEnglish(c.text, hardcore, store), c.expected) << c.name;
      EXPECT_EQ(L33tToEnglish(c.text, hardcore, store), c.expected) << c.name;
    }
  }
  EXPECT_EQ(store.writeCount(), MakeStore(rules).writeCount()) << "translations never write";
}

TEST(EnglishToL33tStandard, Words) {
  ExpectAll(Direction::kToL33t, false, {},
            {
                {"Empty", "", ""},
                {"The", "the cat", "teh c47"},
                {"CapitalThe", "The cat", "teh c47"},
                {"HelloWorld", "Hello World", "H3110 W0r1d"},
                {"DoubledSBeforeSpace", "pass the test", "p455 teh 7357"},
                {"YouRock", "you rock", "j00 r0x0r"},
                {"YouRockCapitals", "YOU ROCK", "J00 R0X0R"},
                {"NewbieDude", "newbie dude", "n00b d00d"},
                {"HackThePlanet", "hack the planet", "hax0r teh p14n37"},
                {"SBeforePunctuation", "is it?", "iz i7?"},
                {"Woot", "woot", "w00t"},
                {"WootCapitalW", "Woot", "W00T"},
                {"WootCapitals", "WOOT", "W00T"},
                {"TheWithoutSpace", "others", "07h3r5"},
                {"UnlistedMixedCase", "yOu", "y0u"},
                {"FAtStartStays", "fun", "fun"},
                {"FAfterSpace", "have fun", "h4v3 phun"},
                {"CapitalFAfterSpace", "a Fun", "4 Phun"},
                {"PhuckAfterSpace", "what the fuck", "wh47 teh fux0r"},
                {"FuckAtStart", "fuck", "fux0r"},
                {"Elite", "elite", "1337"},
                {"EliteCapitals", "ELITE", "1337"},
                {"Bitch", "BITCH", "BIZ07CH"},
                {"Suck", "you suck", "j00 sux0r"},
                {"Joobie", "joobie", "j00bie"},
                {"DoubledSCapitalsBeforeSpace", "PASS IT", "P455 I7"},
                {"SzBeforeSpace", "Ss x", "55 x"},
                {"SBeforeQuote", "its\"", "i7z\""},
                {"LinesPassThrough", "lol\r\nsos\r\n", "101\r\n505\r\n"},
                {"DigitsAndPunctuation", "42, 7!", "42, 7!"},
                {"Utf8Untouched", "caf\xC3\xA9 ol\xC3\xA9", "c4f\xC3\xA9 01\xC3\xA9"},
                {"InvalidBytesAndNul", "a\xFF\0s"s, "4\xFF\0" "5"s},
            });
}

TEST(EnglishToL33tHardcore, DefaultTable) {
  ExpectAll(Direction::kToL33t, true, {Table::kDefaults, {}, {}},
            {
                {"Empty", "", ""},
                {"Hack", "hack", "hax0r "},
                {"Hi", "Hi", "|-| ! "},
                {"TheCat", "the cat", "teh  ( 4 7 "},
                {"WordInsideWord", "other", "0 teh .- "},
                {"You", "you", "j00 "},
                {"CapitalsLikeSmall", "HACK", "hax0r "},
                {"Hello", "hello", "|-| 3 1 1 0 "},
                {"DigitsStay", "a1", "4 1"},
                {"LineBreaksStay", "a\r\nb", "4 \r\n8 "},
                {"Utf8Untouched", "\xC3\xA9", "\xC3\xA9"},
            });
}

TEST(EnglishToL33tHardcore, EmptyTableReplacesRunsOfSpaces) {
  ExpectAll(Direction::kToL33t, true, {Table::kEmpty, {}, {}},
            {
                {"Empty", "", ""},
                {"OneLetter", "a", " "},
                {"TwoLetters", "hi", "j00"},
                {"FiveLetters", "hello", "fux0rj00"},
            });
}

TEST(EnglishToL33tHardcore, LettersInsideValuesAreRewritten) {
  MemorySettings store;
  WriteHardcoreDefaults(store);
  store.Write(kApp, kSectionHardcore, "A", "b");  // small b is rewritten by the later b step
  EXPECT_EQ(EnglishToL33t("a", true, store), "8  ");
  EXPECT_EQ(reference::EnglishToL33t("a", true, store), "8  ");
}

TEST(EnglishToL33tCustom, CustomStageRunsFirst) {
  ExpectAll(Direction::kToL33t, false, {Table::kEmpty, {"hello"}, {"howdy"}},
            {{"ChainRewritesInsertion", "hello dude", "h0wdy d00d"}});
  ExpectAll(Direction::kToL33t, false, {Table::kEmpty, {"hello", "dude"}, {"howdy"}},
            {{"ShortReplaceListDeletes", "hello dude", "h0wdy "}});
  ExpectAll(Direction::kToL33t, true, {Table::kDefaults, {"dude"}, {"d00d"}},
            {{"HardcoreSpellsReplacement", "hello dude", "|-| 3 1 1 0  |) 00|) "}});
  ExpectAll(Direction::kToL33t, false, {Table::kEmpty, {"a", "bb"}, {"bb", "c"}},
            {{"PairsRunInOrderOnEachOthersResult", "a", "c"}});
}

TEST(L33tToEnglishStandard, Words) {
  ExpectAll(Direction::kToEnglish, false, {},
            {
                {"Empty", "", ""},
                {"TehDood", "teh d00d ", "the dude "},
                {"JoobieUnchanged", "j00bie", "j00bie"},
                {"WootUnchanged", "w00t", "w00t"},
                {"Elite", "1337", "Elite"},
                {"LoneFour", "I have 4 cats", "I have a(4) cats"},
                {"LoneFive", "x 5 y", "x 5 y"},
                {"FiveInWord", "x5y", "xsy"},
                {"ZBeforeSpace", "quiz ", "quis "},
                {"PhAtStartStays", "pha", "pha"},
                {"PhAfterSpace", " pha", " fa"},
                {"LoneLettersShareSpaces", " 1 1 1 ", " 1 l 1 "},
                {"HackThePlanet", "hax0r teh p14n37", "hack the planet"},
                {"Dood", "D00d", "Dude"},
                {"WootCapitals", "W00T", "W00T"},
                {"LoneLetterNeedsBothSpaces", "a 0\r\n7 x", "a o\r\nt x"},
                {"Utf8Untouched", "\xC3\xA9 4", "\xC3\xA9 a"},
            });
}

TEST(L33tToEnglishHardcore, DefaultTable) {
  ExpectAll(Direction::kToEnglish, true, {Table::kDefaults, {}, {}},
            {
                {"Empty", "", ""},
                {"Hello", "|-| 3 1 1 0 ", "hello"},
                {"LastTokenNeedsSpace", "|-| 3 1 1 0", "hell0"},
                {"JTokenTakesEndOfU", "|_| ", "|j"},
                {"DigitOutsideToken", "a5b", "a5b"},
                {"WordTakesTrailingSpaceOfLastToken", "hax0r ", "hack"},
                {"TehSpaceBelongsToLastToken", "teh cat", "thecat"},
            });
}

TEST(L33tToEnglishHardcore, EmptyTableTurnsSpacesIntoA) {
  ExpectAll(Direction::kToEnglish, true, {Table::kEmpty, {}, {}},
            {
                {"Empty", "", ""},
                {"Space", "x y", "xay"},
            });
}

TEST(L33tToEnglishCustom, PairsApplyBackwards) {
  for (bool hardcore : {false, true}) {
    ExpectAll(Direction::kToEnglish, hardcore, {Table::kDefaults, {"cat"}, {"kitty"}},
              {{"KittyToCat", "kitty", "cat"}});
  }
  ExpectAll(Direction::kToEnglish, false,
            {Table::kEmpty, {"cat", "dog", "cow"}, {"kitty"}},
            {{"OnlyFirstPairApplies", "kitty", "cat"}});
  ExpectAll(Direction::kToEnglish, false,
            {Table::kEmpty, {"cat", "dog"}, {"kitty", ""}},
            {{"EmptyReplacementHasNoEffect", "kitty xyz", "cat xyz"}});
}

TEST(TranslateTest, ReadsTheStoreOnEveryCall) {
  MemorySettings store;
  EXPECT_EQ(EnglishToL33t("dude", false, store), "d00d");
  testing_support::WriteStoredList(store, "dude\r\n", "pal\r\n");
  EXPECT_EQ(EnglishToL33t("dude", false, store), "p41");
  EXPECT_EQ(EnglishToL33t("a", true, store), " ");
  WriteHardcoreDefaults(store);
  EXPECT_EQ(EnglishToL33t("a", true, store), "4 ");
  store.Write(kApp, kSectionHardcore, "a", "@");  // names match in any case
  EXPECT_EQ(EnglishToL33t("a", true, store), "@ ");
}

}  // namespace
}  // namespace glossmith
