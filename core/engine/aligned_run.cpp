#include "core/engine/aligned_run.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "core/engine/chain_machine.h"

namespace glossmith::detail {

namespace {

// Stretches missed in the table may cost the reference's work for this much
// text (bytes times steps), plus their share of the phase's text.
constexpr std::size_t kFixedMissWork = std::size_t{1} << 22;
constexpr double kMissWorkPerByteStep = 1.0 / 8;

// The bytes of `stretch` (at most 16) padded with zeros; `text` holds it and
// is read 16 bytes at a time where it can be.
std::array<std::uint64_t, 2> KeyOf(std::string_view text, std::string_view stretch) {
  std::array<std::uint64_t, 2> key{};
  const std::size_t length = stretch.size();
  if (stretch.data() + 16 <= text.data() + text.size()) {
    std::memcpy(key.data(), stretch.data(), 16);
    auto mask = [](std::size_t bytes) {
      return bytes >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * bytes)) - 1;
    };
    key[0] &= mask(length);
    key[1] &= length > 8 ? mask(length - 8) : 0;
  } else {
    std::memcpy(key.data(), stretch.data(), length);
  }
  return key;
}

constexpr int kSmallShift = 64 - std::countr_zero(StretchAligner::kSmallSlots / 2);

std::size_t SlotOf(const std::array<std::uint64_t, 2>& key, std::size_t length) {
  const std::uint64_t h = (key[0] * 0x9E3779B97F4A7C15u) ^
                          ((key[1] ^ (std::uint64_t{length} << 59)) * 0xC2B2AE3D27D4EB4Fu);
  return static_cast<std::size_t>(h >> kSmallShift);  // of kSmallSlots / 2 pairs of ways
}

}  // namespace

void StretchAligner::Begin(std::string_view text) {
  text_ = text;
  done_ = output_ = marked_ = stretchBegin_ = buffered_ = 0;
  inStretch_ = false;
  gaveUp_ = false;
  budget_ = Budget(kFixedMissWork, kMissWorkPerByteStep * static_cast<double>(steps_->size()),
                   static_cast<double>(text.size()));
  alignment_ = Alignment();
}

bool StretchAligner::AtStretch(std::size_t input, std::size_t output) {
  if (gaveUp_) return false;
  // One byte that no step finds is itself: no lookup (split bytes of a batch).
  if (input == done_ + 1 && inNoFind_[static_cast<unsigned char>(text_[done_])]) {
    alignment_.AppendOneToOne(1);
    done_ = input;
    ++output_;
  } else {
    AddStretch(text_.substr(done_, input - done_));
    if (gaveUp_) return false;
    Flush();
  }
  if (output != kUnknownOutput && output != output_)
    throw std::logic_error("a stretch's pieces disagree with its output");
  return true;
}

namespace {

// Marks are read eight at a time, the first in the lowest byte; a word's
// bits `flag` of every byte say where the flag is set.
constexpr std::uint64_t EveryByte(std::uint8_t flag) { return 0x0101010101010101u * flag; }
std::uint64_t WordAt(const std::uint8_t* marks) {
  std::uint64_t word;
  std::memcpy(&word, marks, 8);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// The first mark in [from, to) with kMatched, or `to`.
std::size_t FindMatched(const std::uint8_t* marks, std::size_t from, std::size_t to) {
  constexpr std::uint64_t kEvery = EveryByte(ChainMachine::Marks::kMatched);
  for (; from + 8 <= to; from += 8)
    if (const std::uint64_t hits = WordAt(marks + from) & kEvery)
      return from + static_cast<std::size_t>(std::countr_zero(hits)) / 8;
  while (from < to && !(marks[from] & ChainMachine::Marks::kMatched)) ++from;
  return from;
}

// The first of the pending marks that end right before `at`, no earlier than
// `floor`.
std::size_t PendingFrom(const std::uint8_t* marks, std::size_t floor, std::size_t at) {
  constexpr std::uint64_t kEvery = EveryByte(ChainMachine::Marks::kPending);
  for (; at >= floor + 8; at -= 8)
    if (const std::uint64_t boundaries = ~WordAt(marks + at - 8) & kEvery)
      return at - static_cast<std::size_t>(std::countl_zero(boundaries)) / 8;
  while (at > floor && (marks[at - 1] & ChainMachine::Marks::kPending)) --at;
  return at;
}

// The first mark from `at` that is not pending; there is one before `to`.
std::size_t BoundaryFrom(const std::uint8_t* marks, std::size_t at, std::size_t to) {
  constexpr std::uint64_t kEvery = EveryByte(ChainMachine::Marks::kPending);
  for (; at + 8 <= to; at += 8)
    if (const std::uint64_t boundaries = ~WordAt(marks + at) & kEvery)
      return at + static_cast<std::size_t>(std::countr_zero(boundaries)) / 8;
  while (marks[at] & ChainMachine::Marks::kPending) ++at;
  return at;
}

}  // namespace

StretchAligner::StretchAligner(const Steps& steps) : steps_(&steps) {
  // Each byte's output through the one-byte steps, last step first: a step
  // replacing byte f gives f the outputs of its replacement's bytes. Capped,
  // for steps that spell each other out: no run outputs that much (a
  // terabyte, or a quarter of the address space where size_t is 32 bits).
  constexpr auto kCap = static_cast<std::size_t>(std::min<std::uint64_t>(
      std::uint64_t{1} << 40, std::numeric_limits<std::size_t>::max() / 4));
  std::array<std::size_t, 256> length;
  length.fill(1);
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    if (step->find.size() != 1) continue;
    std::size_t sum = 0;
    for (unsigned char c : step->replacement) sum = std::min(sum + length[c], kCap);
    length[static_cast<unsigned char>(step->find[0])] = sum;
  }
  inNoFind_.fill(true);
  for (const auto& step : steps)
    for (unsigned char c : step.find) inNoFind_[c] = false;
  oneByteOutput_ = length;
  for (std::size_t b = 0; b < 256; ++b) oneByteCode_[b] = Alignment::CodeOf(1, length[b]);
  oneByteOutputsAllOne_ =
      std::all_of(length.begin(), length.end(), [](std::size_t n) { return n == 1; });
}

