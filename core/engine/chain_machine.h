#pragma once

// A rule chain run as one streaming machine.
//
// Each literal replace step (core/rules/literal_replace.h) is a small
// transducer: its state is the part of the text read so far that could still
// begin a match (a prefix of the find string, tracked with the find string's
// border table), and each byte read either extends that prefix, completes a
// match (emit the replacement, back to the start) or rules out the oldest
// pending bytes (emit them). Composing the transducers of a chain, each feeding its output to the
// next, gives one machine whose state is the tuple of the steps' states; it
// reads the text once and writes the chain's result. Nothing is approximated:
// for every input the machine emits exactly what running the steps one after
// another would give.
//
// The machine is built lazily, as a table from (row, byte class) to an entry:
// the next row and the output. A missing entry is computed on first use by
// running the byte through the step transducers; after that it costs one
// table lookup. A split byte (one that occurs in no find string) flushes every
// pending prefix, as the end of the text would, and then emits the byte
// itself; so a text may be cut right after one and each side run on its own
// (IsSplitByte).
//
// Columns: a machine starts wide, with a column for every byte value, so that
// an entry holds its whole output, a split byte included, and reading a byte
// is one lookup and one copy. Wide rows take some 4 KB a state; a machine whose table
// outgrows its budget that way goes narrow at the next chunk (unless its rules
// look for nearly every byte value, so that narrow rows would be hardly
// smaller): the split bytes then share one column, whose entries write the
// input byte after their output (a second store per byte), and rows are as
// small as the rules' bytes allow. Consecutive one-byte find strings are fused
// into byte maps before composing, since they keep no state; a map stops
// growing at a size cap, so values that spell each other out cannot make it
// explode.
//
// The text is run in chunks (kChunkBytes), each cut after split bytes into up
// to three lanes that are run interleaved, to keep the processor busy while
// each lane waits for its next entry. The machine's state carries over from
// one chunk to the next, so chunks need not end on a split byte. Each lane
// runs in blocks: stretches of input that its output buffer is sure to hold
// (RoomFor), so that the inner loop never checks room.
//
// Cost: computing entries is the only work that is not one lookup per byte.
// It is charged to the run's Budget (MachineLimits in budget.h); a run whose
// budget is spent, or whose single entry would output more than
// maxEntryOutput bytes, gives up and runs the steps one by one, as the plain
// rules do. The entries computed so far stay for the next run. The table
// holds at most maxEntries entries; past that it is dropped and rebuilt from
// the lanes' current states, so memory stays bounded.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/engine/budget.h"
#include "core/rules/literal_replace.h"

namespace glossmith::detail {

class ChainMachine {
 public:
  // `steps` run in order; steps with an empty find string are dropped.
  explicit ChainMachine(const Steps& steps, MachineLimits limits = {});
  ~ChainMachine();

  ChainMachine(const ChainMachine&) = delete;
  ChainMachine& operator=(const ChainMachine&) = delete;

  // Replaces the contents of `out` with the chain's result for `text`.
  // `out` must not alias `text`.
  void Run(std::string_view text, std::string& out);

  // True for a byte that no step looks for.
  bool IsSplitByte(unsigned char byte) const { return split_[byte]; }

  // Number of states built so far (since the last reset); for tests and tuning.
  std::size_t StateCount() const { return tupleIds_.size(); }

  // How many times the table outgrew its budget and was rebuilt.
  std::size_t ResetCount() const { return resets_; }

  // Whether runs copy the bytes that pass through the start state in bulk
  // (few bytes start a match, and those turned out rare in the texts so far).
  bool SkipsQuietBytes() const { return skip_; }

  // Whether the last run gave up composing and ran the steps one by one.
  bool LastRunStepByStep() const { return gaveUp_; }

  // Whether the table has a column for every byte value (see above).
  bool Wide() const { return wide_; }

  // Bytes held between runs: the table and what belongs to it.
  std::size_t RetainedBytes() const;

 private:
  // A run of one-byte steps, fused into a map from byte to output.
  struct ByteMap {
    std::array<std::string, 256> out;
    std::size_t bytes = 256;
  };
  // A step with a find string of two or more bytes.
  struct Matcher {
    std::string find;
    std::string replacement;
    std::vector<std::uint32_t> border;  // border[k]: longest proper border of find[0, k)
    std::uint32_t Feed(std::uint32_t state, char c, std::string& out, Budget& budget) const;
  };
  // One transducer of the chain: a byte map or a matcher.
  struct Transducer {
    bool isMap;
    std::uint32_t index;  // into maps_ or matchers_
  };

