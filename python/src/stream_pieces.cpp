#include "stream_pieces.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

namespace glossmith_python {

namespace {

// Pending bytes past this much are given back once the stream moves on.
constexpr std::size_t kKeepBytes = std::size_t{4} << 20;

bool Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// Bytes that start a character: all but the continuation bytes (10xxxxxx),
// counted eight at a time.
std::size_t CharacterStarts(std::string_view bytes) {
  std::size_t continuations = 0, i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + i, 8);
    continuations +=
        static_cast<std::size_t>(std::popcount(word & ~(word << 1) & 0x8080808080808080u));
  }
  for (; i < bytes.size(); ++i) continuations += Continuation(bytes[i]);
  return bytes.size() - continuations;
}

}  // namespace

void CharacterPieces::Begin(std::string_view piece) { piece_ = piece; }

char CharacterPieces::SourceByte(std::size_t at) const {
  const std::size_t offset = at - keptFrom_;
  return offset < kept_.size() ? kept_[offset] : piece_[offset - kept_.size()];
}

void CharacterPieces::AdvanceSource(std::size_t to) {
  // The part in kept_, then the part in this feed's bytes.
  const std::size_t keptEnd = keptFrom_ + kept_.size();
  if (sourceByte_ < keptEnd) {
    const std::size_t end = std::min(to, keptEnd);
    sourceChars_ +=
        CharacterStarts(std::string_view(kept_).substr(sourceByte_ - keptFrom_, end - sourceByte_));
    sourceByte_ = end;
  }
  if (sourceByte_ < to) {
    sourceChars_ += CharacterStarts(piece_.substr(sourceByte_ - keptEnd, to - sourceByte_));
    sourceByte_ = to;
  }
}

void CharacterPieces::Add(const Piece& piece) {
  if (piece[0] == piece[1] && held_) {
    (*held_)[3] = piece[3];
    return;
  }
  // The rest of a character whose piece a plain feed passed on.
  if (piece[0] == piece[1] && piece[2] == piece[3]) return;
  if (held_) ready_.push_back(*held_);
  held_ = piece;
}

void CharacterPieces::Passed(std::string_view bytes, const gls_piece* pieces, std::size_t count) {
  std::size_t targetByte = pieces[0].target_begin;  // where `bytes` start
  for (std::size_t k = 0; k < count; ++k) {
    const gls_piece& p = pieces[k];
    const std::size_t sourceStart = sourceChars_, targetStart = targetChars_;
    AdvanceSource(p.source_end);
    targetChars_ += CharacterStarts(
        bytes.substr(targetByte - pieces[0].target_begin, p.target_end - targetByte));
    targetByte = p.target_end;
    Add({sourceStart, sourceChars_, targetStart, targetChars_});
  }
}

std::vector<CharacterPieces::Piece> CharacterPieces::End(std::size_t pending, bool release) {
  const std::size_t end = FedEnd(), consumed = end - pending;
  AdvanceSource(consumed);
  // A str's pieces end at characters, so only a cut inside one leaves the
  // next piece able to join the last.
  if (held_ && (release || consumed == end || !Continuation(SourceByte(consumed)))) {
    ready_.push_back(*held_);
    held_.reset();
  }
  Keep(consumed);
  return std::exchange(ready_, {});
}

void CharacterPieces::EndPlain(std::size_t pending, std::size_t fedChars, std::size_t passedChars) {
  const std::size_t end = FedEnd(), consumed = end - pending;
  // The characters before `consumed` are all those fed but the pending ones.
  const std::size_t keptEnd = keptFrom_ + kept_.size();
  std::size_t pendingStarts = CharacterStarts(piece_.substr(std::max(consumed, keptEnd) - keptEnd));
  if (consumed < keptEnd)
    pendingStarts += CharacterStarts(std::string_view(kept_).substr(consumed - keptFrom_));
  sourceByte_ = consumed;
  sourceChars_ = fedChars - pendingStarts;
  targetChars_ = passedChars;
  // What it passed on holds the piece a held one could have joined.
  if (held_) ready_.push_back(*held_);
  held_.reset();
  Keep(consumed);
}

void CharacterPieces::Keep(std::size_t consumed) {
  // All that was fed when nothing was translated, else (the last split byte
  // being in this feed's bytes) the rest of them.
  const std::size_t keptEnd = keptFrom_ + kept_.size();
  if (consumed < keptEnd) {
    kept_.erase(0, consumed - keptFrom_);
    kept_.append(piece_);
  } else {
    kept_.assign(piece_.substr(consumed - keptEnd));
  }
  if (kept_.capacity() > kKeepBytes && kept_.size() < kKeepBytes / 2) kept_.shrink_to_fit();
  keptFrom_ = consumed;
  piece_ = {};
}

}  // namespace glossmith_python
