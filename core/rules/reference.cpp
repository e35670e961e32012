#include "core/rules/reference.h"

#include "core/rules/hardcore_table.h"
#include "core/rules/literal_replace.h"
#include "core/rules/rules.h"

namespace glossmith::reference {

std::string EnglishToL33t(std::string_view input, bool hardcore, const RuleSet& rules) {
  std::string text(input);
  RunStepByStep(text, rules.custom);
  if (hardcore)
    RunStepByStep(text, HardcoreChain(rules.letters));
  else
    RunStepByStep(text, kStandardChain);
  return text;
}

std::string L33tToEnglish(std::string_view input, bool hardcore, const RuleSet& rules) {
  std::string text(input);
  if (hardcore)
    RunStepByStep(text, ReverseHardcoreChain(rules.letters));
  else
    RunStepByStep(text, kReverseStandardChain);
  Steps reverseCustom;
  for (const auto& [search, replacement] : rules.custom)
    reverseCustom.emplace_back(replacement, search);
  RunStepByStep(text, reverseCustom);
  RunStepByStep(text, kLoneLetterSteps);
  return text;
}

std::string EnglishToL33t(std::string_view text, bool hardcore, const Settings& settings) {
  return EnglishToL33t(text, hardcore, ReadRuleSet(settings, hardcore));
}

std::string L33tToEnglish(std::string_view text, bool hardcore, const Settings& settings) {
  return L33tToEnglish(text, hardcore, ReadRuleSet(settings, hardcore));
}

}  // namespace glossmith::reference
