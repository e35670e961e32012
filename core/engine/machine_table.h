#pragma once

// Inside the composed machine (chain_machine.h): one table of entries, as
// the runs read it. Only the machine's own sources include this.

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/budget.h"
#include "core/engine/machine_composition.h"
#include "core/engine/page_memory.h"

namespace glossmith::detail::machine {

// A chunk is run in up to kLanes lanes; a table keeps a row free for each.
inline constexpr std::size_t kLanes = 3;

// A wide row: a column for every byte value and the unused class 0.
inline constexpr std::size_t kWideColumns = 256 + 1;
// A machine starts wide only when its table budget holds this many wide rows.
inline constexpr std::size_t kMinWideStates = 256;

// One table entry: the output, held inline when it is short, then the head:
// the output's last two inline bytes, its length, `advance` and the next row
// (see Table::RowOf, or kUnknown). `advance` is the length plus one when the
// input byte itself follows the output (split bytes, narrow tables only). A
// long output (length kLong) is a string that `bytes` points to, and
// `advance` is then just that flag. An unknown entry has length kLong too, so
// one test sends both to the slow path. The top two bits of `advance` are
// the mark of a byte read through the entry (ChainMachine::Marks), which a
// marked run copies from the head it has loaded anyway.
//
// Threads read entries without a lock: a new entry's bytes are written first
// and its head last, in one atomic store that releases them; FastRead loads
// the head with acquire and only then reads the bytes, all within the entry.
// An entry, once known, never changes.
inline constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
inline constexpr std::uint8_t kInline = 10;
inline constexpr std::uint8_t kLong = 0xFF;
inline constexpr std::uint8_t kAdvanceBits = 0x3F;  // the rest is the mark

struct Head {
  char bytes[2];
  std::uint8_t length;
  std::uint8_t advance;
  std::uint32_t next;
};
static_assert(sizeof(Head) == sizeof(std::uint64_t));
inline constexpr std::uint64_t kUnknownHead =
    std::bit_cast<std::uint64_t>(Head{{0, 0}, kLong, 0, kUnknown});

struct alignas(16) Entry {
  char bytes[8] = {};
  std::uint64_t head = kUnknownHead;
};

inline Head Fields(std::uint64_t head) { return std::bit_cast<Head>(head); }
inline std::uint64_t LoadHead(const Entry& entry) {
  return __atomic_load_n(&entry.head, __ATOMIC_ACQUIRE);
}
// The entry's output, inline or long.
std::string_view Output(const Entry& entry, const Head& head);

// Output room. An inline entry copies kCopy bytes blindly and advances the
// output by at most kMaxAdvance, whatever entries are added later; kSlack more
// is spare. The fast path runs a block only when the lane's room holds
// RoomFor(block); the slow path reserves its own output plus that for the
// rest of the block before it writes.
inline constexpr std::size_t kCopy = sizeof(Entry);
inline constexpr std::size_t kMaxAdvance = kInline + 1;
inline constexpr std::size_t kSlack = 64;
constexpr std::size_t RoomFor(std::size_t bytes) { return bytes * kMaxAdvance + kCopy + kSlack; }
// The longest block that `room` bytes of output hold by that rule.
constexpr std::size_t BlockFor(std::size_t room) {
  return room > RoomFor(0) ? (room - RoomFor(0)) / kMaxAdvance : 0;
}

// A table starts with each byte's class times sizeof(Entry), as 16-bit
// numbers; the rows follow. Rows and class offsets are in bytes, so that the
// inner loop adds and loads, nothing else.
inline constexpr std::uint32_t kHeaderBytes = 512;
inline constexpr std::uint32_t kStartRow = kHeaderBytes;

// Reads one byte: one lookup, a blind copy of the inline output and, in a
// narrow table, the input byte behind it. False, with nothing written, when
// the entry is unknown or its output long: the caller then takes the slow
// path.
template <bool kNarrow>
inline const char* EntryAt(const char* table, std::size_t row, unsigned char c) {
  std::size_t column;
  if constexpr (kNarrow) {
    std::uint16_t offset;
    std::memcpy(&offset, table + 2 * std::size_t{c}, sizeof offset);
    column = offset;
  } else {
    column = (std::size_t{c} + 1) * sizeof(Entry);  // see Table::Make
  }
  return table + row + column;
}
// FastRead of the entry `e` for byte `c`; a marked run passes `mark`.
template <bool kNarrow>
inline bool ReadEntry(const char* e, std::size_t& row, unsigned char c, char*& o,
                      std::uint8_t* mark = nullptr) {
  const Head head = Fields(LoadHead(*reinterpret_cast<const Entry*>(e)));
  if (head.length > kInline) [[unlikely]]
    return false;
  // The whole entry, head included: its last bytes are garbage past the
  // output, which the next write covers.
  std::memcpy(o, e, kCopy);
  if constexpr (kNarrow) {
    o[head.length] = static_cast<char>(c);
    o += head.advance & kAdvanceBits;
  } else {
    o += head.length;  // a wide entry never appends the input byte
  }
  if (mark) *mark = head.advance & ~kAdvanceBits;
  row = head.next;
  return true;
}
template <bool kNarrow>
inline bool FastRead(const char* table, std::size_t& row, unsigned char c, char*& o) {
  return ReadEntry<kNarrow>(EntryAt<kNarrow>(table, row, c), row, c, o);
}

// One table: its layout (wide or narrow), its rows, and the states they
// stand for. The storage for every row it may hold is taken at once, so that
// rows never move while other threads read them; a row is written (and its
// pages touched) only when its state is added. A large table's rows lie in
// huge pages (PageMemory). Everything that adds to it runs under the
// machine's mutex.
struct Table {
  // A fresh table holding the start state, at kStartRow. A wide one has a
  // column for every byte value; a narrow one a column for each byte some
  // step looks for and one the split bytes share.
  static std::shared_ptr<Table> Make(const Composition& composition, bool wide);

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
  // The state of `tuple`, added if new.
  std::uint32_t Intern(const Tuple& tuple, Budget& budget);
  void Load(std::uint32_t state, Tuple& tuple) const;
  // Writes the entry for (row, byte): its output and the next state.
  void Publish(std::uint32_t row, unsigned char byte, std::uint32_t next, std::string_view bytes,
               bool appendInput, bool matchedFind);
  // Whether it could not take one more chunk's states, or its outputs kept
  // out of line pass their limit.
  bool NearLimits(const MachineLimits& limits) const;
  std::size_t HeldBytes() const;
};

// A lane of a chunk. Its output goes to its region of the run's scratch
// buffer and, should that fill up, on into its own spare string.
struct Lane {
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

// The lanes of the chunk being run, on the stack: a table rebuilt while one
// lane runs keeps the states of them all.
// A marked run also writes a mark for each byte of the chunk, at its offset
// from `begin`.
struct Chunk {
  std::array<Lane, kLanes> lanes;
  std::size_t count = 0;
  const unsigned char* begin = nullptr;
  std::uint8_t* marks = nullptr;
};

}  // namespace glossmith::detail::machine
