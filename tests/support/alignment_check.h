#pragma once

// Checks of an alignment against its two texts and against the plain
// meaning of its queries. Plain C++ (no GoogleTest), so that the fuzzer can
// use it too.

#include <string>
#include <string_view>
#include <vector>

#include "core/rules/alignment.h"

namespace glossmith::testing_support {

// The pieces as "input>output", joined by "|".
inline std::string Spelled(std::string_view input, const AlignedText& aligned) {
  std::string spelled;
  for (const Alignment::Piece& p : aligned.alignment.Pieces()) {
    if (!spelled.empty()) spelled += '|';
    spelled.append(input.substr(p.inputBegin, p.inputEnd - p.inputBegin));
    spelled += '>';
    spelled.append(std::string_view(aligned.text).substr(p.outputBegin, p.outputEnd - p.outputBegin));
  }
  return spelled;
}

// "" when the pieces follow each other from the start to the end of both
// texts, each with at least one input byte; otherwise what is wrong.
inline std::string CheckCovers(std::string_view input, const AlignedText& aligned) {
  std::size_t in = 0, out = 0;
  for (const Alignment::Piece& p : aligned.alignment.Pieces()) {
    if (p.inputBegin != in || p.outputBegin != out) return "a gap or an overlap";
    if (p.inputEnd <= p.inputBegin) return "a piece without input";
    if (p.outputEnd < p.outputBegin) return "a piece that ends before it starts";
    in = p.inputEnd;
    out = p.outputEnd;
  }
  if (in != input.size()) return "the input is not covered";
  if (out != aligned.text.size()) return "the output is not covered";
  if (aligned.alignment.InputSize() != in || aligned.alignment.OutputSize() != out)
    return "the sizes do not add up";
  return "";
}

// The queries of Alignment, straight from their meaning, over a plain list.
inline Alignment::Range PlainToOutput(const std::vector<Alignment::Piece>& pieces,
                                      std::size_t begin, std::size_t end) {
  const std::size_t inputSize = pieces.empty() ? 0 : pieces.back().inputEnd;
  const std::size_t outputSize = pieces.empty() ? 0 : pieces.back().outputEnd;
  begin = std::min(begin, inputSize);
  end = std::min(std::max(end, begin), inputSize);
  if (begin == end) {
    for (const Alignment::Piece& p : pieces) {
      if (p.inputBegin < begin && begin < p.inputEnd) return {p.outputBegin, p.outputEnd};
      if (p.inputBegin == begin) return {p.outputBegin, p.outputBegin};
    }
    return {outputSize, outputSize};
  }
  Alignment::Range range{outputSize, 0};
  for (const Alignment::Piece& p : pieces)
    if (p.inputBegin < end && p.inputEnd > begin) {
      range.begin = std::min(range.begin, p.outputBegin);
      range.end = std::max(range.end, p.outputEnd);
    }
  return range;
}

inline Alignment::Range PlainToInput(const std::vector<Alignment::Piece>& pieces,
                                     std::size_t begin, std::size_t end) {
  const std::size_t inputSize = pieces.empty() ? 0 : pieces.back().inputEnd;
  const std::size_t outputSize = pieces.empty() ? 0 : pieces.back().outputEnd;
  begin = std::min(begin, outputSize);
  end = std::min(std::max(end, begin), outputSize);
  if (begin == end) {
    for (const Alignment::Piece& p : pieces) {
      if (p.outputBegin < begin && begin < p.outputEnd) return {p.inputBegin, p.inputEnd};
      if (p.outputBegin >= begin) return {p.inputBegin, p.inputBegin};
    }
    return {inputSize, inputSize};
  }
  Alignment::Range range{inputSize, 0};
  for (const Alignment::Piece& p : pieces)
    if (p.outputBegin < end && p.outputEnd > begin) {
      range.begin = std::min(range.begin, p.inputBegin);
      range.end = std::max(range.end, p.inputEnd);
    }
  return range;
}

}  // namespace glossmith::testing_support
