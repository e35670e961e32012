#include "core/engine/machine_table.h"

#include <algorithm>
#include <stdexcept>

#include "core/engine/chain_machine.h"

namespace glossmith::detail::machine {

std::string_view Output(const Entry& entry, const Head& head) {
  // An inline output runs on from `bytes` into the head's first two bytes.
  if (head.length <= kInline)
    return std::string_view(reinterpret_cast<const char*>(&entry), head.length);
  const std::string* kept;
  std::memcpy(&kept, entry.bytes, sizeof kept);
  return *kept;
}

std::shared_ptr<Table> Table::Make(const Composition& composition, bool wide) {
  auto table = std::make_shared<Table>();
  table->wide = wide;
  table->width = composition.MatcherCount();
  table->awayWords = composition.AwayWords();
  // Class 0 is the split bytes' shared column in a narrow table; in a wide one
  // it is unused, and keeps rows off a 4 KB stride (rows of exactly 4 KB would
  // put every state's entry for a byte in the same cache set).
  for (int b = 0; b < 256; ++b) {
    if (!wide && composition.IsSplitByte(static_cast<unsigned char>(b))) continue;
    table->classOf[b] = static_cast<std::uint16_t>(table->classCount);
    table->representative[table->classCount] = static_cast<unsigned char>(b);
    ++table->classCount;
  }
  static_assert(kWideColumns * sizeof(Entry) % 4096 != 0);
  table->rowBytes = table->classCount * static_cast<std::uint32_t>(sizeof(Entry));
  // Room for a fresh table's start state and the lanes carried over, and for
  // the entry being computed.
  constexpr std::size_t kMinRows = 2 * (kLanes + 1);
  table->capacityRows = std::max(composition.limits().maxEntries / table->classCount, kMinRows);
  table->storage = PageMemory(kHeaderBytes + table->capacityRows * table->rowBytes);
  // The class offsets head the table, so that the inner loop finds both
  // through one pointer.
  std::array<std::uint16_t, 256> offsets;
  for (int b = 0; b < 256; ++b)
    offsets[b] = static_cast<std::uint16_t>(table->classOf[b] * sizeof(Entry));
  std::memcpy(table->storage.data(), offsets.data(), sizeof offsets);
  Budget uncounted;  // the start state is every table's, not a run's work
  table->Intern(Tuple{.states = std::vector<std::uint32_t>(table->width, 0)},
                uncounted);  // at kStartRow
  return table;
}

std::uint32_t Table::Intern(const Tuple& tuple, Budget& budget) {
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

void Table::Load(std::uint32_t state, Tuple& tuple) const {
  const auto* from = tuples.data() + std::size_t{state} * width;
  tuple.states.assign(from, from + width);
  tuple.hash = hashes[state];
  std::copy_n(aways.data() + std::size_t{state} * awayWords, awayWords, tuple.away.begin());
}

void Table::Publish(std::uint32_t row, unsigned char byte, std::uint32_t next,
                    std::string_view bytes, bool appendInput, bool matchedFind) {
  Entry& entry = At(row, byte);
  using Marks = ChainMachine::Marks;
  static_assert(((Marks::kPending | Marks::kMatched) & kAdvanceBits) == 0);
  const auto mark = static_cast<std::uint8_t>((next != 0 ? Marks::kPending : 0) |
                                              (matchedFind ? Marks::kMatched : 0));
  Head head{{0, 0}, 0, 0, RowOf(next)};
  const auto append = static_cast<std::uint8_t>(appendInput ? 1 : 0);
  if (bytes.size() <= kInline) {
    head.length = static_cast<std::uint8_t>(bytes.size());
    head.advance = static_cast<std::uint8_t>((head.length + append) | mark);
    const std::size_t first = std::min(bytes.size(), sizeof entry.bytes);
    std::memcpy(entry.bytes, bytes.data(), first);
    std::memcpy(head.bytes, bytes.data() + first, bytes.size() - first);
  } else {
    head.length = kLong;
    head.advance = append | mark;
    const std::string* kept =
        longOutputs.emplace_back(std::make_unique<const std::string>(bytes)).get();
    std::memcpy(entry.bytes, &kept, sizeof kept);
    longBytes += bytes.size();
  }
  __atomic_store_n(&entry.head, std::bit_cast<std::uint64_t>(head), __ATOMIC_RELEASE);
}

bool Table::NearLimits(const MachineLimits& limits) const {
  return States() + kLanes + 1 > capacityRows || longBytes > limits.maxLongBytes ||
         finalBytes > limits.maxLongBytes;
}

std::size_t Table::HeldBytes() const {
  // Rows as far as they are written (their room is taken up front, but pages
  // untouched cost nothing); per state its tuple, hash, away bits and final
  // output; and the slots.
  return kHeaderBytes +
         States() * (rowBytes + classCount + width * sizeof(std::uint32_t) +
                     (1 + awayWords) * sizeof(std::uint64_t) + sizeof(std::string) + 1) +
         slots.size() * sizeof(std::uint32_t) + longBytes + finalBytes;
}

}  // namespace glossmith::detail::machine
