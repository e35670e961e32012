#pragma once

// The INI format as QSettings reads it: logical lines, escaped names and
// escaped values.

#include <cstddef>
#include <string_view>

#include "core/ini/text.h"
#include "core/ini/variants.h"

namespace glossmith::ini {

inline constexpr std::size_t kNone = std::string_view::npos;

// Without ASCII white space at either end.
std::string_view Trimmed(std::string_view s);
bool EqualsAsciiIgnoringCase(std::string_view a, std::string_view b);

// QConfFileSettingsPrivate::readIniLine: the next logical line from `pos`
// on. Leading white space and whole-line comments are skipped; a line ends
// at a line break or ";" outside quotes; a backslash takes the next byte
// (and a CR LF or LF CR pair) along. `equals` is the first "=" outside quotes
// (kNone when there is none). False when no line is left.
bool ReadIniLine(std::string_view data, std::size_t& pos, std::size_t& lineStart,
                 std::size_t& lineLength, std::size_t& equals);

// QSettingsPrivate::iniUnescapedKey: appends the name written as `key`.
void AppendUnescapedKey(std::string_view key, Text& result);

// QSettingsPrivate::iniUnescapedStringList: the value written as `str`, or
// the list it is when it holds an unquoted ",".
Value UnescapeValue(std::string_view str);

// QSettingsPrivate::normalizedKey: no leading, trailing or doubled "/".
Text NormalizedKey(const Text& key);

}  // namespace glossmith::ini
