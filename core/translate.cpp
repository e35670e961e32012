#include "core/translate.h"

#include "core/engine/engine.h"

namespace glossmith {

void EnglishToL33t(std::string_view text, bool hardcore, const Settings& settings,
                   std::string& out) {
  TranslatorCache::Process()
      .For(Direction::kEnglishToL33t, hardcore, settings)
      ->Translate(text, out);
}

void L33tToEnglish(std::string_view text, bool hardcore, const Settings& settings,
                   std::string& out) {
  TranslatorCache::Process()
      .For(Direction::kL33tToEnglish, hardcore, settings)
      ->Translate(text, out);
}

std::string EnglishToL33t(std::string_view text, bool hardcore, const Settings& settings) {
  std::string out;
  EnglishToL33t(text, hardcore, settings, out);
  return out;
}

std::string L33tToEnglish(std::string_view text, bool hardcore, const Settings& settings) {
  std::string out;
  L33tToEnglish(text, hardcore, settings, out);
  return out;
}

}  // namespace glossmith
