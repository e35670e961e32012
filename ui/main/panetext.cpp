#include "panetext.h"

#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstring>
#include <utility>

namespace glossmith::ui {

namespace detail {

namespace {

// Equal stretches are skipped a stride at a time; memcmp is far faster than
// comparing unit by unit, and a keystroke leaves all but a few strides alone.
constexpr qsizetype kStride = 512;

bool sameUnits(const QChar* a, const QChar* b, qsizetype count) {
  return std::memcmp(a, b, static_cast<size_t>(count) * sizeof(QChar)) == 0;
}

}  // namespace

ChangedRange changedRange(QStringView before, QStringView after) {
  const qsizetype common = std::min(before.size(), after.size());
  const QChar* b = before.data();
  const QChar* a = after.data();

  qsizetype prefix = 0;
  while (prefix + kStride <= common && sameUnits(b + prefix, a + prefix, kStride))
    prefix += kStride;
  while (prefix < common && b[prefix] == a[prefix]) ++prefix;
  // The edit must not end between the halves of a surrogate pair.
  if (prefix > 0 && b[prefix - 1].isHighSurrogate()) --prefix;

  const qsizetype room = common - prefix;
  const QChar* bEnd = b + before.size();
  const QChar* aEnd = a + after.size();
  qsizetype suffix = 0;
  while (suffix + kStride <= room &&
         sameUnits(bEnd - suffix - kStride, aEnd - suffix - kStride, kStride))
    suffix += kStride;
  while (suffix < room && bEnd[-suffix - 1] == aEnd[-suffix - 1]) ++suffix;
  if (suffix > 0 && bEnd[-suffix].isLowSurrogate()) --suffix;

  return {prefix, before.size() - prefix - suffix, after.size() - prefix - suffix};
}

QString platformFromProgramText(std::string_view text, bool textStart) {
  // Each stretch between carriage returns is decoded on its own, straight
  // into the result; a line break never lies inside a UTF-8 sequence, so this
  // gives what decoding the whole text and then replacing the breaks would.
  // Like QString::fromUtf8, drop a byte order mark only at the very start.
  QStringDecoder first(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QStringDecoder later(QStringDecoder::Utf8,
                       QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
  QStringDecoder* decoder = textStart ? &first : &later;
  QString result(first.requiredSpace(static_cast<qsizetype>(text.size())), Qt::Uninitialized);
  QChar* out = result.data();
  const char* at = text.data();
  const char* const end = text.data() + text.size();
  while (at < end) {
    const auto* cr = static_cast<const char*>(std::memchr(at, '\r', static_cast<size_t>(end - at)));
    const char* stop = cr ? cr : end;
    out = decoder->appendToBuffer(out, QByteArrayView(at, stop - at));
    decoder = &later;
    if (!cr) break;
    *out++ = QLatin1Char('\n');
    at = cr + 1;
    if (at < end && *at == '\n') ++at;
  }
  result.truncate(out - result.constData());
  return result;
}

}  // namespace detail

namespace {

// Counts the edits of `document` made while `change` runs.
template <typename Change>
int countEdits(QTextDocument* document, Change change) {
  int edits = 0;
  const QMetaObject::Connection counter =
      QObject::connect(document, &QTextDocument::contentsChange, document, [&edits] { ++edits; });
  change();
  QObject::disconnect(counter);
  return edits;
}

// Nothing to edit, but the caller replaced the text and is owed the
// notification a replace gives, and the history a replace leaves.
void announceSameText(QPlainTextEdit& pane) {
  pane.document()->clearUndoRedoStacks();
  emit pane.textChanged();
}

// Replaces `range` of the document, from `position` on, with its part of
// `lines`, in one edit.
void editRange(QTextDocument* document, int position, const detail::ChangedRange& range,
               QStringView lines) {
  // Switching undo off also drops the history, so a pane that the program
  // keeps rewriting does not pile up one step per keystroke.
  const bool undo = document->isUndoRedoEnabled();
  document->setUndoRedoEnabled(false);
  QTextCursor cursor(document);
  cursor.beginEditBlock();
  cursor.setPosition(position + static_cast<int>(range.start));
  cursor.setPosition(position + static_cast<int>(range.start + range.removed),
                     QTextCursor::KeepAnchor);
  cursor.insertText(lines.mid(range.start, range.added).toString());
  cursor.endEditBlock();
  document->setUndoRedoEnabled(undo);
}

// Turns the text of `pane`, now `before`, into `lines` ("\n" for every line
// break). True when the pane then holds `lines`: a listener that edits the
// pane while it is notified leaves it otherwise.
bool replaceLines(QPlainTextEdit& pane, QStringView before, const QString& lines) {
  QTextDocument* document = pane.document();
  const detail::ChangedRange range = detail::changedRange(before, lines);
  const bool same = range.removed == 0 && range.added == 0;
  const int edits = countEdits(document, [&] {
    if (same)
      announceSameText(pane);
    else
      editRange(document, 0, range, lines);
  });
  return edits == (same ? 0 : 1) && pane.document() == document;
}

}  // namespace

// Both read the document block by block: QTextDocument::toRawText() walks
// the same pieces but costs about twice as much on a large text, and the
// separators would need replacing afterwards anyway. Block text is raw text:
// a no-break space stays one, unlike in toPlainText().
QString panePlatformText(const QPlainTextEdit& pane) {
  const QTextDocument& document = *pane.document();
  QString text;
  text.reserve(document.characterCount());
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block != document.begin()) text += QLatin1Char('\n');
    text += block.text();
  }
  return text;
}

std::string paneText(const QPlainTextEdit& pane) {
  const QTextDocument& document = *pane.document();
  // Each line is encoded on its own; a line break is never part of a
  // surrogate pair, so this is what encoding the whole text would give.
  std::string text;
  text.reserve(static_cast<size_t>(document.characterCount()) +
               static_cast<size_t>(document.blockCount()));
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    if (block != document.begin()) text += "\r\n";
    const QByteArray line = block.text().toUtf8();
    text.append(line.constData(), static_cast<size_t>(line.size()));
  }
  return text;
}

