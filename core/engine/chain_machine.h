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
// running the byte through the step transducers (only those that react to
// the bytes they would get or hold a pending prefix); after that it costs one
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
// holds at most maxEntries entries; past that a fresh one replaces it, into
// which the lanes' current states are carried, so memory stays bounded.
//
// Threads: one machine serves any number of threads at once, each run with a
// RunState of its own (budget, scratch, output sizing). They share the
// compiled steps and one table, which they read without a lock and fill
// under the machine's mutex (see Entry). A full table is replaced, not
// cleared: a run still reading the old one keeps it alive and moves to the
// current one at its next chunk (or at its next missing entry, when the
// layouts match), and the old one is freed with its last reader. So the
// machine keeps one table whatever the number of threads; more exist only
// for a moment after a replacement, one at most per run in progress.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/engine/budget.h"
#include "core/rules/literal_replace.h"

namespace glossmith::detail {

class ChainMachine {
  struct Table;  // chain_machine.cpp

 public:
  class RunState;

  // `steps` run in order; steps with an empty find string are dropped.
  explicit ChainMachine(const Steps& steps, MachineLimits limits = {});
  ~ChainMachine();

  ChainMachine(const ChainMachine&) = delete;
  ChainMachine& operator=(const ChainMachine&) = delete;

  // Replaces the contents of `out` with the chain's result for `text`.
  // `out` must not alias `text`. Any number of threads may run the machine at
  // once, each with a RunState of its own; they fill and read one table.
  void Run(std::string_view text, std::string& out, RunState& state);

  // The same, with the machine's own RunState: for one thread at a time.
  void Run(std::string_view text, std::string& out) { Run(text, out, own_); }

  // Where a run is back in its start state: no step holds a pending match
  // there, so no step's occurrence crosses the point.
  class StartStates {
   public:
    virtual ~StartStates() = default;
    // After `input` bytes of the text the run had written `output` bytes;
    // called in order of the text.
    virtual void At(std::size_t input, std::size_t output) = 0;
  };

  // Runs `text` as Run does, but one lane, and reports every point where
  // the machine is in its start state (the alignment's boundaries). False
  // when the run gave up composing: `out` then holds the steps' result, run
  // one by one, and the points reported do not count.
  bool RunMarked(std::string_view text, std::string& out, RunState& state, StartStates& starts);

  // The steps the machine composes, in order.
  const Steps& ComposedSteps() const { return steps_; }

  // True for a byte that no step looks for.
  bool IsSplitByte(unsigned char byte) const { return split_[byte]; }

  // Number of states in the current table; for tests and tuning.
  std::size_t StateCount() const;

  // How many times a table outgrew its budget and was replaced.
  std::size_t ResetCount() const;

  // Whether the current table has a column for every byte value (see above).
  bool Wide() const;

  // Of the machine's own RunState (see RunState).
  bool SkipsQuietBytes() const { return own_.SkipsQuietBytes(); }
  bool LastRunStepByStep() const { return own_.LastRunStepByStep(); }

  // Bytes held between runs: the current table and what belongs to it, the
  // compiled steps, and the own RunState's scratch.
  std::size_t RetainedBytes() const;

  // What one thread keeps from run to run: its budget, its scratch space,
  // how to size its output, and the table it reads while a run lasts.
  class RunState {
   public:
    explicit RunState(const ChainMachine& machine) : skip_(machine.skipAtFirst_) {}
    RunState(RunState&&) = default;
    RunState& operator=(RunState&&) = default;
    ~RunState();

    // Whether runs copy the bytes that pass through the start state in bulk
    // (few bytes start a match, and those turned out rare in the texts so far).
    bool SkipsQuietBytes() const { return skip_; }
    // Whether the last run gave up composing and ran the steps one by one.
    bool LastRunStepByStep() const { return gaveUp_; }
    std::size_t ScratchBytes() const { return scratchSize_; }

   private:
    friend class ChainMachine;
    Budget budget_;
    bool gaveUp_ = false;
    bool skip_;
    double growth_ = 1.0;              // output size over input size, from the last run
    std::unique_ptr<char[]> scratch_;  // the lanes' output regions
    std::size_t scratchSize_ = 0;
    std::shared_ptr<Table> table_;  // held while a run lasts
  };

