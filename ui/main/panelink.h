#pragma once

#include <QObject>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "core/engine/engine.h"
#include "counterpart.h"
#include "panetext.h"

class QPlainTextEdit;
class QTextDocument;
class QWidget;

namespace glossmith {
class Settings;
}

namespace glossmith::ui {

namespace detail {

// One piece of the source pane and its translation in the target pane, as
// lengths in document units (UTF-16 units, one per line break).
struct Piece {
  int source = 0;
  int target = 0;
  bool operator==(const Piece&) const = default;
};

// The pieces of the source pane in order, with where each starts in both
// panes. Replacing pieces shifts the starts of those after them: a flat copy
// of two integers per piece, which at some thousands of pieces costs a few
// microseconds.
class PieceTable {
 public:
  PieceTable() { assign({}); }
  void assign(const std::vector<Piece>& pieces);

  int count() const { return static_cast<int>(sourceStarts_.size()) - 1; }
  // Piece `i`'s starts; `count()` gives the lengths of the panes.
  int sourceStart(int i) const { return sourceStarts_[static_cast<size_t>(i)]; }
  int targetStart(int i) const { return targetStarts_[static_cast<size_t>(i)]; }
  int sourceLength() const { return sourceStarts_.back(); }
  int targetLength() const { return targetStarts_.back(); }

  // The last piece that starts at or before `position` in the source pane
  // (0 when there is none), and the same in the target pane.
  int pieceAt(int position) const;
  int targetPieceAt(int position) const;
  // The first piece that starts after `position`, or count().
  int pieceAfter(int position) const;

  // Replaces pieces [first, last) with `pieces`.
  void replace(int first, int last, const std::vector<Piece>& pieces);

 private:
  std::vector<int> sourceStarts_;
  std::vector<int> targetStarts_;
};

}  // namespace detail

// The wait cursor while a large text is worked on, from construction to
// destruction; `shown`, if given, is painted first, so that it shows its new
// text meanwhile.
class BusyCursor {
 public:
  // Texts from this many units (or bytes) on count as large.
  static constexpr int kLarge = 1 << 22;
  BusyCursor(bool busy, QWidget* shown = nullptr);
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  bool busy_;
};

// Keeps the target pane equal to the translation of the source pane, and
// translates only what a change of the source touches.
//
// The source pane's text is kept as pieces cut right after a split byte
// (Translator::IsSplitByte): such pieces translate independently, and their
// translations joined are the translation of the whole. Only split bytes that
// are ASCII and not CR end a piece, so a piece never ends inside a character
// or a line break, and every piece's translation ends with that byte:
// joining the panes' forms of the translations gives the pane form of the
// joined translation. Each piece is at least kPiece units long where the
// text allows (kPiece: a keystroke's translation costs well under a
// millisecond, and 100 MB make some thousands of pieces).
//
// A change of the source is read from its document's contentsChange; the
// pieces it touches are read, translated and cut afresh, and the range of
// the target that held their translations is rewritten, only where it
// differs. Everything is translated again from the whole text when the
// source pane, the mode or the rules differ from the last translation, when
// the rules leave no byte to cut after, and when the touched pieces make up
// most of the text.
class PaneLink : public QObject {
 public:
  static constexpr int kPiece = 16384;

  // `piece` is the length pieces are cut to (tests make it small).
  PaneLink(QPlainTextEdit& english, QPlainTextEdit& l33t, int piece = kPiece);

  // Brings the other pane up to the change of `source` (one of the two
  // panes): English with the English-to-L33T rules, L33T with the reverse
  // ones, the rules read through `settings` now.
  void translate(QPlainTextEdit& source, bool hardcore, const Settings& settings);

  // After a failure: the next change translates the whole text.
  void forget();

  // The stretch of the other pane that units [begin, end) of `pane` (either
  // one, begin < end) were translated from or to, as the alignment of the
  // last translation gives it; nullopt while the panes are not that
  // translation's (a change not yet translated, the target edited, a
  // failure). Only the pieces that hold the stretch's ends are aligned, so
  // it costs no more than a keystroke that changes them.
  std::optional<detail::UnitRange> counterpart(const QPlainTextEdit& pane, int begin,
                                               int end) const;

 private:
  // The change of one pane since its last translation, merged from every
  // contentsChange: units [start, oldEnd) before it are [start, newEnd) now.
  struct Change {
    bool any = false;
    int start = 0;
    int oldEnd = 0;
    int newEnd = 0;
    void add(int position, int removed, int added);
  };

  int indexOf(const QPlainTextEdit& pane) const { return &pane == panes_[0] ? 0 : 1; }
  const Translator& translatorFor(int source, bool hardcore, const Settings& settings,
                                  bool* changed);
  void translateWhole(QPlainTextEdit& source, QPlainTextEdit& target, const Translator& translator);
  void translatePieces(QPlainTextEdit& source, QPlainTextEdit& target,
                       const Translator& translator);
  bool translateChange(QPlainTextEdit& source, QPlainTextEdit& target, const Translator& translator,
                       const Change& change);
  void linkTo(QPlainTextEdit& source, QPlainTextEdit& target);
  bool holdsLastTranslation() const;
  detail::AlignedPiece alignPiece(int piece) const;

  int piece_;
  std::array<QPlainTextEdit*, 2> panes_;
  std::array<PaneWriter, 2> writers_;
  std::array<Change, 2> changes_;
  // The translator of each direction that ran last, from TranslatorCache:
  // another one means the rules changed.
  std::array<std::shared_ptr<const Translator>, 2> translators_;
  // Set while this writes the target, whose own changes are not the user's.
  bool writing_ = false;

  // The pieces of the pane that was translated last, valid while `linked_`
  // and the target's revision is still the one this left there.
  bool linked_ = false;
  const QPlainTextEdit* source_ = nullptr;
  int targetRevision_ = -1;
  detail::PieceTable table_;
};

}  // namespace glossmith::ui