void StretchAligner::Read(std::span<const std::uint8_t> marks) {
  using Marks = ChainMachine::Marks;
  const std::uint8_t* const m = marks.data();
  const std::size_t base = marked_, count = marks.size();
  marked_ += count;
  if (gaveUp_) return;
  std::size_t at = 0;
  if (inStretch_) {
    // The stretch still open at the end of the last marks.
    for (; at < count && (m[at] & Marks::kPending); ++at)
      stretchMatched_ = stretchMatched_ || (m[at] & Marks::kMatched);
    if (at == count) return;
    stretchMatched_ = stretchMatched_ || (m[at] & Marks::kMatched);
    inStretch_ = false;
    EndStretch(stretchBegin_, base + ++at);
  }
  // After the last boundary, a stretch that the next marks end.
  std::size_t tail = count;
  while (tail > at && (m[tail - 1] & Marks::kPending)) --tail;
  // Between the stretches that hold an occurrence of several bytes, every
  // byte is a piece.
  for (std::size_t hit = FindMatched(m, at, tail); hit < tail && !gaveUp_;
       hit = FindMatched(m, at, tail)) {
    const std::size_t begin = PendingFrom(m, at, hit);
    const std::size_t end = BoundaryFrom(m, hit, tail) + 1;
    AppendOneByteOutputs(base + at, base + begin);
    AddStretch(text_.substr(base + begin, end - begin));
    at = end;
  }
  if (gaveUp_) return;
  AppendOneByteOutputs(base + at, base + tail);
  if (tail < count) {
    inStretch_ = true;
    stretchBegin_ = base + tail;
    stretchMatched_ = FindMatched(m, tail, count) < count;
  }
}

void StretchAligner::EndStretch(std::size_t begin, std::size_t end) {
  if (stretchMatched_)
    AddStretch(text_.substr(begin, end - begin));
  else
    AppendOneByteOutputs(begin, end);
}

void StretchAligner::AppendOneByteOutputs(std::size_t begin, std::size_t end) {
  if (oneByteOutputsAllOne_) {  // English to L33T: one-byte steps keep lengths
    // Runs of up to 128 pieces, one code each; a long one goes on its own.
    constexpr std::size_t kRun = 128, kLong = 8 * kRun;
    std::size_t count = end - begin;
    if (count > kLong) {
      Flush();
      alignment_.AppendOneToOne(count);
      done_ = alignment_.InputSize();
      output_ = alignment_.OutputSize();
      return;
    }
    for (; count > 0; count -= std::min(count, kRun)) {
      buffer_[buffered_] = static_cast<std::uint8_t>(std::min(count, kRun) - 1);
      if (++buffered_ == kBuffered) Flush();
    }
    return;
  }
  // In locals: the buffer's stores could alias the members.
  const auto* const text = reinterpret_cast<const unsigned char*>(text_.data());
  std::uint8_t* const buffer = buffer_.data();
  std::size_t buffered = buffered_;
  for (std::size_t k = begin; k < end; ++k) {
    const std::uint8_t code = oneByteCode_[text[k]];
    if (code == Alignment::kNoCode) [[unlikely]] {
      buffered_ = buffered;
      Flush();
      alignment_.Append(1, oneByteOutput_[text[k]]);
      buffered = 0;
      continue;
    }
    buffer[buffered] = code;
    if (++buffered == kBuffered) {
      buffered_ = buffered;
      Flush();
      buffered = 0;
    }
  }
  buffered_ = buffered;
}

