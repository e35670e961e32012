#include "core/engine/aligned_run.h"

#include <cstring>
#include <stdexcept>

#include "core/engine/chain_machine.h"

namespace glossmith::detail {

namespace {

// Stretches missed in the table may cost the reference's work for this much
// text (bytes times steps), plus their share of the phase's text.
constexpr std::size_t kFixedMissWork = std::size_t{1} << 22;
constexpr double kMissWorkPerByteStep = 1.0 / 8;

std::uint64_t KeyOf(std::string_view stretch) {
  std::uint64_t key = 0;
  std::memcpy(&key, stretch.data(), stretch.size());
  return key;
}

std::size_t SlotOf(std::uint64_t key, std::size_t length) {
  const std::uint64_t h = (key ^ (std::uint64_t{length} << 59)) * 0x9E3779B97F4A7C15u;
  return static_cast<std::size_t>(h >> 50) & ~std::size_t{1};  // the first of two ways
}

}  // namespace

void StretchAligner::Begin(std::string_view text) {
  text_ = text;
  done_ = output_ = marked_ = markedOutput_ = 0;
  gaveUp_ = false;
  budget_ = Budget(kFixedMissWork, kMissWorkPerByteStep * static_cast<double>(steps_->size()),
                   static_cast<double>(text.size()));
  alignment_ = Alignment();
}

bool StretchAligner::AtStretch(std::size_t input, std::size_t output) {
  if (gaveUp_) return false;
  AddStretch(text_.substr(done_, input - done_));
  if (gaveUp_) return false;
  done_ = input;
  if (output != kUnknownOutput && output != output_)
    throw std::logic_error("a stretch's pieces disagree with its output");
  return true;
}

void StretchAligner::Read(std::span<const std::uint8_t> marks,
                          std::span<const std::size_t> longOutputs) {
  using Marks = ChainMachine::Marks;
  const std::uint8_t* const first = marks.data();
  const std::uint8_t* const end = first + marks.size();
  const std::size_t base = marked_;
  std::size_t nextLong = 0;
  auto outputOf = [&](std::uint8_t mark) -> std::size_t {
    const std::size_t length = mark & ~Marks::kPending;
    return length == Marks::kLongOutput ? longOutputs[nextLong++] : length;
  };
  for (const std::uint8_t* at = first; at < end && !gaveUp_;) {
    if (done_ == base + static_cast<std::size_t>(at - first) && !(*at & Marks::kPending)) {
      // Read in the start state and left in it: a piece of its own each.
      const std::uint8_t* const pieces = at;
      while (at < end && *at < Marks::kLongOutput) ++at;
      if (at == pieces)
        alignment_.Append(1, outputOf(*at++));  // a long output
      else
        alignment_.AppendOneBytePieces(std::span(pieces, at));
      done_ = alignment_.InputSize();
      output_ = markedOutput_ = alignment_.OutputSize();
      continue;
    }
    // Through the stretch to the first byte back in the start state.
    while (at < end && (*at & Marks::kPending)) markedOutput_ += outputOf(*at++);
    if (at == end) break;
    markedOutput_ += outputOf(*at++);
    AtStretch(base + static_cast<std::size_t>(at - first), markedOutput_);
  }
  marked_ = base + marks.size();
}

Alignment StretchAligner::Finish() {
  if (gaveUp_) {
    Alignment rest = RunStepByStepAligned(text_.substr(done_), *steps_).alignment;
    alignment_.Append(rest);
  } else if (done_ < text_.size()) {
    AddStretch(text_.substr(done_));
    if (gaveUp_) return Finish();
  }
  done_ = text_.size();
  return std::move(alignment_);
}

void StretchAligner::AddStretch(std::string_view stretch) {
  if (stretch.size() <= 8) {
    if (small_.empty()) small_.resize(kSmallSlots);
    const std::uint64_t key = KeyOf(stretch);
    const std::size_t way = SlotOf(key, stretch.size());
    auto holds = [&](const Small& s) { return s.length == stretch.size() && s.key == key; };
    if (holds(small_[way + 1])) std::swap(small_[way], small_[way + 1]);  // the recent first
    Small& slot = small_[way];
    if (!holds(slot)) {
      small_[way + 1] = slot;
      const Pieces pieces = AlignAlone(stretch);
      if (gaveUp_) return;
      slot.key = key;
      slot.length = static_cast<std::uint8_t>(stretch.size());
      slot.count = static_cast<std::uint8_t>(pieces.size());
      for (std::size_t k = 0; k < pieces.size(); ++k) {
        slot.input[k] = static_cast<std::uint8_t>(pieces[k].first);
        slot.output[k] = pieces[k].second;
      }
    }
    for (std::size_t k = 0; k < slot.count; ++k) {
      alignment_.Append(slot.input[k], slot.output[k]);
      output_ += slot.output[k];
    }
    return;
  }
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
  std::size_t bytes = small_.capacity() * sizeof(Small);
  for (const auto& [key, pieces] : large_)
    bytes += HeapBytes(key) + pieces.capacity() * sizeof(pieces[0]) + 4 * sizeof(void*);
  return bytes;
}

}  // namespace glossmith::detail
