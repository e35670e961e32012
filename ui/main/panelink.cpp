#include "panelink.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextDocument>
#include <QWidget>
#include <algorithm>
#include <string>
#include <utility>

#include "core/settings.h"

namespace glossmith::ui {

namespace detail {

void PieceTable::assign(const std::vector<Piece>& pieces) {
  sourceStarts_.assign(1, 0);
  targetStarts_.assign(1, 0);
  replace(0, 0, pieces);
}

int PieceTable::pieceAt(int position) const {
  const auto last = sourceStarts_.end() - 1;  // the lengths, not a piece
  const auto after = std::upper_bound(sourceStarts_.begin(), last, position);
  return std::max(0, static_cast<int>(after - sourceStarts_.begin()) - 1);
}

int PieceTable::targetPieceAt(int position) const {
  const auto last = targetStarts_.end() - 1;
  const auto after = std::upper_bound(targetStarts_.begin(), last, position);
  return std::max(0, static_cast<int>(after - targetStarts_.begin()) - 1);
}

int PieceTable::pieceAfter(int position) const {
  const auto last = sourceStarts_.end() - 1;
  return static_cast<int>(std::upper_bound(sourceStarts_.begin(), last, position) -
                          sourceStarts_.begin());
}

void PieceTable::replace(int first, int last, const std::vector<Piece>& pieces) {
  const auto at = [](int i) { return static_cast<std::ptrdiff_t>(i); };
  // The new starts of pieces first+1 ... and of the old piece `last`.
  std::vector<int> sources, targets;
  sources.reserve(pieces.size());
  targets.reserve(pieces.size());
  int source = sourceStart(first), target = targetStart(first);
  for (const Piece& piece : pieces) {
    sources.push_back(source += piece.source);
    targets.push_back(target += piece.target);
  }
  const int sourceShift = source - sourceStart(last);
  const int targetShift = target - targetStart(last);
  for (auto i = static_cast<size_t>(last) + 1; i < sourceStarts_.size(); ++i) {
    sourceStarts_[i] += sourceShift;
    targetStarts_[i] += targetShift;
  }
  sourceStarts_.erase(sourceStarts_.begin() + at(first) + 1, sourceStarts_.begin() + at(last) + 1);
  targetStarts_.erase(targetStarts_.begin() + at(first) + 1, targetStarts_.begin() + at(last) + 1);
  sourceStarts_.insert(sourceStarts_.begin() + at(first) + 1, sources.begin(), sources.end());
  targetStarts_.insert(targetStarts_.begin() + at(first) + 1, targets.begin(), targets.end());
}

}  // namespace detail

namespace {

using detail::Piece;

// The split bytes a piece may end after: those of the rules that are ASCII
// and not CR (see PaneLink).
using SplitUnits = std::array<bool, 128>;

SplitUnits splitUnitsOf(const Translator& translator) {
  SplitUnits split{};
  for (int b = 0; b < 128; ++b) split[b] = b != '\r' && translator.IsSplitByte(b);
  return split;
}

bool hasSplitUnits(const SplitUnits& split) {
  return std::find(split.begin(), split.end(), true) != split.end();
}

bool isSplitUnit(QChar unit, const SplitUnits& split) {
  return unit.unicode() < 128 && split[unit.unicode()];
}

bool holdsSplitUnit(QStringView units, const SplitUnits& split) {
  return std::any_of(units.begin(), units.end(),
                     [&](QChar unit) { return isSplitUnit(unit, split); });
}

int unitCount(const QTextDocument& document) { return document.characterCount() - 1; }

void appendProgram(std::string& program, QStringView units) {
  const QByteArray bytes = units.toUtf8();
  program.append(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Reads units [from, to) of `document` in the program's form, as pieces
// that end right after a unit in `split` or at `to`, and passes each to
// `take(program, units)`. A piece ends at the first split unit once it is
// `size` units long, unless less than half that would be left.
template <typename Take>
void readPieces(const QTextDocument& document, int from, int to, const SplitUnits& split, int size,
                Take take) {
  const int left = size / 2;
  std::string program;
  int start = from;                     // of the piece being read
  const auto endPiece = [&](int end) {  // ends the piece before unit `end`
    take(std::string_view(program), end - start);
    program.clear();
    start = end;
  };
  QTextBlock block = document.findBlock(from);
  // Counted on rather than asked of each block, which costs a search.
  for (int position = block.position(); block.isValid() && position < to;
       position += block.length(), block = block.next()) {
    const QString line = block.text();
    int at = std::max(from, position) - position;
    const int end = std::min(to - position, static_cast<int>(line.size()));
    while (at < end) {
      // Cutting after index i leaves the piece i + 1 + position - start long.
      const int earliest = std::max(at, start + size - 1 - position);
      const int latest = std::min(end, to - left - position);
      int cut = earliest;
      while (cut < latest && !isSplitUnit(line[cut], split)) ++cut;
      if (cut >= latest) {
        appendProgram(program, QStringView(line).mid(at, end - at));
        break;
      }
      appendProgram(program, QStringView(line).mid(at, cut + 1 - at));
      at = cut + 1;
      endPiece(position + at);
    }
    const int separator = position + static_cast<int>(line.size());
    if (separator >= from && separator < to) {
      program += "\r\n";
      if (split['\n'] && separator + 1 - start >= size && to - separator - 1 >= left)
        endPiece(separator + 1);
    }
  }
  if (start < to) endPiece(to);
}

// The translations of the pieces of units [from, to) of `source`, joined in
// the platform's form, with the lengths of each piece in both.
struct Translated {
  QString lines;
  std::vector<Piece> pieces;
};

Translated translateRange(const QTextDocument& source, int from, int to, const SplitUnits& split,
                          int size, const Translator& translator) {
  Translated result;
  Translator::Lease lease(translator);
  std::string out;
  readPieces(source, from, to, split, size, [&](std::string_view program, int units) {
    lease.Translate(program, out);
    QString lines = detail::platformFromProgramText(out, from == 0 && result.pieces.empty());
    result.pieces.push_back({units, static_cast<int>(lines.size())});
    if (result.lines.isEmpty())
      result.lines = std::move(lines);  // a text of one piece is not copied
    else
      result.lines += lines;
  });
  return result;
}

}  // namespace

BusyCursor::BusyCursor(bool busy, QWidget* shown) : busy_(busy) {
  if (!busy_) return;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  if (shown) shown->repaint();
}

BusyCursor::~BusyCursor() {
  if (busy_) QGuiApplication::restoreOverrideCursor();
}

void PaneLink::Change::add(int position, int removed, int added) {
  if (!any) {
    *this = {true, position, position + removed, position + added};
    return;
  }
  // Units [position, position + removed) of the text as it is now, mapped
  // back to the text before the first change where they lie outside it.
  const int removedEnd = position + removed;
  const int oldEndNow = removedEnd <= newEnd ? oldEnd : oldEnd + removedEnd - newEnd;
  newEnd = std::max(newEnd, removedEnd) + added - removed;
  oldEnd = oldEndNow;
  start = std::min(start, position);
}

PaneLink::PaneLink(QPlainTextEdit& english, QPlainTextEdit& l33t, int piece)
    : piece_(std::max(1, piece)),
      panes_{&english, &l33t},
      writers_{PaneWriter(english), PaneWriter(l33t)} {
  for (int i = 0; i < 2; ++i) {
    connect(panes_[i]->document(), &QTextDocument::contentsChange, this,
            [this, i](int position, int removed, int added) {
              if (!writing_) changes_[i].add(position, removed, added);
            });
  }
}

void PaneLink::forget() {
  linked_ = false;
  table_.assign({});
  for (PaneWriter& writer : writers_) writer.forget();
}

const Translator& PaneLink::translatorFor(int source, bool hardcore, const Settings& settings,
                                          bool* changed) {
  std::shared_ptr<const Translator>& translator = translators_[static_cast<size_t>(source)];
  // The cache gives the same Translator while the rules read stay the same.
  std::shared_ptr<const Translator> now = TranslatorCache::Process().For(
      source == 0 ? Direction::kEnglishToL33t : Direction::kL33tToEnglish, hardcore, settings);
  *changed = now != translator;
  translator = std::move(now);
  return *translator;
}

void PaneLink::translate(QPlainTextEdit& source, bool hardcore, const Settings& settings) {
  const int from = indexOf(source);
  QPlainTextEdit& target = *panes_[static_cast<size_t>(1 - from)];
  const Change change = std::exchange(changes_[static_cast<size_t>(from)], {});
  const Change other = std::exchange(changes_[static_cast<size_t>(1 - from)], {});
  bool rulesChanged = false;
  const Translator& translator = translatorFor(from, hardcore, settings, &rulesChanged);
  if (!hasSplitUnits(splitUnitsOf(translator))) {
    // One piece, the whole text, translated whole at every change.
    translateWhole(source, target, translator);
    table_.assign({{unitCount(*source.document()), unitCount(*target.document())}});
    linkTo(source, target);
    return;
  }
  const bool linked = linked_ && !rulesChanged && source_ == &source && !other.any &&
                      targetRevision_ == target.document()->revision() &&
                      table_.targetLength() == unitCount(*target.document());
  if (linked && translateChange(source, target, translator, change)) return;
  translatePieces(source, target, translator);
}

// As without pieces: the whole text, written where it differs from what the
// target holds.
void PaneLink::translateWhole(QPlainTextEdit& source, QPlainTextEdit& target,
                              const Translator& translator) {
  const BusyCursor busy(unitCount(*source.document()) >= BusyCursor::kLarge, source.viewport());
  std::string translation;
  translator.Translate(paneText(source), translation);
  const QScopedValueRollback writing(writing_, true);
  writers_[static_cast<size_t>(indexOf(target))].write(translation);
}

void PaneLink::translatePieces(QPlainTextEdit& source, QPlainTextEdit& target,
                               const Translator& translator) {
  linked_ = false;
  const BusyCursor busy(unitCount(*source.document()) >= BusyCursor::kLarge, source.viewport());
  const QTextDocument& document = *source.document();
  Translated translated = translateRange(document, 0, unitCount(document), splitUnitsOf(translator),
                                         piece_, translator);
  {
    const QScopedValueRollback writing(writing_, true);
    PaneWriter& writer = writers_[static_cast<size_t>(indexOf(target))];
    writer.writeLines(std::move(translated.lines));
    // Edits go piece by piece from here on, and a copy of the whole would be
    // stale; a text that is one piece is written whole again.
    if (translated.pieces.size() > 1) writer.forget();
  }
  table_.assign(translated.pieces);
  linkTo(source, target);
}

bool PaneLink::translateChange(QPlainTextEdit& source, QPlainTextEdit& target,
                               const Translator& translator, const Change& change) {
  const int oldLength = table_.sourceLength();
  const int newLength = unitCount(*source.document());
  if (!change.any) return oldLength == newLength;
  // The document may report a range that reaches past its end (the final
  // paragraph separator); only the lengths on both sides must agree.
  const int oldEnd = std::min(change.oldEnd, oldLength);
  const int newEnd = newLength - (oldLength - oldEnd);
  if (change.start > oldEnd || newEnd < change.start) return false;

  const SplitUnits split = splitUnitsOf(translator);
  if (table_.count() == 1 &&
      !holdsSplitUnit(paneRange(*source.document(), change.start, newEnd), split)) {
    // Still no place to cut the text at: translated whole, as it was.
    translateWhole(source, target, translator);
    table_.assign({{newLength, unitCount(*target.document())}});
    linkTo(source, target);
    return linked_;
  }

  const int first = table_.pieceAt(change.start);
  const int last = table_.pieceAfter(oldEnd);
  const int from = table_.sourceStart(first);
  const int to = table_.sourceStart(last) + newEnd - oldEnd;
  // Most of the text: as cheap to translate all of it, and the pieces start afresh.
  if (to - from > newLength / 2 && to - from > piece_ * 4) return false;

  const Translated translated =
      translateRange(*source.document(), from, to, split, piece_, translator);
  const int position = table_.targetStart(first);
  const QString before = paneRange(*target.document(), position, table_.targetStart(last));
  {
    const QScopedValueRollback writing(writing_, true);
    replacePaneRange(target, position, before, translated.lines);
  }
  table_.replace(first, last, translated.pieces);
  linkTo(source, target);
  return linked_;
}

void PaneLink::linkTo(QPlainTextEdit& source, QPlainTextEdit& target) {
  source_ = &source;
  targetRevision_ = target.document()->revision();
  linked_ = table_.sourceLength() == unitCount(*source.document()) &&
            table_.targetLength() == unitCount(*target.document());
}

bool PaneLink::holdsLastTranslation() const {
  if (!linked_ || source_ == nullptr || changes_[0].any || changes_[1].any) return false;
  const QPlainTextEdit& target = *panes_[static_cast<size_t>(1 - indexOf(*source_))];
  return translators_[static_cast<size_t>(indexOf(*source_))] &&
         targetRevision_ == target.document()->revision() &&
         table_.sourceLength() == unitCount(*source_->document()) &&
         table_.targetLength() == unitCount(*target.document());
}

detail::AlignedPiece PaneLink::alignPiece(int piece) const {
  detail::AlignedPiece aligned;
  aligned.source = detail::programFromPlatformText(
      paneRange(*source_->document(), table_.sourceStart(piece), table_.sourceStart(piece + 1)));
  aligned.targetStart = piece == 0;
  translators_[static_cast<size_t>(indexOf(*source_))]->TranslateAligned(
      aligned.source, aligned.target, aligned.alignment);
  return aligned;
}

std::optional<detail::UnitRange> PaneLink::counterpart(const QPlainTextEdit& pane, int begin,
                                                       int end) const {
  if (begin >= end || !holdsLastTranslation()) return std::nullopt;
  const bool fromSource = &pane == source_;
  const auto pieceAt = [&](int position) {
    return fromSource ? table_.pieceAt(position) : table_.targetPieceAt(position);
  };
  const auto startOf = [&](int piece, bool source) {
    return source ? table_.sourceStart(piece) : table_.targetStart(piece);
  };
  const int first = pieceAt(begin);
  const int last = pieceAt(end - 1);
  const detail::AlignedPiece firstText = alignPiece(first);
  const int otherBegin =
      startOf(first, !fromSource) +
      detail::otherStart(firstText, fromSource, begin - startOf(first, fromSource));
  const detail::AlignedPiece lastText = first == last ? detail::AlignedPiece() : alignPiece(last);
  const int otherEnd =
      startOf(last, !fromSource) + detail::otherEnd(first == last ? firstText : lastText,
                                                    fromSource, end - startOf(last, fromSource));
  return detail::UnitRange{otherBegin, otherEnd};
}

}  // namespace glossmith::ui
