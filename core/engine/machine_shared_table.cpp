#include <algorithm>
#include <array>
#include <utility>

#include "core/engine/chain_machine.h"
#include "core/engine/machine_composition.h"
#include "core/engine/machine_table.h"

// The table the runs of one machine share: which one is current, how a run
// moves to it, and the entries computed into it under the mutex.

namespace glossmith::detail {

using machine::Composition;
using machine::kLanes;
using machine::kMinWideStates;
using machine::kWideColumns;

ChainMachine::ChainMachine(const Steps& steps, MachineLimits limits)
    : composition_(std::make_unique<const Composition>(steps, limits)),
      scratch_(std::make_unique<machine::Scratch>()),
      own_(*this) {
  current_ = Table::Make(*composition_, limits.maxEntries / kWideColumns >= kMinWideStates);
}

ChainMachine::~ChainMachine() = default;

ChainMachine::RunState::RunState(const ChainMachine& machine)
    : copyBetween_(machine.composition_->FewStartBytes()) {}

ChainMachine::RunState::~RunState() = default;

bool ChainMachine::IsSplitByte(unsigned char byte) const { return composition_->IsSplitByte(byte); }

bool ChainMachine::CopiesBetweenStartBytes() const { return own_.CopiesBetweenStartBytes(); }

bool ChainMachine::LastRunStepByStep() const { return own_.LastRunStepByStep(); }

std::size_t ChainMachine::StateCount() const {
  std::lock_guard lock(mutex_);
  return current_->States();
}

std::size_t ChainMachine::ResetCount() const {
  std::lock_guard lock(mutex_);
  return resets_;
}

bool ChainMachine::Wide() const {
  std::lock_guard lock(mutex_);
  return current_->wide;
}

std::size_t ChainMachine::RetainedBytes() const {
  std::lock_guard lock(mutex_);
  return current_->HeldBytes() + own_.ScratchBytes() + composition_->HeldBytes();
}

bool ChainMachine::Compute(RunState& state, std::uint32_t row, unsigned char byte) {
  return composition_->ComputeEntry(*state.table_, row, byte, *scratch_, state.budget_);
}

void ChainMachine::ReplaceCurrentTable() {
  ++resets_;
  current_ = Table::Make(*composition_, current_->wide);
  // Wide rows cost the most to build: a wide table that filled up is
  // followed by a narrow one from the next chunk on.
  goNarrow_ = current_->wide && composition_->NarrowPays();
}

void ChainMachine::MoveRun(RunState& state, std::shared_ptr<Table> table,
                           std::span<std::uint32_t> rows) {
  for (std::uint32_t& row : rows) {
    state.table_->Load(state.table_->StateOf(row), scratch_->tuple);
    row = table->RowOf(table->Intern(scratch_->tuple, state.budget_));
  }
  state.table_ = std::move(table);
}

void ChainMachine::TakeCurrentTable(RunState& state, std::uint32_t& row) {
  std::lock_guard lock(mutex_);
  if (goNarrow_ && current_->wide) {
    ++resets_;
    current_ = Table::Make(*composition_, false);
    goNarrow_ = false;
  }
  if (state.table_ == current_) return;
  if (!state.table_) {
    state.table_ = current_;  // a run starts in the start state, in every table
    return;
  }
  if (current_->NearLimits(composition_->limits())) ReplaceCurrentTable();
  MoveRun(state, current_, std::span(&row, 1));
}

void ChainMachine::MakeRoom(RunState& state, Chunk& chunk) {
  const MachineLimits& limits = composition_->limits();
  std::array<std::uint32_t, kLanes> kept{};
  for (std::size_t l = 0; l < chunk.count; ++l) kept[l] = chunk.lanes[l].row;
  const std::span rows = std::span(kept).first(chunk.count);
  // A run goes on in another table only of its own layout: its lanes' loop
  // is made for one.
  if (state.table_ != current_ && state.table_->wide == current_->wide) {
    if (current_->NearLimits(limits)) ReplaceCurrentTable();
    MoveRun(state, current_, rows);
  }
  if (state.table_->NearLimits(limits)) {
    if (state.table_ == current_) {
      ReplaceCurrentTable();
      MoveRun(state, current_, rows);
    } else {
      // The machine went narrow while this wide run went on: a table of its
      // own for the rest of the chunk.
      MoveRun(state, Table::Make(*composition_, state.table_->wide), rows);
    }
  }
  for (std::size_t l = 0; l < chunk.count; ++l) chunk.lanes[l].row = kept[l];
}

bool ChainMachine::AppendFinal(RunState& state, std::uint32_t row, std::string& out) {
  std::lock_guard lock(mutex_);
  Table& table = *state.table_;
  const std::uint32_t s = table.StateOf(row);
  if (!table.finalKnown[s]) {
    std::string& bytes = scratch_->bytes;
    if (!composition_->ComputeFinal(table, row, *scratch_, bytes, state.budget_)) return false;
    table.finals[s] = bytes;
    table.finalKnown[s] = true;
    table.finalBytes += bytes.size();
  }
  out += table.finals[s];
  return true;
}

void ChainMachine::GoNarrowAfterGivingUp() {
  std::lock_guard lock(mutex_);
  goNarrow_ = goNarrow_ || (current_->wide && composition_->NarrowPays());
}

}  // namespace glossmith::detail
