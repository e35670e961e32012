#pragma once

// The translation engine that the window, glossmith-cli, the library and
// its Python module use.
//
// Words, as the code of the whole tree uses them:
// - step: one literal replace (find, replacement) applied to the whole text
//   (core/rules/literal_replace.h); a translation is a list of steps.
// - phase: a stretch of consecutive steps run by one engine over the whole
//   text: a machine, a batch, or step by step. A plan runs its phases in turn.
// - part: the steps of a long Custom list that one batch (one automaton)
//   takes; a list too long for one automaton is cut into parts.
// - split byte: a byte that no step of a phase (or of the whole translation)
//   looks for. Every pending match ends at one, so a text may be cut right
//   after it and each side translated on its own.
// - start byte: a byte that does anything when a machine reads it in its
//   start state; the others pass through unchanged, and a machine with few
//   start bytes copies the text between them in bulk.
// - chunk: the stretch of text (kChunkBytes, a megabyte) that a machine or a
//   batch runs at a time, so that scratch space does not grow with the text.
// - lane: a share of a chunk, cut after a split byte, run interleaved with the
//   other lanes so that their table lookups overlap.
// - block: the bytes of a lane that the machine's inner loop runs without
//   checking output room (at most 4 KiB; see machine::RoomFor).
// - entry: one cell of a table: for a state and a byte (class), the next
//   state's row and, in a machine, the output.
// - row: where a state's entries begin in its table.
// - rule set: the Custom pairs and the 26 letters a Translator is made from
//   (RuleSet, parsed; StoredRules, as a settings file holds them).
// - plan: one compiled copy of a translation's phases. A Translator keeps
//   its plans in a pool; a lease holds one for a run of translations.
// - piece: what a front end hands the Translator at a time, cut right after
//   a split byte so that the pieces' translations join to the whole: the
//   window's pieces of a pane (ui/main/panelink.h), glossmith-cli's pieces
//   of its input, the library's pieces for a sink. The engine cuts a piece
//   further into chunks.
// - split unit: in the window, a text unit that is an ASCII split byte
//   other than CR, after which a piece of a pane may end.
//
// Semantics: exactly those of glossmith::reference (core/rules/reference.h):
// the Custom steps and the chains are ordered lists of steps, each applied to
// the whole result of the one before. The engine gives the same bytes for
// every text, rule set and mode; only the work differs.
//
// How:
// - A Translator is made from a rule set (the Custom pairs and the 26
//   letters) and lays out the steps of the whole translation in order;
//   callers that read the rules from a Settings at every call go through a
//   TranslatorCache.
// - Consecutive steps are composed into one streaming machine
//   (detail::ChainMachine) that reads the text once, whatever the number of
//   steps, and is exact by construction: its state is the tuple of the
//   pending partial matches of all steps.
// - A long Custom string list (more than kFusedPairs pairs) is applied by
//   detail::BatchReplacer instead, which finds all occurrences of all its find
//   strings in one scan and applies as many consecutive steps per pass as it
//   can prove independent in the text at hand. Its automaton keeps dense
//   rows near the root and compact sparse nodes below (some 9 bytes a node),
//   so that a list of any length up to the most pairs applied is one part,
//   its memory proportional to its find strings; a list whose automata would
//   pass the plan's budget all the same is cut into parts, and what lies past
//   the budget runs step by step. A long list of one-byte find strings (up to
//   kMaxOneByteList) is a machine of its own instead: its steps fuse into one
//   byte map, however much they feed each other.
// - A Translator compiles its rules at the first need, into a plan that any
//   number of threads share (see Translator). A TranslatorCache keeps one
//   Translator per direction, keyed by the mode and the exact strings read
//   in the call ("search", "replace" and the 26 letters). A call whose
//   strings differ in any byte gets a new Translator, so a rule edited
//   between two calls is in force at the second; nothing is served from a
//   stale rule set.
// - A Translator's first translation is not compiled for a short text: its
//   steps run one by one (kFirstCallWork in budget.h), which costs less than
//   compiling them and filling a fresh table. They are compiled when they
//   come again.
//
// Cost guarantee, for every text and every stored rule set, against the plain
// step-by-step rules (glossmith::reference) on the same machine:
// - time: at most twice the reference's, plus 50 ms;
// - peak memory: at most the reference's, plus 64 MB, including what is kept
//   between calls, plus for a long Custom list 16 bytes per byte of its find
//   strings (its automaton's share beyond the fixed budget).
// It holds because every optimisation has a budget and a fallback to running
// its steps one by one, the reference's own way. The reference runs each step
// at the speed of memory (ReplaceStep: memchr or a linear-time substring
// search, in place where the lengths allow), as CPython's replace does; the
// benchmark also measures the engine against the same steps as a CPython
// loop of replace calls, the target being never slower than that loop. Where
// a phase gives up, the work it spent before (its budget's fixed part, up to
// some milliseconds) can still make a small text slower than the loop.
// Every limit is defined in core/engine/budget.h: the size of a machine's
// table and of an automaton, the plan's automaton entries, what a plan keeps
// between calls (a TranslatorCache keeps two Translators, one per
// direction), and the work a run may spend computing entries, checking batch
// passes or building an automaton (a fixed amount plus a share of what the
// reference would spend, bytes times steps), which each phase charges to a
// Budget; a phase whose budget is spent finishes step by step. An automaton
// is built only for a text at least as long as its entries per step; one
// entry may not output more than a megabyte. The benchmark (bench/core)
// measures the adversarial rule sets against the reference and against
// CPython, and says whether each bound holds.
//
// Invariants:
// - Output is byte-identical to reference::EnglishToL33t / L33tToEnglish.
// - TranslatorCache::For reads the store exactly as often as the keys it needs
//   (search and replace once; the 26 letters once each, in Hardcore mode)
//   and never writes.
// - Memory: the input, the output, one intermediate text when a long Custom
//   list splits the work into phases, the capped tables, and scratch space
//   that does not grow with the text: machine and batch run chunk by chunk
//   (a batch needs some 35 bytes of scratch per byte of a chunk; see
//   batch_replace.h).
//
// Streaming: a text cut right after split bytes may be translated cut by
// cut; joining the results gives the translation of the whole
// (Translator::SplitPoint). Line feeds are split bytes for the built-in rules
// and for any Custom list whose entries hold none.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/rules/rule_set.h"
#include "core/settings.h"

