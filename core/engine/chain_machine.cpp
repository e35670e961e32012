#include "core/engine/chain_machine.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <span>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/engine/machine_composition.h"
#include "core/engine/machine_table.h"

// Running: the lanes of each chunk, through the table's entries.

namespace glossmith::detail {

using machine::BlockFor;
using machine::Entry;
using machine::EntryAt;
using machine::FastRead;
using machine::Fields;
using machine::Head;
using machine::kAdvanceBits;
using machine::kInline;
using machine::kLanes;
using machine::kSlack;
using machine::kStartRow;
using machine::kUnknown;
using machine::LoadHead;
using machine::ReadEntry;
using machine::RoomFor;

namespace {

// A block is at most kBlock bytes long; a lane whose room would hold less than
// kMinBlock makes room instead of running a shorter one.
constexpr std::size_t kBlock = 4096;
constexpr std::size_t kMinBlock = 256;

// Each chunk is cut into up to kLanes lanes of at least kMinLaneBytes.
constexpr std::size_t kMinLaneBytes = std::size_t{1} << 14;

// The output of a run is sized up front by the growth of the previous run, but
// never by more than this; a larger growth is met as the text shows it.
constexpr double kMaxGrowthGuess = 8.0;

// std::string::reserve at least doubles the capacity; for texts of many
// megabytes that wastes as much memory as the text takes.
void ReserveExactly(std::string& s, std::size_t capacity) {
  if (s.capacity() >= capacity) return;
  std::string larger;
  larger.reserve(capacity);
  larger += s;
  s.swap(larger);
}

}  // namespace

void ChainMachine::Run(std::string_view text, std::string& out) { Run(text, out, own_); }

void ChainMachine::Reserve(Lane& lane, std::size_t extra) {
  if (lane.pos + extra <= lane.limit) return;
  if (!lane.spilled) {
    // The region is full: keep what it holds and go on in the spare string.
    lane.spilled = true;
    lane.regionUsed = lane.pos;
    lane.pos = 0;
    lane.spare.resize(std::max<std::size_t>(extra, 4096));
  } else {
    lane.spare.resize(std::max(lane.pos + extra, lane.spare.size() + lane.spare.size() / 2));
  }
  lane.data = lane.spare.data();
  lane.limit = lane.spare.size();
}

bool ChainMachine::SlowRead(RunState& state, Chunk& chunk, std::size_t which, std::size_t offset,
                            std::size_t blockRest) {
  Lane& lane = chunk.lanes[which];
  const unsigned char c = lane.in[offset];
  Head head = Fields(LoadHead(state.table_->At(lane.row, c)));
  if (head.next == kUnknown) {
    std::lock_guard lock(mutex_);
    MakeRoom(state, chunk);
    // Another run may have filled the entry meanwhile.
    head = Fields(LoadHead(state.table_->At(lane.row, c)));
    if (head.next == kUnknown) {
      if (!Compute(state, lane.row, c)) return false;
      head = Fields(LoadHead(state.table_->At(lane.row, c)));
    }
  }
  const Table& table = *state.table_;
  const std::string_view output = machine::Output(table.At(lane.row, c), head);
  if (chunk.marks) chunk.marks[lane.in + offset - chunk.begin] = head.advance & ~kAdvanceBits;
  const std::size_t advance = head.advance & kAdvanceBits;
  const std::size_t append = head.length <= kInline ? advance - head.length : advance;
  // This output, the input byte behind it, and the rest of the block.
  Reserve(lane, output.size() + 1 + RoomFor(blockRest));
  char* o = lane.Write();
  std::memcpy(o, output.data(), output.size());
  o[output.size()] = static_cast<char>(c);
  lane.pos += output.size() + append;
  lane.row = head.next;
  return true;
}

// Each lane depends only on its own previous entry, so the K lookups of one
// round overlap in the processor. A marked run also stores a mark per byte,
// which costs the plain one nothing: it is another instance.
template <std::size_t K, bool kNarrow, bool kMarked>
bool ChainMachine::RunInterleaved(RunState& state, Chunk& chunk, std::size_t first) {
  Lane* lanes = chunk.lanes.data() + first;
  for (;;) {
    std::size_t block = kBlock;
#pragma GCC unroll 4
    for (std::size_t l = 0; l < K; ++l)
      block = std::min(block, static_cast<std::size_t>(lanes[l].end - lanes[l].in));
    if (block == 0) return true;
#pragma GCC unroll 4
    // Shorten the block to what every lane's room holds; make room only when
    // that would leave a very short block.
    for (std::size_t l = 0; l < K; ++l) {
      std::size_t fits = BlockFor(lanes[l].limit - lanes[l].pos);
      if (fits < std::min(block, kMinBlock)) {
        Reserve(lanes[l], RoomFor(block));
        fits = block;
      }
      block = std::min(block, fits);
    }

    // Every loop over the lanes is unrolled, so that these arrays live in
    // registers.
    const char* table = state.table_->Bytes();
    const unsigned char* in[K];
    char* o[K];
    std::size_t row[K];
    [[maybe_unused]] std::uint8_t* mark[K];
#pragma GCC unroll 4
    for (std::size_t l = 0; l < K; ++l) {
      in[l] = lanes[l].in;
      o[l] = lanes[l].Write();
      row[l] = lanes[l].row;
      if constexpr (kMarked) mark[l] = chunk.marks + (lanes[l].in - chunk.begin);
    }
    for (std::size_t i = 0; i < block; ++i) {
#pragma GCC unroll 4
      for (std::size_t l = 0; l < K; ++l) {
        if (ReadEntry<kNarrow>(EntryAt<kNarrow>(table, row[l], in[l][i]), row[l], in[l][i], o[l],
                               kMarked ? mark[l] + i : nullptr)) [[likely]]
          continue;
#pragma GCC unroll 4
        for (std::size_t m = 0; m < K; ++m) {
          lanes[m].pos = static_cast<std::size_t>(o[m] - lanes[m].data);
          lanes[m].row = static_cast<std::uint32_t>(row[m]);
        }
        if (!SlowRead(state, chunk, first + l, i, block - i)) return false;
        table = state.table_->Bytes();
#pragma GCC unroll 4
        for (std::size_t m = 0; m < K; ++m) {
          o[m] = lanes[m].Write();
          row[m] = lanes[m].row;
        }
      }
    }
#pragma GCC unroll 4
    for (std::size_t l = 0; l < K; ++l) {
      lanes[l].pos = static_cast<std::size_t>(o[l] - lanes[l].data);
      lanes[l].row = static_cast<std::uint32_t>(row[l]);
      lanes[l].in += block;
    }
  }
}

const unsigned char* ChainMachine::FindStartByte(const unsigned char* from,
                                                 const unsigned char* end) const {
  constexpr std::size_t kMost = machine::Composition::kMaxStartBytes;
  const std::span<const unsigned char> start = composition_->StartBytes();
  if (start.empty()) return end;
  if (start.size() == 1) {
    const void* hit = std::memchr(from, start[0], static_cast<std::size_t>(end - from));
    return hit ? static_cast<const unsigned char*>(hit) : end;
  }
#if defined(__SSE2__)
  __m128i needles[kMost];
  for (std::size_t k = 0; k < kMost; ++k)
    needles[k] = _mm_set1_epi8(static_cast<char>(start[k < start.size() ? k : 0]));
  for (; end - from >= 16; from += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    __m128i hits = _mm_cmpeq_epi8(block, needles[0]);
    for (std::size_t k = 1; k < kMost; ++k)
      hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, needles[k]));
    if (const int mask = _mm_movemask_epi8(hits))
      return from + std::countr_zero(static_cast<unsigned>(mask));
  }
