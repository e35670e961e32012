#pragma once

// A long list of literal replace steps (a user's Custom string list), applied
// in order with few passes instead of one pass per step.
//
// One Aho-Corasick automaton (aho_corasick.h) over all find strings finds, in
// one pass, every occurrence of every find string in the text, overlapping
// ones included. From these the matches of the steps are chosen as running the
// steps in order would choose them, as long as no step's insertions matter to
// a later step:
//
//   step j replaces, left to right, each occurrence of its find string that
//   overlaps neither a match of an earlier step nor its own previous match.
//
// That is exact when no occurrence of a later find string in the intermediate
// text touches what an earlier step inserted (overlaps the inserted text, or
// spans the place where an empty replacement deleted a match). The pass then
// checks exactly that: around every chosen match it feeds the intermediate
// text, as the later steps would see it, to the same automaton, from the last
// split byte (one that no find string holds) before the match, since the
// automaton is at its root after one, until no occurrence in progress can
// still reach back into the insertion; a match between two split bytes needs
// only the first later step that occurs inside its own replacement, which is
// known in advance.
// The first step that would see such an occurrence, if any, ends the pass:
// the steps before it are applied, and the next pass starts with that step on
// the new text. So a list whose rules do not feed each other in the text at
// hand is applied in one pass; a list where every step rewrites the previous
// one's output takes one pass per step, as the plain chain does.
//
// When a text has more occurrences than a pass may keep, a pass covers only
// the steps whose occurrences fit; long texts are cut after split bytes into
// chunks that are run one after another, and a stretch of more than two
// chunks without a split byte runs step by step, so that the scratch space
// stays within some 35 bytes per byte of a chunk.
//
// Cost (BatchLimits in budget.h): the automaton is built on the first run
// whose text is worth it (its entries and the replacements' bytes, which it
// reads for what occurs inside them, at most the steps times the text's
// length, the work of one plain pass per step) and never larger than
// maxEntries; until then, and for a list that would need more, the steps run
// one by one. Passes and checks are charged to the run's Budget; where it is
// spent, the steps not yet applied run one by one on the text as it stands,
// which is exactly what the plain rules would see there.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/engine/aho_corasick.h"
#include "core/engine/budget.h"
#include "core/rules/literal_replace.h"

namespace glossmith::detail {

// A batch's steps, and its automaton with what it knows of the replacements:
// the automaton is built once, by the first run worth it of any replacer that
// shares it, then never changed, so that copies of a plan on several threads
// keep one of each.
class SharedAutomaton {
 public:
  SharedAutomaton(Steps steps, std::vector<std::string> finds)
      : steps_(std::move(steps)), finds_(std::move(finds)) {}

 private:
  friend class BatchReplacer;
  const Steps steps_;  // those with an empty find string dropped
  const std::vector<std::string> finds_;
  struct Built {
    explicit Built(const std::vector<std::string>& finds) : automaton(finds) {}
    AhoCorasick automaton;
    // Per step: the first later step with an occurrence inside its
    // replacement, or the step count.
    std::vector<std::uint32_t> insideNext;
  };
  std::mutex mutex_;
  std::shared_ptr<const Built> built_;
};

class BatchReplacer {
 public:
  // `steps` run in order; steps with an empty find string are dropped.
  // `automatonEntries` is AutomatonEntries(steps), for a caller that has
  // counted them already.
  BatchReplacer(std::span<const OwnedStep> steps, std::size_t automatonEntries,
                BatchLimits limits = {});
  explicit BatchReplacer(std::span<const OwnedStep> steps, BatchLimits limits = {})
      : BatchReplacer(steps, AutomatonEntries(steps), limits) {}

  // At least the table entries of the automaton over the steps' find
  // strings (AhoCorasick::EntriesFor, which see for `enough`).
  static std::size_t AutomatonEntries(std::span<const OwnedStep> steps, std::size_t enough = 0);
  ~BatchReplacer();

  BatchReplacer(const BatchReplacer&) = delete;
  BatchReplacer& operator=(const BatchReplacer&) = delete;

  // Replaces the contents of `out` with the result of the steps on `text`.
  // `out` must not alias `text`.
  void Run(std::string_view text, std::string& out);

  // True for a byte that no step looks for.
  bool IsSplitByte(unsigned char byte) const { return split_[byte]; }

