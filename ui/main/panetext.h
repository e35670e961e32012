#pragma once

#include <QString>
#include <string>
#include <string_view>

class QPlainTextEdit;

namespace glossmith::ui {

// The text of a pane comes in two forms. The program's form is what the
// translations, files and stored values use: UTF-8 with CR LF line breaks.
// The platform's form is a QString with "\n" line breaks, what the clipboard
// of a Linux desktop expects. The pane itself keeps lines as blocks; these
// functions are the only place that converts.

std::string paneText(const QPlainTextEdit& pane);
QString panePlatformText(const QPlainTextEdit& pane);

// Replace the whole text of `pane`. A CR LF pair, a lone LF and a lone CR
// each become one line break. The pane reports the change at once.
void replacePaneText(QPlainTextEdit& pane, std::string_view text);
void replacePaneText(QPlainTextEdit& pane, const QString& platformText);

}  // namespace glossmith::ui
