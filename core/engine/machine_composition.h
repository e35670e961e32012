#pragma once

// Inside the composed machine (chain_machine.h): the steps as transducers,
// and how a byte read in a state becomes an entry. Only the machine's own
// sources include this.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/engine/budget.h"
#include "core/rules/literal_replace.h"

namespace glossmith::detail::machine {

struct Table;  // machine_table.h

// A run of one-byte steps, fused into a map from byte to output.
struct ByteMap {
  std::array<std::string, 256> out;
  std::size_t bytes = 256;
  std::array<std::size_t, 256> occurs{};  // of each byte in all of `out`
  std::array<bool, 256> changes{};        // out[b] is not b itself
};

// A step with a find string of two or more bytes.
struct Matcher {
  std::string find;
  std::string replacement;
  std::vector<std::uint32_t> border;  // border[k]: longest proper border of find[0, k)
  // Sets `matched` when c completes the find string.
  std::uint32_t Feed(std::uint32_t state, char c, std::string& out, Budget& budget,
                     bool& matched) const;
};

// One transducer of the chain: a byte map or a matcher.
struct Transducer {
  bool isMap;
  std::uint32_t index;  // into the maps or the matchers
};

// Chains of up to kSkipWords * 64 transducers are indexed (Composition::reacts_).
inline constexpr std::size_t kSkipWords = 8;

// A state of the machine: the matchers' states, their hash (the sum of Mix
// over the matchers, kept up to date as they change) and, when the chain is
// indexed, the transducers of the matchers away from their start state.
struct Tuple {
  std::vector<std::uint32_t> states;
  std::uint64_t hash = 0;
  std::array<std::uint64_t, kSkipWords> away{};
  // Whether a matcher completed its find string while computing the entry
  // (see Table::marks); not part of the state.
  bool matched = false;

  void Set(std::size_t matcher, std::uint32_t state) {
    hash += Mix(matcher, state) - Mix(matcher, states[matcher]);
    states[matcher] = state;
  }
  static std::uint64_t Mix(std::size_t matcher, std::uint32_t state) {
    if (state == 0) return 0;
    std::uint64_t x = (std::uint64_t{matcher} << 32 | state) * 0x9E3779B97F4A7C15u;
    x = (x ^ (x >> 29)) * 0xBF58476D1CE4E5B9u;
    return x ^ (x >> 32);
  }
};

// What computing an entry works in; one per machine, used under its mutex.
struct Scratch {
  Tuple tuple;
  std::string bytes, spare;
  Scratch() {
    // Out of line from the start, so that swapping them swaps pointers.
    bytes.reserve(64);
    spare.reserve(64);
  }
};

// The steps of a chain composed: compiled once, then read by every run
// without a lock. Computes the entries and final outputs of the machine's
// tables, each from the tuple of the state it starts in.
class Composition {
 public:
  // A machine copies the text between start bytes in bulk while it is in its
  // start state, when there are at most this many start bytes.
  static constexpr std::size_t kMaxStartBytes = 4;

  // `steps` run in order; steps with an empty find string are dropped.
  Composition(const Steps& steps, const MachineLimits& limits);

  const Steps& steps() const { return steps_; }
  const MachineLimits& limits() const { return limits_; }
  bool IsSplitByte(unsigned char byte) const { return split_[byte]; }
  std::size_t MatcherCount() const { return matchers_.size(); }
  // Of Tuple::away, kept per state; 0 for a chain too long to index.
  std::size_t AwayWords() const { return skipWords_; }
  // Narrow rows would be at most 3/4 of wide ones.
  bool NarrowPays() const { return narrowPays_; }
  // Whether there are at most kMaxStartBytes start bytes, and which.
  bool FewStartBytes() const { return fewStartBytes_; }
  std::span<const unsigned char> StartBytes() const { return startBytes_; }

  // Fills the entry for (row, byte) of `table`: runs the byte through the
  // transducers from the row's tuple, and interns the tuple they end in.
  // False, with the table as it was, when the budget is spent or the output
  // passes maxEntryOutput.
  bool ComputeEntry(Table& table, std::uint32_t row, unsigned char byte, Scratch& scratch,
                    Budget& budget) const;
  // Sets `out` to what the end of the text emits in the state at `row`.
  bool ComputeFinal(const Table& table, std::uint32_t row, Scratch& scratch, std::string& out,
                    Budget& budget) const;

  // Heap bytes of the compiled steps.
  std::size_t HeldBytes() const;

 private:
  void AddOneByteStep(const std::string& find, const std::string& replacement);
  void AddMatcher(const std::string& find, const std::string& replacement);
  void FindStartBytes();
  void IndexReactions();

  // Runs `bytes` through transducer `t`; `changed` tells whether it rewrote them.
  bool FeedTransducer(std::size_t t, Tuple& tuple, std::string& bytes, std::string& spare,
                      Budget& budget, bool& changed) const;
  // Runs `bytes` through the chain; with kFlush, each matcher then also emits
  // its pending prefix and goes back to its start, as at the end of the text.
  template <bool kFlush>
  bool Pass(Tuple& tuple, std::string& bytes, std::string& spare, Budget& budget) const;
  // Pass's loop over every transducer in turn, for chains too long to index.
  template <bool kFlush>
  bool PassAll(Tuple& tuple, std::string& bytes, std::string& spare, Budget& budget) const;

  Steps steps_;  // as given, for running them one by one
  MachineLimits limits_;
  std::vector<ByteMap> maps_;
  std::vector<Matcher> matchers_;
  std::vector<Transducer> transducers_;
  // Which transducers react to a byte in their start state (a map that
  // changes it, a matcher whose find string starts with it): for each byte
  // value, a bit set of kSkipWords words at most. Pass visits only those and
  // the matchers away from their start. Empty for longer chains.
  std::size_t skipWords_ = 0;
  std::vector<std::uint64_t> reacts_;
  std::array<bool, 256> split_{};
  bool narrowPays_ = true;
  bool fewStartBytes_ = false;
  std::vector<unsigned char> startBytes_;  // kept only when few
};

}  // namespace glossmith::detail::machine