namespace glossmith {

class Alignment;

namespace detail {
class Plan;
struct SharedParts;
}  // namespace detail

enum class Direction { kEnglishToL33t, kL33tToEnglish };

struct TranslatorOptions {
  // At most this many compiled copies; 0 means one per online processor.
  std::size_t maxPlans = 0;
  // Whether the first translation may run its steps uncompiled (see
  // Translator). Tests of the compiled paths turn it off, so that a short
  // text compiles all the same.
  bool uncompiledFirstCall = true;
};

// A translation compiled from a given rule set, which any number of threads
// may run at the same time: the window, glossmith-cli (through the library),
// the library and its Python module all translate through it.
//
// It keeps the rules, and compiled plans in a pool: a thread takes an idle
// plan, or compiles one when none is idle and fewer than maxPlans exist, or
// else waits for one. The plans share the compiled rules: the batches'
// automata (the largest part of a long Custom list) and the composed
// machines, whose one table all threads fill and read (chain_machine.h). What
// each plan keeps of its own is scratch space for its runs. So any number of
// threads keep one compiled copy of the rules. A plan whose run failed (out
// of memory) is dropped rather than returned.
//
// Nothing is compiled before the first need: a first translation whose steps
// would cost less run one by one than compiled (kFirstCallWork) runs them so,
// straight from the rules, and the rules are compiled at the next one. The
// split bytes are found from the rules alone, without compiling.
class Translator {
 public:
  // Custom lists up to this many pairs are composed into the chain's machine;
  // longer ones run before (or, translating back, after) it, as a batch, or
  // as a machine of their own when every find string is one byte.
  static constexpr std::size_t kFusedPairs = 16;

  Translator(Direction direction, bool hardcore, RuleSet rules, TranslatorOptions options = {});
  // The same from the rules as stored: a first translation reads the Custom
  // pairs in place, and they are parsed only when the rules are compiled or
  // rules() is asked for.
  Translator(Direction direction, bool hardcore, StoredRules rules, TranslatorOptions options = {});
  ~Translator();

  Translator(const Translator&) = delete;
  Translator& operator=(const Translator&) = delete;

  // Replaces the contents of `out` with the translation of `text`. `out` must
  // not alias `text`; its capacity is reused. Safe to call from several
  // threads at once.
  void Translate(std::string_view text, std::string& out) const;
  void TranslateAligned(std::string_view text, std::string& out, Alignment& alignment) const;

  // True for a split byte of the whole translation.
  bool IsSplitByte(unsigned char byte) const {
    return (splitKnown_.load(std::memory_order_acquire) ? split_ : SplitBytes())[byte];
  }

