// The INI format's lines, names and values, as QSettings reads them.
#include "core/ini/lexer.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "core/files/stored_name.h"

namespace glossmith::ini {
namespace {

bool IsIniSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsIniSpecial(char c) {
  return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\';
}
bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// QString::toUShort(&ok, 16) of two or four code units: white space around
// the digits, a "+" and a "0x" before them are allowed, and a NUL ends them.
bool ParseHexUnit(std::u16string_view digits, char16_t& value) {
  const std::string latin1 = ToLatin1(digits);
  const char* p = latin1.data();
  const char* const stop = p + latin1.size();
  while (p < stop && IsAsciiSpace(*p)) ++p;
  if (p >= stop || *p == '-') return false;
  if (*p == '+') ++p;
  if (stop - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  if (p >= stop) return false;
  unsigned long long number = 0;
  const auto [end, error] = std::from_chars(p, stop, number, 16);
  if (error != std::errc{}) return false;
  const char* rest = end;
  if (rest < stop && *rest != '\0')
    while (rest < stop && IsAsciiSpace(*rest)) ++rest;
  if (rest < stop && *rest != '\0') return false;
  if (number > 0xFFFF) return false;
  value = static_cast<char16_t>(number);
  return true;
}

void ChopTrailingSpaces(Text& s, std::size_t limit) {
  while (s.size() > limit && (s.back() == u' ' || s.back() == u'\t')) s.pop_back();
}

}  // namespace

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsAsciiSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsAsciiSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualsAsciiIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// QConfFileSettingsPrivate::readIniLine: the next logical line from `pos`
// on. Leading white space and whole-line comments are skipped; a line ends
// at a line break or ";" outside quotes; a backslash takes the next byte
// (and a CR LF or LF CR pair) along. `equals` is the first "=" outside quotes.
bool ReadIniLine(std::string_view data, std::size_t& pos, std::size_t& lineStart,
                 std::size_t& lineLength, std::size_t& equals) {
  const std::size_t size = data.size();
  bool inQuotes = false;
  equals = kNone;
  lineStart = pos;
  while (lineStart < size && IsIniSpace(data[lineStart])) ++lineStart;
  std::size_t i = lineStart;
  while (i < size) {
    char ch = data[i];
    while (!IsIniSpecial(ch)) {
      if (++i == size) goto done;
      ch = data[i];
    }
    ++i;
    if (ch == '=') {
      if (!inQuotes && equals == kNone) equals = i - 1;
    } else if (ch == '\n' || ch == '\r') {
      if (i == lineStart + 1) {
        ++lineStart;
      } else if (!inQuotes) {
        --i;
        goto done;
      }
    } else if (ch == '\\') {
      if (i < size) {
        const char escaped = data[i++];
        if (i < size) {
          const char next = data[i];
          if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n')) ++i;
        }
      }
    } else if (ch == '"') {
      inQuotes = !inQuotes;
    } else {  // ';'
      if (i == lineStart + 1) {
        while (i < size && data[i] != '\n' && data[i] != '\r') ++i;
        while (i < size && IsIniSpace(data[i])) ++i;
        lineStart = i;
      } else if (!inQuotes) {
        --i;
        goto done;
      }
    }
  }
done:
  pos = i;
  lineLength = i - lineStart;
  return lineLength > 0;
}

// QSettingsPrivate::iniUnescapedKey: appends the name written as `key`.
void AppendUnescapedKey(std::string_view key, Text& result) {
  const Text decoded = FromUtf8(key);
  const std::size_t size = decoded.size();
  std::size_t i = 0;
  while (i < size) {
    const char16_t ch = decoded[i];
    if (ch == u'\\') {
      result += u'/';
      ++i;
      continue;
    }
    if (ch != u'%' || i == size - 1) {
      result += ch;
      ++i;
      continue;
    }
    std::size_t digits = 2, first = i + 1;
    if (decoded[i + 1] == u'U') {
      ++first;
      digits = 4;
    }
    char16_t unit = 0;
    if (first + digits > size ||
        !ParseHexUnit(std::u16string_view(decoded).substr(first, digits), unit)) {
      result += u'%';
      ++i;
      continue;
    }
    result += unit;
    i = first + digits;
  }
}

// QSettingsPrivate::iniUnescapedStringList: the text of a value, or the list
// it is when it holds an unquoted ",".
Value UnescapeValue(std::string_view str) {
  static constexpr char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                         {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                         {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
  enum class State { kSkipSpaces, kNormal, kHex, kOctal, kEnd };
  Text result;
  std::vector<Text> list;
  bool isList = false, inQuotes = false, quoted = false;
  char16_t escape = 0;
  std::size_t i = 0, chopLimit = 0;
  const std::size_t size = str.size();
  Utf8Decoder decoder;
  State state = State::kSkipSpaces;
  while (state != State::kEnd) {
    switch (state) {
      case State::kSkipSpaces:
        while (i < size && (str[i] == ' ' || str[i] == '\t')) ++i;
        state = State::kNormal;
        break;
      case State::kNormal: {
        chopLimit = result.size();
        state = State::kEnd;
        bool chop = true;
        while (i < size && state == State::kEnd) {
          const char c = str[i];
          if (c == '\\') {
            if (++i >= size) {
              chop = false;
              break;
            }
            const char ch = str[i++];
            const auto* known = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                             [ch](const char(&e)[2]) { return e[0] == ch; });
            if (known != std::end(kEscapes)) {
              result += static_cast<char16_t>((*known)[1]);
              state = State::kNormal;
              break;
            }
            if (ch == 'x') {
              escape = 0;
              if (i >= size) {
                chop = false;
                break;
              }
              if (HexDigitValue(str[i]) >= 0) {
                state = State::kHex;
                break;
              }
            } else if (ch >= '0' && ch <= '7') {
              escape = static_cast<char16_t>(ch - '0');
              state = State::kOctal;
              break;
            } else if (ch == '\n' || ch == '\r') {
              if (i < size && (str[i] == '\n' || str[i] == '\r') && str[i] != ch) ++i;
            }
            chopLimit = result.size();
          } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) state = State::kSkipSpaces;
          } else if (c == ',' && !inQuotes) {
            if (!quoted) ChopTrailingSpaces(result, chopLimit);
            isList = true;
            list.push_back(std::move(result));
            result.clear();
            quoted = false;
            ++i;
            state = State::kSkipSpaces;
          } else {
            std::size_t j = i + 1;
            while (j < size && str[j] != '\\' && str[j] != '"' && str[j] != ',') ++j;
            decoder.Decode(str.substr(i, j - i), result);
            i = j;
          }
        }
        if (state == State::kEnd && chop && !quoted) ChopTrailingSpaces(result, chopLimit);
        break;
      }
      case State::kHex:
      case State::kOctal: {
        const bool hex = state == State::kHex;
        if (i >= size) {
          result += escape;
          state = State::kEnd;
          break;
        }
        const char ch = str[i];
        const int digit = hex ? HexDigitValue(ch) : (ch >= '0' && ch <= '7' ? ch - '0' : -1);
        if (digit >= 0) {
          escape = static_cast<char16_t>((escape << (hex ? 4 : 3)) + digit);
          ++i;
        } else {
          result += escape;
          state = State::kNormal;
        }
        break;
      }
      case State::kEnd: break;
    }
  }
  if (!isList) return StringToValue(result);
  list.push_back(std::move(result));
  return ListToValue(list);
}

// QSettingsPrivate::normalizedKey: no leading, trailing or doubled "/".
Text NormalizedKey(const Text& key) {
  Text result;
  std::size_t i = 0;
  while (i < key.size()) {
    while (i < key.size() && key[i] == u'/') ++i;
    if (i == key.size()) break;
    const std::size_t start = i;
    while (i < key.size() && key[i] != u'/') ++i;
    if (!result.empty()) result += u'/';
    result.append(key, start, i - start);
  }
  return result;
}

}  // namespace glossmith::ini
