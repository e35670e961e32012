#pragma once

// The cost guarantee of engine.h, in one place: every limit on what the engine
// keeps between calls and on the work a call spends beyond one table lookup per
// byte, and the Budget that each phase charges that work to and asks before it
// goes on. A phase whose budget is spent finishes its run step by step, the
// reference's own way.

#include <cstddef>

namespace glossmith::detail {

// Work allowed in one run, in the units of the phase that charges it (bytes
// fed to a step, bytes scanned or checked, table entries).
class Budget {
 public:
  Budget() = default;
  explicit Budget(std::size_t limit) : limit_(limit) {}
  // A fixed amount plus `perUnit` for each of `units`: the share of what the
  // reference would spend on the same text.
  Budget(std::size_t fixed, double perUnit, double units)
      : limit_(fixed + static_cast<std::size_t>(perUnit * units)) {}

  void Charge(std::size_t work) { spent_ += work; }
  bool Affords(std::size_t work) const { return spent_ + work <= limit_; }
  bool Exhausted() const { return spent_ > limit_; }

  // For a hot loop that counts in a local and charges the difference.
  std::size_t Spent() const { return spent_; }
  std::size_t Limit() const { return limit_; }

 private:
  std::size_t spent_ = 0;
  std::size_t limit_ = 0;
};

// Text is run in chunks of this many bytes, so that scratch space does not
// grow with the text.
inline constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

// One Aho-Corasick automaton (a part of a long Custom list), and all of a
// plan's automata together, in entries of 4 bytes, each plus
// kAutomatonEntriesPerFindByte for every byte of the find strings they hold;
// and the dense table of one automaton, past which its deeper nodes are kept
// sparse (aho_corasick.h). A trie has at most a node per byte of its
// patterns, and a sparse node with what it may keep of outputs takes some 14
// bytes: so that a list of any length up to the most pairs applied is one
// automaton, in memory proportional to the list.
inline constexpr std::size_t kMaxPartEntries = std::size_t{1} << 22;
inline constexpr std::size_t kMaxPlanEntries = std::size_t{1} << 23;
inline constexpr std::size_t kAutomatonEntriesPerFindByte = 4;
inline constexpr std::size_t kMaxDenseAutomatonEntries = std::size_t{1} << 21;

// The largest intermediate text a plan keeps between calls. A thread keeps at
// most two plans, one per direction.
inline constexpr std::size_t kKeptScratch = std::size_t{1} << 22;

// The longest find string composed into a machine: the machine needs a state
// for each of its bytes that a text walks through, and a wide row costs some
// 4 KB. A longer one runs on its own, with a linear-time substring search.
inline constexpr std::size_t kMaxComposedFind = 256;

// The longest Custom list of one-byte find strings composed into a machine
// of its own: a step whose byte occurs in the machine's byte map rewrites
// the map, of at most maxMapBytes (some 15 microseconds at most).
inline constexpr std::size_t kMaxOneByteList = 2048;

// A first translation with rules not compiled yet runs its steps one by one
// when that costs at most kFirstCallWork byte-steps: the text's bytes plus
// kStepBytes (a step's fixed cost), times the steps. Each step then scans the
// text at the speed of memory, some 0.1 ms a megabyte-step, where compiling
// the rules and filling a fresh table for the text's states would take
// longer: the chain's machine needs some microseconds per new entry, and a
// long Custom list must first be parsed into steps.
inline constexpr std::size_t kFirstCallWork = std::size_t{1} << 22;
inline constexpr std::size_t kStepBytes = 64;

// The composed machine (chain_machine.h).
struct MachineLimits {
  std::size_t maxEntries = std::size_t{1} << 18;      // table entries (16 bytes each)
  std::size_t maxLongBytes = std::size_t{1} << 21;    // bytes of outputs kept out of line
  std::size_t maxEntryOutput = std::size_t{1} << 20;  // one entry's output
  std::size_t maxMapBytes = std::size_t{1} << 16;     // outputs of one fused byte map
  // Work per run, in bytes fed to a step: a fixed amount plus a share per byte
  // of text (the plain rules read every byte at least once, and their first
  // step may leave little for the others to read).
  std::size_t fixedWork = std::size_t{1} << 20;
  double workPerByte = 1.0 / 8;
};

// The batch (batch_replace.h).
struct BatchLimits {
  // Texts longer than this are cut into chunks after split bytes.
  std::size_t chunkBytes = kChunkBytes;
  // A pass keeps at most (text length + this) occurrences.
  std::size_t extraOccurrences = 4096;
  // The largest automaton built, plus kAutomatonEntriesPerFindByte for each
  // byte of the find strings.
  std::size_t maxEntries = kMaxPartEntries;
  // Work per run, in bytes scanned or checked: a fixed amount plus a share per
  // byte and step.
  std::size_t fixedWork = std::size_t{1} << 20;
  double workPerByteStep = 1.0 / 128;
  // A pass that applies fewer steps than this is followed by this many steps
  // run one by one.
  std::size_t minPassSteps = 8;
  // Dictionary links followed, once per automaton, to find what occurs inside
  // the replacements; past this the rest is taken to conflict (always safe).
  std::size_t insideWork = std::size_t{1} << 24;
  // Scratch buffers larger than this (in elements) are not kept between runs.
  std::size_t keptScratch = std::size_t{1} << 16;
};

}  // namespace glossmith::detail
