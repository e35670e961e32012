#include "translate.h"

namespace glossmith {

std::string EnglishToL33t(std::string_view text, bool hardcore, const Settings& settings) {
  return reference::EnglishToL33t(text, hardcore, settings);
}

std::string L33tToEnglish(std::string_view text, bool hardcore, const Settings& settings) {
  return reference::L33tToEnglish(text, hardcore, settings);
}

}  // namespace glossmith
