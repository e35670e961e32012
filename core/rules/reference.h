#pragma once

// What the two translations of Glossmith are. Text is UTF-8 bytes; only
// ASCII A-Z and a-z count as letters; every other byte (digits, punctuation,
// line breaks, multi-byte characters, invalid UTF-8, NUL) passes through every
// step that does not look for it.
//
// EnglishToL33t runs two stages, each a chain of literal replaces:
//   1. Custom: the user's pairs in list order, search -> replacement
//      (see CustomPairs in custom_list.h for where the list ends);
//   2. Hardcore ? HardcoreChain(table) : kStandardChain (rules.h).
//
// L33tToEnglish runs three:
//   1. Hardcore ? ReverseHardcoreChain(table) : kReverseStandardChain;
//   2. Reverse custom: the same pairs in the same order, replacement -> search
//      (an empty replacement changes nothing);
//   3. kLoneLetterSteps.
//
// Both read the Custom string list ("search" and "replace" of section
// "change") and, in Hardcore mode, the 26 letters of section "hardcore"
// through `settings` on every call, once each; they write nothing and keep no
// state between calls, so an edited rule is in force at the next call.

#include <string>
#include <string_view>

#include "core/rules/alignment.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/literal_replace.h"
#include "core/rules/rule_set.h"
#include "core/rules/rules.h"
#include "core/settings.h"

namespace glossmith::reference {

// The rules executed literally, one full pass per step, in the order above.
// This is the definition of the translations: any faster engine must give the
// same bytes for every input.
std::string EnglishToL33t(std::string_view text, bool hardcore, const Settings& settings);
std::string L33tToEnglish(std::string_view text, bool hardcore, const Settings& settings);

// The same with the rules given rather than read: a RuleSet's pairs may hold
// what the stored list cannot (a CR LF inside an entry).
std::string EnglishToL33t(std::string_view text, bool hardcore, const RuleSet& rules);
std::string L33tToEnglish(std::string_view text, bool hardcore, const RuleSet& rules);

// The same translations with their alignments (alignment.h): each step's
// occurrences composed, step by step. This defines the pieces that any
// faster engine must give.
AlignedText EnglishToL33tAligned(std::string_view text, bool hardcore, const RuleSet& rules);
AlignedText L33tToEnglishAligned(std::string_view text, bool hardcore, const RuleSet& rules);

// Every step of each translation, in the order the functions above run them:
// what a plain chain of literal replaces (in any language) must run to give
// the same bytes.
Steps EnglishToL33tSteps(bool hardcore, const RuleSet& rules);
Steps L33tToEnglishSteps(bool hardcore, const RuleSet& rules);

// The same order for any runner: calls visit(find, replacement) for every
// step, where forEachCustom(pair) calls pair(search, replacement) for each
// Custom pair in list order (from a RuleSet, or read in place from the
// stored strings).
template <typename ForEachCustom, typename Visit>
void ForEachStep(bool toEnglish, bool hardcore, const LetterTable& letters,
                 ForEachCustom forEachCustom, Visit visit) {
  auto chain = [&](const auto& steps) {
    for (const auto& [find, replacement] : steps) visit(find, replacement);
  };
  if (!toEnglish) {
    forEachCustom(visit);
    if (hardcore)
      chain(HardcoreChain(letters));
    else
      chain(kStandardChain);
    return;
  }
  if (hardcore)
    chain(ReverseHardcoreChain(letters));
  else
    chain(kReverseStandardChain);
  forEachCustom(
      [&](std::string_view search, std::string_view replacement) { visit(replacement, search); });
  chain(kLoneLetterSteps);
}

}  // namespace glossmith::reference
