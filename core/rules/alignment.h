#pragma once

// Where every byte of a translation came from.
//
// A translation runs a list of steps (literal_replace.h). The alignment of
// one step: each occurrence it replaces is one piece, find string ->
// replacement; every other byte is a piece of its own, byte -> the same byte.
// The alignment of a chain composes those of its steps (Compose): where a
// piece of one step and a piece of the next overlap in the text between
// them, they join into one piece, so that a piece never cuts through an
// occurrence replaced at any step ("hack" -> "h4ck" -> "hax0r" is one piece).
// A piece with an empty output sits at one point of the text between; it
// joins a piece of the next step only when that piece holds the point
// strictly inside, and stays a piece of its own otherwise.
//
// The result is an ordered list of pieces, each of at least one input byte
// and zero or more output bytes, that covers both texts: the finest
// alignment that keeps every replaced occurrence whole. It is unique, so any
// engine must give exactly the pieces of the step-by-step reference
// (reference.h).
//
// Memory: pieces are kept as codes of one byte where they are small (up to
// 8 input and 15 output bytes), runs of one-byte-for-one-byte pieces as one
// code per 128 of them, and larger pieces as an escape and two variable-length
// numbers; a mark every kMarkCodes codes lets queries start near their answer.
// At most one code byte per input byte plus one per four output bytes, and
// the marks on top (32 bytes per kMarkCodes codes): at worst 1.25 bytes per
// input byte plus 0.25 per output byte, reached only where every piece is
// small and not one byte to one byte. Appending grows the codes at most
// twofold ahead of their size; ShrinkToFit gives that back.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/rules/literal_replace.h"

namespace glossmith {

class Alignment {
 public:
  // Offsets into the input and the output, [begin, end).
  struct Piece {
    std::size_t inputBegin, inputEnd, outputBegin, outputEnd;
    bool operator==(const Piece&) const = default;
  };
  struct Range {
    std::size_t begin, end;
    bool operator==(const Range&) const = default;
  };

  // A piece of `input` bytes (at least one) and `output` bytes, after the
  // pieces so far.
  void Append(std::size_t input, std::size_t output);
  // `count` pieces of one byte to one byte.
  void AppendOneToOne(std::size_t count);
  // Pieces of inputs[k] (at least one) and outputs[k] bytes, for each k; as
  // many inputs as outputs. Appends many small pieces at the cost of a scan.
  void AppendPieces(std::span<const std::uint8_t> inputs, std::span<const std::uint8_t> outputs);
  // The code that keeps a piece of `input` (at least one) and `output` bytes
  // in one byte, or kNoCode: a piece of one byte to one byte, or a small one.
  static constexpr std::uint8_t kNoCode = 0xFF;
  static constexpr std::uint8_t CodeOf(std::size_t input, std::size_t output) {
    if (input == 1 && output == 1) return 0x00;
    if (input > 8 || output > 15) return kNoCode;
    return static_cast<std::uint8_t>(0x80 | (input - 1) << 4 | output);  // (8, 15): kNoCode
  }
  // The pieces of `codes`, each from CodeOf (not kNoCode) or a code r below
  // 0x80 for r + 1 pieces of one byte to one byte. As Append would, piece by
  // piece, at the cost of a scan: callers that know their pieces' codes
  // collect them and append in bulk.
  void AppendCodes(std::span<const std::uint8_t> codes);
  // The pieces of `other`, after these: the alignment of two texts joined is
  // that of each, one after the other, when no piece crosses the join.
  void Append(const Alignment& other);

  std::size_t PieceCount() const { return pieces_; }
  std::size_t InputSize() const { return input_; }
  std::size_t OutputSize() const { return output_; }

  // Piece `index` (< PieceCount()).
  Piece PieceAt(std::size_t index) const;
  std::vector<Piece> Pieces() const;
  // Writes pieces [first, first + count) to `pieces`, as many as there are;
  // returns how many.
  std::size_t PiecesFrom(std::size_t first, Piece* pieces, std::size_t count) const;

  // Calls visit(input, output, count) for each code: `count` consecutive
  // pieces of `input` and `output` bytes each (count > 1 only for pieces of
  // one byte to one byte), in order.
  template <typename Visit>
  void ForEachRun(Visit visit) const {
    for (std::size_t at = 0; at < codes_.size();) {
      const Code code = Decode(at);
      visit(code.input, code.output, code.count);
      at += code.size;
    }
  }

  // The smallest range of the input whose pieces cover output [begin, end),
  // and the smallest range of the output whose pieces cover input [begin,
  // end). An empty range maps to an empty one where it lies between pieces,
  // and to its piece where it lies inside one. Ranges past the end are
  // clamped to it.
  Range ToInput(std::size_t begin, std::size_t end) const;
  Range ToOutput(std::size_t begin, std::size_t end) const;

  // Heap bytes held: the codes and the marks.
  std::size_t HeapBytes() const;
  // Gives back the room kept for more pieces.
  void ShrinkToFit() {
    codes_.shrink_to_fit();
    marks_.shrink_to_fit();
  }

  bool operator==(const Alignment& other) const {
    return pieces_ == other.pieces_ && input_ == other.input_ && output_ == other.output_ &&
           Pieces() == other.Pieces();
  }

  static constexpr std::size_t kMarkCodes = 128;

 private:
  struct Code {
    std::size_t input, output, count, size;  // size: its bytes in codes_
  };
  // Where a code starts, with the pieces and bytes before it.
  struct Mark {
    std::size_t code, piece, input, output;
  };
  Code Decode(std::size_t at) const;
  void StartCode();
  // One piece as its own code (not a run).
  void PutPiece(std::size_t input, std::size_t output);
  // Walks from the last mark that `before` accepts, code by code, to the
  // first piece that `found` accepts; returns it (or the end, as an empty
  // piece past the last one).
  template <typename Before, typename Found>
  Piece Seek(Before before, Found found) const;

  std::vector<std::uint8_t> codes_;
  std::vector<Mark> marks_;
  std::size_t pieces_ = 0, input_ = 0, output_ = 0;
  std::size_t codesSinceMark_ = 0;
  bool lastIsRun_ = false;  // the last code is a run that may grow
};

// The alignment of `second` after `first`, where first's output is second's
// input: from first's input to second's output.
Alignment Compose(const Alignment& first, const Alignment& second);

// Replaces the occurrences of `find` in `text` as ReplaceAll does, writing
// the result to `out`, and returns the step's alignment.
Alignment ReplaceAllAligned(std::string_view text, std::string_view find,
                            std::string_view replacement, std::string& out);

// A text with the alignment from the input it was translated from.
struct AlignedText {
  std::string text;
  Alignment alignment;
};

// Runs `steps` one after another as RunStepByStep does, composing each
// step's alignment with those before.
AlignedText RunStepByStepAligned(std::string_view text, const Steps& steps);

}  // namespace glossmith
