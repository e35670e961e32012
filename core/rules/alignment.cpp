#include "core/rules/alignment.h"

#include <algorithm>
#include <array>
#include <bit>
#include <utility>

namespace glossmith {

namespace {

// Codes: 0x00-0x7F a run of (code + 1) pieces of one byte to one byte;
// 0x80-0xFE a piece of ((code >> 4 & 7) + 1) input and (code & 15) output
// bytes; 0xFF an escape, then the input and output lengths as LEB128 numbers.
constexpr std::uint8_t kEscape = 0xFF;
constexpr std::size_t kMaxRun = 128;

void PutNumber(std::vector<std::uint8_t>& codes, std::size_t n) {
  while (n >= 0x80) {
    codes.push_back(static_cast<std::uint8_t>(n | 0x80));
    n >>= 7;
  }
  codes.push_back(static_cast<std::uint8_t>(n));
}

std::size_t GetNumber(const std::vector<std::uint8_t>& codes, std::size_t& at) {
  std::size_t n = 0;
  for (int shift = 0;; shift += 7) {
    const std::uint8_t b = codes[at++];
    n |= std::size_t{b & 0x7Fu} << shift;
    if (b < 0x80) return n;
  }
}

// Reads an alignment piece by piece, a run one piece at a time.
class PieceReader {
 public:
  explicit PieceReader(const Alignment& alignment) {
    alignment.ForEachRun([&](std::size_t input, std::size_t output, std::size_t count) {
      runs_.push_back({input, output, count});
    });
  }
  bool Done() const { return run_ == runs_.size(); }
  // The current piece's lengths.
  std::size_t Input() const { return runs_[run_].input; }
  std::size_t Output() const { return runs_[run_].output; }
  // How many pieces of one byte to one byte follow from here, this one included.
  std::size_t OnesLeft() const {
    return runs_[run_].input == 1 && runs_[run_].output == 1 ? runs_[run_].count - taken_ : 0;
  }
  void Skip(std::size_t pieces) {
    taken_ += pieces;
    if (taken_ == runs_[run_].count) {
      ++run_;
      taken_ = 0;
    }
  }

