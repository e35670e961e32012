#include "core/engine/chain_machine.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <span>
#include <stdexcept>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/engine/page_memory.h"

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

// One table: its layout (wide or narrow), its rows, and the states they
// stand for. The storage for every row it may hold is taken at once, so that
// rows never move while other threads read them; a row is written (and its
// pages touched) only when its state is added. A large table's rows lie in
// huge pages (PageMemory).
struct ChainMachine::Table {
  bool wide = true;
  std::array<std::uint16_t, 256> classOf{};
  std::array<unsigned char, 257> representative{};
  std::uint32_t classCount = 1;
  std::uint32_t rowBytes = 0;
  std::size_t capacityRows = 0;
  PageMemory storage;     // the class offsets, then the rows
  std::size_t width = 0;  // matchers in a tuple
  std::size_t states = 0;
  std::size_t awayWords = 0;          // of Tuple::away kept per state
  std::vector<std::uint32_t> tuples;  // the tuple of state s at s * width
  std::vector<std::uint64_t> hashes;  // per state
  std::vector<std::uint64_t> aways;   // per state, awayWords each
  // The states by tuple, open addressed: state + 1 in a slot, 0 in a free
  // one. A power of two in size, at most half full.
  std::vector<std::uint32_t> slots = std::vector<std::uint32_t>(16);
  std::vector<std::string> finals;  // what the end of the text emits, per state
  std::vector<bool> finalKnown;
  std::vector<std::unique_ptr<const std::string>> longOutputs;
  std::size_t longBytes = 0, finalBytes = 0;

  std::size_t States() const { return states; }
  std::uint32_t RowOf(std::uint32_t state) const { return kHeaderBytes + state * rowBytes; }
  std::uint32_t StateOf(std::uint32_t row) const { return (row - kHeaderBytes) / rowBytes; }
  const char* Bytes() const { return storage.data(); }
  Entry& At(std::uint32_t row, unsigned char byte) const {
    return *reinterpret_cast<Entry*>(storage.data() + row + classOf[byte] * sizeof(Entry));
  }
  std::uint32_t Intern(const Tuple& tuple, Budget& budget);
  void Load(std::uint32_t state, Tuple& tuple) const;
  std::size_t HeldBytes() const {
    // Rows as far as they are written (their room is taken up front, but
    // pages untouched cost nothing); per state its tuple, hash, away bits and
    // final output; and the slots.
    return kHeaderBytes +
           States() * (rowBytes + width * sizeof(std::uint32_t) +
                       (1 + awayWords) * sizeof(std::uint64_t) + sizeof(std::string) + 1) +
           slots.size() * sizeof(std::uint32_t) + longBytes + finalBytes;
  }
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
  // Narrow rows pay only when they are notably smaller: rules that look for
  // nearly every byte value have wide rows either way.
  const auto usedBytes = static_cast<std::size_t>(std::count(used.begin(), used.end(), true));
  narrowPays_ = 4 * (1 + usedBytes) <= 3 * kWideColumns;
  for (ByteMap& map : maps_)
    for (int b = 0; b < 256; ++b)
      map.changes[b] = map.out[b].size() != 1 || map.out[b][0] != static_cast<char>(b);
  IndexReactions();  // before the first table, which keeps its bits per state
  // Compute's buffers start out of line, so that swapping them swaps pointers.
  bytes_.reserve(64);
  spare_.reserve(64);
  current_ = NewTable(limits_.maxEntries / kWideColumns >= kMinWideStates);
  FindLoudBytes();
  own_.skip_ = skipAtFirst_;
}

ChainMachine::~ChainMachine() = default;
ChainMachine::RunState::~RunState() = default;

