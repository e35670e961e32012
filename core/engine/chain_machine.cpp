#include "core/engine/chain_machine.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace glossmith::detail {

namespace {

// A block is at most kBlock bytes long; a lane whose room would hold less than
// kMinBlock makes room instead of running a shorter one.
constexpr std::size_t kBlock = 4096;
constexpr std::size_t kMinBlock = 256;

// Each chunk is cut into up to kLanes lanes of at least kMinLaneBytes.
constexpr std::size_t kMinLaneBytes = std::size_t{1} << 14;
constexpr std::size_t kLanes = 3;

// A wide row: a column for every byte value and the unused class 0.
constexpr std::size_t kWideColumns = 256 + 1;
// A machine starts wide only when its table budget holds this many wide rows.
constexpr std::size_t kMinWideStates = 256;

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

// A lane of a chunk. Its output goes to its region of the machine's scratch
// buffer and, should that fill up, on into its own spare string.
struct ChainMachine::Lane {
  const unsigned char* in = nullptr;
  const unsigned char* end = nullptr;
  char* data = nullptr;   // where output goes now
  std::size_t limit = 0;  // bytes available at data
  std::size_t pos = 0;    // bytes written at data; never more than limit
  std::uint32_t row = kStartRow;
  char* region = nullptr;
  std::size_t regionUsed = 0;  // bytes in region, once the lane moved on to spare
  bool spilled = false;
  std::string spare{};

