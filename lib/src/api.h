#pragma once

// What the C API's opaque handles hold, and the guard that turns every C++
// failure into a status at the API's edge.

#include <glossmith/glossmith.h>

#include <atomic>
#include <cstddef>
#include <new>
#include <string>
#include <system_error>

#include "core/engine/engine.h"
#include "core/rules/rule_set.h"

struct gls_rules {
  glossmith::RuleSet rules;
  bool storedHardcore = false;
};

struct gls_translator {
  glossmith::Translator engine;
  // The caller's reference and one per stream: a translator freed while its
  // streams live goes when the last of them does.
  mutable std::atomic<std::size_t> references{1};
};

struct gls_stream {
  const gls_translator* translator;  // holds one of its references
  std::string pending;  // fed, not yet translated: holds no split byte
  std::string scratch;
  bool finished = false;
  // Bytes translated and passed on so far: where the next pieces start.
  std::size_t input = 0, output = 0;
};

namespace glossmith::lib {

// Runs `body`, which returns a gls_status; no exception passes.
template <typename Body>
gls_status Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return GLS_E_NOMEM;
  } catch (const std::system_error&) {  // std::thread, std::mutex
    return GLS_E_THREAD;
  } catch (...) {
    return GLS_E_INTERNAL;
  }
}

// Replaces the rules with those read through `settings`, as the window reads them.
void LoadRules(gls_rules& rules, const Settings& settings);

}  // namespace glossmith::lib