void ChainMachine::AddOneByteStep(const std::string& find, const std::string& replacement) {
  const auto f = static_cast<unsigned char>(find[0]);
  auto sizeAfter = [&](const ByteMap& map) {
    return map.bytes - map.occurs[f] + map.occurs[f] * replacement.size();
  };
  // Fuse into the current map unless that would pass the cap; a fresh map
  // holds one step, whatever its size.
  if (transducers_.empty() || !transducers_.back().isMap ||
      sizeAfter(maps_[transducers_.back().index]) > limits_.maxMapBytes) {
    transducers_.push_back({true, static_cast<std::uint32_t>(maps_.size())});
    ByteMap& map = maps_.emplace_back();
    for (int b = 0; b < 256; ++b) map.out[b] = std::string(1, static_cast<char>(b));
    map.occurs.fill(1);
  }
  // Every byte whose current output holds the find byte gets it replaced; a
  // step whose byte no output holds costs nothing, so that long lists of
  // such steps compose quickly.
  ByteMap& map = maps_[transducers_.back().index];
  if (map.occurs[f] == 0) return;
  map.bytes = sizeAfter(map);
  std::size_t left = map.occurs[f];
  for (std::string& out : map.out) {
    if (left == 0) break;
    const auto found = static_cast<std::size_t>(std::count(out.begin(), out.end(), find[0]));
    if (found == 0) continue;
    left -= found;
    std::string rewritten;
    for (char c : out) {
      if (static_cast<unsigned char>(c) == f)
        rewritten += replacement;
      else
        rewritten += c;
    }
    out = std::move(rewritten);
  }
  const std::size_t hits = std::exchange(map.occurs[f], 0);
  for (unsigned char c : replacement) map.occurs[c] += hits;
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

void ChainMachine::FindLoudBytes() {
  // A byte read in the start state does nothing but pass through exactly when
  // no map changes it and no find string starts with it. When only a few
  // bytes do something, the text between them is copied in bulk.
  std::array<bool, 256> loud{};
  for (const Matcher& m : matchers_) loud[static_cast<unsigned char>(m.find[0])] = true;
  for (const ByteMap& map : maps_)
    for (int b = 0; b < 256; ++b) loud[b] = loud[b] || map.changes[b];
  for (int b = 0; b < 256; ++b)
    if (loud[b]) loud_.push_back(static_cast<unsigned char>(b));
  skipAtFirst_ = loud_.size() <= kMaxLoud;
  if (!skipAtFirst_) loud_.clear();
}

void ChainMachine::IndexReactions() {
  const std::size_t words = (transducers_.size() + 63) / 64;
  if (words == 0 || words > kSkipWords) return;
  skipWords_ = words;
  reacts_.assign(256 * words, 0);
  auto set = [&](unsigned char byte, std::size_t t) {
    reacts_[byte * words + t / 64] |= std::uint64_t{1} << (t % 64);
  };
  for (std::size_t t = 0; t < transducers_.size(); ++t) {
    const Transducer transducer = transducers_[t];
    if (!transducer.isMap) {
      set(static_cast<unsigned char>(matchers_[transducer.index].find[0]), t);
      continue;
    }
    const ByteMap& map = maps_[transducer.index];
    for (int b = 0; b < 256; ++b)
      if (map.changes[b]) set(static_cast<unsigned char>(b), t);
  }
}

std::shared_ptr<ChainMachine::Table> ChainMachine::NewTable(bool wide) const {
  auto table = std::make_shared<Table>();
  table->wide = wide;
  table->width = matchers_.size();
  table->awayWords = skipWords_;
  // Class 0 is the split bytes' shared column in a narrow table; in a wide one
  // it is unused, and keeps rows off a 4 KB stride (rows of exactly 4 KB would
  // put every state's entry for a byte in the same cache set).
  for (int b = 0; b < 256; ++b) {
    if (!wide && split_[b]) continue;
    table->classOf[b] = static_cast<std::uint16_t>(table->classCount);
    table->representative[table->classCount] = static_cast<unsigned char>(b);
    ++table->classCount;
  }
  table->rowBytes = table->classCount * static_cast<std::uint32_t>(sizeof(Entry));
  // Room for a fresh table's start state and the lanes carried over, and for
  // the entry being computed.
  constexpr std::size_t kMinRows = 2 * (kLanes + 1);
  table->capacityRows = std::max(limits_.maxEntries / table->classCount, kMinRows);
  table->storage = PageMemory(kHeaderBytes + table->capacityRows * table->rowBytes);
  // The class offsets head the table, so that the inner loop finds both
  // through one pointer.
  std::array<std::uint16_t, 256> offsets;
  for (int b = 0; b < 256; ++b)
    offsets[b] = static_cast<std::uint16_t>(table->classOf[b] * sizeof(Entry));
  std::memcpy(table->storage.data(), offsets.data(), sizeof offsets);
  Budget uncounted;  // the start state is every table's, not a run's work
  table->Intern(Tuple{.states = std::vector<std::uint32_t>(matchers_.size(), 0)},
                uncounted);  // at kStartRow
  return table;
}

std::uint32_t ChainMachine::Table::Intern(const Tuple& tuple, Budget& budget) {
  const std::uint64_t hash = tuple.hash;
  std::size_t mask = slots.size() - 1, slot = hash & mask;
  for (; slots[slot] != 0; slot = (slot + 1) & mask) {
    const std::uint32_t known = slots[slot] - 1;
    if (hashes[known] == hash &&
        (width == 0 || std::memcmp(tuples.data() + std::size_t{known} * width, tuple.states.data(),
                                   width * sizeof(std::uint32_t)) == 0))
      return known;
  }
  const auto state = static_cast<std::uint32_t>(States());
  // NearTableLimits keeps a row free for every state a step may add.
  if (state >= capacityRows) throw std::length_error("machine table overflow");
  // Other runs go on with this table after an exception here (out of
  // memory): everything that may throw comes before the first change.
  auto grow = [](auto& v, std::size_t more) {
    if (v.capacity() - v.size() < more) v.reserve(std::max(2 * v.capacity(), v.size() + more));
  };
  grow(tuples, width);
  grow(hashes, 1);
  grow(aways, awayWords);
  grow(finals, 1);
  grow(finalKnown, 1);
  if (2 * (States() + 1) > slots.size()) {
    std::vector<std::uint32_t> larger(2 * slots.size());
    mask = larger.size() - 1;
    for (std::uint32_t s = 0; s < state; ++s) {
      std::size_t at = hashes[s] & mask;
      while (larger[at] != 0) at = (at + 1) & mask;
      larger[at] = s + 1;
    }
    slots.swap(larger);
    for (slot = hash & mask; slots[slot] != 0;) slot = (slot + 1) & mask;
  }
  slots[slot] = state + 1;
  ++states;
  budget.Charge(2 * (classCount + width));
  tuples.insert(tuples.end(), tuple.states.begin(), tuple.states.end());
  hashes.push_back(hash);
  aways.insert(aways.end(), tuple.away.begin(), tuple.away.begin() + awayWords);
  // Written before any entry leads here.
  std::uninitialized_fill_n(reinterpret_cast<Entry*>(storage.data() + RowOf(state)), classCount,
                            Entry{});
  finals.emplace_back();
  finalKnown.push_back(false);
  return state;
}

void ChainMachine::Table::Load(std::uint32_t state, Tuple& tuple) const {
  const auto* from = tuples.data() + std::size_t{state} * width;
  tuple.states.assign(from, from + width);
  tuple.hash = hashes[state];
  std::copy_n(aways.data() + std::size_t{state} * awayWords, awayWords, tuple.away.begin());
}

void ChainMachine::Publish(Table& table, std::uint32_t row, unsigned char byte, std::uint32_t next,
                           std::string_view bytes, bool appendInput) {
  Entry& entry = table.At(row, byte);
  Head head{{0, 0}, 0, 0, table.RowOf(next)};
  const std::uint8_t append = appendInput ? 1 : 0;
  if (bytes.size() <= kInline) {
    head.length = static_cast<std::uint8_t>(bytes.size());
    head.advance = static_cast<std::uint8_t>(head.length + append);
    const std::size_t first = std::min(bytes.size(), sizeof entry.bytes);
    std::memcpy(entry.bytes, bytes.data(), first);
    std::memcpy(head.bytes, bytes.data() + first, bytes.size() - first);
  } else {
    head.length = kLong;
    head.advance = append;
    const std::string* kept =
        table.longOutputs.emplace_back(std::make_unique<const std::string>(bytes)).get();
    std::memcpy(entry.bytes, &kept, sizeof kept);
    table.longBytes += bytes.size();
  }
  __atomic_store_n(&entry.head, std::bit_cast<std::uint64_t>(head), __ATOMIC_RELEASE);
}

std::string_view ChainMachine::Output(const Entry& entry, const Head& head) {
  // An inline output runs on from `bytes` into the head's first two bytes.
  if (head.length <= kInline)
    return std::string_view(reinterpret_cast<const char*>(&entry), head.length);
  const std::string* kept;
  std::memcpy(&kept, entry.bytes, sizeof kept);
  return *kept;
}

bool ChainMachine::FeedTransducer(std::size_t t, Tuple& tuple, std::string& bytes, Budget& budget,
                                  bool& changed) {
  budget.Charge(bytes.size());
  changed = false;
  const Transducer transducer = transducers_[t];
  // Most transducers leave most bytes alone: then the bytes stay as they are,
  // without a copy.
  if (transducer.isMap) {
    const ByteMap& map = maps_[transducer.index];
    if (std::none_of(bytes.begin(), bytes.end(),
                     [&](char c) { return map.changes[static_cast<unsigned char>(c)]; }))
      return !budget.Exhausted();
  } else if (const char first = matchers_[transducer.index].find[0];
             tuple.states[transducer.index] == 0 &&
             std::none_of(bytes.begin(), bytes.end(), [&](char c) { return c == first; })) {
    return !budget.Exhausted();
  }
  spare_.clear();
  if (transducer.isMap) {
    const ByteMap& map = maps_[transducer.index];
    for (unsigned char c : bytes) {
      if (const std::string& out = map.out[c]; out.size() == 1)
        spare_ += out[0];
      else
        spare_ += out;
    }
  } else {
    const Matcher& m = matchers_[transducer.index];
    std::uint32_t state = tuple.states[transducer.index];
    for (char c : bytes) state = m.Feed(state, c, spare_, budget);
    tuple.Set(transducer.index, state);
  }
  if (spare_.size() > limits_.maxEntryOutput || budget.Exhausted()) return false;
  bytes.swap(spare_);
  changed = true;
  return true;
}

namespace {

// The first set bit at `from` or after in `bits`, or words * 64 if none.
std::size_t NextBit(const std::uint64_t* bits, std::size_t words, std::size_t from) {
  std::size_t w = from / 64;
  if (w >= words) return words * 64;
  std::uint64_t word = bits[w] & (~std::uint64_t{0} << (from % 64));
  while (word == 0) {
    if (++w == words) return words * 64;
    word = bits[w];
  }
  return w * 64 + static_cast<std::size_t>(std::countr_zero(word));
}

}  // namespace

template <bool kFlush>
bool ChainMachine::Pass(Tuple& tuple, std::string& bytes, Budget& budget) {
  const std::size_t words = skipWords_;
  if (words == 0) return PassAll<kFlush>(tuple, bytes, budget);
  // A transducer does something only if it is a matcher away from its start
  // state or it reacts to one of the bytes it is given. Those away stay so
  // until visited; the bytes change as transducers rewrite them.
  std::array<std::uint64_t, kSkipWords> due;
  auto findDue = [&] {
    for (std::size_t w = 0; w < words; ++w) {
      std::uint64_t bits = tuple.away[w];
      for (unsigned char c : bytes) bits |= reacts_[c * words + w];
      due[w] = bits;
    }
    budget.Charge(bytes.size() * words);
  };
  findDue();
  for (std::size_t t = NextBit(due.data(), words, 0); t < transducers_.size();
       t = NextBit(due.data(), words, t + 1)) {
    if (!kFlush && bytes.empty()) break;
    bool changed;
    if (!FeedTransducer(t, tuple, bytes, budget, changed)) return false;
    const Transducer transducer = transducers_[t];
    if (transducer.isMap) {
      if (changed) findDue();
      continue;
    }
    if (const std::uint32_t state = tuple.states[transducer.index]; kFlush && state != 0) {
      bytes.append(matchers_[transducer.index].find, 0, state);
      tuple.Set(transducer.index, 0);
      changed = true;
    }
    const std::uint64_t bit = std::uint64_t{1} << (t % 64);
    if (tuple.states[transducer.index] != 0)
      tuple.away[t / 64] |= bit;
    else
      tuple.away[t / 64] &= ~bit;
    if (changed) findDue();
  }
  return true;
}

template <bool kFlush>
bool ChainMachine::PassAll(Tuple& tuple, std::string& bytes, Budget& budget) {
  for (std::size_t t = 0; t < transducers_.size() && (kFlush || !bytes.empty()); ++t) {
    bool changed;
    if (!FeedTransducer(t, tuple, bytes, budget, changed)) return false;
    if (const Transducer transducer = transducers_[t]; kFlush && !transducer.isMap) {
      bytes.append(matchers_[transducer.index].find, 0, tuple.states[transducer.index]);
      tuple.Set(transducer.index, 0);
    }
  }
  return true;
}

bool ChainMachine::Feed(Tuple& tuple, std::string& bytes, Budget& budget) {
  return Pass<false>(tuple, bytes, budget);
}

bool ChainMachine::Flush(Tuple& tuple, std::string& bytes, Budget& budget) {
  return Pass<true>(tuple, bytes, budget);
}

void ChainMachine::LoadTuple(const Table& table, std::uint32_t row) {
  table.Load(table.StateOf(row), tuple_);
}

bool ChainMachine::Compute(RunState& state, std::uint32_t row, unsigned char byte) {
  Table& table = *state.table_;
  Budget& budget = state.budget_;
  // Loading a state, looking up the next one and storing the entry cost about
  // as much as feeding a dozen bytes, and a little more per matcher for the
  // tuple's copy; a new state (Intern) costs its row and its tuple on top.
  budget.Charge(16 + table.width / 16);
  LoadTuple(table, row);
  bytes_.clear();
  bool appendInput = false;
  if (split_[byte]) {
    if (!Flush(tuple_, bytes_, budget)) return false;
    // A wide entry is this byte's own: it holds the byte itself.
    if (table.wide)
      bytes_ += static_cast<char>(byte);
    else
      appendInput = true;
  } else {
    bytes_.assign(1, static_cast<char>(table.representative[table.classOf[byte]]));
    if (!Feed(tuple_, bytes_, budget)) return false;
  }
  budget.Charge(bytes_.size());
  const std::uint32_t next = table.Intern(tuple_, budget);
  Publish(table, row, byte, next, bytes_, appendInput);
  return true;
}

bool ChainMachine::NearTableLimits(const Table& table) const {
  return table.States() + kLanes + 1 > table.capacityRows ||
         table.longBytes > limits_.maxLongBytes || table.finalBytes > limits_.maxLongBytes;
}

void ChainMachine::ReplaceCurrentTable() {
  ++resets_;
  current_ = NewTable(current_->wide);
  // Wide rows cost the most to build: a wide table that filled up is
  // followed by a narrow one from the next chunk on.
  goNarrow_ = current_->wide && narrowPays_;
}

void ChainMachine::MoveRun(RunState& state, std::shared_ptr<Table> table,
                           std::span<std::uint32_t> rows) {
  for (std::uint32_t& row : rows) {
    LoadTuple(*state.table_, row);
    row = table->RowOf(table->Intern(tuple_, state.budget_));
  }
  state.table_ = std::move(table);
}

void ChainMachine::TakeCurrentTable(RunState& state, std::uint32_t& row) {
  std::lock_guard lock(mutex_);
  if (goNarrow_ && current_->wide) {
    ++resets_;
    current_ = NewTable(false);
    goNarrow_ = false;
  }
  if (state.table_ == current_) return;
  if (!state.table_) {
    state.table_ = current_;  // a run starts in the start state, in every table
    return;
  }
  if (NearTableLimits(*current_)) ReplaceCurrentTable();
  MoveRun(state, current_, std::span(&row, 1));
}

void ChainMachine::MakeRoom(RunState& state, Chunk& chunk) {
  std::array<std::uint32_t, kLanes> kept{};
  for (std::size_t l = 0; l < chunk.count; ++l) kept[l] = chunk.lanes[l].row;
  const std::span rows = std::span(kept).first(chunk.count);
  // A run goes on in another table only of its own layout: its lanes' loop
  // is made for one.
  if (state.table_ != current_ && state.table_->wide == current_->wide) {
    if (NearTableLimits(*current_)) ReplaceCurrentTable();
    MoveRun(state, current_, rows);
  }
  if (NearTableLimits(*state.table_)) {
    if (state.table_ == current_) {
      ReplaceCurrentTable();
      MoveRun(state, current_, rows);
    } else {
      // The machine went narrow while this wide run went on: a table of its
      // own for the rest of the chunk.
      MoveRun(state, NewTable(state.table_->wide), rows);
    }
  }
  for (std::size_t l = 0; l < chunk.count; ++l) chunk.lanes[l].row = kept[l];
}

bool ChainMachine::AppendFinal(RunState& state, std::uint32_t row, std::string& out) {
  std::lock_guard lock(mutex_);
  Table& table = *state.table_;
  const std::uint32_t s = table.StateOf(row);
  if (!table.finalKnown[s]) {
    LoadTuple(table, row);
    bytes_.clear();
    if (!Flush(tuple_, bytes_, state.budget_)) return false;
    table.finals[s] = bytes_;
    table.finalKnown[s] = true;
    table.finalBytes += bytes_.size();
  }
  out += table.finals[s];
  return true;
}

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
  std::size_t bytes = current_->HeldBytes() + own_.ScratchBytes() + HeapBytes(steps_) +
                      reacts_.capacity() * sizeof(std::uint64_t);
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
  const std::string_view output = Output(state.table_->At(lane.row, c), head);
  const std::size_t append = head.length <= kInline ? head.advance - head.length : head.advance;
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
// round overlap in the processor.
template <std::size_t K, bool kNarrow>
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
    for (std::size_t k = 1; k < kMaxLoud; ++k)
      hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, needles[k]));
    if (const int mask = _mm_movemask_epi8(hits))
      return from + std::countr_zero(static_cast<unsigned>(mask));
  }
