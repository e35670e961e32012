#pragma once

// Many texts on several threads through the ordered map, their translations
// handed on in the texts' order: gls_translate_each, and gls_translate_many
// on top of it.

#include <glossmith/glossmith.h>

#include <cstddef>

#include "core/engine/engine.h"

namespace glossmith::lib {

// The jobs a call uses: 0, or more than the online processors, is one per
// online processor (more would only wait for each other), and never more
// than there are texts (at least 1).
unsigned UsableJobs(unsigned jobs, std::size_t count);

// Translates texts[0, count) on `jobs` threads (the caller's among them) and
// passes their translations to `sink` in runs of consecutive texts, in order.
// GLS_E_SINK when the sink stopped it; a failure of the work is thrown.
gls_status TranslateEach(const Translator& engine, std::size_t count,
                         const char* const* texts, const std::size_t* lens, unsigned jobs,
                         gls_each_sink sink, void* context);

}  // namespace glossmith::lib