  char* Write() const { return data + pos; }
};

// The lanes of the chunk being run, on RunChunk's stack: a table rebuilt
// while one lane runs keeps the states of them all.
struct ChainMachine::Chunk {
  std::array<Lane, kLanes> lanes;
  std::size_t count = 0;
};

std::uint32_t ChainMachine::Matcher::Feed(std::uint32_t k, char c, std::string& out,
                                          Budget& budget) const {
  if (find[k] == c) {
    if (k + 1 == find.size()) {
      out += replacement;
      return 0;
    }
    return k + 1;
  }
  // Pending find[0, k) followed by c cannot complete a match at its start; keep
  // the longest suffix that can still start one and emit what is in front.
  std::uint32_t j = k;
  while (j > 0 && find[j] != c) {
    j = border[j];
    budget.Charge(1);
  }
  const std::uint32_t next = find[j] == c ? j + 1 : 0;
  const std::uint32_t emit = k + 1 - next;
  if (emit <= k) {
    out.append(find, 0, emit);
  } else {
    out.append(find, 0, k);
    out += c;
  }
  return next;
}

ChainMachine::ChainMachine(const Steps& steps, MachineLimits limits) : limits_(limits) {
  std::array<bool, 256> used{};
  for (const auto& [find, replacement] : steps) {
    if (find.empty()) continue;
    steps_.emplace_back(find, replacement);
    for (unsigned char c : find) used[c] = true;
    if (find.size() == 1)
      AddOneByteStep(find, replacement);
    else
      AddMatcher(find, replacement);
  }
  for (int b = 0; b < 256; ++b) split_[b] = !used[b];
  wide_ = limits_.maxEntries / kWideColumns >= kMinWideStates;
  // Narrow rows pay only when they are notably smaller: rules that look for
  // nearly every byte value have wide rows either way.
  const auto usedBytes = static_cast<std::size_t>(std::count(used.begin(), used.end(), true));
  narrowPays_ = 4 * (1 + usedBytes) <= 3 * kWideColumns;
  AssignClasses();
  Reset();
  FindLoudBytes();
}

ChainMachine::~ChainMachine() = default;

void ChainMachine::AddOneByteStep(const std::string& find, const std::string& replacement) {
  const char f = find[0];
  auto sizeAfter = [&](const ByteMap& map) {
    std::size_t hits = 0;
    for (const std::string& out : map.out) hits += static_cast<std::size_t>(std::count(out.begin(), out.end(), f));
    return map.bytes - hits + hits * replacement.size();
  };
  // Fuse into the current map unless that would pass the cap; a fresh map
  // holds one step, whatever its size.
  if (transducers_.empty() || !transducers_.back().isMap ||
      sizeAfter(maps_[transducers_.back().index]) > limits_.maxMapBytes) {
    transducers_.push_back({true, static_cast<std::uint32_t>(maps_.size())});
    ByteMap& map = maps_.emplace_back();
    for (int b = 0; b < 256; ++b) map.out[b] = std::string(1, static_cast<char>(b));
  }
  // Every byte whose current output holds the find byte gets it replaced.
  ByteMap& map = maps_[transducers_.back().index];
  map.bytes = sizeAfter(map);
  for (std::string& out : map.out) {
    if (out.find(f) == std::string::npos) continue;
    std::string rewritten;
    for (char c : out) {
      if (c == f)
        rewritten += replacement;
      else
        rewritten += c;
    }
    out = std::move(rewritten);
  }
}

void ChainMachine::AddMatcher(const std::string& find, const std::string& replacement) {
  Matcher m{find, replacement, std::vector<std::uint32_t>(find.size(), 0)};
  // border[k] for the prefix of length k, from the prefix function.
  std::vector<std::uint32_t> pi(find.size(), 0);
  for (std::size_t i = 1; i < find.size(); ++i) {
    std::uint32_t j = pi[i - 1];
    while (j > 0 && find[i] != find[j]) j = pi[j - 1];
    if (find[i] == find[j]) ++j;
    pi[i] = j;
  }
  for (std::size_t k = 1; k < find.size(); ++k) m.border[k] = pi[k - 1];
  transducers_.push_back({false, static_cast<std::uint32_t>(matchers_.size())});
  matchers_.push_back(std::move(m));
}

void ChainMachine::AssignClasses() {
  // Class 0 is the split bytes' shared column in a narrow table; in a wide one
  // it is unused, and keeps rows off a 4 KB stride (rows of exactly 4 KB would
  // put every state's entry for a byte in the same cache set).
  classOf_.fill(0);
  classCount_ = 1;
  for (int b = 0; b < 256; ++b) {
    if (!wide_ && split_[b]) continue;
    classOf_[b] = static_cast<std::uint16_t>(classCount_);
    representative_[classCount_] = static_cast<unsigned char>(b);
    ++classCount_;
  }
  rowBytes_ = classCount_ * static_cast<std::uint32_t>(sizeof(Entry));
}

std::uint32_t ChainMachine::GoNarrow(std::uint32_t row) {
  LoadTuple(row);
  const std::vector<std::uint32_t> kept = tuple_;
  wide_ = false;
  goNarrow_ = false;
  AssignClasses();
  std::vector<Entry>().swap(table_);  // Reset keeps the capacity; the wide one is not needed
  Reset();
  return RowOf(Intern(kept));
}

void ChainMachine::FindLoudBytes() {
  // A byte read in the start state does nothing but pass through exactly when
  // no map changes it and no find string starts with it. When only a few
  // bytes do something, the text between them is copied in bulk.
  std::array<bool, 256> loud{};
  for (const Matcher& m : matchers_) loud[static_cast<unsigned char>(m.find[0])] = true;
  for (const ByteMap& map : maps_) {
    for (int b = 0; b < 256; ++b)
      if (map.out[b].size() != 1 || map.out[b][0] != static_cast<char>(b)) loud[b] = true;
  }
  for (int b = 0; b < 256; ++b)
    if (loud[b]) loud_.push_back(static_cast<unsigned char>(b));
  skip_ = loud_.size() <= kMaxLoud;
  if (!skip_) loud_.clear();
}

void ChainMachine::Reset() {
  if (!tupleIds_.empty()) ++resets_;
  // The class offsets head the table, so that the inner loop finds both
  // through one pointer; a padding entry ends it, for the blind copy of the
  // last entry.
  table_.assign(kHeaderBytes / sizeof(Entry) + 1, Entry{});
  std::array<std::uint16_t, 256> offsets;
  for (int b = 0; b < 256; ++b) offsets[b] = static_cast<std::uint16_t>(classOf_[b] * sizeof(Entry));
  std::memcpy(static_cast<void*>(table_.data()), offsets.data(), sizeof offsets);
  tuples_.clear();
  tupleIds_.clear();
  finals_.clear();
  finalKnown_.clear();
  longOutputs_.clear();
  longBytes_ = 0;
  finalBytes_ = 0;
  Intern(std::vector<std::uint32_t>(matchers_.size(), 0));  // the start state, at kStartRow
}

std::uint32_t ChainMachine::Intern(const std::vector<std::uint32_t>& tuple) {
  std::string key(reinterpret_cast<const char*>(tuple.data()),
                  tuple.size() * sizeof(std::uint32_t));
  auto [it, added] = tupleIds_.try_emplace(std::move(key), 0);
  if (!added) return it->second;
  const auto state = static_cast<std::uint32_t>(tupleIds_.size() - 1);
  it->second = state;
  budget_.Charge(2 * (classCount_ + tuple.size()));
  tuples_.insert(tuples_.end(), tuple.begin(), tuple.end());
  table_.resize(table_.size() + classCount_, Entry{});
  finals_.emplace_back();
  finalKnown_.push_back(false);
  return state;
}

void ChainMachine::SetOutput(Entry& entry, std::string_view bytes, bool appendInput) {
  const std::uint8_t append = appendInput ? 1 : 0;
  if (bytes.size() <= kInline) {
    entry.length = static_cast<std::uint8_t>(bytes.size());
    entry.advance = static_cast<std::uint8_t>(entry.length + append);
    std::memcpy(entry.bytes, bytes.data(), bytes.size());
  } else {
    entry.length = kLong;
    entry.advance = append;
    const auto index = static_cast<std::uint32_t>(longOutputs_.size());
    std::memcpy(entry.bytes, &index, sizeof index);
    longOutputs_.emplace_back(bytes);
    longBytes_ += bytes.size();
  }
}

std::string_view ChainMachine::Output(const Entry& entry) const {
  if (entry.length <= kInline) return std::string_view(entry.bytes, entry.length);
  std::uint32_t index;
  std::memcpy(&index, entry.bytes, sizeof index);
  return longOutputs_[index];
}

bool ChainMachine::FeedTransducer(std::size_t t, std::vector<std::uint32_t>& tuple,
                                  std::string& bytes) {
  spare_.clear();
  budget_.Charge(bytes.size());
  const Transducer transducer = transducers_[t];
  if (transducer.isMap) {
    const ByteMap& map = maps_[transducer.index];
    for (unsigned char c : bytes) spare_ += map.out[c];
  } else {
    const Matcher& m = matchers_[transducer.index];
    std::uint32_t& state = tuple[transducer.index];
    for (char c : bytes) state = m.Feed(state, c, spare_, budget_);
  }
  if (spare_.size() > limits_.maxEntryOutput || budget_.Exhausted()) return false;
  bytes.swap(spare_);
  return true;
}

bool ChainMachine::Feed(std::vector<std::uint32_t>& tuple, std::string& bytes) {
  for (std::size_t t = 0; t < transducers_.size() && !bytes.empty(); ++t)
    if (!FeedTransducer(t, tuple, bytes)) return false;
  return true;
}

bool ChainMachine::Flush(std::vector<std::uint32_t>& tuple, std::string& bytes) {
  for (std::size_t t = 0; t < transducers_.size(); ++t) {
    if (!FeedTransducer(t, tuple, bytes)) return false;
    const Transducer transducer = transducers_[t];
    if (transducer.isMap) continue;
    std::uint32_t& state = tuple[transducer.index];
    bytes.append(matchers_[transducer.index].find, 0, state);
    state = 0;
  }
  return true;
}

void ChainMachine::LoadTuple(std::uint32_t row) {
  const std::size_t state = StateOf(row), width = matchers_.size();
  tuple_.assign(tuples_.begin() + static_cast<std::ptrdiff_t>(state * width),
                tuples_.begin() + static_cast<std::ptrdiff_t>((state + 1) * width));
}

bool ChainMachine::Compute(std::uint32_t row, unsigned char byte) {
  // Loading and storing an entry cost about as much as feeding a few dozen
  // bytes; a new state (Intern) costs its row and its tuple on top.
  budget_.Charge(64);
  LoadTuple(row);
  const std::uint16_t cls = classOf_[byte];
  bytes_.clear();
  bool appendInput = false;
  if (split_[byte]) {
    if (!Flush(tuple_, bytes_)) return false;
    // A wide entry is this byte's own: it holds the byte itself.
    if (wide_)
      bytes_ += static_cast<char>(byte);
    else
      appendInput = true;
  } else {
    bytes_.assign(1, static_cast<char>(representative_[cls]));
    if (!Feed(tuple_, bytes_)) return false;
  }
  budget_.Charge(bytes_.size());
  const std::uint32_t next = Intern(tuple_);
  Entry& entry = table_[row / sizeof(Entry) + cls];
  entry.next = RowOf(next);
  SetOutput(entry, bytes_, appendInput);
  return true;
}

bool ChainMachine::NearTableLimits() const {
  return table_.size() + classCount_ > limits_.maxEntries || longBytes_ > limits_.maxLongBytes ||
         finalBytes_ > limits_.maxLongBytes;
}

void ChainMachine::Rebuild(Chunk& chunk) {
  std::vector<std::vector<std::uint32_t>> kept;
  for (std::size_t l = 0; l < chunk.count; ++l) {
    LoadTuple(chunk.lanes[l].row);
    kept.push_back(tuple_);
  }
  Reset();
  for (std::size_t l = 0; l < chunk.count; ++l) chunk.lanes[l].row = RowOf(Intern(kept[l]));
}

bool ChainMachine::AppendFinal(std::uint32_t row, std::string& out) {
  const std::uint32_t state = StateOf(row);
  if (!finalKnown_[state]) {
    LoadTuple(row);
    bytes_.clear();
    if (!Flush(tuple_, bytes_)) return false;
    finals_[state] = bytes_;
    finalKnown_[state] = true;
    finalBytes_ += bytes_.size();
  }
  out += finals_[state];
  return true;
}

std::size_t ChainMachine::RetainedBytes() const {
  std::size_t bytes = table_.capacity() * sizeof(Entry) + tuples_.capacity() * sizeof(std::uint32_t) +
                      longBytes_ + finalBytes_ + scratchSize_ + HeapBytes(steps_);
  // A tuple's key and the hash node that holds it.
  bytes += tupleIds_.size() * (matchers_.size() * sizeof(std::uint32_t) + 64);
  for (const ByteMap& map : maps_) bytes += map.bytes + sizeof(ByteMap);
  return bytes;
}

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

bool ChainMachine::SlowRead(Chunk& chunk, std::size_t which, std::size_t offset,
                        std::size_t blockRest) {
  Lane& lane = chunk.lanes[which];
  const unsigned char c = lane.in[offset];
  if (table_[lane.row / sizeof(Entry) + classOf_[c]].next == kUnknown) {
    // A wide table that is full goes narrow once this chunk is done.
    if (NearTableLimits()) {
      goNarrow_ = wide_ && narrowPays_;
      Rebuild(chunk);
    }
    if (!Compute(lane.row, c)) return false;
  }
  const Entry& entry = table_[lane.row / sizeof(Entry) + classOf_[c]];
  const std::string_view output = Output(entry);
  const std::size_t append = entry.length <= kInline ? entry.advance - entry.length : entry.advance;
  // This output, the input byte behind it, and the rest of the block.
  Reserve(lane, output.size() + 1 + RoomFor(blockRest));
  char* o = lane.Write();
  std::memcpy(o, output.data(), output.size());
  o[output.size()] = static_cast<char>(c);
  lane.pos += output.size() + append;
  lane.row = entry.next;
  return true;
}

// Each lane depends only on its own previous entry, so the K lookups of one
// round overlap in the processor.
template <std::size_t K, bool kNarrow>
bool ChainMachine::RunInterleaved(Chunk& chunk, std::size_t first) {
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
    const char* table = reinterpret_cast<const char*>(table_.data());
    const unsigned char* in[K];
    char* o[K];
    std::size_t row[K];
#pragma GCC unroll 4
    for (std::size_t l = 0; l < K; ++l) {
      in[l] = lanes[l].in;
      o[l] = lanes[l].Write();
      row[l] = lanes[l].row;
    }
    for (std::size_t i = 0; i < block; ++i) {
#pragma GCC unroll 4
      for (std::size_t l = 0; l < K; ++l) {
        if (FastRead<kNarrow>(table, row[l], in[l][i], o[l])) [[likely]]
          continue;
#pragma GCC unroll 4
        for (std::size_t m = 0; m < K; ++m) {
          lanes[m].pos = static_cast<std::size_t>(o[m] - lanes[m].data);
          lanes[m].row = static_cast<std::uint32_t>(row[m]);
        }
        if (!SlowRead(chunk, first + l, i, block - i)) return false;
        table = reinterpret_cast<const char*>(table_.data());
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

const unsigned char* ChainMachine::FindLoud(const unsigned char* from,
                                            const unsigned char* end) const {
  if (loud_.empty()) return end;
  if (loud_.size() == 1) {
    const void* hit = std::memchr(from, loud_[0], static_cast<std::size_t>(end - from));
    return hit ? static_cast<const unsigned char*>(hit) : end;
  }
#if defined(__SSE2__)
  __m128i needles[kMaxLoud];
  for (std::size_t k = 0; k < kMaxLoud; ++k)
    needles[k] = _mm_set1_epi8(static_cast<char>(loud_[k < loud_.size() ? k : 0]));
  for (; end - from >= 16; from += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    __m128i hits = _mm_cmpeq_epi8(block, needles[0]);
    for (std::size_t k = 1; k < kMaxLoud; ++k) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, needles[k]));
    if (const int mask = _mm_movemask_epi8(hits)) return from + std::countr_zero(static_cast<unsigned>(mask));
  }
#endif
  for (; from < end; ++from) {
    if (std::find(loud_.begin(), loud_.end(), *from) != loud_.end()) return from;
  }
  return end;
}

template <bool kNarrow>
bool ChainMachine::RunSkipping(Chunk& chunk, std::size_t which) {
  Lane& lane = chunk.lanes[which];
  std::size_t hits = 0, skipped = 0;
  while (lane.in < lane.end) {
    if (lane.row == kStartRow) {
      // In the start state: copy up to the next byte that does something.
      const unsigned char* loud = FindLoud(lane.in, lane.end);
      const auto run = static_cast<std::size_t>(loud - lane.in);
      Reserve(lane, run);
      std::memcpy(lane.Write(), lane.in, run);
      lane.pos += run;
      lane.in = loud;
      skipped += run;
      if (loud == lane.end) break;
      // Copying pays only while loud bytes are rare; otherwise go on with the
      // table alone, for this text and the next ones.
      if (++hits >= 64 && skipped < hits * 16) {
        skip_ = false;
        return RunInterleaved<1, kNarrow>(chunk, which);
      }
    }
    // Through the table, a short block at a time, until the machine is back
    // in its start state.
    const unsigned char* stop = std::min(lane.end, lane.in + kMinBlock);
    Reserve(lane, RoomFor(kMinBlock));
    const char* table = reinterpret_cast<const char*>(table_.data());
    const unsigned char* in = lane.in;
    char* o = lane.Write();
    std::size_t row = lane.row;
    while (in < stop) {
      if (!FastRead<kNarrow>(table, row, *in, o)) {
        lane.pos = static_cast<std::size_t>(o - lane.data);
        lane.row = static_cast<std::uint32_t>(row);
        if (!SlowRead(chunk, which, static_cast<std::size_t>(in - lane.in),
                  static_cast<std::size_t>(stop - in)))
          return false;
        table = reinterpret_cast<const char*>(table_.data());
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

void ChainMachine::Run(std::string_view text, std::string& out) {
  budget_ = Budget(limits_.fixedWork, limits_.workPerByte, static_cast<double>(text.size()));
  gaveUp_ = !RunComposed(text, out);
  if (!gaveUp_) return;
  // The entries computed so far stay: they are exact, and a later run may
  // need nothing more. Wide rows cost the most to build.
  goNarrow_ = wide_ && narrowPays_;
  out.assign(text);
  RunStepByStep(out, steps_);
}

bool ChainMachine::RunComposed(std::string_view text, std::string& out) {
  out.clear();
  ReserveExactly(out, static_cast<std::size_t>(static_cast<double>(text.size()) *
                                               std::min(growth_, kMaxGrowthGuess)) +
                          kSlack);
  const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = begin + text.size();
  std::uint32_t row = kStartRow;
  for (const unsigned char* next = begin; next < end;) {
    const unsigned char* chunkEnd =
        end - next > static_cast<std::ptrdiff_t>(kChunkBytes) ? next + kChunkBytes : end;
    if (!RunChunk(next, chunkEnd, row, out, static_cast<std::size_t>(next - begin),
                  static_cast<std::size_t>(end - chunkEnd)))
      return false;
    next = chunkEnd;
  }
  if (!AppendFinal(row, out)) return false;
  // Size the next run's output for this kind of text.
  if (!text.empty())
    growth_ =
        std::max(1.0, static_cast<double>(out.size()) / static_cast<double>(text.size()) * 1.05);
  return true;
}

template <bool kNarrow>
bool ChainMachine::RunLanes(Chunk& chunk) {
  if (skip_) {
    for (std::size_t l = 0; l < chunk.count; ++l)
      if (!RunSkipping<kNarrow>(chunk, l)) return false;
  } else if (chunk.count == 3) {
    if (!RunInterleaved<3, kNarrow>(chunk, 0)) return false;
  } else if (chunk.count == 2) {
    if (!RunInterleaved<2, kNarrow>(chunk, 0)) return false;
  }
  // What is left of each lane, one by one.
  for (std::size_t l = 0; l < chunk.count; ++l)
    if (!RunInterleaved<1, kNarrow>(chunk, l)) return false;
  return true;
}

bool ChainMachine::RunChunk(const unsigned char* begin, const unsigned char* end,
                            std::uint32_t& row, std::string& out, std::size_t before,
                            std::size_t after) {
  // Cut the chunk right after split bytes near equal shares. The first lane
  // goes on from `row`; the others start after a split byte, where every
  // state has been flushed back to the start.
  if (goNarrow_) row = GoNarrow(row);
  const auto length = static_cast<std::size_t>(end - begin);
  std::array<const unsigned char*, kLanes + 1> cuts{};
  std::size_t count = 1;
  cuts[0] = begin;
  const std::size_t wanted = std::min(kLanes, length / kMinLaneBytes);
  for (std::size_t l = 1; l < wanted; ++l) {
    const unsigned char* p = std::max(begin + length * l / wanted, cuts[count - 1]);
    while (p < end && !split_[*p]) ++p;
    if (p + 1 >= end) break;  // no split byte left
    cuts[count++] = p + 1;
  }
  cuts[count] = end;

  // Each lane writes to its region of the scratch buffer, sized by the growth
  // seen so far and with room for a short block past it.
  const double growth = std::min(growth_, kMaxGrowthGuess);
  std::array<std::size_t, kLanes> room{};
  std::size_t size = 0;
  for (std::size_t l = 0; l < count; ++l) {
    room[l] = static_cast<std::size_t>(static_cast<double>(cuts[l + 1] - cuts[l]) * growth) +
              RoomFor(kMinBlock);
    size += room[l];
  }
  if (scratchSize_ < size) {
    scratch_ = std::make_unique_for_overwrite<char[]>(size);
    scratchSize_ = size;
  }
  Chunk chunk;
  chunk.count = count;
  for (std::size_t l = 0, at = 0; l < count; at += room[l], ++l) {
    char* region = scratch_.get() + at;
    chunk.lanes[l] = Lane{.in = cuts[l],
                          .end = cuts[l + 1],
                          .data = region,
                          .limit = room[l],
                          .row = l == 0 ? row : kStartRow,
                          .region = region};
  }

  if (!(wide_ ? RunLanes<false>(chunk) : RunLanes<true>(chunk))) return false;
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
  return true;
}

}  // namespace glossmith::detail
