#include "panetext.h"

#include <QPlainTextEdit>
#include <QTextDocument>

namespace glossmith::ui {

QString panePlatformText(const QPlainTextEdit& pane) {
  // toPlainText() would also turn no-break spaces into spaces; the raw text
  // keeps every character and marks line breaks with the paragraph separator.
  QString text = pane.document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return text;
}

std::string paneText(const QPlainTextEdit& pane) {
  QString text = pane.document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
  return text.toStdString();
}

void replacePaneText(QPlainTextEdit& pane, std::string_view text) {
  replacePaneText(pane, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void replacePaneText(QPlainTextEdit& pane, const QString& platformText) {
  QString lines = platformText;
  lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  pane.setPlainText(lines);
}

}  // namespace glossmith::ui
