#pragma once

#include <glossmith/glossmith.hpp>

#include <vector>

#include "rules.h"
#include "text.h"

namespace glossmith_python {

// Translates `texts` on `threads` threads (0: one per processor), through the
// library's ordered parallel map (gls::Translator::TranslateRuns), and
// returns the results as a list of the texts' kinds. Called with the GIL held.
py::list TranslateMany(const gls::Translator& translator, const std::vector<TextArg>& texts,
                       unsigned threads);

}  // namespace glossmith_python