 private:
  struct Run {
    std::size_t input, output, count;
  };
  std::vector<Run> runs_;
  std::size_t run_ = 0, taken_ = 0;
};

}  // namespace

void Alignment::StartCode() {
  if (codesSinceMark_ == 0) marks_.push_back({codes_.size(), pieces_, input_, output_});
  if (++codesSinceMark_ == kMarkCodes) codesSinceMark_ = 0;
}

void Alignment::Append(std::size_t input, std::size_t output) {
  if (input == 1 && output == 1)
    AppendOneToOne(1);
  else
    PutPiece(input, output);
}

void Alignment::PutPiece(std::size_t input, std::size_t output) {
  StartCode();
  lastIsRun_ = false;
  if (const std::uint8_t code = CodeOf(input, output); code != kNoCode) {
    codes_.push_back(code);  // never a run: pieces of one byte to one byte do not come here
  } else {
    codes_.push_back(kEscape);
    PutNumber(codes_, input);
    PutNumber(codes_, output);
  }
  ++pieces_;
  input_ += input;
  output_ += output;
}

void Alignment::AppendOneToOne(std::size_t count) {
  auto add = [&](std::size_t n) {
    pieces_ += n;
    input_ += n;
    output_ += n;
    count -= n;
  };
  if (lastIsRun_ && count > 0) {
    std::uint8_t& last = codes_.back();
    const std::size_t taken = std::min(kMaxRun - (last + std::size_t{1}), count);
    last = static_cast<std::uint8_t>(last + taken);
    add(taken);
  }
  while (count > 0) {
    StartCode();  // marks the totals before the code
    const std::size_t run = std::min(count, kMaxRun);
    codes_.push_back(static_cast<std::uint8_t>(run - 1));
    lastIsRun_ = true;
    add(run);
  }
}

void Alignment::AppendPieces(std::span<const std::uint8_t> inputs,
                             std::span<const std::uint8_t> outputs) {
  // A code per piece at most; grown geometrically, since callers append a
  // few thousand at a time.
  const std::size_t count = std::min(inputs.size(), outputs.size());
  if (codes_.capacity() - codes_.size() < count)
    codes_.reserve(std::max(codes_.size() + count, codes_.capacity() * 2));
  for (std::size_t k = 0; k < count;) {
    const std::size_t ones = k;
    while (k < count && inputs[k] == 1 && outputs[k] == 1) ++k;
    if (k != ones) AppendOneToOne(k - ones);
    for (; k < count && (inputs[k] != 1 || outputs[k] != 1); ++k) PutPiece(inputs[k], outputs[k]);
  }
}

namespace {

// What each code of AppendCodes stands for: its pieces and their bytes.
struct CodeSizes {
  std::array<std::uint8_t, 256> count{}, input{}, output{};
};
constexpr CodeSizes kCodeSizes = [] {
  CodeSizes sizes;
  for (std::size_t code = 0; code < 256; ++code) {
    const bool run = code < 0x80;
    sizes.count[code] = static_cast<std::uint8_t>(run ? code + 1 : 1);
    sizes.input[code] = static_cast<std::uint8_t>(run ? code + 1 : (code >> 4 & 7u) + 1);
    sizes.output[code] = static_cast<std::uint8_t>(run ? code + 1 : code & 15u);
  }
  return sizes;
}();

}  // namespace

void Alignment::AppendCodes(std::span<const std::uint8_t> codes) {
  // Codes come in no order a processor could guess, so each is taken
  // without a branch on its kind: it is written after the last code, and
  // the end moves past it unless it joined a run before it.
  static_assert(std::has_single_bit(kMarkCodes));
  const std::size_t before = codes_.size();
  if (codes_.capacity() - before < codes.size())
    codes_.reserve(std::max(before + codes.size(), codes_.capacity() * 2));
  codes_.resize(before + codes.size());
  // In locals: the codes' stores could alias the members.
  std::uint8_t* const coded = codes_.data();
  std::size_t at = before, pieces = pieces_, input = input_, output = output_;
  std::size_t sinceMark = codesSinceMark_;
  bool lastIsRun = lastIsRun_;
  std::size_t last = lastIsRun ? coded[at - 1] : 0;  // the last code, while it is a run
  for (const std::uint8_t code : codes) {
    const std::size_t count = kCodeSizes.count[code];
    const bool isRun = code < 0x80;
    // A run joins the run before it where their sum fits one code.
    const bool joins = lastIsRun & isRun & (last + count < kMaxRun);
    if (!joins & (sinceMark == 0)) marks_.push_back({at, pieces, input, output});
    sinceMark = (sinceMark + !joins) & (kMarkCodes - 1);
    last = joins ? last + count : code;
    at += !joins;
    coded[at - 1] = static_cast<std::uint8_t>(last);
    lastIsRun = isRun;
    pieces += count;
    input += kCodeSizes.input[code];
    output += kCodeSizes.output[code];
  }
  codes_.resize(at);
  pieces_ = pieces;
  input_ = input;
  output_ = output;
  codesSinceMark_ = sinceMark;
  lastIsRun_ = lastIsRun;
}

void Alignment::Append(const Alignment& other) {
  other.ForEachRun([&](std::size_t input, std::size_t output, std::size_t count) {
    if (input == 1 && output == 1)
      AppendOneToOne(count);
    else
      Append(input, output);
  });
}

Alignment::Code Alignment::Decode(std::size_t at) const {
  const std::uint8_t code = codes_[at];
  if (code < 0x80) return {1, 1, code + std::size_t{1}, 1};
  if (code != kEscape) return {(code >> 4 & 7u) + std::size_t{1}, code & 15u, 1, 1};
  std::size_t next = at + 1;
  const std::size_t input = GetNumber(codes_, next);
  const std::size_t output = GetNumber(codes_, next);
  return {input, output, 1, next - at};
}

template <typename Before, typename Found>
Alignment::Piece Alignment::Seek(Before before, Found found) const {
  // The last mark before the answer; marks are in the order of every field.
  auto mark = std::partition_point(marks_.begin(), marks_.end(), before);
  if (mark != marks_.begin()) --mark;
  if (mark == marks_.end()) return {input_, input_, output_, output_};
  std::size_t piece = mark->piece, input = mark->input, output = mark->output;
  for (std::size_t at = mark->code; at < codes_.size();) {
    const Code code = Decode(at);
    for (std::size_t k = 0; k < code.count;) {
      Piece p{input, input + code.input, output, output + code.output};
      if (found(piece, p)) return p;
      // Inside a run, jump to the answer: every piece there is one byte.
      const std::size_t rest = code.count - k;
      std::size_t skip = 1;
      if (code.count > 1) {
        // The first piece of the run that `found` accepts; none: past it.
        std::size_t lo = 1, hi = rest;
        while (lo < hi) {
          const std::size_t mid = lo + (hi - lo) / 2;
          const Piece q{input + mid, input + mid + 1, output + mid, output + mid + 1};
          if (found(piece + mid, q))
            hi = mid;
          else
            lo = mid + 1;
        }
        skip = lo;
      }
      k += skip;
      piece += skip;
      input += skip * code.input;
      output += skip * code.output;
    }
    at += code.size;
  }
  return {input_, input_, output_, output_};
}

Alignment::Piece Alignment::PieceAt(std::size_t index) const {
  return Seek([&](const Mark& m) { return m.piece <= index; },
              [&](std::size_t piece, const Piece&) { return piece >= index; });
}

std::size_t Alignment::PiecesFrom(std::size_t first, Piece* pieces, std::size_t count) const {
  if (first >= pieces_ || count == 0) return 0;
  auto mark = std::partition_point(marks_.begin(), marks_.end(),
                                   [&](const Mark& m) { return m.piece <= first; });
  --mark;  // the first mark is at piece 0
  std::size_t piece = mark->piece, input = mark->input, output = mark->output, written = 0;
  for (std::size_t at = mark->code; at < codes_.size() && written < count;) {
    const Code code = Decode(at);
    at += code.size;
    std::size_t k = 0;
    if (piece + code.count <= first) {
      k = code.count;  // wholly before the first wanted
    } else if (piece < first) {
      k = first - piece;
    }
    piece += k;
    input += k * code.input;
    output += k * code.output;
    for (; k < code.count && written < count; ++k, ++piece) {
      pieces[written++] = {input, input + code.input, output, output + code.output};
      input += code.input;
      output += code.output;
    }
  }
  return written;
}

std::vector<Alignment::Piece> Alignment::Pieces() const {
  std::vector<Piece> pieces;
  pieces.reserve(pieces_);
  std::size_t input = 0, output = 0;
  ForEachRun([&](std::size_t in, std::size_t out, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
      pieces.push_back({input, input + in, output, output + out});
      input += in;
      output += out;
    }
  });
  return pieces;
}

