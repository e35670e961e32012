#pragma once

#include <string>

#include "core/rules/hardcore_table.h"
#include "core/rules/literal_replace.h"
#include "core/settings.h"

namespace glossmith {

// The user's rules, as a translation applies them: the Custom pairs that
// apply, as (search, replacement) in list order (at most kMaxCustomPairs),
// and the Hardcore letters. The built-in chains are fixed and not part of it.
struct RuleSet {
  Steps custom;
  LetterTable letters;
  bool operator==(const RuleSet&) const = default;
};

// The same rules as a settings file stores them: the Custom string list's
// two values ("search" and "replace", see CustomPairs) and the letters. A
// rule set compared in this form needs no parsing.
struct StoredRules {
  std::string search;
  std::string replace;
  LetterTable letters;
  bool operator==(const StoredRules&) const = default;
};

// Reads the Custom pairs and, when `withLetters`, the 26 letters through
// `settings` (each key once); without them the letters stay empty.
RuleSet ReadRuleSet(const Settings& settings, bool withLetters);
StoredRules ReadStoredRules(const Settings& settings, bool withLetters);

}  // namespace glossmith
