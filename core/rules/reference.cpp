#include "core/rules/reference.h"

#include "core/rules/custom_list.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/literal_replace.h"
#include "core/rules/rules.h"

namespace glossmith::reference {

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs ReadCustomPairs(const Settings& settings) {
  return CustomPairs(settings.Read(kApp, kSectionChange, kKeySearch),
                     settings.Read(kApp, kSectionChange, kKeyReplace));
}

template <typename Steps>
void RunChain(std::string& text, const Steps& steps) {
  for (const auto& [find, replacement] : steps) ReplaceAllInPlace(text, find, replacement);
}

}  // namespace

std::string EnglishToL33t(std::string_view input, bool hardcore, const Settings& settings) {
  std::string text(input);
  RunChain(text, ReadCustomPairs(settings));
  if (hardcore)
    RunChain(text, HardcoreChain(ReadLetterTable(settings)));
  else
    RunChain(text, kStandardChain);
  return text;
}

std::string L33tToEnglish(std::string_view input, bool hardcore, const Settings& settings) {
  std::string text(input);
  if (hardcore)
    RunChain(text, ReverseHardcoreChain(ReadLetterTable(settings)));
  else
    RunChain(text, kReverseStandardChain);
  for (const auto& [search, replacement] : ReadCustomPairs(settings))
    ReplaceAllInPlace(text, replacement, search);
  RunChain(text, kLoneLetterSteps);
  return text;
}

}  // namespace glossmith::reference
