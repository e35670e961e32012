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
// after one and each part translated on its own (IsBoundary). The text is run
// in chunks of a megabyte, each cut that way into a few lanes that are run
// interleaved, to keep the processor busy while each lane waits for its next
// table entry; the lanes write to a scratch buffer of chunk size and the
// chunk's output is appended to the result. The machine's state carries over
// from one chunk to the next, so chunks need no boundary.
//
// The table grows only with the states the texts actually reach. When it
// passes a fixed budget it is dropped and rebuilt from the current state, so a
// rule set that would need a huge machine stays correct and bounded in memory,
// only slower.

#include <array>
#include <cstdint>
#include <memory>
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

  // Whether runs copy the bytes that pass through the start state in bulk
  // (few bytes start a match, and those turned out rare in the texts so far).
  bool SkipsQuietBytes() const { return skip_; }

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

  // One table entry: where the next state's row starts (in bytes from the
  // table's start, or kUnknown) and the output, held inline when it is short.
  // `advance` is the length plus one when the input byte itself follows the
  // output. A long output (length kLong) is in longOutputs_, its index in
  // `bytes`, and `advance` is then just that flag. An unknown entry has length
  // kLong too, so one test sends both to the slow path. Rows and class
  // offsets are in bytes so that the inner loop adds and loads, nothing else.
  struct Entry {
    std::uint32_t next = kUnknown;
    std::uint8_t length = kLong;
    std::uint8_t advance = 0;
    char bytes[10] = {};
  };
  static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
  static constexpr std::uint8_t kInline = 10;
  static constexpr std::uint8_t kLong = 0xFF;
  static constexpr std::size_t kCopy = 16;  // bytes copied blindly per entry
  // The table starts with each byte's class times sizeof(Entry), as 16-bit
  // numbers; the rows follow.
  static constexpr std::uint32_t kHeaderBytes = 512;

  struct Lane;

  void Reset();
  std::uint32_t Intern(const std::vector<std::uint32_t>& tuple);
  void SetOutput(Entry& entry, std::string_view bytes, bool appendInput);
  std::string_view Output(const Entry& entry) const;
  void FeedStage(std::size_t stage, std::vector<std::uint32_t>& tuple, std::string& bytes);
  void Feed(std::vector<std::uint32_t>& tuple, std::string& bytes);
  void Flush(std::vector<std::uint32_t>& tuple, std::string& bytes);
  void LoadTuple(std::uint32_t row);
  // Fills the table entry for (row, byte). The table must have room for one
  // more state (see NearBudget).
  void Compute(std::uint32_t row, unsigned char byte);
  std::string FinalOutput(std::uint32_t row);
  bool NearBudget() const;
  // Drops the table, keeping the states the lanes are in.
  void Rebuild(Lane* lanes, std::size_t count);
  static void Reserve(Lane& lane, std::size_t extra);
  // Reads byte `offset` of lane `which` the slow way: fills a missing entry or
  // copies a long output. `blockRest` bytes of the block remain, this one
  // included.
  void Slow(Lane* lanes, std::size_t which, std::size_t offset, std::size_t blockRest);
  template <std::size_t K>
  void RunInterleaved(Lane* lanes);
  // Runs a lane, copying the stretches between loud bytes in bulk while the
  // machine is in its start state.
  void RunSkipping(Lane& lane);
  const unsigned char* FindLoud(const unsigned char* from, const unsigned char* end) const;
  // Runs [begin, end) from the state at `row`, appends the output to `out`
  // and returns the state at the end. `before` bytes of text came before it,
  // `after` bytes follow.
  std::uint32_t RunChunk(const unsigned char* begin, const unsigned char* end, std::uint32_t row,
                         std::string& out, std::size_t before, std::size_t after);

  std::vector<ByteMap> maps_;
  std::vector<Matcher> matchers_;
  std::vector<Stage> stages_;
  std::array<std::uint16_t, 256> classOf_{};
  std::array<unsigned char, 257> representative_{};
  std::uint32_t rowBytes_ = 0;
  std::uint32_t classCount_ = 1;

  std::vector<Entry> table_;            // class offsets, rows, one padding entry
  std::vector<std::uint32_t> tuples_;   // the tuple of state s at s * matchers_.size()
  std::unordered_map<std::string, std::uint32_t> tupleIds_;
  std::vector<std::string> finals_;     // what the end of the text emits, per state
  std::vector<bool> finalKnown_;
  std::vector<std::string> longOutputs_;
  std::size_t longBytes_ = 0;
  std::size_t resets_ = 0;
  std::size_t maxEntries_;
  double growth_ = 1.0;  // output size over input size, from the last run
  std::size_t maxAdvance_ = 1;  // the largest `advance` of an inline entry
  // The bytes that do anything in the start state, when there are at most
  // kMaxLoud of them; skip_ says whether to copy the others in bulk.
  static constexpr std::size_t kMaxLoud = 4;
  std::vector<unsigned char> loud_;
  bool skip_ = false;
  std::unique_ptr<char[]> scratch_;  // the lanes' output regions
  std::size_t scratchSize_ = 0;
  Lane* activeLanes_ = nullptr;  // the lanes of the chunk being run
  std::size_t activeCount_ = 0;

  // Scratch for Compute.
  std::vector<std::uint32_t> tuple_;
  std::string bytes_, spare_;
};

}  // namespace glossmith::detail
