#include "core/rules/rules.h"

namespace glossmith {

const std::array<Step, 70> kStandardChain = {{
    {"you", "j00"}, {"You", "J00"}, {"YOU", "J00"},
    {"a", "4"}, {"A", "4"}, {"e", "3"}, {"E", "3"}, {"l", "1"}, {"L", "1"}, {"o", "0"}, {"O", "0"},
    {"s ", "z "}, {"s!", "z!"}, {"s,", "z,"}, {"s;", "z;"}, {"s:", "z:"}, {"s.", "z."},
    {"s?", "z?"}, {"s'", "z'"}, {"s\"", "z\""}, {"sz ", "ss "},
    {"S ", "Z "}, {"S!", "Z!"}, {"S,", "Z,"}, {"S;", "Z;"}, {"S:", "Z:"}, {"S.", "Z."},
    {"S?", "Z?"}, {"S'", "Z'"}, {"S\"", "Z\""}, {"Sz ", "SS "}, {"SZ ", "SS "},
    {"s", "5"}, {"S", "5"}, {"t", "7"}, {"T", "7"}, {" f", " ph"}, {" F", " Ph"},
    {"fuck", "fux0r"}, {"Fuck", "Fux0r"}, {"FUCK", "FUX0R"},
    {"phuck", "fux0r"}, {"Phuck", "Fux0r"}, {"PhUCK", "FUX0R"},
    {"h4ck", "hax0r"}, {"H4ck", "Hax0r"}, {"H4CK", "HAX0R"},
    {"7h3 ", "teh "}, {"7H3 ", "TEH "},
    {"bi7ch", "biz07ch"}, {"Bi7ch", "Biz07ch"}, {"BI7CH", "BIZ07CH"},
    {"n3wbi3", "n00b"}, {"N3wbi3", "N00b"}, {"N3WBI3", "N00B"},
    {"j00bi3", "j00bie"}, {"J00BI3", "J00BIE"}, {"J00bi3", "J00bie"},
    {"dud3", "d00d"}, {"DUD3", "D00D"}, {"W007", "W00T"}, {"Dud3", "D00d"}, {"w007", "w00t"},
    {"5uck", "sux0r"}, {"5UCK", "SUX0R"},
    {"31i73", "1337"}, {"31I73", "1337"},
    {"r0ck", "r0x0r"}, {"R0ck", "R0x0r"}, {"R0CK", "R0X0R"},
}};

const std::array<Step, 58> kReverseStandardChain = {{
    {"sux0r", "suck"}, {"SUX0R", "SUCK"}, {"1337", "Elite"},
    {"r0x0r", "rock"}, {"R0X0R", "ROCK"}, {"R0x0r", "Rock"},
    {"biz07ch", "bitch"}, {"Biz07ch", "Bitch"}, {"BIZ07CH", "BITCH"},
    {"n00b", "newbie"}, {"N00b", "Newbie"}, {"N00B", "NEWBIE"},
    {"teh ", "the "}, {"Teh ", "The "}, {"TEH ", "THE "},
    {"fux0r", "fuck"}, {"Fux0r", "Fuck"}, {"FUX0R", "FUCK"},
    {"Hax0r", "Hack"}, {"hax0r", "hack"}, {"HAX0R", "HACK"},
    {"j00", "you"}, {"J00", "You"},
    {"4", "a"}, {"3", "e"}, {"1", "l"}, {"0", "o"},
    {"Z ", "S "}, {"Z!", "S!"}, {"Z,", "S,"}, {"Z;", "S;"}, {"Z:", "S:"}, {"Z.", "S."},
    {"Z?", "S?"}, {"Z'", "S'"}, {"Z\"", "S\""},
    {"z ", "s "}, {"z!", "s!"}, {"z,", "s,"}, {"z;", "s;"}, {"z:", "s:"}, {"z.", "s."},
    {"z?", "s?"}, {"z'", "s'"}, {"z\"", "s\""},
    {"5", "s"}, {"7", "t"}, {" ph", " f"}, {" Ph", " F"},
    {"youbie", "j00bie"}, {"Youbie", "J00bie"}, {"YouBIE", "J00BIE"},
    {"dood", "dude"}, {"DooD", "DUDE"}, {"woot", "w00t"}, {"Dood", "Dude"},
    {"Woot", "W00t"}, {"WooT", "W00T"},
}};

const std::array<Step, 12> kLoneLetterSteps = {{
    {" a ", " a(4) "}, {" A ", " A(4) "}, {" O ", " 0 "}, {" o ", " 0 "},
    {" e ", " 3 "}, {" E ", " 3 "}, {" s ", " 5 "}, {" S ", " 5 "},
    {" t ", " 7 "}, {" T ", " 7 "}, {" l ", " 1 "}, {" L ", " 1 "},
}};

const std::array<HardcoreWord, 12> kHardcoreWordSteps = {{
    {"FUCK", false, "fux0r"}, {"YOU", false, "j00"}, {"HACK", false, "hax0r"},
    {"THE", true, "teh "}, {"BITCH", false, "biz07ch"}, {"NEWBIE", false, "n00b"},
    {"JOOBIE", false, "j00bie"}, {"DUDE", false, "d00d"}, {"WOOT", false, "w00t"},
    {"SUCK", false, "sux0r"}, {"ELITE", false, "1337"}, {"ROCK", false, "r0x0r"},
}};

const std::array<HardcoreWord, 12> kReverseHardcoreSpellingSteps = kHardcoreWordSteps;

std::string HardcoreSpelling(const LetterTable& table, std::string_view letters) {
  std::string spelling;
  for (size_t i = 0; i < letters.size(); ++i) {
    if (i > 0) spelling += ' ';
    spelling += table[letters[i] - 'A'];
  }
  return spelling;
}

namespace {

std::string Token(const LetterTable& table, int letter) { return table[letter] + ' '; }

std::string WordSpelling(const LetterTable& table, const HardcoreWord& word) {
  std::string spelling = HardcoreSpelling(table, word.letters);
  if (word.trailingSpace) spelling += ' ';
  return spelling;
}

}  // namespace

Steps HardcoreChain(const LetterTable& table) {
  Steps steps;
  steps.reserve(64);
  for (int i = 0; i < 26; ++i) steps.emplace_back(std::string(1, char('A' + i)), Token(table, i));
  for (int i = 0; i < 26; ++i) steps.emplace_back(std::string(1, char('a' + i)), Token(table, i));
  for (const auto& word : kHardcoreWordSteps)
    steps.emplace_back(WordSpelling(table, word), std::string(word.plain));
  return steps;
}

Steps ReverseHardcoreChain(const LetterTable& table) {
  Steps steps;
  steps.reserve(64);
  for (const auto& word : kReverseHardcoreSpellingSteps)
    steps.emplace_back(std::string(word.plain), WordSpelling(table, word));
  for (int i = 0; i < 26; ++i) steps.emplace_back(Token(table, i), std::string(1, char('a' + i)));
  for (int i = 0; i < 26; ++i) steps.emplace_back(Token(table, i), std::string(1, char('A' + i)));
  return steps;
}

}  // namespace glossmith