#endif
  for (; from < end; ++from) {
    if (std::find(start.begin(), start.end(), *from) != start.end()) return from;
  }
  return end;
}

template <bool kNarrow, bool kMarked>
bool ChainMachine::RunCopying(RunState& state, Chunk& chunk, std::size_t which) {
  Lane& lane = chunk.lanes[which];
  std::size_t hits = 0, copied = 0;
  while (lane.in < lane.end) {
    if (lane.row == kStartRow) {
      // In the start state: copy up to the next byte that does something.
      const unsigned char* start = FindStartByte(lane.in, lane.end);
      const auto run = static_cast<std::size_t>(start - lane.in);
      Reserve(lane, run);
      std::memcpy(lane.Write(), lane.in, run);
      // Each byte copied is read in the start state and stays there.
      if constexpr (kMarked) std::memset(chunk.marks + (lane.in - chunk.begin), 0, run);
      lane.pos += run;
      lane.in = start;
      copied += run;
      if (start == lane.end) break;
      // Copying pays only while start bytes are rare; otherwise go on with the
      // table alone, for this text and the next ones.
      if (++hits >= 64 && copied < hits * 16) {
        state.copyBetween_ = false;
        return RunInterleaved<1, kNarrow, kMarked>(state, chunk, which);
      }
    }
    // Through the table, a short block at a time, until the machine is back
    // in its start state.
    const unsigned char* stop = std::min(lane.end, lane.in + kMinBlock);
    Reserve(lane, RoomFor(kMinBlock));
    const char* table = state.table_->Bytes();
    const unsigned char* in = lane.in;
    char* o = lane.Write();
    std::size_t row = lane.row;
    while (in < stop) {
      if (!ReadEntry<kNarrow>(EntryAt<kNarrow>(table, row, *in), row, *in, o,
                              kMarked ? chunk.marks + (in - chunk.begin) : nullptr)) {
        lane.pos = static_cast<std::size_t>(o - lane.data);
        lane.row = static_cast<std::uint32_t>(row);
        if (!SlowRead(state, chunk, which, static_cast<std::size_t>(in - lane.in),
                      static_cast<std::size_t>(stop - in)))
          return false;
        table = state.table_->Bytes();
        o = lane.Write();
        row = lane.row;
      }
      ++in;
      if (row == kStartRow) break;
    }
    lane.in = in;
    lane.pos = static_cast<std::size_t>(o - lane.data);
    lane.row = static_cast<std::uint32_t>(row);
  }
  return true;
}