  // Passes made over the text by the last Run, and whether it ended by
  // running steps one by one (for tests).
  std::size_t LastPassCount() const { return passes_; }
  bool LastRunStepByStep() const { return lastStepByStep_; }

  // Bytes held between runs.
  std::size_t RetainedBytes() const;

  // The steps and the automaton this replacer builds or has built; a
  // replacer of the same steps may share them, and drop its own.
  const std::shared_ptr<SharedAutomaton>& Automaton() const { return shared_; }
  void ShareAutomaton(std::shared_ptr<SharedAutomaton> automaton) {
    shared_ = std::move(automaton);
  }
  // The steps it runs, in order (for aligning its runs).
  const Steps& BatchSteps() const { return shared_->steps_; }
  // Whether the automaton is built (by this replacer or one sharing it).
  bool HasAutomaton() const;

 private:
  struct Occurrence {
    std::uint32_t end;  // one past the last byte
    std::uint32_t step;
  };
  struct Match {
    std::uint32_t start;
    std::uint32_t end;
    std::uint32_t step;
  };
  enum class Collected { kAll, kTooMany, kOverBudget };

  bool WorthBuilding(std::size_t textSize) const;
  void Build();
  void FindInsideReplacements(const AhoCorasick& automaton,
                              std::vector<std::uint32_t>& insideNext) const;
  void RunChunks(std::string_view text, std::string& out);
  void RunChunk(std::string_view text, std::string& out);
  // Whether a pass of steps [first, end) over `text` is likely to finish within
  // the run's budget, judging by the occurrences in a sample of the text.
  bool PassLikelyFits(std::string_view text, std::uint32_t first) const;
  // Runs steps [first, end) one by one on `text` into `out`.
  void RunRest(std::string_view text, std::uint32_t first, std::string& out);
  // Collects the occurrences of steps [first, last] in `text` (counts_ filled
  // in any case); kTooMany when they exceed `budget`.
  Collected Collect(std::string_view text, std::uint32_t first, std::uint32_t last,
                    std::size_t budget);
  // Chooses the matches of steps [first, last] into matches_, in text order.
  void Choose(std::size_t textSize, std::uint32_t first, std::uint32_t last);
  // The first step in (first, last] that would see an occurrence touching an
  // earlier step's insertion, or last + 1. Answers first + 1, which is always
  // safe, once the run's budget is spent.
  std::uint32_t FirstConflict(std::string_view text, std::uint32_t first, std::uint32_t last);
  // The lowest step in [threshold, below) with an occurrence touching the
  // insertion of match `matchIndex` in the text as step `threshold` sees it,
  // or `below`. Lowers `lowestUnreplaced` to the step of every neighbouring
  // match it read as original text: the answer holds for later steps up to
  // that one.
  std::uint32_t CheckMatch(std::string_view text, std::size_t matchIndex, std::uint32_t threshold,
                           std::uint32_t below, std::uint32_t& lowestUnreplaced);
  std::size_t maxFind_ = 0;
  std::array<bool, 256> split_{};
  std::size_t automatonEntries_ = 0;
  std::size_t findBytes_ = 0;
  std::size_t replacementBytes_ = 0;
  BatchLimits limits_;

  std::shared_ptr<SharedAutomaton> shared_;
  // Once built: the shared automaton, held here so that runs need no lock.
  std::shared_ptr<const SharedAutomaton::Built> built_;

  // Per run.
  Budget budget_;
  std::size_t passes_ = 0;
  bool lastStepByStep_ = false;

  // Scratch, kept between runs while it is small (ReleaseScratch).
  void ReleaseScratch();
  std::unique_ptr<Occurrence[]> occurrenceBuffer_;
  std::size_t occurrenceCapacity_ = 0;
  std::size_t occurrenceCount_ = 0;
  std::vector<std::uint32_t> counts_;
  // A pass's occurrences grouped by step: each one's end and its place in
  // the occurrence buffer, so that choosing reads them in order.
  struct Grouped {
    std::uint32_t end;
    std::uint32_t index;
  };
  std::vector<Grouped> grouped_;
  std::vector<std::uint64_t> covered_;
  std::vector<std::uint8_t> chosen_;
  std::vector<Match> matches_;
  struct Span {
    const char* data;
    std::size_t size;
  };
  std::vector<Span> left_;
  std::string scratch_;
};

}  // namespace glossmith::detail