  // One table entry: the next row (see RowOf, or kUnknown) and the output,
  // held inline when it is short. `advance` is the length plus one when the
  // input byte itself follows the output (split bytes, narrow tables only). A
  // long output (length kLong) is in longOutputs_, its index in `bytes`, and
  // `advance` is then just that flag. An unknown entry has length kLong too, so
  // one test sends both to the slow path. FastRead reads the first eight bytes
  // (next, length, advance) in one load: see Head*.
  struct Entry {
    std::uint32_t next = kUnknown;
    std::uint8_t length = kLong;
    std::uint8_t advance = 0;
    char bytes[10] = {};
  };
  static_assert(offsetof(Entry, length) == 4 && offsetof(Entry, advance) == 5);
  static std::uint32_t HeadNext(std::uint64_t head) {
    if constexpr (std::endian::native == std::endian::little) return static_cast<std::uint32_t>(head);
    return static_cast<std::uint32_t>(head >> 32);
  }
  static std::size_t HeadLength(std::uint64_t head) {
    if constexpr (std::endian::native == std::endian::little) return (head >> 32) & 0xFF;
    return (head >> 24) & 0xFF;
  }
  static std::size_t HeadAdvance(std::uint64_t head) {
    if constexpr (std::endian::native == std::endian::little) return (head >> 40) & 0xFF;
    return (head >> 16) & 0xFF;
  }
  static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
  static constexpr std::uint8_t kInline = 10;
  static constexpr std::uint8_t kLong = 0xFF;

  // Output room. An inline entry copies kCopy bytes blindly and advances the
  // output by at most kMaxAdvance, whatever entries are added later; kSlack
  // more is spare. The fast path runs a block only when the lane's room holds
  // RoomFor(block); the slow path reserves its own output plus that for the
  // rest of the block before it writes.
  static constexpr std::size_t kCopy = 16;
  static constexpr std::size_t kMaxAdvance = kInline + 1;
  static constexpr std::size_t kSlack = 64;
  static constexpr std::size_t RoomFor(std::size_t bytes) {
    return bytes * kMaxAdvance + kCopy + kSlack;
  }
  // The longest block that `room` bytes of output hold by that rule.
  static constexpr std::size_t BlockFor(std::size_t room) {
    return room > RoomFor(0) ? (room - RoomFor(0)) / kMaxAdvance : 0;
  }

  // The table starts with each byte's class times sizeof(Entry), as 16-bit
  // numbers; the rows follow. Rows and class offsets are in bytes, so that the
  // inner loop adds and loads, nothing else.
  static constexpr std::uint32_t kHeaderBytes = 512;
  static constexpr std::uint32_t kStartRow = kHeaderBytes;

  struct Lane;
  struct Chunk;

  // Construction.
  void AddOneByteStep(const std::string& find, const std::string& replacement);
  void AddMatcher(const std::string& find, const std::string& replacement);
  void AssignClasses();
  // Leaves the wide layout for good, keeping the state at `row`; returns its
  // row in the new table.
  std::uint32_t GoNarrow(std::uint32_t row);
  void FindLoudBytes();

  // The table. The functions that compute outputs return false, leaving the
  // table as it was, when the run's budget is spent or an entry's output
  // passes maxEntryOutput.
  std::uint32_t RowOf(std::uint32_t state) const { return kHeaderBytes + state * rowBytes_; }
  std::uint32_t StateOf(std::uint32_t row) const { return (row - kHeaderBytes) / rowBytes_; }
  void Reset();
  std::uint32_t Intern(const std::vector<std::uint32_t>& tuple);
  void SetOutput(Entry& entry, std::string_view bytes, bool appendInput);
  std::string_view Output(const Entry& entry) const;
  bool FeedTransducer(std::size_t t, std::vector<std::uint32_t>& tuple, std::string& bytes);
  bool Feed(std::vector<std::uint32_t>& tuple, std::string& bytes);
  bool Flush(std::vector<std::uint32_t>& tuple, std::string& bytes);
  void LoadTuple(std::uint32_t row);
  // Fills the table entry for (row, byte).
  bool Compute(std::uint32_t row, unsigned char byte);
  // Appends what the end of the text emits in the state at `row`.
  bool AppendFinal(std::uint32_t row, std::string& out);
  bool NearTableLimits() const;
  // Drops the table, keeping the states of the chunk's lanes.
  void Rebuild(Chunk& chunk);

