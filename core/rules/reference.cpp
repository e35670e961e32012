#include "core/rules/reference.h"

#include "core/rules/hardcore_table.h"
#include "core/rules/literal_replace.h"
#include "core/rules/rules.h"

namespace glossmith::reference {

namespace {

Steps StepsOf(bool toEnglish, bool hardcore, const RuleSet& rules) {
  Steps steps;
  ForEachStep(
      toEnglish, hardcore, rules.letters,
      [&](auto pair) {
        for (const auto& [search, replacement] : rules.custom) pair(search, replacement);
      },
      [&](std::string_view find, std::string_view replacement) {
        steps.emplace_back(find, replacement);
      });
  return steps;
}

}  // namespace

Steps EnglishToL33tSteps(bool hardcore, const RuleSet& rules) {
  return StepsOf(false, hardcore, rules);
}

Steps L33tToEnglishSteps(bool hardcore, const RuleSet& rules) {
  return StepsOf(true, hardcore, rules);
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

AlignedText EnglishToL33tAligned(std::string_view text, bool hardcore, const RuleSet& rules) {
  return RunStepByStepAligned(text, EnglishToL33tSteps(hardcore, rules));
}

AlignedText L33tToEnglishAligned(std::string_view text, bool hardcore, const RuleSet& rules) {
  return RunStepByStepAligned(text, L33tToEnglishSteps(hardcore, rules));
}

std::string EnglishToL33t(std::string_view text, bool hardcore, const Settings& settings) {
  return EnglishToL33t(text, hardcore, ReadRuleSet(settings, hardcore));
}

std::string L33tToEnglish(std::string_view text, bool hardcore, const Settings& settings) {
  return L33tToEnglish(text, hardcore, ReadRuleSet(settings, hardcore));
}

}  // namespace glossmith::reference
