#include "core/rules/reference.h"

#include "core/rules/hardcore_table.h"
#include "core/rules/literal_replace.h"
#include "core/rules/rules.h"

namespace glossmith::reference {

namespace {

template <typename Chain>
void RunChain(std::string& text, const Chain& steps) {
  for (const auto& [find, replacement] : steps) ReplaceAllInPlace(text, find, replacement);
}

}  // namespace

std::string EnglishToL33t(std::string_view input, bool hardcore, const RuleSet& rules) {
  std::string text(input);
  RunChain(text, rules.custom);
  if (hardcore)
    RunChain(text, HardcoreChain(rules.letters));
  else
    RunChain(text, kStandardChain);
  return text;
}

std::string L33tToEnglish(std::string_view input, bool hardcore, const RuleSet& rules) {
  std::string text(input);
  if (hardcore)
    RunChain(text, ReverseHardcoreChain(rules.letters));
  else
    RunChain(text, kReverseStandardChain);
  for (const auto& [search, replacement] : rules.custom)
    ReplaceAllInPlace(text, replacement, search);
  RunChain(text, kLoneLetterSteps);
  return text;
}

std::string EnglishToL33t(std::string_view text, bool hardcore, const Settings& settings) {
  return EnglishToL33t(text, hardcore, ReadRuleSet(settings, hardcore));
}

std::string L33tToEnglish(std::string_view text, bool hardcore, const Settings& settings) {
  return L33tToEnglish(text, hardcore, ReadRuleSet(settings, hardcore));
}

}  // namespace glossmith::reference