void ChainMachine::Run(std::string_view text, std::string& out, RunState& state) {
  RunOrGiveUp(state, text, out, nullptr);
}

bool ChainMachine::RunMarked(std::string_view text, std::string& out, RunState& state,
                             Marks& marks) {
  return RunOrGiveUp(state, text, out, &marks);
}

const Steps& ChainMachine::ComposedSteps() const { return composition_->steps(); }

bool ChainMachine::RunOrGiveUp(RunState& state, std::string_view text, std::string& out,
                               Marks* marks) {
  const MachineLimits& limits = composition_->limits();
  state.budget_ = Budget(limits.fixedWork, limits.workPerByte, static_cast<double>(text.size()));
  try {
    state.gaveUp_ = !RunComposed(state, text, out, marks);
  } catch (...) {
    state.table_.reset();
    std::vector<std::uint8_t>().swap(state.marks_);
    throw;
  }
  // A table that was replaced while the run read it is freed with its last
  // run.
  state.table_.reset();
  std::vector<std::uint8_t>().swap(state.marks_);
  if (!state.gaveUp_) return true;
  // The entries computed so far stay: they are exact, and a later run may
  // need nothing more.
  GoNarrowAfterGivingUp();
  out.assign(text);
  RunStepByStep(out, composition_->steps());
  return false;
}

bool ChainMachine::RunComposed(RunState& state, std::string_view text, std::string& out,
                               Marks* marks) {
  out.clear();
  ReserveExactly(out, static_cast<std::size_t>(static_cast<double>(text.size()) *
                                               std::min(state.growth_, kMaxGrowthGuess)) +
                          kSlack);
  const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = begin + text.size();
  std::uint32_t row = kStartRow;
  TakeCurrentTable(state, row);
  for (const unsigned char* next = begin; next < end;) {
    const unsigned char* chunkEnd =
        end - next > static_cast<std::ptrdiff_t>(kChunkBytes) ? next + kChunkBytes : end;
    if (next != begin) TakeCurrentTable(state, row);
    if (!RunChunk(state, next, chunkEnd, row, out, static_cast<std::size_t>(next - begin),
                  static_cast<std::size_t>(end - chunkEnd), marks))
      return false;
    next = chunkEnd;
  }
  if (!AppendFinal(state, row, out)) return false;
  // Size the next run's output for this kind of text.
  if (!text.empty())
    state.growth_ =
        std::max(1.0, static_cast<double>(out.size()) / static_cast<double>(text.size()) * 1.05);
  return true;
}