Alignment::Range Alignment::ToOutput(std::size_t begin, std::size_t end) const {
  begin = std::min(begin, input_);
  end = std::clamp(end, begin, input_);
  if (begin == input_) return {output_, output_};
  // The piece holding input byte `begin`, and the one holding `end - 1`.
  auto holding = [&](std::size_t at) {
    return Seek([&](const Mark& m) { return m.input <= at; },
                [&](std::size_t, const Piece& p) { return p.inputEnd > at; });
  };
  const Piece first = holding(begin);
  if (begin == end)
    return first.inputBegin == begin ? Range{first.outputBegin, first.outputBegin}
                                     : Range{first.outputBegin, first.outputEnd};
  const Piece last = holding(end - 1);
  return {first.outputBegin, last.outputEnd};
}

Alignment::Range Alignment::ToInput(std::size_t begin, std::size_t end) const {
  begin = std::min(begin, output_);
  end = std::clamp(end, begin, output_);
  // The first piece whose output passes `at` (pieces without output before it
  // are not needed to cover it).
  auto holding = [&](std::size_t at) {
    return Seek([&](const Mark& m) { return m.output <= at; },
                [&](std::size_t, const Piece& p) { return p.outputEnd > at; });
  };
  if (begin == end) {
    // Between pieces: before any piece without output that sits there.
    const Piece at = Seek([&](const Mark& m) { return m.output < begin || m.piece == 0; },
                          [&](std::size_t, const Piece& p) { return p.outputEnd >= begin; });
    if (at.outputBegin < begin && begin < at.outputEnd) return {at.inputBegin, at.inputEnd};
    return at.outputEnd == begin && at.outputBegin < begin ? Range{at.inputEnd, at.inputEnd}
                                                           : Range{at.inputBegin, at.inputBegin};
  }
  const Piece first = holding(begin);
  const Piece last = holding(end - 1);
  return {first.inputBegin, last.inputEnd};
}

