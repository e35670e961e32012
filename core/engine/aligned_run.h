#pragma once

// The alignment of a translation (core/rules/alignment.h) from the engine.
//
// A phase is aligned stretch by stretch. Wherever no step of the phase holds
// a pending match (a composed machine back in its start state, or right
// after a split byte), no occurrence of any step crosses the point: it is a
// boundary of the alignment, and the stretch between two such points has
// the pieces it would have were it the whole text. A stretch of one byte is
// one piece.
//
// A machine marks each byte as it runs, from its table entries (chain_
// machine.h: Marks): whether it is back in its start state after it, and
// whether a step completed a find string of several bytes there. In a
// stretch where none did, every step replaced single bytes only, so each
// byte is a piece of its own, of what the one-byte steps make of it; those
// pieces join the alignment in bulk. Only the other stretches (a word that
// holds an occurrence of several bytes) are aligned by the reference on the
// stretch alone, and kept in bounded tables by their bytes, since text
// repeats its words. When the stretches missed in those tables have cost
// more than the phase's budget, the rest of the phase is aligned by the
// reference as one text. Phases run step by step are aligned by the
// reference. The phases' alignments then compose.
//
// Memory: while a run lasts, the marks of one chunk (kChunkBytes) and a
// buffer of some 4 KB; the alignment grows to at most twice its final size
// (alignment.h) before the plan gives the spare back. Kept between runs:
// the table of small stretches (kSmallSlots of 32 bytes) and at most
// kMaxLarge stretches of up to kMaxKeptStretch bytes with their pieces.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/engine/budget.h"
#include "core/rules/alignment.h"
#include "core/rules/literal_replace.h"

namespace glossmith::detail {

// The pieces of stretches, by their bytes; one per phase of a plan.
class StretchAligner {
 public:
  // Stretches of at most this many bytes are kept in the table.
  static constexpr std::size_t kMaxKeptStretch = 64;
  // Slots of the small stretches' table, two to a cache line.
  static constexpr std::size_t kSmallSlots = 32768;

  // For the phase's `steps`, which must outlive it.
  explicit StretchAligner(const Steps& steps);

  // Starts a run over `text`.
  void Begin(std::string_view text);

  // The stretch from the last boundary to `input`, translated to `output`
  // bytes (its end in the phase's output, or kUnknownOutput when the pieces
  // alone say it). False once the budget is spent: boundaries are then
  // ignored, and Finish aligns the rest.
  static constexpr std::size_t kUnknownOutput = ~std::size_t{0};
  bool At(std::size_t input, std::size_t output) {
    if (input == done_ + 1 && output != kUnknownOutput && !gaveUp_) [[likely]] {
      // One byte: one piece, whatever the steps made of it.
      alignment_.Append(1, output - output_);
      done_ = input;
      output_ = output;
      return true;
    }
    return AtStretch(input, output);
  }

  // The marks of the text's next bytes, from a marked run of a machine
  // (ChainMachine::Marks). A stretch runs from a boundary through pending
  // bytes to the next byte back in the start state. Where no step completed
  // a find string of several bytes, each step replaced single bytes only, so
  // each byte is a piece, of its output through the one-byte steps; only the
  // other stretches are aligned by the table.
  void Read(std::span<const std::uint8_t> marks);

  // Aligns what is left up to the end of the text and gives the phase's
  // alignment.
  Alignment Finish();

  // Heap bytes held by the table between runs.
  std::size_t RetainedBytes() const;

 private:
  // A stretch of up to kSmallBytes bytes, of at most kSmallCodes pieces that
  // each have a code of one byte (Alignment::CodeOf).
  static constexpr std::size_t kSmallBytes = 16, kSmallCodes = 14;
  struct Small {
    std::array<std::uint64_t, 2> key{};  // its bytes, padded with zeros
    std::uint8_t length = 0;             // 0: a free slot
    std::uint8_t count = 0;
    std::array<std::uint8_t, kSmallCodes> codes{};
  };
  static_assert(sizeof(Small) == 32);  // as the memory above says
  // Two ways in one cache line: a lookup misses at most one.
  struct alignas(64) SmallWays {
    std::array<Small, 2> ways;
  };
  using Pieces = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
  static constexpr std::size_t kMaxLarge = 8192;

  bool AtStretch(std::size_t input, std::size_t output);
  // The small stretch's entry in the table, made if missing; null when the
  // budget is spent or its pieces do not fit one (they are appended then).
  const Small* FindSmall(std::string_view stretch);
  // The stretch [begin, end) just ended; stretchMatched_ tells its kind.
  void EndStretch(std::size_t begin, std::size_t end);
  // Bytes [begin, end), each a piece of its oneByteOutput_. These pieces, and
  // those of small stretches, wait in a buffer as codes and join the
  // alignment in bulk (Flush).
  void AppendOneByteOutputs(std::size_t begin, std::size_t end);
  void Flush();
  void AddStretch(std::string_view stretch);
  Pieces AlignAlone(std::string_view stretch);
  void AppendPieces(const Pieces& pieces);

  const Steps* steps_;
  std::string_view text_;
  // Input and output aligned so far, as of the last Flush.
  std::size_t done_ = 0;
  std::size_t output_ = 0;
  bool gaveUp_ = false;
  std::size_t marked_ = 0;        // input marked so far
  std::size_t stretchBegin_ = 0;  // of the marked stretch open
  bool inStretch_ = false;
  bool stretchMatched_ = false;  // the open stretch holds a completed find string
  // Each byte's output through the one-byte steps alone, and the code of
  // its piece (kNoCode: append it from the first).
  std::array<std::size_t, 256> oneByteOutput_{};
  std::array<std::uint8_t, 256> oneByteCode_{};
  bool oneByteOutputsAllOne_ = false;
  std::array<bool, 256> inNoFind_{};  // bytes that no step's find string holds
  static constexpr std::size_t kBuffered = 4096;
  // The codes of pieces waiting to join the alignment.
  std::array<std::uint8_t, kBuffered + kSmallBytes> buffer_;
  std::size_t buffered_ = 0;
  Budget budget_;
  Alignment alignment_;
  std::vector<SmallWays> small_;
  std::unordered_map<std::string, Pieces> large_;
};

}  // namespace glossmith::detail