void replacePaneText(QPlainTextEdit& pane, std::string_view text) {
  const QString lines = detail::platformFromProgramText(text);
  replaceLines(pane, panePlatformText(pane), lines);
}

void replacePaneText(QPlainTextEdit& pane, const QString& platformText) {
  QString lines = platformText;
  lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  replaceLines(pane, panePlatformText(pane), lines);
}

QString paneRange(const QTextDocument& document, int from, int to) {
  QString text;
  text.reserve(std::max(0, to - from));
  QTextBlock block = document.findBlock(from);
  for (int position = block.position(); block.isValid() && position < to;
       position += block.length(), block = block.next()) {
    const QString line = block.text();
    const int begin = std::max(from, position) - position;
    const int end = std::min(to - position, static_cast<int>(line.size()));
    if (end > begin) text += QStringView(line).mid(begin, end - begin);
    const int separator = position + static_cast<int>(line.size());
    if (separator >= from && separator < to) text += QLatin1Char('\n');
  }
  return text;
}

void replacePaneRange(QPlainTextEdit& pane, int position, QStringView before, QStringView after) {
  const detail::ChangedRange range = detail::changedRange(before, after);
  if (range.removed == 0 && range.added == 0) return;
  QTextDocument* document = pane.document();
  int start = position + static_cast<int>(range.start);
  int end = start + static_cast<int>(range.removed);
  QString text = after.mid(range.start, range.added).toString();
  // An edit inside one block makes the pane's layout lay that block out at
  // once, and when it was the widest block and narrows, measure every block of
  // the text anew. An edit across a line break only drops the layouts of the
  // blocks it touches, so the same edit is made to reach over the next (or
  // the previous) line break, which it writes back unchanged.
  const QTextBlock block = document->findBlock(start);
  if (block == document->findBlock(end) && !text.contains(QLatin1Char('\n'))) {
    const int separator = block.position() + block.length() - 1;
    if (block.next().isValid()) {
      text += QStringView(block.text()).mid(end - block.position());
      text += QLatin1Char('\n');
      end = separator + 1;
    } else if (block.previous().isValid()) {
      text.prepend(QStringView(block.text()).left(start - block.position()));
      text.prepend(QLatin1Char('\n'));
      start = block.position() - 1;
    }
  }
  editRange(document, start, {0, end - start, text.size()}, text);
}

void PaneWriter::write(std::string_view text) { writeLines(detail::platformFromProgramText(text)); }

void PaneWriter::writeLines(QString lines) {
  const bool remembered = remembersPane();
  QString read;
  if (!remembered) {
    written_.clear();  // stale; do not hold two large copies
    read = panePlatformText(pane_);
  }
  const QTextDocument* document = pane_.document();
  if (replaceLines(pane_, remembered ? written_ : read, lines))
    remember(document, std::move(lines));
  else
    forget();
}

bool PaneWriter::remembersPane() const {
  const QTextDocument* document = pane_.document();
  return document_ == document && revision_ == document->revision() &&
         document->characterCount() == written_.size() + 1;
}

void PaneWriter::remember(const QTextDocument* document, QString lines) {
  document_ = document;
  revision_ = document->revision();
  written_ = std::move(lines);
}

void PaneWriter::forget() {
  document_ = nullptr;
  revision_ = -1;
  written_.clear();
}

}  // namespace glossmith::ui
