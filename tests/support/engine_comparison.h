#pragma once

// The engine against the reference rules: one text, one store, both
// directions in both modes, the whole text and the text cut at the engine's
// split point. The rules are read as the window reads them, through a
// TranslatorCache. Plain C++ (no GoogleTest), so that the fuzzer can use it
// too.

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/engine.h"
#include "core/rules/alignment.h"
#include "core/rules/reference.h"
#include "core/rules/rule_set.h"
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
  // The alignments: the reference's, the engine's, and the two pieces' joined.
  AlignedText expectedAligned, aligned, joinedAligned;
};

// "" when the engine's alignment is the reference's, piece for piece.
inline std::string AlignmentDifference(const AlignedText& engine, const AlignedText& reference) {
  if (engine.text != reference.text) return "the aligned translation differs";
  if (engine.alignment.PieceCount() != reference.alignment.PieceCount())
    return "piece counts " + std::to_string(engine.alignment.PieceCount()) + " and " +
           std::to_string(reference.alignment.PieceCount());
  // Runs of pieces first: a list of every piece of a long text is large.
  auto runs = [](const Alignment& alignment) {
    std::vector<std::array<std::size_t, 3>> runs;
    alignment.ForEachRun([&](std::size_t input, std::size_t output, std::size_t count) {
      if (!runs.empty() && runs.back()[0] == input && runs.back()[1] == output && input == 1 &&
          output == 1)
        runs.back()[2] += count;
      else
        runs.push_back({input, output, count});
    });
    return runs;
  };
  if (runs(engine.alignment) == runs(reference.alignment)) return "";
  const auto mine = engine.alignment.Pieces(), theirs = reference.alignment.Pieces();
  for (std::size_t k = 0; k < mine.size(); ++k)
    if (!(mine[k] == theirs[k]))
      return "piece " + std::to_string(k) + ": [" + std::to_string(mine[k].inputBegin) + ", " +
             std::to_string(mine[k].inputEnd) + ") -> [" + std::to_string(mine[k].outputBegin) +
             ", " + std::to_string(mine[k].outputEnd) + "), the reference's [" +
             std::to_string(theirs[k].inputBegin) + ", " + std::to_string(theirs[k].inputEnd) +
             ") -> [" + std::to_string(theirs[k].outputBegin) + ", " +
             std::to_string(theirs[k].outputEnd) + ")";
  return "";
}

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
      EngineRun run{direction, hardcore, 0, {}, {}, {}, {}, {}, {}};
      run.expected = direction == Direction::kEnglishToL33t
                         ? reference::EnglishToL33t(text, hardcore, store)
                         : reference::L33tToEnglish(text, hardcore, store);
      const RuleSet rules = ReadRuleSet(store, hardcore);
      run.expectedAligned = direction == Direction::kEnglishToL33t
                                ? reference::EnglishToL33tAligned(text, hardcore, rules)
                                : reference::L33tToEnglishAligned(text, hardcore, rules);
      const std::shared_ptr<const Translator> translator = cache.For(direction, hardcore, store);
      translator->Translate(text, run.whole);
      translator->TranslateAligned(text, run.aligned.text, run.aligned.alignment);
      run.split = translator->SplitPoint(text.substr(0, std::min(cut, text.size())));
      std::string head, tail;
      translator->Translate(text.substr(0, run.split), head);
      translator->Translate(text.substr(run.split), tail);
      run.joined = head + tail;
      AlignedText headAligned, tailAligned;
      translator->TranslateAligned(text.substr(0, run.split), headAligned.text,
                                   headAligned.alignment);
      translator->TranslateAligned(text.substr(run.split), tailAligned.text,
                                   tailAligned.alignment);
      run.joinedAligned.text = headAligned.text + tailAligned.text;
      run.joinedAligned.alignment = std::move(headAligned.alignment);
      run.joinedAligned.alignment.Append(tailAligned.alignment);

      runs.push_back(std::move(run));
    }
  }
  return runs;
}

}  // namespace glossmith::testing_support
