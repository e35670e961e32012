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
// (machine::RoomFor), so that the inner loop never checks room.
//
// Start bytes: those that do anything when read in the start state (a fused
// byte map changes them, or a find string begins with one). A machine with at
// most four copies the text between them in bulk while it is in its start
// state, for as long as they turn out rare.
//
// Marked runs (for the alignment): each entry also keeps the mark of a byte
// read through it (Marks), and a marked run copies it to a buffer of the
// chunk's size as it goes, then hands the chunk's marks on. It is another
// instance of the same lane loops, so that plain runs pay nothing for it.
//
// Cost: computing entries is the only work that is not one lookup per byte.
// It is charged to the run's Budget (MachineLimits in budget.h); a run whose
// budget is spent, or whose single entry would output more than
// maxEntryOutput bytes, gives up and runs the steps one by one, as the plain
// rules do. The entries computed so far stay for the next run. The table
// holds at most maxEntries entries; past that a fresh one replaces it, into
// which the lanes' current states are carried, so memory stays bounded.
//
// Where: composing the steps and computing entries (machine_composition.h),
// one table of entries (machine_table.h), and the shared table and the lane
// loops (here, chain_machine.cpp and machine_shared_table.cpp).
//
// Threads: one machine serves any number of threads at once, each run with a
// RunState of its own (budget, scratch, output sizing). They share the
// compiled steps and one table, which they read without a lock and fill
// under the machine's mutex (see machine::Entry). A full table is replaced, not
// cleared: a run still reading the old one keeps it alive and moves to the
// current one at its next chunk (or at its next missing entry, when the
// layouts match), and the old one is freed with its last reader. So the
// machine keeps one table whatever the number of threads; more exist only
// for a moment after a replacement, one at most per run in progress.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/budget.h"
#include "core/rules/literal_replace.h"

namespace glossmith::detail {

namespace machine {
class Composition;
struct Table;
struct Scratch;
struct Lane;
struct Chunk;
}  // namespace machine

class ChainMachine {
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
  void Run(std::string_view text, std::string& out);

  // What a marked run tells of each byte it reads, a chunk at a time:
  // whether it is back in its start state after it (where it is, no step
  // holds a pending match, so no step's occurrence crosses the point: a
  // boundary of the alignment), and whether a step completed a find string
  // of two or more bytes in it.
  class Marks {
   public:
    static constexpr std::uint8_t kPending = 0x80;
    static constexpr std::uint8_t kMatched = 0x40;
    virtual ~Marks() = default;
    // The marks of the text's next `marks.size()` bytes.
    virtual void Read(std::span<const std::uint8_t> marks) = 0;
  };

  // Runs `text` as Run does and marks every byte it reads. False when the
  // run gave up composing: `out` then holds the steps' result, run one by
  // one, and the marks read do not count.
  bool RunMarked(std::string_view text, std::string& out, RunState& state, Marks& marks);

  // The steps the machine composes, in order.
  const Steps& ComposedSteps() const;

  // True for a byte that no step looks for.
  bool IsSplitByte(unsigned char byte) const;

  // Number of states in the current table; for tests and tuning.
  std::size_t StateCount() const;

  // How many times a table outgrew its budget and was replaced.
  std::size_t ResetCount() const;

  // Whether the current table has a column for every byte value (see above).
  bool Wide() const;

  // Of the machine's own RunState (see RunState).
  bool CopiesBetweenStartBytes() const;
  bool LastRunStepByStep() const;

  // Bytes held between runs: the current table and what belongs to it, the
  // compiled steps, and the own RunState's scratch.
  std::size_t RetainedBytes() const;

  // What one thread keeps from run to run: its budget, its scratch space,
  // how to size its output, and the table it reads while a run lasts.
  class RunState {
   public:
    explicit RunState(const ChainMachine& machine);
    RunState(RunState&&) = default;
    RunState& operator=(RunState&&) = default;
    ~RunState();

