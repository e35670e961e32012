#pragma once

// Translators and streams as Python sees them. A Translator is immutable and
// may be used from any number of threads at once; long texts and batches are
// translated with the GIL released.

#include <glossmith/glossmith.hpp>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "rules.h"
#include "stream_pieces.h"
#include "text.h"

namespace glossmith_python {

class Translator {
 public:
  // `hardcore` None: the rules' stored switch decides.
  Translator(const Rules& rules, bool toEnglish, std::optional<bool> hardcore);

  py::object Translate(py::handle text) const;
  py::list TranslateMany(py::handle texts, const py::object& jobs) const;
  std::size_t SplitPoint(py::handle text) const;
  py::bytes SplitBytes() const;
  std::string Digest() const;
  bool Hardcore() const { return translator_.Hardcore(); }
  bool ToEnglish() const { return toEnglish_; }
  std::optional<bool> RequestedHardcore() const { return requestedHardcore_; }

  // (1, rules recipe, to_english, hardcore or None)
  py::tuple State() const;
  static std::unique_ptr<Translator> FromState(const py::tuple& state);

  const gls::Translator& engine() const { return translator_; }

 private:
  py::object TranslateLong(const TextArg& text) const;
  // A guess at the length of the translation of `size` bytes, from the last
  // long text, so that a long translation seldom outgrows its result.
  std::size_t Estimate(std::size_t size) const;
  void Learn(std::size_t size, std::size_t translated) const;

  gls::Translator translator_;
  std::shared_ptr<const RulesRecipe> recipe_;
  bool toEnglish_;
  std::optional<bool> requestedHardcore_;
  mutable std::atomic<std::size_t> sixteenths_;  // output bytes per 16 input bytes
};

// A text fed in pieces. Joined, what feed() and finish() return equals the
// translation of the joined pieces. A str stream never returns part of a
// character: bytes of a character cut at the end of a piece wait for the rest.
// The aligned calls return the pieces of what they pass on too, which,
// joined, are those of translate_aligned() on the whole text.
class Stream {
 public:
  // `owner` is the Python object of `translator`, kept alive with the stream.
  Stream(py::object owner, const Translator& translator);
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  py::object Feed(py::handle piece);
  py::object Finish();
  // (translation, [(source start, source end, target start, target end), ...])
  py::tuple FeedAligned(py::handle piece);
  py::tuple FinishAligned();
  std::size_t Pending() const;

 private:
  // The piece, once it is known to suit this stream and the stream is free.
  TextArg Accept(py::handle object);
  // Runs `body`, with the GIL released for a long piece.
  template <typename Body>
  void Run(const TextArg& piece, Body body);
  py::object Emit(std::string& translated, bool last);
  bool IsStr() const { return kind_.value_or(Kind::kStr) == Kind::kStr; }

  py::object translator_;  // keeps the translator alive as long as the stream
  gls::Stream stream_;
  std::optional<Kind> kind_;  // set by the first piece
  std::string carry_;         // a str stream's unfinished character
  CharacterPieces characters_;  // a str stream's offsets
  std::size_t fedChars_ = 0;     // characters fed to a str stream
  std::size_t returnedChars_ = 0;  // characters a str stream returned
  bool busy_ = false;         // a feed is running with the GIL released
};

}  // namespace glossmith_python