std::size_t Alignment::HeapBytes() const {
  return codes_.capacity() + marks_.capacity() * sizeof(Mark);
}

Alignment Compose(const Alignment& first, const Alignment& second) {
  // Sweep both lists of pieces along the text between them: a piece of the
  // result opens with a piece of `first` and takes every piece of either
  // that reaches into it. `reach` is where in the middle text it ends so far.
  Alignment result;
  PieceReader a(first), b(second);
  std::size_t middleA = 0, middleB = 0;  // where the next piece of each starts
  while (!a.Done()) {
    // Where both go on one byte to one byte from the same place, so does the
    // result.
    if (middleA == middleB) {
      if (const std::size_t ones = std::min(a.OnesLeft(), b.Done() ? 0 : b.OnesLeft()); ones > 0) {
        result.AppendOneToOne(ones);
        a.Skip(ones);
        b.Skip(ones);
        middleA += ones;
        middleB += ones;
        continue;
      }
    }
    std::size_t input = a.Input(), output = 0;
    std::size_t reach = middleA + a.Output();
    middleA = reach;
    a.Skip(1);
    for (;;) {
      while (!b.Done() && middleB < reach) {
        output += b.Output();
        reach = std::max(reach, middleB + b.Input());
        middleB += b.Input();
        b.Skip(1);
      }
      // A piece of `first` joins when it starts inside what the result
      // holds: a piece without output then sits strictly inside one of
      // `second`.
      if (a.Done() || middleA >= reach) break;
      input += a.Input();
      reach = std::max(reach, middleA + a.Output());
      middleA += a.Output();
      a.Skip(1);
    }
    result.Append(input, output);
  }
  return result;
}

Alignment ReplaceAllAligned(std::string_view text, std::string_view find,
                            std::string_view replacement, std::string& out) {
  out.clear();
  Alignment alignment;
  std::size_t done = 0;
  if (!find.empty()) {
    for (std::size_t hit = text.find(find); hit != std::string_view::npos;
         hit = text.find(find, done)) {
      alignment.AppendOneToOne(hit - done);
      out.append(text, done, hit - done);
      alignment.Append(find.size(), replacement.size());
      out.append(replacement);
      done = hit + find.size();
    }
  }
  alignment.AppendOneToOne(text.size() - done);
  out.append(text, done);
  return alignment;
}

AlignedText RunStepByStepAligned(std::string_view text, const Steps& steps) {
  AlignedText result{std::string(text), {}};
  result.alignment.AppendOneToOne(text.size());
  std::string next;
  for (const auto& [find, replacement] : steps) {
    // A step that finds nothing aligns every byte with itself.
    if (find.empty() || result.text.find(find) == std::string::npos) continue;
    const Alignment step = ReplaceAllAligned(result.text, find, replacement, next);
    result.alignment = Compose(result.alignment, step);
    result.text.swap(next);
  }
  return result;
}

}  // namespace glossmith