  // The length of the longest prefix of `text` that ends right after a split
  // byte (0 if there is none). Translating that prefix and the rest
  // separately and joining the results equals translating the whole.
  std::size_t SplitPoint(std::string_view text) const;

  Direction direction() const { return direction_; }
  bool hardcore() const { return hardcore_; }
  const RuleSet& rules() const;

  // The number of compiled copies made so far (for tests).
  std::size_t PlanCount() const;

  // How the calling thread's last translation ran, phase by phase ("machine",
  // "batch, machine", "step by step", ...; "uncompiled" while a first call
  // ran so), and the bytes one compiled copy and the rules keep between
  // calls; for benchmarks and tests. Both compile the rules if need be.
  std::string Describe() const;
  std::size_t RetainedBytes() const;

  // A compiled copy held by one thread for many translations in a row, so
  // that the pool is not asked once per text. Taken at its first
  // translation, which may run uncompiled as the translator's first.
  class Lease {
   public:
    explicit Lease(const Translator& translator);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    void Translate(std::string_view text, std::string& out);
    void TranslateAligned(std::string_view text, std::string& out, Alignment& alignment);

   private:
    const Translator& translator_;
    bool first_ = true;
    std::unique_ptr<detail::Plan> plan_;
  };

 private:
  friend class TranslatorCache;  // compares stored rules

  // Calls pair(search, replacement) for each Custom pair, in list order.
  template <typename Pair>
  void ForEachCustom(Pair pair) const;
  // Calls visit(find, replacement) for every step, in the reference's order.
  template <typename Visit>
  void ForEachStep(Visit visit) const;
  const LetterTable& letters() const;
  // Found from the rules at the first need (a long list's find strings take
  // a while to read, which a first translation need not wait for).
  const std::array<bool, 256>& SplitBytes() const;
  // Runs the first translation uncompiled when that pays; false if it did not.
  // With `alignment`, also sets it, as the reference does.
  bool RunUncompiledFirst(std::string_view text, std::string& out,
                          Alignment* alignment = nullptr) const;
  std::unique_ptr<detail::Plan> Compile(const detail::SharedParts* from) const;
  std::unique_ptr<detail::Plan> Take() const;
  void Give(std::unique_ptr<detail::Plan> plan) const;

  Direction direction_;
  bool hardcore_;
  // The rules as given: parsed, or as stored (then parsed into rules_ once).
  mutable RuleSet rules_;
  std::unique_ptr<const StoredRules> stored_;
  mutable std::once_flag parsed_;
  mutable TranslatorOptions options_;  // maxPlans 0 is resolved at the first need
  mutable std::once_flag splitFound_;
  mutable std::atomic<bool> splitKnown_{false};
  mutable std::array<bool, 256> split_{};
  mutable std::atomic<bool> compiled_{false};
  mutable std::atomic<bool> ranUncompiled_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable idleChanged_;
  struct Idle {
    std::unique_ptr<detail::Plan> plan;
    std::thread::id lastThread;  // the thread that ran it last
  };
  mutable std::vector<Idle> idle_;
  mutable std::size_t plans_ = 0;  // compiled copies alive, idle or in use
  // The first copy's automata and machines, which every later copy shares.
  mutable std::unique_ptr<const detail::SharedParts> shared_;
};

// The Translators for the rules stored in a Settings, one per direction,
// each kept while the strings read stay the same. For callers that read the
// rules at every call (the window, translate.h): a call whose strings differ
// in any byte from the last one's gets a new Translator. Safe to share
// between threads.
class TranslatorCache {
 public:
  // The Translators it makes are made with `options`.
  explicit TranslatorCache(TranslatorOptions options = {});
  ~TranslatorCache();

  // Reads the rules for `direction` and `hardcore` through `settings` (each
  // key once) and returns the Translator made for the same mode and strings
  // last time, or a new one.
  std::shared_ptr<const Translator> For(Direction direction, bool hardcore,
                                        const Settings& settings);

  // Drops the Translators kept, so that the next call makes a new one (tests
  // and benchmarks measure cold engines with it).
  void Clear();

  // The process's own, which translate.h and the window use.
  static TranslatorCache& Process();

 private:
  struct Slot {
    bool hardcore = false;
    std::shared_ptr<const Translator> translator;  // its StoredRules are the key
  };
  TranslatorOptions options_;
  std::mutex mutex_;
  std::array<Slot, 2> slots_;
};

}  // namespace glossmith
