#pragma once

#include <QString>
#include <QStringView>
#include <string>
#include <string_view>

class QPlainTextEdit;
class QTextDocument;

namespace glossmith::ui {

// The text of a pane comes in two forms. The program's form is what the
// translations, files and stored values use: UTF-8 with CR LF line breaks.
// The platform's form is a QString with "\n" line breaks, what the clipboard
// of a Linux desktop expects. The pane itself keeps lines as blocks; these
// functions are the only place that converts.

std::string paneText(const QPlainTextEdit& pane);
QString panePlatformText(const QPlainTextEdit& pane);

// Replace the whole text of `pane`. A CR LF pair, a lone LF and a lone CR
// each become one line break.
//
// Only the range that differs between the old and the new text is edited
// (one edit of the document), so text, caret and selection outside that range
// stay as they were and a one-letter change of a large text costs little
// more than reading it. The pane's undo history is cleared, as by any
// programmatic replace. The pane reports the change at once with one
// textChanged(), also when the new text equals the old one (then the
// document itself is not touched).
void replacePaneText(QPlainTextEdit& pane, std::string_view text);
void replacePaneText(QPlainTextEdit& pane, const QString& platformText);

// Units [from, to) of a pane's document (UTF-16 units, one per line break),
// in the platform's form.
QString paneRange(const QTextDocument& document, int from, int to);

// Turns units [position, position + before.size()) of `pane`, which hold
// `before`, into `after` (both in the platform's form), in one edit of the
// range that differs, outside the undo history (which is cleared, as by a
// replace). Nothing is edited when they are equal.
void replacePaneRange(QPlainTextEdit& pane, int position, QStringView before, QStringView after);

// Writes the program's text into one pane, as replacePaneText does, and
// remembers what it wrote. Reading a large pane back costs more than the rest
// of a keystroke, so the next write compares against the remembered text
// instead, but only while the document's revision is still the one seen right
// after the last write: any other edit of the pane (typing, undo, another
// replace) moves the revision on, and then the pane is read again.
class PaneWriter {
 public:
  explicit PaneWriter(QPlainTextEdit& pane) : pane_(pane) {}

  void write(std::string_view text);
  // The same for a text already in the platform's form ("\n" line breaks).
  void writeLines(QString lines);

  // Drops the remembered text: the next write reads the pane.
  void forget();

  // What the last write left in the pane (platform form); empty when nothing
  // is remembered.
  const QString& written() const { return written_; }

 private:
  bool remembersPane() const;
  void remember(const QTextDocument* document, QString lines);

  QPlainTextEdit& pane_;
  const QTextDocument* document_ = nullptr;
  int revision_ = -1;
  QString written_;
};

namespace detail {

// The range of `before` that must be replaced to obtain `after`: the longest
// common prefix and then the longest common suffix that does not overlap it,
// never splitting a surrogate pair. A paragraph separator in `before` (how a
// document's raw text marks a line break) matches "\n" in `after`.
struct ChangedRange {
  qsizetype start = 0;    // the common prefix's length
  qsizetype removed = 0;  // units of `before` to replace from `start`
  qsizetype added = 0;    // units of `after` that replace them
  bool operator==(const ChangedRange&) const = default;
};
ChangedRange changedRange(QStringView before, QStringView after);

// The program's form (UTF-8, any line breaks) as the platform's form. A byte
// order mark is dropped only at the very start of a text, so `textStart` is
// false for a part that follows others.
QString platformFromProgramText(std::string_view text, bool textStart = true);

}  // namespace detail
}  // namespace glossmith::ui
