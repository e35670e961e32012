#pragma once

// A rule chain run as one streaming machine.
//
// Each literal replace step (literal_replace.h) is a small transducer: its
// state is the part of the text read so far that could still begin a match (a
// prefix of the find string, tracked with the find string's border table), and
// each byte read either extends that prefix, completes a match (emit the
// replacement, back to the start) or rules out the oldest pending bytes (emit
// them). Composing the transducers of a chain, each feeding its output to the
// next, gives one machine whose state is the tuple of the steps' states; it
// reads the text once and writes the chain's result. Nothing is approximated:
// for every input the machine emits exactly what running the steps one after
// another would give.
//
// The machine is built lazily, as a table from (state, byte class) to (next
// state, output). A missing entry is computed on first use by running the byte
// through the step transducers; after that it costs one table lookup. Bytes
// that occur in no find string share one class ("inert"): reading one flushes
// every pending prefix, as the end of the text would, and then emits the byte
// itself. Consecutive one-byte find strings are fused into one byte map
// before composing, since they keep no state.
//
// An inert byte also ends every pending match, so a text may be cut right
// after one and each part translated on its own (IsBoundary). Long inputs are
// cut that way into independent lanes that are run interleaved, to keep the
// processor busy while each lane waits for its next table entry.
//
// The table grows only with the states the texts actually reach. When it
// passes a fixed budget it is dropped and rebuilt from the current state, so a
// rule set that would need a huge machine stays correct and bounded in memory,
// only slower.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace glossmith::detail {

class ChainMachine {
 public:
  using Steps = std::vector<std::pair<std::string, std::string>>;

  // Table entries allowed before the table is dropped and rebuilt.
  static constexpr std::size_t kDefaultMaxEntries = std::size_t{1} << 21;

  // `steps` run in order; steps with an empty find string are dropped.
  explicit ChainMachine(const Steps& steps, std::size_t maxEntries = kDefaultMaxEntries);

  ChainMachine(const ChainMachine&) = delete;
  ChainMachine& operator=(const ChainMachine&) = delete;

  // Replaces the contents of `out` with the chain's result for `text`.
  // `out` must not alias `text`.
  void Run(std::string_view text, std::string& out);

  // True for a byte that no step looks for.
  bool IsBoundary(unsigned char byte) const { return classOf_[byte] == 0; }

  // Number of states built so far (since the last reset); for tests and tuning.
  std::size_t StateCount() const { return tupleIds_.size(); }

  // How many times the table outgrew its budget and was rebuilt.
  std::size_t ResetCount() const { return resets_; }

 private:
  // A run of one-byte steps, fused into a map from byte to output.
  struct ByteMap {
    std::array<std::string, 256> out;
  };
  // A step with a find string of two or more bytes.
  struct Matcher {
    std::string find;
    std::string replacement;
    std::vector<std::uint32_t> border;  // border[k]: longest proper border of find[0, k)
    std::uint32_t Feed(std::uint32_t state, char c, std::string& out) const;
  };
  struct Stage {
    bool isMap;
    std::uint32_t index;  // into maps_ or matchers_
  };

  // One table entry. `next` is the row offset of the next state (state index
  // times the class count), or kUnknown. `out` packs the output: pool offset
  // in the high 24 bits, length in bits 1..7 (kLongLength: a long output kept
  // in longOutputs_, indexed by the offset field), and in bit 0 whether the
  // input byte itself follows.
  struct Entry {
    std::uint32_t next;
    std::uint32_t out;
  };
  static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
  static constexpr std::uint32_t kLongLength = 127;
  static constexpr std::uint32_t kShortCopy = 16;  // bytes copied blindly per entry

  struct Lane;

  void Reset();
  std::uint32_t Intern(const std::vector<std::uint32_t>& tuple);
  std::uint32_t PackOutput(std::string_view bytes, bool appendInput);
  std::string_view Output(std::uint32_t packed) const;
  void FeedStage(std::size_t stage, std::vector<std::uint32_t>& tuple, std::string& bytes);
  void Feed(std::vector<std::uint32_t>& tuple, std::string& bytes);
  void Flush(std::vector<std::uint32_t>& tuple, std::string& bytes);
  // Fills the table entry for (row, byte). The table must have room for one
  // more state and output (see NearBudget).
  void Compute(std::uint32_t row, unsigned char byte);
  std::string FinalOutput(std::uint32_t row);
  bool NearBudget() const;
  // Drops the table, keeping the states the lanes are in.
  void Rebuild(Lane* lanes, std::size_t count);
  static void Reserve(Lane& lane, std::size_t extra);
  // Reads one byte of lane `which` the slow way: fills a missing entry or
  // copies a long output.
  void Slow(Lane* lanes, std::size_t count, std::size_t which);
  template <std::size_t K>
  void RunInterleaved(Lane* lanes);

  std::vector<ByteMap> maps_;
  std::vector<Matcher> matchers_;
  std::vector<Stage> stages_;
  std::array<std::uint16_t, 256> classOf_{};
  std::array<unsigned char, 257> representative_{};
  std::uint32_t classCount_ = 1;

  std::vector<Entry> table_;
  std::vector<std::uint32_t> tuples_;  // the tuple of state s at s * matchers_.size()
  std::unordered_map<std::string, std::uint32_t> tupleIds_;
  std::vector<std::uint32_t> finals_;  // packed final output per state, kUnknown if not yet known
  std::string pool_;                   // outputs, followed by kShortCopy bytes of padding
  std::vector<std::string> longOutputs_;
  std::size_t longBytes_ = 0;
  std::size_t resets_ = 0;
  std::size_t maxEntries_;

  // Scratch for Compute.
  std::vector<std::uint32_t> tuple_;
  std::string bytes_, spare_;
};

}  // namespace glossmith::detail