 private:
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
    std::uint32_t Feed(std::uint32_t state, char c, std::string& out, Budget& budget) const;
  };
  // One transducer of the chain: a byte map or a matcher.
  struct Transducer {
    bool isMap;
    std::uint32_t index;  // into maps_ or matchers_
  };
  // See reacts_.
  static constexpr std::size_t kSkipWords = 8;
  // A state of the machine: the matchers' states, their hash (the sum of Mix
  // over the matchers, kept up to date as they change) and, when the chain is
  // indexed, the transducers of the matchers away from their start state.
  struct Tuple {
    std::vector<std::uint32_t> states;
    std::uint64_t hash = 0;
    std::array<std::uint64_t, kSkipWords> away{};
    void Set(std::size_t matcher, std::uint32_t state) {
      hash += Mix(matcher, state) - Mix(matcher, states[matcher]);
      states[matcher] = state;
    }
  };
  static std::uint64_t Mix(std::size_t matcher, std::uint32_t state) {
    if (state == 0) return 0;
    std::uint64_t x = (std::uint64_t{matcher} << 32 | state) * 0x9E3779B97F4A7C15u;
    x = (x ^ (x >> 29)) * 0xBF58476D1CE4E5B9u;
    return x ^ (x >> 32);
  }

 public:
  // One table entry: the output, held inline when it is short, then the head:
  // the output's last two inline bytes, its length, `advance` and the next
  // row (see Table::RowOf, or kUnknown). `advance` is the length plus one when
  // the input byte itself follows the output (split bytes, narrow tables
  // only). A long output (length kLong) is a string that `bytes` points to,
  // and `advance` is then just that flag. An unknown entry has length kLong
  // too, so one test sends both to the slow path.
  //
  // Threads read entries without a lock: a new entry's bytes are written
  // first and its head last, in one atomic store that releases them; FastRead
  // loads the head with acquire and only then reads the bytes, all within the
  // entry. An entry, once known, never changes.
  struct alignas(16) Entry {
    char bytes[8] = {};
    std::uint64_t head = kUnknownHead;
  };
  struct Head {
    char bytes[2];
    std::uint8_t length;
    std::uint8_t advance;
    std::uint32_t next;
  };
  static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
  static constexpr std::uint8_t kInline = 10;
  static constexpr std::uint8_t kLong = 0xFF;
  static_assert(sizeof(Head) == sizeof(std::uint64_t));
  static constexpr std::uint64_t kUnknownHead =
      std::bit_cast<std::uint64_t>(Head{{0, 0}, kLong, 0, kUnknown});
  static Head Fields(std::uint64_t head) { return std::bit_cast<Head>(head); }
  static std::uint64_t LoadHead(const Entry& entry) {
    return __atomic_load_n(&entry.head, __ATOMIC_ACQUIRE);
  }

 private:
  // Output room. An inline entry copies kCopy bytes blindly and advances the
  // output by at most kMaxAdvance, whatever entries are added later; kSlack
  // more is spare. The fast path runs a block only when the lane's room holds
  // RoomFor(block); the slow path reserves its own output plus that for the
  // rest of the block before it writes.
  static constexpr std::size_t kCopy = sizeof(Entry);
  static constexpr std::size_t kMaxAdvance = kInline + 1;
  static constexpr std::size_t kSlack = 64;
  static constexpr std::size_t RoomFor(std::size_t bytes) {
    return bytes * kMaxAdvance + kCopy + kSlack;
  }
  // The longest block that `room` bytes of output hold by that rule.
  static constexpr std::size_t BlockFor(std::size_t room) {
    return room > RoomFor(0) ? (room - RoomFor(0)) / kMaxAdvance : 0;
  }

  // A table starts with each byte's class times sizeof(Entry), as 16-bit
  // numbers; the rows follow. Rows and class offsets are in bytes, so that the
  // inner loop adds and loads, nothing else.
  static constexpr std::uint32_t kHeaderBytes = 512;
  static constexpr std::uint32_t kStartRow = kHeaderBytes;

  struct Lane;
  struct Chunk;

  // Construction.
  void AddOneByteStep(const std::string& find, const std::string& replacement);
  void AddMatcher(const std::string& find, const std::string& replacement);
  void FindLoudBytes();
  void IndexReactions();

