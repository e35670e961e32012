#pragma once

// A str stream's pieces in characters. The library gives a stream's pieces
// in bytes from the start of the whole text; a str counts characters, and a
// piece whose source lies inside one character (the library may cut between
// the bytes of one) belongs to the piece before, as Alignment's iteration
// has it. So the last piece waits until what follows shows it whole.
//
// The source bytes between the last piece and the end of what was fed (the
// library's pending bytes) are kept, to count their characters when their
// pieces come.

#include <glossmith/glossmith.hpp>

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glossmith_python {

class CharacterPieces {
 public:
  // (source start, source end, target start, target end)
  using Piece = std::array<std::size_t, 4>;

  // A feed of `piece` begins: the library's next pieces run through the
  // bytes kept from before, then these.
  void Begin(std::string_view piece);
  // The library passed on `bytes` with the pieces that cover them.
  void Passed(std::string_view bytes, const gls_piece* pieces, std::size_t count);
  // The feed ended with `pending` bytes not translated. Returns the pieces
  // now final: all of them when `release`, else all but a last one that a
  // piece to come may still join.
  std::vector<Piece> End(std::size_t pending, bool release);
  // A plain feed, which gave no pieces, ended with `pending` bytes not
  // translated, `fedChars` characters fed in all and `passedChars` passed on
  // (a character cut at the end counted): the counts the pieces to come
  // start from, found without reading what was translated.
  void EndPlain(std::size_t pending, std::size_t fedChars, std::size_t passedChars);

 private:
  std::size_t FedEnd() const { return keptFrom_ + kept_.size() + piece_.size(); }
  char SourceByte(std::size_t at) const;
  // Moves the source cursor to byte `to`, counting the characters on the way.
  void AdvanceSource(std::size_t to);
  void Add(const Piece& piece);
  // Keeps the bytes from `consumed` on, for the next feed.
  void Keep(std::size_t consumed);

  std::string kept_;          // source bytes from keptFrom_ on, fed before this feed
  std::size_t keptFrom_ = 0;  // where kept_ starts in the whole text
  std::string_view piece_;    // this feed's bytes, after kept_
  std::size_t sourceByte_ = 0, sourceChars_ = 0;  // the source cursor
  std::size_t targetChars_ = 0;                   // characters passed on
  std::optional<Piece> held_;  // the last piece, which the next may join
  std::vector<Piece> ready_;
};

}  // namespace glossmith_python