  // Running. Each returns false when the run's budget is spent; the run then
  // starts over step by step.
  // Reads one byte: one lookup, a blind copy of the inline output and, in a
  // narrow table, the input byte behind it. False, with nothing written, when
  // the entry is unknown or its output long: the caller then takes the slow
  // path.
  template <bool kNarrow>
  static bool FastRead(const char* table, std::size_t& row, unsigned char c, char*& o) {
    std::size_t column;
    if constexpr (kNarrow) {
      std::uint16_t offset;
      std::memcpy(&offset, table + 2 * std::size_t{c}, sizeof offset);
      column = offset;
    } else {
      column = (std::size_t{c} + 1) * sizeof(Entry);  // see AssignClasses
    }
    const char* e = table + row + column;
    // Every field is read before the output is written: the output may alias
    // the table as far as the compiler knows, and would otherwise be read
    // again after the stores.
    std::uint64_t head;  // next, length and advance, in one load
    std::memcpy(&head, e, sizeof head);
    const std::size_t length = HeadLength(head);
    if (length > kInline) [[unlikely]]
      return false;
    // Reads on into the next entry; the table ends in a padding entry.
    std::memcpy(o, e + offsetof(Entry, bytes), kCopy);
    if constexpr (kNarrow) {
      o[length] = static_cast<char>(c);
      o += HeadAdvance(head);
    } else {
      o += length;  // a wide entry never appends the input byte
    }
    row = HeadNext(head);
    return true;
  }
  // Makes room for `bytes` more bytes of output in the lane.
  static void Reserve(Lane& lane, std::size_t bytes);
  // Reads byte `offset` of the chunk's lane `which` the slow way: fills a
  // missing entry or copies a long output. `blockRest` bytes of the block
  // remain, this one included.
  bool SlowRead(Chunk& chunk, std::size_t which, std::size_t offset, std::size_t blockRest);
  // Runs lanes [first, first + K) of the chunk side by side until one of them
  // runs out of input.
  template <std::size_t K, bool kNarrow>
  bool RunInterleaved(Chunk& chunk, std::size_t first);
  // Runs lane `which`, copying the stretches between loud bytes in bulk while
  // the machine is in its start state.
  template <bool kNarrow>
  bool RunSkipping(Chunk& chunk, std::size_t which);
  template <bool kNarrow>
  bool RunLanes(Chunk& chunk);
  const unsigned char* FindLoud(const unsigned char* from, const unsigned char* end) const;
  // Runs [begin, end) from the state at `row`, appends the output to `out`
  // and leaves the state at the end in `row`. `before` bytes of text came
  // before it, `after` bytes follow.
  bool RunChunk(const unsigned char* begin, const unsigned char* end, std::uint32_t& row,
                std::string& out, std::size_t before, std::size_t after);
  bool RunComposed(std::string_view text, std::string& out);

  Steps steps_;  // as given, for running them one by one
  MachineLimits limits_;
  Budget budget_;  // for the current run
  bool gaveUp_ = false;

  std::vector<ByteMap> maps_;
  std::vector<Matcher> matchers_;
  std::vector<Transducer> transducers_;
  std::array<bool, 256> split_{};
  bool wide_ = true;
  bool narrowPays_ = true;  // narrow rows would be at most 3/4 of wide ones
  bool goNarrow_ = false;   // at the start of the next chunk
  std::array<std::uint16_t, 256> classOf_{};
  std::array<unsigned char, 257> representative_{};
  std::uint32_t rowBytes_ = 0;
  std::uint32_t classCount_ = 1;

  std::vector<Entry> table_;           // class offsets, rows, one padding entry
  std::vector<std::uint32_t> tuples_;  // the tuple of state s at s * matchers_.size()
  std::unordered_map<std::string, std::uint32_t> tupleIds_;
  std::vector<std::string> finals_;  // what the end of the text emits, per state
  std::vector<bool> finalKnown_;
  std::vector<std::string> longOutputs_;
  std::size_t longBytes_ = 0;
  std::size_t finalBytes_ = 0;
  std::size_t resets_ = 0;
  double growth_ = 1.0;  // output size over input size, from the last run
  // The bytes that do anything in the start state, when there are at most
  // kMaxLoud of them; skip_ says whether to copy the others in bulk.
  static constexpr std::size_t kMaxLoud = 4;
  std::vector<unsigned char> loud_;
  bool skip_ = false;
  std::unique_ptr<char[]> scratch_;  // the lanes' output regions
  std::size_t scratchSize_ = 0;

  // Scratch for Compute.
  std::vector<std::uint32_t> tuple_;
  std::string bytes_, spare_;
};

}  // namespace glossmith::detail