  // The tables. Everything here but NewTable runs under mutex_. The functions
  // that compute outputs return false, leaving the table as it was, when the
  // run's budget is spent or an entry's output passes maxEntryOutput.
  std::shared_ptr<Table> NewTable(bool wide) const;
  // Writes the entry for (row, byte): its output and the next state.
  void Publish(Table& table, std::uint32_t row, unsigned char byte, std::uint32_t next,
               std::string_view bytes, bool appendInput);
  static std::string_view Output(const Entry& entry, const Head& head);
  // Runs `bytes` through transducer `t`; `changed` tells whether it rewrote them.
  bool FeedTransducer(std::size_t t, Tuple& tuple, std::string& bytes, Budget& budget,
                      bool& changed);
  // Runs `bytes` through the chain; with kFlush, each matcher then also emits
  // its pending prefix and goes back to its start, as at the end of the text.
  template <bool kFlush>
  bool Pass(Tuple& tuple, std::string& bytes, Budget& budget);
  bool Feed(Tuple& tuple, std::string& bytes, Budget& budget);
  bool Flush(Tuple& tuple, std::string& bytes, Budget& budget);
  // Pass's loop over every transducer in turn, for chains too long to index.
  template <bool kFlush>
  bool PassAll(Tuple& tuple, std::string& bytes, Budget& budget);
  void LoadTuple(const Table& table, std::uint32_t row);
  // Fills the entry for (row, byte) of the run's table.
  bool Compute(RunState& state, std::uint32_t row, unsigned char byte);
  // Appends what the end of the text emits in the state at `row`.
  bool AppendFinal(RunState& state, std::uint32_t row, std::string& out);
  bool NearTableLimits(const Table& table) const;
  // A fresh current table, of the old one's layout, for a current table that
  // is full.
  void ReplaceCurrentTable();
  // Moves the run to `table`, keeping the states at `rows`.
  void MoveRun(RunState& state, std::shared_ptr<Table> table, std::span<std::uint32_t> rows);
  // Before a chunk: the run goes on in the current table (a narrow one, once
  // the machine goes narrow), keeping the state at `row`.
  void TakeCurrentTable(RunState& state, std::uint32_t& row);
  // Before an entry is computed: the run goes on in the current table if it
  // has the run's layout, and in a fresh one if its own is full, keeping the
  // states of the chunk's lanes.
  void MakeRoom(RunState& state, Chunk& chunk);

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
      column = (std::size_t{c} + 1) * sizeof(Entry);  // see NewTable
    }
    const char* e = table + row + column;
    const Head head = Fields(LoadHead(*reinterpret_cast<const Entry*>(e)));
    if (head.length > kInline) [[unlikely]]
      return false;
    // The whole entry, head included: its last bytes are garbage past the
    // output, which the next write covers.
    std::memcpy(o, e, kCopy);
    if constexpr (kNarrow) {
      o[head.length] = static_cast<char>(c);
      o += head.advance;
    } else {
      o += head.length;  // a wide entry never appends the input byte
    }
    row = head.next;
    return true;
  }
  // Makes room for `bytes` more bytes of output in the lane.
  static void Reserve(Lane& lane, std::size_t bytes);
  // Reads byte `offset` of the chunk's lane `which` the slow way: fills a
  // missing entry or copies a long output. `blockRest` bytes of the block
  // remain, this one included.
  bool SlowRead(RunState& state, Chunk& chunk, std::size_t which, std::size_t offset,
                std::size_t blockRest);
  // Runs lanes [first, first + K) of the chunk side by side until one of them
  // runs out of input.
  template <std::size_t K, bool kNarrow>
  bool RunInterleaved(RunState& state, Chunk& chunk, std::size_t first);
  // Runs lane `which`, copying the stretches between loud bytes in bulk while
  // the machine is in its start state.
  template <bool kNarrow>
  bool RunSkipping(RunState& state, Chunk& chunk, std::size_t which);
  template <bool kNarrow>
  bool RunLanes(RunState& state, Chunk& chunk);
  const unsigned char* FindLoud(const unsigned char* from, const unsigned char* end) const;
  // Runs [begin, end) from the state at `row`, appends the output to `out`
  // and leaves the state at the end in `row`. `before` bytes of text came
  // before it, `after` bytes follow.
  bool RunChunk(RunState& state, const unsigned char* begin, const unsigned char* end,
                std::uint32_t& row, std::string& out, std::size_t before, std::size_t after);
  bool RunComposed(RunState& state, std::string_view text, std::string& out);
  // RunMarked's loop, chunk by chunk.
  template <bool kNarrow>
  bool RunMarkedLane(RunState& state, Chunk& chunk, std::size_t done, std::size_t written,
                     StartStates& starts);
  bool RunMarkedComposed(RunState& state, std::string_view text, std::string& out,
                         StartStates& starts);

  // Compiled once; read by every run without a lock.
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
  bool narrowPays_ = true;  // narrow rows would be at most 3/4 of wide ones
  // The bytes that do anything in the start state, when there are at most
  // kMaxLoud of them; a run copies the others in bulk while that pays.
  static constexpr std::size_t kMaxLoud = 4;
  std::vector<unsigned char> loud_;
  bool skipAtFirst_ = false;

  // Shared by the runs, under mutex_: the current table (a run that started
  // in an older one keeps that alive until it moves on), whether the next
  // table is narrow, and Compute's scratch.
  mutable std::mutex mutex_;
  std::shared_ptr<Table> current_;
  bool goNarrow_ = false;
  std::size_t resets_ = 0;
  Tuple tuple_;
  std::string bytes_, spare_;

  RunState own_{*this};
};

}  // namespace glossmith::detail
