#pragma once

// The engine against the reference rules: one text, one store, both
// directions in both modes, the whole text and the text cut at the engine's
// split point. The rules are read as the window reads them, through a
// TranslatorCache. Plain C++ (no GoogleTest), so that the fuzzer can use it
// too.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/engine.h"
#include "core/rules/reference.h"
#include "core/settings.h"
#include "core/translate.h"

namespace glossmith::testing_support {

// One direction and mode: what the reference gives, what the engine gives for
// the whole text, and what it gives for the two pieces joined.
struct EngineRun {
  Direction direction;
  bool hardcore;
  std::size_t split;
  std::string expected, whole, joined;
};

inline const char* RunName(const EngineRun& run) {
  if (run.direction == Direction::kEnglishToL33t)
    return run.hardcore ? "EnglishToL33t hardcore" : "EnglishToL33t standard";
  return run.hardcore ? "L33tToEnglish hardcore" : "L33tToEnglish standard";
}

// The four runs; the split point is the engine's own within the first `cut`
// bytes of the text. Each run's Translator is new, made with `options`.
inline std::vector<EngineRun> RunEngineAndReference(std::string_view text, const Settings& store,
                                                    std::size_t cut,
                                                    TranslatorOptions options = {}) {
  TranslatorCache cache(options);
  std::vector<EngineRun> runs;
  for (Direction direction : {Direction::kEnglishToL33t, Direction::kL33tToEnglish}) {
    for (bool hardcore : {false, true}) {
      EngineRun run{direction, hardcore, 0, {}, {}, {}};
      run.expected = direction == Direction::kEnglishToL33t
                         ? reference::EnglishToL33t(text, hardcore, store)
                         : reference::L33tToEnglish(text, hardcore, store);
      const std::shared_ptr<const Translator> translator = cache.For(direction, hardcore, store);
      translator->Translate(text, run.whole);
      run.split = translator->SplitPoint(text.substr(0, std::min(cut, text.size())));
      std::string head, tail;
      translator->Translate(text.substr(0, run.split), head);
      translator->Translate(text.substr(run.split), tail);
      run.joined = head + tail;
      runs.push_back(std::move(run));
    }
  }
  return runs;
}

}  // namespace glossmith::testing_support