    // Whether runs copy the text between start bytes in bulk while in the
    // start state (few bytes start a match, and those turned out rare in the
    // texts so far).
    bool CopiesBetweenStartBytes() const { return copyBetween_; }
    // Whether the last run gave up composing and ran the steps one by one.
    bool LastRunStepByStep() const { return gaveUp_; }
    std::size_t ScratchBytes() const { return scratchSize_; }

   private:
    friend class ChainMachine;
    Budget budget_;
    bool gaveUp_ = false;
    bool copyBetween_;
    double growth_ = 1.0;              // output size over input size, from the last run
    std::unique_ptr<char[]> scratch_;  // the lanes' output regions
    std::size_t scratchSize_ = 0;
    std::shared_ptr<machine::Table> table_;  // held while a run lasts
    std::vector<std::uint8_t> marks_;        // a chunk's, while a marked run lasts
  };

 private:
  using Chunk = machine::Chunk;
  using Lane = machine::Lane;
  using Table = machine::Table;

  // The shared table (machine_shared_table.cpp). Everything here runs under
  // mutex_. The functions that compute return false, leaving the table as it
  // was, when the run's budget is spent or an entry's output passes
  // maxEntryOutput.
  // Fills the entry for (row, byte) of the run's table.
  bool Compute(RunState& state, std::uint32_t row, unsigned char byte);
  // Appends what the end of the text emits in the state at `row`.
  bool AppendFinal(RunState& state, std::uint32_t row, std::string& out);
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
  // After a run that gave up: wide rows cost the most to build, so the next
  // table is narrow where that pays.
  void GoNarrowAfterGivingUp();

  // Running (chain_machine.cpp). Each returns false when the run's budget is
  // spent; the run then starts over step by step.
  // Makes room for `bytes` more bytes of output in the lane.
  static void Reserve(Lane& lane, std::size_t bytes);
  // Reads byte `offset` of the chunk's lane `which` the slow way: fills a
  // missing entry or copies a long output. `blockRest` bytes of the block
  // remain, this one included.
  bool SlowRead(RunState& state, Chunk& chunk, std::size_t which, std::size_t offset,
                std::size_t blockRest);
  // Runs lanes [first, first + K) of the chunk side by side until one of them
  // runs out of input.
  template <std::size_t K, bool kNarrow, bool kMarked>
  bool RunInterleaved(RunState& state, Chunk& chunk, std::size_t first);
  // Runs lane `which`, copying the stretches between start bytes in bulk
  // while the machine is in its start state.
  template <bool kNarrow, bool kMarked>
  bool RunCopying(RunState& state, Chunk& chunk, std::size_t which);
  template <bool kNarrow, bool kMarked>
  bool RunLanes(RunState& state, Chunk& chunk);
  const unsigned char* FindStartByte(const unsigned char* from, const unsigned char* end) const;
  // Runs [begin, end) from the state at `row`, appends the output to `out`
  // and leaves the state at the end in `row`. `before` bytes of text came
  // before it, `after` bytes follow. With `marks`, also tells them the
  // chunk's marks.
  bool RunChunk(RunState& state, const unsigned char* begin, const unsigned char* end,
                std::uint32_t& row, std::string& out, std::size_t before, std::size_t after,
                Marks* marks);
  // The chunks of `text`, one after another; `marks` as for RunChunk.
  bool RunComposed(RunState& state, std::string_view text, std::string& out, Marks* marks);
  // Tells `marks` those of the chunk just run.
  static void TellMarks(const Chunk& chunk, Marks& marks);
  // Runs `text` composed; where the run gives up, runs the steps one by one
  // and returns false.
  bool RunOrGiveUp(RunState& state, std::string_view text, std::string& out, Marks* marks);

  // Compiled once; read by every run without a lock.
  std::unique_ptr<const machine::Composition> composition_;

  // Shared by the runs, under mutex_: the current table (a run that started
  // in an older one keeps that alive until it moves on), whether the next
  // table is narrow, and the scratch space entries are computed in.
  mutable std::mutex mutex_;
  std::shared_ptr<Table> current_;
  bool goNarrow_ = false;
  std::size_t resets_ = 0;
  std::unique_ptr<machine::Scratch> scratch_;

  RunState own_;
};

}  // namespace glossmith::detail