void StretchAligner::Flush() {
  alignment_.AppendCodes(std::span(buffer_.data(), buffered_));
  buffered_ = 0;
  done_ = alignment_.InputSize();
  output_ = alignment_.OutputSize();
}

Alignment StretchAligner::Finish() {
  Flush();
  if (gaveUp_) {
    Alignment rest = RunStepByStepAligned(text_.substr(done_), *steps_).alignment;
    alignment_.Append(rest);
  } else if (done_ < text_.size()) {
    AddStretch(text_.substr(done_));
    if (gaveUp_) return Finish();
    Flush();
  }
  done_ = text_.size();
  return std::move(alignment_);
}

void StretchAligner::AddStretch(std::string_view stretch) {
  if (stretch.size() <= kSmallBytes) {
    if (const Small* small = FindSmall(stretch)) {
      if (buffered_ + kSmallCodes > kBuffered) Flush();
      std::memcpy(buffer_.data() + buffered_, small->codes.data(), kSmallCodes);
      buffered_ += small->count;
    }
    return;
  }
  Flush();
  if (stretch.size() > kMaxKeptStretch) {
    budget_.Charge(stretch.size() * (steps_->size() + 1));
    if (budget_.Exhausted()) {
      gaveUp_ = true;
      return;
    }
    const Alignment alone = RunStepByStepAligned(stretch, *steps_).alignment;
    alignment_.Append(alone);
    output_ += alone.OutputSize();
    return;
  }
  const std::string key(stretch);
  if (auto found = large_.find(key); found != large_.end()) {
    AppendPieces(found->second);
    return;
  }
  Pieces pieces = AlignAlone(stretch);
  if (gaveUp_) return;
  AppendPieces(pieces);
  if (large_.size() >= kMaxLarge) large_.clear();
  large_.emplace(key, std::move(pieces));
}

const StretchAligner::Small* StretchAligner::FindSmall(std::string_view stretch) {
  if (small_.empty()) small_.resize(kSmallSlots / 2);
  const auto key = KeyOf(text_, stretch);
  std::array<Small, 2>& ways = small_[SlotOf(key, stretch.size())].ways;
  // Compared word by word: std::array's == may call memcmp.
  for (const Small& s : ways)
    if (s.length == stretch.size() && s.key[0] == key[0] && s.key[1] == key[1]) return &s;
  const Pieces pieces = AlignAlone(stretch);
  if (gaveUp_ || pieces.size() > kSmallCodes || std::any_of(pieces.begin(), pieces.end(), [](const auto& p) {
        return Alignment::CodeOf(p.first, p.second) == Alignment::kNoCode;
      })) {
    if (!gaveUp_) {
      Flush();
      AppendPieces(pieces);
    }
    return nullptr;
  }
  // The newest in the first way, the one it replaces in the second.
  ways[1] = ways[0];
  Small& slot = ways[0];
  slot.key = key;
  slot.length = static_cast<std::uint8_t>(stretch.size());
  slot.count = static_cast<std::uint8_t>(pieces.size());
  for (std::size_t k = 0; k < pieces.size(); ++k)
    slot.codes[k] = Alignment::CodeOf(pieces[k].first, pieces[k].second);
  return &slot;
}

StretchAligner::Pieces StretchAligner::AlignAlone(std::string_view stretch) {
  budget_.Charge(stretch.size() * (steps_->size() + 1));
  if (budget_.Exhausted()) {
    gaveUp_ = true;
    return {};
  }
  Pieces pieces;
  const AlignedText aligned = RunStepByStepAligned(stretch, *steps_);
  aligned.alignment.ForEachRun([&](std::size_t input, std::size_t output, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k)
      pieces.emplace_back(static_cast<std::uint32_t>(input), static_cast<std::uint32_t>(output));
  });
  return pieces;
}

void StretchAligner::AppendPieces(const Pieces& pieces) {
  for (const auto& [input, output] : pieces) {
    alignment_.Append(input, output);
    output_ += output;
  }
}

std::size_t StretchAligner::RetainedBytes() const {
  std::size_t bytes = small_.capacity() * sizeof(SmallWays);
  for (const auto& [key, pieces] : large_)
    bytes += HeapBytes(key) + pieces.capacity() * sizeof(pieces[0]) + 4 * sizeof(void*);
  return bytes;
}

}  // namespace glossmith::detail
