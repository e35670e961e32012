#pragma once

// The fixed rule tables of both translations. Each chain is an ordered list of
// literal replace steps (see literal_replace.h), each applied to the whole
// result of the one before; the order matters, since later steps look for what
// earlier ones made.

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/rules/hardcore_table.h"
#include "core/rules/literal_replace.h"

namespace glossmith {

struct Step {
  std::string_view find;
  std::string_view replacement;
};

// English to L33T, Hardcore off: the pronoun and a, e, l, o (1-11); s before a
// space or punctuation becomes z, doubled s before a space stays (12-32); the
// remaining s and t, and f after a space (33-38); word fixes over the forms
// that the earlier steps made (39-70).
extern const std::array<Step, 70> kStandardChain;

// L33T to English, Hardcore off: whole words, single digits, z endings, 5 and 7,
// "ph" after a space, then the words that must keep their L33T form.
extern const std::array<Step, 58> kReverseStandardChain;

// Last stage of L33T to English in both modes: a lone a, o, e, s, t or l
// between two spaces becomes its digit; a lone a gets "(4)" after it.
extern const std::array<Step, 12> kLoneLetterSteps;

// A Hardcore word: the capital letters whose Hardcore spelling is the find
// string (or the replacement, in the reverse chain), whether a space follows
// that spelling, and the plain form of the word.
struct HardcoreWord {
  std::string_view letters;
  bool trailingSpace;
  std::string_view plain;
};

// English to L33T, Hardcore on, steps 53-64: spelling -> plain word.
extern const std::array<HardcoreWord, 12> kHardcoreWordSteps;

// L33T to English, Hardcore on, steps H1-H12: plain word -> spelling.
extern const std::array<HardcoreWord, 12> kReverseHardcoreSpellingSteps;

// The values of `letters` (capitals) joined by single spaces, no space after the last.
std::string HardcoreSpelling(const LetterTable& table, std::string_view letters);

// The 64 steps of the Hardcore chain for this table: capital letters A-Z, then
// small letters a-z, each to its value and a space; then the word steps.
Steps HardcoreChain(const LetterTable& table);

// The 64 steps of the Reverse hardcore chain for this table: the spelling
// steps, then every token (value and a space) to its small letter, then to its
// capital letter.
Steps ReverseHardcoreChain(const LetterTable& table);

}  // namespace glossmith
