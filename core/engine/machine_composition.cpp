#include "core/engine/machine_composition.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "core/engine/machine_table.h"

namespace glossmith::detail::machine {

Composition::Composition(const Steps& steps, const MachineLimits& limits) : limits_(limits) {
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
  IndexReactions();
  FindStartBytes();
}

std::uint32_t Matcher::Feed(std::uint32_t k, char c, std::string& out, Budget& budget,
                            bool& matched) const {
  if (find[k] == c) {
    if (k + 1 == find.size()) {
      matched = true;
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

void Composition::AddOneByteStep(const std::string& find, const std::string& replacement) {
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

void Composition::AddMatcher(const std::string& find, const std::string& replacement) {
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

void Composition::FindStartBytes() {
  // A byte read in the start state does nothing but pass through exactly when
  // no map changes it and no find string starts with it. When only a few
  // bytes do something, the text between them is copied in bulk.
  std::array<bool, 256> start{};
  for (const Matcher& m : matchers_) start[static_cast<unsigned char>(m.find[0])] = true;
  for (const ByteMap& map : maps_)
    for (int b = 0; b < 256; ++b) start[b] = start[b] || map.changes[b];
  for (int b = 0; b < 256; ++b)
    if (start[b]) startBytes_.push_back(static_cast<unsigned char>(b));
  fewStartBytes_ = startBytes_.size() <= kMaxStartBytes;
  if (!fewStartBytes_) startBytes_.clear();
}

void Composition::IndexReactions() {
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

bool Composition::FeedTransducer(std::size_t t, Tuple& tuple, std::string& bytes,
                                 std::string& spare, Budget& budget, bool& changed) const {
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
  spare.clear();
  if (transducer.isMap) {
    const ByteMap& map = maps_[transducer.index];
    for (unsigned char c : bytes) {
      if (const std::string& out = map.out[c]; out.size() == 1)
        spare += out[0];
      else
        spare += out;
    }
  } else {
    const Matcher& m = matchers_[transducer.index];
    std::uint32_t state = tuple.states[transducer.index];
    for (char c : bytes) state = m.Feed(state, c, spare, budget, tuple.matched);
    tuple.Set(transducer.index, state);
  }
  if (spare.size() > limits_.maxEntryOutput || budget.Exhausted()) return false;
  bytes.swap(spare);
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
bool Composition::Pass(Tuple& tuple, std::string& bytes, std::string& spare, Budget& budget) const {
  const std::size_t words = skipWords_;
  if (words == 0) return PassAll<kFlush>(tuple, bytes, spare, budget);
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
    if (!FeedTransducer(t, tuple, bytes, spare, budget, changed)) return false;
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
bool Composition::PassAll(Tuple& tuple, std::string& bytes, std::string& spare,
                          Budget& budget) const {
  for (std::size_t t = 0; t < transducers_.size() && (kFlush || !bytes.empty()); ++t) {
    bool changed;
    if (!FeedTransducer(t, tuple, bytes, spare, budget, changed)) return false;
    if (const Transducer transducer = transducers_[t]; kFlush && !transducer.isMap) {
      bytes.append(matchers_[transducer.index].find, 0, tuple.states[transducer.index]);
      tuple.Set(transducer.index, 0);
    }
  }
  return true;
}

bool Composition::ComputeEntry(Table& table, std::uint32_t row, unsigned char byte,
                               Scratch& scratch, Budget& budget) const {
  // Loading a state, looking up the next one and storing the entry cost about
  // as much as feeding a dozen bytes, and a little more per matcher for the
  // tuple's copy; a new state (Intern) costs its row and its tuple on top.
  budget.Charge(16 + table.width / 16);
  table.Load(table.StateOf(row), scratch.tuple);
  scratch.tuple.matched = false;
  std::string& bytes = scratch.bytes;
  bytes.clear();
  bool appendInput = false;
  if (split_[byte]) {
    if (!Pass<true>(scratch.tuple, bytes, scratch.spare, budget)) return false;
    // A wide entry is this byte's own: it holds the byte itself.
    if (table.wide)
      bytes += static_cast<char>(byte);
    else
      appendInput = true;
  } else {
    bytes.assign(1, static_cast<char>(table.representative[table.classOf[byte]]));
    if (!Pass<false>(scratch.tuple, bytes, scratch.spare, budget)) return false;
  }
  budget.Charge(bytes.size());
  const std::uint32_t next = table.Intern(scratch.tuple, budget);
  table.Publish(row, byte, next, bytes, appendInput, scratch.tuple.matched);
  return true;
}

bool Composition::ComputeFinal(const Table& table, std::uint32_t row, Scratch& scratch,
                               std::string& out, Budget& budget) const {
  table.Load(table.StateOf(row), scratch.tuple);
  out.clear();
  return Pass<true>(scratch.tuple, out, scratch.spare, budget);
}

std::size_t Composition::HeldBytes() const {
  std::size_t bytes = HeapBytes(steps_) + reacts_.capacity() * sizeof(std::uint64_t);
  for (const ByteMap& map : maps_) bytes += map.bytes + sizeof(ByteMap);
  return bytes;
}

}  // namespace glossmith::detail::machine
