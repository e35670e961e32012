#pragma once

// Translator.translate_aligned and the Alignment it returns. Offsets are in
// code points for a str and in bytes for a bytes-like text; the library's
// byte offsets are converted through a bit per byte that marks where each
// character starts (an eighth of a byte per byte, plus a count per 64
// bytes), kept only for a str that is not all ASCII.

#include <glossmith/glossmith.hpp>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "text.h"
#include "translator.h"

namespace glossmith_python {

// Byte offsets of UTF-8 text to code points and back.
class CodePoints {
 public:
  // Bytes are code points (bytes-like text, or ASCII).
  explicit CodePoints(std::size_t bytes) : bytes_(bytes), count_(bytes) {}
  explicit CodePoints(std::string_view utf8);

  std::size_t Count() const { return count_; }
  bool IsBytes() const { return starts_.empty(); }
  // The byte where code point `index` starts (the end past the last).
  std::size_t ToByte(std::size_t index) const;
  // The code point that holds byte `byte` (Count() at the end).
  std::size_t Down(std::size_t byte) const;
  // The first code point that starts at `byte` or after it.
  std::size_t Up(std::size_t byte) const;

 private:
  std::size_t StartsBefore(std::size_t byte) const;  // characters starting in [0, byte)

  std::size_t bytes_, count_;
  std::vector<std::uint64_t> starts_;  // bit per byte: a character starts there
  std::vector<std::size_t> before_;    // per word: characters starting before it
};

class Alignment {
 public:
  using Range = std::pair<std::size_t, std::size_t>;
  Alignment(gls::Alignment alignment, CodePoints source, CodePoints target);

  // Pieces, counted as iteration gives them: for a str, a piece inside one
  // character (a byte of it) is part of the piece before.
  std::size_t Size() const;
  // Whether source offsets are bytes, so that no piece lies inside a character.
  bool SourceIsBytes() const { return source_.IsBytes(); }
  Range ToSource(std::size_t start, std::size_t end) const;
  Range ToTarget(std::size_t start, std::size_t end) const;
  // The library's pieces [first, first + count) as (source start, source
  // end, target start, target end) tuples, each offset the first character
  // that starts there or after.
  py::list Pieces(std::size_t first, std::size_t count) const;
  std::size_t RawSize() const { return alignment_.size(); }

 private:
  gls::Alignment alignment_;
  CodePoints source_, target_;
  mutable std::size_t size_ = ~std::size_t{0};  // counted at the first need
};

// Adds translate_aligned to Translator, and the Alignment type.
void RegisterAlignment(py::module_& module, py::class_<Translator>& translator);

}  // namespace glossmith_python
