#pragma once

// Text as QString holds it, UTF-16 code units, and Qt's conversions between
// it and bytes, so that the INI reader decodes every byte as Qt does.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace glossmith::ini {

using Text = std::u16string;

inline constexpr char16_t kReplacement = 0xFFFD;

inline bool IsSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDFFF; }
inline bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// QChar::toCaseFolded of Qt 6.4 for every code point.
char32_t FoldCase(char32_t c);

bool StartsWithBom(std::string_view s);

// QString::fromUtf8: a leading byte order mark is dropped, and every byte that
// starts no valid sequence gives one U+FFFD.
Text FromUtf8(std::string_view in);

// A QStringDecoder for UTF-8 with default flags, fed piece by piece: a
// sequence cut between two pieces is completed by the next one, a byte order
// mark at the very start is dropped, and a sequence still incomplete at the
// end is dropped.
class Utf8Decoder {
 public:
  void Decode(std::string_view in, Text& out);

 private:
  std::array<unsigned char, 4> pending_{};
  std::size_t pendingCount_ = 0;
  bool headerDone_ = false;
};

// QString::toUtf8: a surrogate that is not part of a pair becomes "?".
std::string ToUtf8(const Text& in);

// QString::toLatin1: a code unit past U+00FF becomes "?".
std::string ToLatin1(std::u16string_view in);
Text FromLatin1(std::string_view in);

// QString::compare(a, b, Qt::CaseInsensitive) == 0.
bool EqualIgnoringCase(const Text& a, const Text& b);

// Whether two UTF-8 names match as the window's store matches them; a name
// that is not UTF-8 matches only itself.
bool SameName(std::string_view a, std::string_view b);

}  // namespace glossmith::ini
