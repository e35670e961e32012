#pragma once

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

// Reads the Custom pairs and, when `withLetters`, the 26 letters through
// `settings` (each key once); without them the letters stay empty.
RuleSet ReadRuleSet(const Settings& settings, bool withLetters);

}  // namespace glossmith
