#include "core/rules/rule_set.h"

#include "core/rules/custom_list.h"

namespace glossmith {

RuleSet ReadRuleSet(const Settings& settings, bool withLetters) {
  RuleSet rules;
  rules.custom = CustomPairs(settings.Read(kApp, kSectionChange, kKeySearch),
                             settings.Read(kApp, kSectionChange, kKeyReplace));
  if (withLetters) rules.letters = ReadLetterTable(settings);
  return rules;
}

StoredRules ReadStoredRules(const Settings& settings, bool withLetters) {
  StoredRules rules;
  rules.search = settings.Read(kApp, kSectionChange, kKeySearch);
  rules.replace = settings.Read(kApp, kSectionChange, kKeyReplace);
  if (withLetters) rules.letters = ReadLetterTable(settings);
  return rules;
}

}  // namespace glossmith
