#pragma once

// The entry points of the two translations, for the window and the CLI. They
// give exactly the bytes of the step-by-step rules (core/rules/reference.h,
// which says what the translations are) and run the fast engine
// (core/engine/engine.h) to do so.

#include <string>
#include <string_view>

#include "core/settings.h"

namespace glossmith {

std::string EnglishToL33t(std::string_view text, bool hardcore, const Settings& settings);
std::string L33tToEnglish(std::string_view text, bool hardcore, const Settings& settings);

// The same, writing the result into `out` (its old contents are replaced and
// its capacity reused), so that a caller translating large texts keeps no
// extra copy. `out` must not alias `text`.
void EnglishToL33t(std::string_view text, bool hardcore, const Settings& settings,
                   std::string& out);
void L33tToEnglish(std::string_view text, bool hardcore, const Settings& settings,
                   std::string& out);

}  // namespace glossmith
