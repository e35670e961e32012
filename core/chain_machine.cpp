#include "chain_machine.h"

#include <algorithm>
#include <cstring>

namespace glossmith::detail {

namespace {

// Output budget: past either limit the table is dropped and rebuilt.
constexpr std::size_t kMaxPool = std::size_t{1} << 23;     // fits the 24-bit offset
constexpr std::size_t kMaxLongBytes = std::size_t{1} << 23;

// Input is processed in blocks; room for a block's worst short output is made
// before the block starts, so the inner loop never checks capacity.
constexpr std::size_t kBlock = 4096;
constexpr std::size_t kSlack = 64;

// Texts shorter than this run in one lane; longer ones in up to kLanes.
constexpr std::size_t kMinLaneBytes = std::size_t{1} << 14;
constexpr std::size_t kLanes = 4;

}  // namespace

struct ChainMachine::Lane {
  const unsigned char* in;
  const unsigned char* end;
  std::string* buf;
  std::size_t pos;  // bytes of *buf written
  std::uint32_t row;
};

std::uint32_t ChainMachine::Matcher::Feed(std::uint32_t k, char c, std::string& out) const {
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
  while (j > 0 && find[j] != c) j = border[j];
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

ChainMachine::ChainMachine(const Steps& steps, std::size_t maxEntries)
    : maxEntries_(maxEntries) {
  std::array<bool, 256> used{};
  for (const auto& [find, replacement] : steps) {
    if (find.empty()) continue;
    for (unsigned char c : find) used[c] = true;
    if (find.size() == 1) {
      if (stages_.empty() || !stages_.back().isMap) {
        stages_.push_back({true, static_cast<std::uint32_t>(maps_.size())});
        ByteMap& map = maps_.emplace_back();
        for (int b = 0; b < 256; ++b) map.out[b] = std::string(1, static_cast<char>(b));
      }
      // Fusing: every byte whose current output holds the find byte gets it replaced.
      ByteMap& map = maps_[stages_.back().index];
      for (std::string& out : map.out) {
        if (out.find(find[0]) == std::string::npos) continue;
        std::string rewritten;
        for (char c : out) {
          if (c == find[0])
            rewritten += replacement;
          else
            rewritten += c;
        }
        out = std::move(rewritten);
      }
      continue;
    }
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
    stages_.push_back({false, static_cast<std::uint32_t>(matchers_.size())});
    matchers_.push_back(std::move(m));
  }
  for (int b = 0; b < 256; ++b) {
    if (!used[b]) continue;
    classOf_[b] = static_cast<std::uint16_t>(classCount_);
    representative_[classCount_] = static_cast<unsigned char>(b);
    ++classCount_;
  }
  Reset();
}

void ChainMachine::Reset() {
  if (!tupleIds_.empty()) ++resets_;
  table_.clear();
  tuples_.clear();
  tupleIds_.clear();
  finals_.clear();
  longOutputs_.clear();
  longBytes_ = 0;
  pool_.assign(kShortCopy, '\0');
  Intern(std::vector<std::uint32_t>(matchers_.size(), 0));  // the start state, row 0
}

std::uint32_t ChainMachine::Intern(const std::vector<std::uint32_t>& tuple) {
  std::string key(reinterpret_cast<const char*>(tuple.data()),
                  tuple.size() * sizeof(std::uint32_t));
  auto [it, added] = tupleIds_.try_emplace(std::move(key), 0);
  if (!added) return it->second;
  const auto state = static_cast<std::uint32_t>(tupleIds_.size() - 1);
  it->second = state;
  tuples_.insert(tuples_.end(), tuple.begin(), tuple.end());
  table_.resize(table_.size() + classCount_, Entry{kUnknown, kLongLength << 1});
  finals_.push_back(kUnknown);
  return state;
}

std::uint32_t ChainMachine::PackOutput(std::string_view bytes, bool appendInput) {
  std::uint32_t packed;
  if (bytes.size() < kLongLength) {
    // The pool keeps kShortCopy bytes of padding at its end for blind copies.
    const std::size_t offset = pool_.size() - kShortCopy;
    pool_.resize(offset);
    pool_.append(bytes);
    pool_.append(kShortCopy, '\0');
    packed = static_cast<std::uint32_t>(offset << 8 | bytes.size() << 1);
  } else {
    packed = static_cast<std::uint32_t>(longOutputs_.size() << 8 | kLongLength << 1);
    longOutputs_.emplace_back(bytes);
    longBytes_ += bytes.size();
  }
  return packed | (appendInput ? 1u : 0u);
}

std::string_view ChainMachine::Output(std::uint32_t packed) const {
  const std::uint32_t length = (packed >> 1) & kLongLength;
  if (length == kLongLength) return longOutputs_[packed >> 8];
  return std::string_view(pool_).substr(packed >> 8, length);
}

void ChainMachine::FeedStage(std::size_t s, std::vector<std::uint32_t>& tuple,
                             std::string& bytes) {
  spare_.clear();
  const Stage stage = stages_[s];
  if (stage.isMap) {
    const ByteMap& map = maps_[stage.index];
    for (unsigned char c : bytes) spare_ += map.out[c];
  } else {
    const Matcher& m = matchers_[stage.index];
    std::uint32_t& state = tuple[stage.index];
    for (char c : bytes) state = m.Feed(state, c, spare_);
  }
  bytes.swap(spare_);
}

void ChainMachine::Feed(std::vector<std::uint32_t>& tuple, std::string& bytes) {
  for (std::size_t s = 0; s < stages_.size() && !bytes.empty(); ++s) FeedStage(s, tuple, bytes);
}

void ChainMachine::Flush(std::vector<std::uint32_t>& tuple, std::string& bytes) {
  for (std::size_t s = 0; s < stages_.size(); ++s) {
    FeedStage(s, tuple, bytes);
    const Stage stage = stages_[s];
    if (stage.isMap) continue;
    std::uint32_t& state = tuple[stage.index];
    bytes.append(matchers_[stage.index].find, 0, state);
    state = 0;
  }
}

void ChainMachine::Compute(std::uint32_t row, unsigned char byte) {
  const std::uint32_t state = row / classCount_;
  const std::size_t width = matchers_.size();
  tuple_.assign(tuples_.begin() + static_cast<std::ptrdiff_t>(state * width),
                tuples_.begin() + static_cast<std::ptrdiff_t>((state + 1) * width));
  const std::uint16_t cls = classOf_[byte];
  bytes_.clear();
  bool appendInput = false;
  if (cls == 0) {
    Flush(tuple_, bytes_);
    appendInput = true;
  } else {
    bytes_.assign(1, static_cast<char>(representative_[cls]));
    Feed(tuple_, bytes_);
  }
  const std::uint32_t next = Intern(tuple_);
  Entry& entry = table_[row + cls];
  entry.next = next * classCount_;
  entry.out = PackOutput(bytes_, appendInput);
}

bool ChainMachine::NearBudget() const {
  return table_.size() + classCount_ > maxEntries_ || pool_.size() + kLongLength + kShortCopy > kMaxPool ||
         longBytes_ > kMaxLongBytes;
}

void ChainMachine::Rebuild(Lane* lanes, std::size_t count) {
  const std::size_t width = matchers_.size();
  std::vector<std::vector<std::uint32_t>> kept;
  for (std::size_t l = 0; l < count; ++l) {
    const std::size_t state = lanes[l].row / classCount_;
    kept.emplace_back(tuples_.begin() + static_cast<std::ptrdiff_t>(state * width),
                      tuples_.begin() + static_cast<std::ptrdiff_t>((state + 1) * width));
  }
  Reset();
  for (std::size_t l = 0; l < count; ++l) lanes[l].row = Intern(kept[l]) * classCount_;
}

std::string ChainMachine::FinalOutput(std::uint32_t row) {
  const std::uint32_t state = row / classCount_;
  if (finals_[state] != kUnknown) return std::string(Output(finals_[state]));
  const std::size_t width = matchers_.size();
  tuple_.assign(tuples_.begin() + static_cast<std::ptrdiff_t>(state * width),
                tuples_.begin() + static_cast<std::ptrdiff_t>((state + 1) * width));
  bytes_.clear();
  Flush(tuple_, bytes_);
  if (!NearBudget()) finals_[state] = PackOutput(bytes_, false);
  return bytes_;
}

void ChainMachine::Reserve(Lane& lane, std::size_t extra) {
  std::string& buf = *lane.buf;
  if (buf.size() >= lane.pos + extra) return;
  buf.resize(std::max(lane.pos + extra, buf.size() + buf.size() / 2));
}

void ChainMachine::Slow(Lane* lanes, std::size_t count, std::size_t which) {
  Lane& lane = lanes[which];
  const unsigned char c = *lane.in;
  if (table_[lane.row + classOf_[c]].next == kUnknown) {
    if (NearBudget()) Rebuild(lanes, count);
    Compute(lane.row, c);
  }
  const Entry entry = table_[lane.row + classOf_[c]];
  const std::string_view output = Output(entry.out);
  // Leave room for the rest of the current block as well.
  const auto rest = std::min(kBlock, static_cast<std::size_t>(lane.end - lane.in));
  Reserve(lane, output.size() + 1 + rest * (kShortCopy + 1) + kSlack);
  char* o = lane.buf->data() + lane.pos;
  std::memcpy(o, output.data(), output.size());
  o += output.size();
  *o = static_cast<char>(c);
  o += entry.out & 1;
  lane.pos = static_cast<std::size_t>(o - lane.buf->data());
  lane.row = entry.next;
  ++lane.in;
}

// Runs K lanes side by side until one of them runs out of input. Each lane
// depends only on its own previous entry, so the K lookups of one round
// overlap in the processor.
template <std::size_t K>
void ChainMachine::RunInterleaved(Lane* lanes) {
  for (;;) {
    std::size_t block = kBlock;
    for (std::size_t l = 0; l < K; ++l)
      block = std::min(block, static_cast<std::size_t>(lanes[l].end - lanes[l].in));
    if (block == 0) return;
    for (std::size_t l = 0; l < K; ++l) Reserve(lanes[l], block * (kShortCopy + 1) + kSlack);

    const Entry* table = table_.data();
    const char* pool = pool_.data();
    const std::uint16_t* classOf = classOf_.data();
    const unsigned char* in[K];
    char* o[K];
    std::uint32_t row[K];
    for (std::size_t l = 0; l < K; ++l) {
      in[l] = lanes[l].in;
      o[l] = lanes[l].buf->data() + lanes[l].pos;
      row[l] = lanes[l].row;
    }
    for (std::size_t i = 0; i < block; ++i) {
#pragma GCC unroll 4
      for (std::size_t l = 0; l < K; ++l) {
        const unsigned char c = *in[l];
        const Entry e = table[row[l] + classOf[c]];
        const std::uint32_t length = (e.out >> 1) & kLongLength;
        if (length <= kShortCopy) [[likely]] {
          std::memcpy(o[l], pool + (e.out >> 8), kShortCopy);
          o[l] += length;
          *o[l] = static_cast<char>(c);
          o[l] += e.out & 1;
          row[l] = e.next;
          ++in[l];
        } else {
          for (std::size_t m = 0; m < K; ++m) {
            lanes[m].in = in[m];
            lanes[m].pos = static_cast<std::size_t>(o[m] - lanes[m].buf->data());
            lanes[m].row = row[m];
          }
          Slow(lanes, K, l);
          table = table_.data();
          pool = pool_.data();
          for (std::size_t m = 0; m < K; ++m) {
            in[m] = lanes[m].in;
            o[m] = lanes[m].buf->data() + lanes[m].pos;
            row[m] = lanes[m].row;
          }
        }
      }
    }
    for (std::size_t l = 0; l < K; ++l) {
      lanes[l].in = in[l];
      lanes[l].pos = static_cast<std::size_t>(o[l] - lanes[l].buf->data());
      lanes[l].row = row[l];
    }
  }
}

void ChainMachine::Run(std::string_view text, std::string& out) {
  out.clear();
  if (text.empty()) return;
  const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = begin + text.size();

  // Cut the text right after boundary bytes near equal shares.
  std::array<const unsigned char*, kLanes + 1> cuts{};
  std::size_t count = 1;
  cuts[0] = begin;
  const std::size_t wanted = std::min(kLanes, text.size() / kMinLaneBytes);
  for (std::size_t l = 1; l < wanted; ++l) {
    const unsigned char* p = std::max(begin + text.size() * l / wanted, cuts[count - 1]);
    while (p < end && classOf_[*p] != 0) ++p;
    if (p + 1 >= end) break;  // no boundary left
    cuts[count++] = p + 1;
  }
  cuts[count] = end;

  std::array<std::string, kLanes> spare;
  std::array<Lane, kLanes> lanes;
  for (std::size_t l = 0; l < count; ++l) {
    std::string& buf = l == 0 ? out : spare[l];
    const auto size = static_cast<std::size_t>(cuts[l + 1] - cuts[l]);
    buf.resize(size + size / 8 + kSlack);
    lanes[l] = Lane{cuts[l], cuts[l + 1], &buf, 0, 0};
  }
  switch (count) {
    case 4: RunInterleaved<4>(lanes.data()); break;
    case 3: RunInterleaved<3>(lanes.data()); break;
    case 2: RunInterleaved<2>(lanes.data()); break;
    default: break;
  }
  for (std::size_t l = 0; l < count; ++l) {
    RunInterleaved<1>(&lanes[l]);
    lanes[l].buf->resize(lanes[l].pos);
    *lanes[l].buf += FinalOutput(lanes[l].row);
  }
  for (std::size_t l = 1; l < count; ++l) {
    out += spare[l];
    std::string().swap(spare[l]);
  }
}

}  // namespace glossmith::detail
