#include "core/rules/reference.h"

#include "core/rules/hardcore_table.h"
#include "core/rules/literal_replace.h"
#include "core/rules/rules.h"

namespace glossmith::reference {

namespace {

template <typename Chain>
void Append(Steps& steps, const Chain& chain) {
  for (const auto& [find, replacement] : chain) steps.emplace_back(find, replacement);
}

}  // namespace

Steps EnglishToL33tSteps(bool hardcore, const RuleSet& rules) {
  Steps steps = rules.custom;
  if (hardcore)
    Append(steps, HardcoreChain(rules.letters));
  else
    Append(steps, kStandardChain);
  return steps;
}

Steps L33tToEnglishSteps(bool hardcore, const RuleSet& rules) {
  Steps steps;
  if (hardcore)
    Append(steps, ReverseHardcoreChain(rules.letters));
  else
    Append(steps, kReverseStandardChain);
  for (const auto& [search, replacement] : rules.custom) steps.emplace_back(replacement, search);
  Append(steps, kLoneLetterSteps);
  return steps;
}

std::string EnglishToL33t(std::string_view input, bool hardcore, const RuleSet& rules) {
  std::string text(input);
  RunStepByStep(text, EnglishToL33tSteps(hardcore, rules));
  return text;
}

std::string L33tToEnglish(std::string_view input, bool hardcore, const RuleSet& rules) {
  std::string text(input);
  RunStepByStep(text, L33tToEnglishSteps(hardcore, rules));
  return text;
}

std::string EnglishToL33t(std::string_view text, bool hardcore, const Settings& settings) {
  return EnglishToL33t(text, hardcore, ReadRuleSet(settings, hardcore));
}

std::string L33tToEnglish(std::string_view text, bool hardcore, const Settings& settings) {
  return L33tToEnglish(text, hardcore, ReadRuleSet(settings, hardcore));
}

}  // namespace glossmith::reference