template <bool kNarrow, bool kMarked>
bool ChainMachine::RunLanes(RunState& state, Chunk& chunk) {
  if (state.copyBetween_) {
    for (std::size_t l = 0; l < chunk.count; ++l)
      if (!RunCopying<kNarrow, kMarked>(state, chunk, l)) return false;
  } else if (chunk.count == 3) {
    if (!RunInterleaved<3, kNarrow, kMarked>(state, chunk, 0)) return false;
  } else if (chunk.count == 2) {
    if (!RunInterleaved<2, kNarrow, kMarked>(state, chunk, 0)) return false;
  }
  // What is left of each lane, one by one.
  for (std::size_t l = 0; l < chunk.count; ++l)
    if (!RunInterleaved<1, kNarrow, kMarked>(state, chunk, l)) return false;
  return true;
}

bool ChainMachine::RunChunk(RunState& state, const unsigned char* begin, const unsigned char* end,
                            std::uint32_t& row, std::string& out, std::size_t before,
                            std::size_t after, Marks* marks) {
  // Cut the chunk right after split bytes near equal shares. The first lane
  // goes on from `row`; the others start after a split byte, where every
  // state has been flushed back to the start.
  const auto length = static_cast<std::size_t>(end - begin);
  std::array<const unsigned char*, kLanes + 1> cuts{};
  std::size_t count = 1;
  cuts[0] = begin;
  const std::size_t wanted = std::min(kLanes, length / kMinLaneBytes);
  for (std::size_t l = 1; l < wanted; ++l) {
    const unsigned char* p = std::max(begin + length * l / wanted, cuts[count - 1]);
    while (p < end && !composition_->IsSplitByte(*p)) ++p;
    if (p + 1 >= end) break;  // no split byte left
    cuts[count++] = p + 1;
  }
  cuts[count] = end;

  // Each lane writes to its region of the scratch buffer, sized by the growth
  // seen so far and with room for a short block past it.
  const double growth = std::min(state.growth_, kMaxGrowthGuess);
  std::array<std::size_t, kLanes> room{};
  std::size_t size = 0;
  for (std::size_t l = 0; l < count; ++l) {
    room[l] = static_cast<std::size_t>(static_cast<double>(cuts[l + 1] - cuts[l]) * growth) +
              RoomFor(kMinBlock);
    size += room[l];
  }
  if (state.scratchSize_ < size) {
    state.scratch_ = std::make_unique_for_overwrite<char[]>(size);
    state.scratchSize_ = size;
  }
  Chunk chunk;
  chunk.count = count;
  for (std::size_t l = 0, at = 0; l < count; at += room[l], ++l) {
    char* region = state.scratch_.get() + at;
    chunk.lanes[l] = Lane{.in = cuts[l],
                          .end = cuts[l + 1],
                          .data = region,
                          .limit = room[l],
                          .row = l == 0 ? row : kStartRow,
                          .region = region};
  }

  if (marks) {
    state.marks_.resize(length);
    chunk.begin = begin;
    chunk.marks = state.marks_.data();
  }
  const bool ran =
      state.table_->wide
          ? (marks ? RunLanes<false, true>(state, chunk) : RunLanes<false, false>(state, chunk))
          : (marks ? RunLanes<true, true>(state, chunk) : RunLanes<true, false>(state, chunk));
  if (!ran) return false;
  std::size_t produced = 0;
  for (std::size_t l = 0; l < count; ++l)
    produced += chunk.lanes[l].pos + chunk.lanes[l].regionUsed;
  // Grow the result by what the text so far says the rest will need, rather
  // than by doubling (which std::string::reserve would do), but never to more
  // than twice what it holds: an early burst must not size the whole text.
  if (out.size() + produced > out.capacity()) {
    const std::size_t now = out.size() + produced;
    const double rate = static_cast<double>(now) / static_cast<double>(before + length);
    const auto rest = std::min(static_cast<std::size_t>(static_cast<double>(after) * rate * 1.02),
                               std::max(now, kChunkBytes));
    ReserveExactly(out, now + rest + kSlack);
  }
  for (const Lane& lane : std::span(chunk.lanes).first(count)) {
    if (lane.spilled) out.append(lane.region, lane.regionUsed);
    out.append(lane.data, lane.pos);
  }
  row = chunk.lanes[count - 1].row;
  if (marks) TellMarks(chunk, *marks);
  return true;
}

void ChainMachine::TellMarks(const Chunk& chunk, Marks& marks) {
  marks.Read(std::span(chunk.marks,
                       static_cast<std::size_t>(chunk.lanes[chunk.count - 1].end - chunk.begin)));
}

}  // namespace glossmith::detail