#endif
  for (; from < end; ++from) {
    if (std::find(loud_.begin(), loud_.end(), *from) != loud_.end()) return from;
  }
  return end;
}

template <bool kNarrow>
bool ChainMachine::RunSkipping(RunState& state, Chunk& chunk, std::size_t which) {
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
        state.skip_ = false;
        return RunInterleaved<1, kNarrow>(state, chunk, which);
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
      if (!FastRead<kNarrow>(table, row, *in, o)) {
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
  state.budget_ = Budget(limits_.fixedWork, limits_.workPerByte, static_cast<double>(text.size()));
  try {
    state.gaveUp_ = !RunComposed(state, text, out);
  } catch (...) {
    state.table_.reset();
    throw;
  }
  // A table that was replaced while the run read it is freed with its last
  // run.
  state.table_.reset();
  if (!state.gaveUp_) return;
  // The entries computed so far stay: they are exact, and a later run may
  // need nothing more. Wide rows cost the most to build.
  {
    std::lock_guard lock(mutex_);
    goNarrow_ = goNarrow_ || (current_->wide && narrowPays_);
  }
  out.assign(text);
  RunStepByStep(out, steps_);
}

bool ChainMachine::RunMarked(std::string_view text, std::string& out, RunState& state,
                             StartStates& starts) {
  state.budget_ = Budget(limits_.fixedWork, limits_.workPerByte, static_cast<double>(text.size()));
  bool composed;
  try {
    composed = RunMarkedComposed(state, text, out, starts);
  } catch (...) {
    state.table_.reset();
    throw;
  }
  state.table_.reset();
  state.gaveUp_ = !composed;
  if (composed) return true;
  out.assign(text);
  RunStepByStep(out, steps_);
  return false;
}

// One lane, a byte at a time, so that every start state is seen; a separate
// loop, so that plain runs pay nothing for it. `done` bytes of text and
// `written` of output came before the lane.
template <bool kNarrow>
bool ChainMachine::RunMarkedLane(RunState& state, Chunk& chunk, std::size_t done,
                                 std::size_t written, StartStates& starts) {
  Lane& lane = chunk.lanes[0];
  const unsigned char* const first = lane.in;
  while (lane.in < lane.end) {
    const unsigned char* stop = std::min(lane.end, lane.in + kMinBlock);
    Reserve(lane, RoomFor(kMinBlock));
    const char* table = state.table_->Bytes();
    const unsigned char* in = lane.in;
    char* o = lane.Write();
    std::size_t row = lane.row;
    for (; in < stop; ++in) {
      if (!FastRead<kNarrow>(table, row, *in, o)) {
        lane.pos = static_cast<std::size_t>(o - lane.data);
        lane.row = static_cast<std::uint32_t>(row);
        if (!SlowRead(state, chunk, 0, static_cast<std::size_t>(in - lane.in),
                      static_cast<std::size_t>(stop - in)))
          return false;
        table = state.table_->Bytes();
        o = lane.Write();
        row = lane.row;
      }
      if (row == kStartRow)
        starts.At(done + static_cast<std::size_t>(in + 1 - first),
                  written + lane.regionUsed + static_cast<std::size_t>(o - lane.data));
    }
    lane.in = in;
    lane.pos = static_cast<std::size_t>(o - lane.data);
    lane.row = static_cast<std::uint32_t>(row);
  }
  return true;
}

bool ChainMachine::RunMarkedComposed(RunState& state, std::string_view text, std::string& out,
                                     StartStates& starts) {
  out.clear();
  const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = begin + text.size();
  std::uint32_t row = kStartRow;
  TakeCurrentTable(state, row);
  for (const unsigned char* next = begin; next < end;) {
    const unsigned char* chunkEnd =
        end - next > static_cast<std::ptrdiff_t>(kChunkBytes) ? next + kChunkBytes : end;
    if (next != begin) TakeCurrentTable(state, row);
    const std::size_t room =
        static_cast<std::size_t>(static_cast<double>(chunkEnd - next) *
                                 std::min(state.growth_, kMaxGrowthGuess)) +
        RoomFor(kMinBlock);
    if (state.scratchSize_ < room) {
      state.scratch_ = std::make_unique_for_overwrite<char[]>(room);
      state.scratchSize_ = room;
    }
    Chunk chunk;
    chunk.count = 1;
    chunk.lanes[0] = Lane{.in = next,
                          .end = chunkEnd,
                          .data = state.scratch_.get(),
                          .limit = state.scratchSize_,
                          .row = row,
                          .region = state.scratch_.get()};
    const std::size_t done = static_cast<std::size_t>(next - begin);
    if (!(state.table_->wide ? RunMarkedLane<false>(state, chunk, done, out.size(), starts)
                             : RunMarkedLane<true>(state, chunk, done, out.size(), starts)))
      return false;
    const Lane& lane = chunk.lanes[0];
    if (lane.spilled) out.append(lane.region, lane.regionUsed);
    out.append(lane.data, lane.pos);
    row = lane.row;
    next = chunkEnd;
  }
  return AppendFinal(state, row, out);
}

bool ChainMachine::RunComposed(RunState& state, std::string_view text, std::string& out) {
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
                  static_cast<std::size_t>(end - chunkEnd)))
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

template <bool kNarrow>
bool ChainMachine::RunLanes(RunState& state, Chunk& chunk) {
  if (state.skip_) {
    for (std::size_t l = 0; l < chunk.count; ++l)
      if (!RunSkipping<kNarrow>(state, chunk, l)) return false;
  } else if (chunk.count == 3) {
    if (!RunInterleaved<3, kNarrow>(state, chunk, 0)) return false;
  } else if (chunk.count == 2) {
    if (!RunInterleaved<2, kNarrow>(state, chunk, 0)) return false;
  }
  // What is left of each lane, one by one.
  for (std::size_t l = 0; l < chunk.count; ++l)
    if (!RunInterleaved<1, kNarrow>(state, chunk, l)) return false;
  return true;
}

bool ChainMachine::RunChunk(RunState& state, const unsigned char* begin, const unsigned char* end,
                            std::uint32_t& row, std::string& out, std::size_t before,
                            std::size_t after) {
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
    while (p < end && !split_[*p]) ++p;
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

  if (!(state.table_->wide ? RunLanes<false>(state, chunk) : RunLanes<true>(state, chunk)))
    return false;
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
