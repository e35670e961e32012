#pragma once

// Where a stretch of one pane lies in the other: the alignment of a
// translation (core/rules/alignment.h), which counts bytes of the program's
// form, carried over to the units of the panes.

#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/rules/alignment.h"

namespace glossmith::ui::detail {

// Offsets of one text in bytes of its program form (UTF-8, CR LF line
// breaks) and in units of the platform form that platformFromProgramText
// decodes it to (`textStart`: whether the text starts the pane).
class UnitBytes {
 public:
  enum class Round { kDown, kUp };

  UnitBytes(std::string_view program, bool textStart) : program_(program), textStart_(textStart) {}

  // The units decoded from the bytes before `byte`, moved first to the start
  // (kDown) or the end (kUp) of the character or line break that holds it.
  int unitsBefore(std::size_t byte, Round round) const;
  // The first byte before which `unit` units are decoded (the size when
  // there are fewer).
  std::size_t byteOf(int unit) const;

 private:
  std::size_t snap(std::size_t byte, Round round) const;

  std::string_view program_;
  bool textStart_;
};

// A stretch of units, [begin, end).
struct UnitRange {
  int begin = 0;
  int end = 0;
  bool operator==(const UnitRange&) const = default;
};

// A piece of a pane and its translation in the program's form, with their
// alignment: source bytes are the alignment's input, target bytes its output.
struct AlignedPiece {
  std::string source;
  std::string target;
  Alignment alignment;
  bool targetStart = true;  // the translation starts the other pane
};

// Where units [begin, end) of the source (`fromSource`) or of the target lie
// on the other side: the smallest range whose pieces cover them. Pieces never
// cross the ends of a pane's split pieces, so the start of a range may be
// looked up in one aligned text and its end in another: `otherStart` gives
// the first unit of the other side's range for a range that starts at
// `begin`, and `otherEnd` the end for one that ends at `end`.
int otherStart(const AlignedPiece& text, bool fromSource, int begin);
int otherEnd(const AlignedPiece& text, bool fromSource, int end);

// The program form of units in the platform's form ("\n" line breaks).
std::string programFromPlatformText(const QString& units);

}  // namespace glossmith::ui::detail
