#include "core/files/ini_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "core/files/stored_name.h"

namespace glossmith {

namespace detail {
namespace {

struct FoldRun {
  char32_t first, last;
  int delta;
  unsigned step;
};

constexpr FoldRun kFoldRuns[] = {
#include "core/files/case_fold_table.inc"
};

}  // namespace

char32_t FoldCase(char32_t c) {
  const auto* run = std::upper_bound(std::begin(kFoldRuns), std::end(kFoldRuns), c,
                                     [](char32_t v, const FoldRun& r) { return v < r.first; });
  if (run == std::begin(kFoldRuns)) return c;
  --run;
  if (c > run->last || (c - run->first) % run->step != 0) return c;
  return static_cast<char32_t>(static_cast<int>(c) + run->delta);
}

}  // namespace detail

namespace {

using Text = std::u16string;  // what QString holds: UTF-16 code units

constexpr char16_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDFFF; }
bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// --- UTF-8, as Qt converts it -------------------------------------------------

constexpr int kError = -1;
constexpr int kEndOfString = -2;

// One UTF-8 sequence starting with `b`, the rest from [src, end): the bytes
// consumed (b included), or kError / kEndOfString. On success src has moved
// past the sequence and its UTF-16 units are appended.
int DecodeOne(unsigned char b, const unsigned char*& src, const unsigned char* end, Text& out) {
  if (b < 0x80) {
    out += static_cast<char16_t>(b);
    return 1;
  }
  int needed;
  char32_t min, uc;
  if (b <= 0xC1) return kError;
  if (b < 0xE0) {
    needed = 2, min = 0x80, uc = b & 0x1F;
  } else if (b < 0xF0) {
    needed = 3, min = 0x800, uc = b & 0x0F;
  } else if (b < 0xF5) {
    needed = 4, min = 0x10000, uc = b & 0x07;
  } else {
    return kError;
  }
  const auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
  const std::ptrdiff_t available = end - src;
  if (available < needed - 1) {
    if (available > 0 && !continuation(src[0])) return kError;
    if (available > 1 && !continuation(src[1])) return kError;
    return kEndOfString;
  }
  for (int k = 0; k < needed - 1; ++k) {
    if (!continuation(src[k])) return kError;
    uc = (uc << 6) | (src[k] & 0x3F);
  }
  if (uc < min || IsSurrogate(uc) || uc > 0x10FFFF) return kError;
  if (uc < 0x10000) {
    out += static_cast<char16_t>(uc);
  } else {
    out += static_cast<char16_t>(0xD800 + ((uc - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((uc - 0x10000) & 0x3FF));
  }
  src += needed - 1;
  return needed;
}

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

bool StartsWithBom(std::string_view s) { return s.substr(0, 3) == "\xEF\xBB\xBF"; }

// QString::fromUtf8: a leading byte order mark is dropped, and every byte that
// starts no valid sequence gives one U+FFFD.
Text FromUtf8(std::string_view in) {
  Text out;
  out.reserve(in.size());
  const unsigned char* src = Bytes(in);
  const unsigned char* const end = src + in.size();
  if (StartsWithBom(in)) src += 3;
  while (src < end) {
    const unsigned char b = *src++;
    if (DecodeOne(b, src, end, out) < 0) out += kReplacement;
  }
  return out;
}

// A QStringDecoder for UTF-8 with default flags, fed piece by piece: a
// sequence cut between two pieces is completed by the next one, a byte order
// mark at the very start is dropped, and a sequence still incomplete at the
// end is dropped.
class Utf8Decoder {
 public:
  void Decode(std::string_view in, Text& out) {
    if (in.empty()) return;
    const unsigned char* src = Bytes(in);
    const unsigned char* const end = src + in.size();
    if (pendingCount_ > 0 || !headerDone_) {
      std::array<unsigned char, 4> window{};
      const std::size_t held = pendingCount_;
      const std::size_t taken = std::min<std::size_t>(4 - held, in.size());
      std::memcpy(window.data(), pending_.data(), held);
      std::memcpy(window.data() + held, src, taken);
      const unsigned char* next = window.data() + 1;
      const int res = DecodeOne(window[0], next, window.data() + held + taken, out);
      if (res == kError) {
        out += kReplacement;
        ++src;  // Qt's decoder steps over one new byte here, whatever was held
      } else if (res == kEndOfString) {
        pendingCount_ = held + taken;
        pending_ = window;
        return;
      } else if (!headerDone_ && out.back() == 0xFEFF) {
        out.pop_back();
      }
      headerDone_ = true;
      if (res >= 0) src += res - static_cast<int>(held);
    }
    int res = 0;
    while (res >= 0 && src < end) {
      const unsigned char b = *src++;
      res = DecodeOne(b, src, end, out);
      if (res == kError) {
        res = 0;
        out += kReplacement;
      }
    }
    if (res == kEndOfString) {
      --src;
      pendingCount_ = static_cast<std::size_t>(end - src);
      std::memcpy(pending_.data(), src, pendingCount_);
    } else {
      pendingCount_ = 0;
    }
  }

 private:
  std::array<unsigned char, 4> pending_{};
  std::size_t pendingCount_ = 0;
  bool headerDone_ = false;
};

// QString::toUtf8: a surrogate that is not part of a pair becomes "?".
std::string ToUtf8(const Text& in) {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    char32_t u = in[i];
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (!IsSurrogate(u)) {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (IsHighSurrogate(u) && i + 1 < in.size() && IsLowSurrogate(in[i + 1])) {
      u = 0x10000 + ((u - 0xD800) << 10) + (in[++i] - 0xDC00);
      out += static_cast<char>(0xF0 | (u >> 18));
      out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += '?';
    }
  }
  return out;
}

// QString::toLatin1: a code unit past U+00FF becomes "?".
std::string ToLatin1(std::u16string_view in) {
  std::string out(in.size(), '?');
  for (std::size_t i = 0; i < in.size(); ++i)
    if (in[i] <= 0xFF) out[i] = static_cast<char>(in[i]);
  return out;
}

Text FromLatin1(std::string_view in) {
  Text out;
  for (const unsigned char c : in) out += static_cast<char16_t>(c);
  return out;
}

// --- names, as the window's store matches them ----------------------------------

// QString::compare(a, b, Qt::CaseInsensitive) == 0: equal lengths, and each
// code unit equal after folding; a low surrogate after a high one is folded
// as the whole code point.
bool EqualIgnoringCase(const Text& a, const Text& b) {
  if (a.size() != b.size()) return false;
  char32_t lastA = 0, lastB = 0;
  const auto fold = [](char32_t unit, char32_t& last) {
    char32_t c = unit;
    if (IsLowSurrogate(c) && IsHighSurrogate(last))
      c = 0x10000 + ((last - 0xD800) << 10) + (c - 0xDC00);
    last = unit;
    return detail::FoldCase(c);
  };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (fold(a[i], lastA) != fold(b[i], lastB)) return false;
  return true;
}

bool IsUtf8(std::string_view text) { return ToUtf8(FromUtf8(text)) == text; }

bool SameName(std::string_view a, std::string_view b) {
  if (a == b) return true;
  if (!EqualIgnoringCase(FromUtf8(a), FromUtf8(b))) return false;
  // Bytes that are not UTF-8 decode to U+FFFD; such names match only themselves.
  return IsUtf8(a) && IsUtf8(b);
}

// The caller's name for a group or key name (see stored_name.h).
std::string CallerName(const Text& stored) { return DecodeStoredName(ToUtf8(stored)); }

// --- the INI format, as QSettings reads it ----------------------------------------

bool IsIniSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool IsIniSpecial(char c) {
  return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\';
}
bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

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

constexpr std::size_t kNone = std::string_view::npos;

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

// A value as QSettings hands it over (a QVariant), reduced to what a read
// makes of it.
struct Value {
  enum class Type { kInvalid, kText, kBytes, kTextList, kList, kUnsupported };
  Type type = Type::kInvalid;
  Text text;                 // kText: the string, or what toString() gives
  std::string bytes;         // kBytes
  std::vector<Text> texts;   // kTextList
  std::vector<Value> items;  // kList

  static Value OfText(Text t) {
    Value v;
    v.type = Type::kText;
    v.text = std::move(t);
    return v;
  }
  static Value OfBytes(std::string b) {
    Value v;
    v.type = Type::kBytes;
    v.bytes = std::move(b);
    return v;
  }
};

// QVariant::toString().
Text ToText(const Value& v) {
  switch (v.type) {
    case Value::Type::kText:
      return v.text;
    case Value::Type::kBytes:
      return FromUtf8(v.bytes);
    case Value::Type::kTextList:
      return v.texts.size() == 1 ? v.texts.front() : Text();
    default:
      return {};
  }
}

Text Joined(const std::vector<Text>& parts) {
  Text joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += u',';
    joined += parts[i];
  }
  return joined;
}

// What the window's store reads for a value.
std::string ReadText(const Value& v) {
  switch (v.type) {
    case Value::Type::kBytes:
      return v.bytes;
    case Value::Type::kTextList:
      return ToUtf8(Joined(v.texts));
    case Value::Type::kList: {
      std::vector<Text> parts;
      for (const Value& item : v.items) parts.push_back(ToText(item));
      return ToUtf8(Joined(parts));
    }
    default:
      return ToUtf8(ToText(v));
  }
}

// QDataStream over the Latin-1 bytes of a "@Variant(" or "@DateTime(" value,
// for the types listed in the header.
class DataStream {
 public:
  DataStream(std::string bytes, int version) : bytes_(std::move(bytes)), version_(version) {}

  Value ReadVariant() {
    std::uint32_t type = static_cast<std::uint32_t>(ReadNumber(4));
    if (version_ < kQt50) {
      if (type == 127) {
        type = kQt5UserType;
      } else if (type >= 128 && type != kQt5UserType) {
        type -= 97;
      } else if (type == 75) {
        type = kQt5SizePolicy;
      } else if (type > 75 && type <= 86) {
        type -= 1;
      }
    }
    if (type == kQt5UserType || (type >= 64 && type <= 87) || type == kQt5SizePolicy || type == 27)
      type = kOther;  // a type registered by name, a Gui type or QRegExp
    if (version_ >= kQt42) ReadNumber(1);  // the "is null" flag, which toString() ignores
    Value v;
    switch (type) {
      case 0:  // no type: a string follows
        if (version_ < kQt50) ReadText();
        return v;
      case 1:
        return Value::OfText(ReadNumber(1) != 0 ? u"true" : u"false");
      case 2:
        return Number(static_cast<std::int32_t>(ReadNumber(4)));
      case 3:
        return Number(static_cast<std::uint32_t>(ReadNumber(4)));
      case 4:
      case 32:
        return Number(static_cast<std::int64_t>(ReadNumber(8)));
      case 5:
      case 35:
        return Number(ReadNumber(8));
      case 33:
        return Number(static_cast<std::int16_t>(ReadNumber(2)));
      case 36:
        return Number(static_cast<std::uint16_t>(ReadNumber(2)));
      case 7:
        return Value::OfText(Text(1, static_cast<char16_t>(ReadNumber(2))));
      case 34:
      case 37:
      case 40:
        return Value::OfText(Text(1, static_cast<char16_t>(ReadNumber(1))));
      case 51:
        return Value::OfText({});
      case 10:
        return Value::OfText(ReadText());
      case 12:
        return Value::OfBytes(ReadBytes());
      case 11:
      case 9: {
        v.type = type == 11 ? Value::Type::kTextList : Value::Type::kList;
        const bool badBefore = std::exchange(bad_, false);
        const std::uint64_t count = ReadNumber(4);
        for (std::uint64_t i = 0; i < count; ++i) {
          if (type == 11) {
            v.texts.push_back(ReadText());
          } else if (depth_ == kMaxDepth) {
            // Lists within lists past any sensible depth are not followed,
            // so that a garbled file cannot exhaust the stack.
            v.type = Value::Type::kUnsupported;
            return v;
          } else {
            ++depth_;
            v.items.push_back(ReadVariant());
            --depth_;
            if (v.items.back().type == Value::Type::kUnsupported) return v.items.back();
          }
          if (bad_) {
            v.texts.clear();
            v.items.clear();
            break;
          }
        }
        bad_ = bad_ || badBefore;
        return v;
      }
      default:
        v.type = Value::Type::kUnsupported;
        return v;
    }
  }

 private:
  static constexpr int kQt42 = 8, kQt50 = 13, kMaxDepth = 256;
  static constexpr std::uint32_t kQt5UserType = 1024, kQt5SizePolicy = 121;
  static constexpr std::uint32_t kOther = 0xFFFFFFFF;

  template <typename N>
  static Value Number(N n) {
    const std::string digits = std::to_string(n);
    return Value::OfText(FromLatin1(digits));
  }

  // The next `size` bytes, or nothing (and the stream at its end) when fewer are left.
  bool Take(std::size_t size, std::string_view& out) {
    if (bytes_.size() - pos_ < size) {
      pos_ = bytes_.size();
      bad_ = true;
      return false;
    }
    out = std::string_view(bytes_).substr(pos_, size);
    pos_ += size;
    return true;
  }

  // A big-endian unsigned number of `size` bytes; 0 when the stream ends first.
  std::uint64_t ReadNumber(std::size_t size) {
    std::string_view raw;
    if (!Take(size, raw)) return 0;
    std::uint64_t n = 0;
    for (const unsigned char c : raw) n = (n << 8) | c;
    return n;
  }

  std::string ReadBytes() {
    const std::uint64_t size = ReadNumber(4);
    std::string_view raw;
    if (size == 0xFFFFFFFF || !Take(size, raw)) return {};
    return std::string(raw);
  }

  Text ReadText() {
    const std::uint64_t size = ReadNumber(4);
    if (size == 0xFFFFFFFF || size == 0) return {};
    std::string_view raw;
    if (size % 2 != 0) {
      bad_ = true;
      return {};
    }
    if (!Take(size, raw)) return {};
    Text text;
    for (std::size_t i = 0; i < raw.size(); i += 2)
      text += static_cast<char16_t>((static_cast<unsigned char>(raw[i]) << 8) |
                                    static_cast<unsigned char>(raw[i + 1]));
    return text;
  }

  std::string bytes_;
  std::size_t pos_ = 0;
  int version_;
  int depth_ = 0;
  bool bad_ = false;
};

// QSettingsPrivate::splitArgs: the number of space-separated arguments of
// "@Rect(1 2 3 4)" and the like, `open` being the index of "(".
std::size_t ArgumentCount(const Text& s, std::size_t open) {
  std::size_t count = 0;
  for (std::size_t i = open + 1; i < s.size(); ++i)
    if (s[i] == u')' || s[i] == u' ') ++count;
  return count;
}

bool StartsWith(const Text& s, std::u16string_view prefix) {
  return s.size() >= prefix.size() && std::u16string_view(s).substr(0, prefix.size()) == prefix;
}

// QSettingsPrivate::stringToVariant.
Value StringToValue(const Text& s) {
  if (StartsWith(s, u"@")) {
    if (s.back() == u')') {
      if (StartsWith(s, u"@ByteArray(")) {
        return Value::OfBytes(ToLatin1(std::u16string_view(s).substr(11, s.size() - 12)));
      } else if (StartsWith(s, u"@String(")) {
        return Value::OfText(s.substr(8, s.size() - 9));
      } else if (StartsWith(s, u"@Variant(") || StartsWith(s, u"@DateTime(")) {
        const bool dateTime = s[1] == u'D';
        DataStream stream(ToLatin1(std::u16string_view(s).substr(dateTime ? 10 : 9)),
                          dateTime ? 17 : 7);
        return stream.ReadVariant();
      } else if (StartsWith(s, u"@Rect(")) {
        if (ArgumentCount(s, 5) == 4) return Value::OfText({});
      } else if (StartsWith(s, u"@Size(")) {
        if (ArgumentCount(s, 5) == 2) return Value::OfText({});
      } else if (StartsWith(s, u"@Point(")) {
        if (ArgumentCount(s, 6) == 2) return Value::OfText({});
      } else if (s == u"@Invalid()") {
        return {};
      }
    }
    if (StartsWith(s, u"@@")) return Value::OfText(s.substr(1));
  }
  return Value::OfText(s);
}

// QSettingsPrivate::stringListToVariantList.
// A list that holds an item starting with a single "@" is a list of values;
// otherwise "@@" at the start of an item stands for "@".
Value ListToValue(const std::vector<Text>& list) {
  Value v;
  v.type = Value::Type::kTextList;
  for (const Text& item : list) {
    if (!StartsWith(item, u"@")) {
      v.texts.push_back(item);
    } else if (item.size() >= 2 && item[1] == u'@') {
      v.texts.push_back(item.substr(1));
    } else {
      v.type = Value::Type::kList;
      v.texts.clear();
      for (const Text& original : list) v.items.push_back(StringToValue(original));
      break;
    }
  }
  return v;
}

void ChopTrailingSpaces(Text& s, std::size_t limit) {
  while (s.size() > limit && (s.back() == u' ' || s.back() == u'\t')) s.pop_back();
}

// QSettingsPrivate::iniUnescapedStringList: the text of a value, or the list
// it is when it holds an unquoted ",".
Value UnescapeValue(std::string_view str) {
  static constexpr char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},
                                         {'r', '\r'}, {'t', '\t'}, {'v', '\v'}, {'"', '"'},
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
      case State::kEnd:
        break;
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

}  // namespace

// Every key of the file by its full QSettings name ("group/key", or "key" at
// the top level), and the names QSettings lists.
struct IniFileSettings::Parsed {
  std::map<Text, Value> values;
  std::vector<Text> groups;                  // childGroups() of the top level
  std::map<Text, std::vector<Text>> keys;    // childKeys() of each group; "" is the top level
};

IniFileSettings::IniFileSettings(std::string_view data) {
  auto parsed = std::make_unique<Parsed>();

  // QConfFileSettingsPrivate::readIniFile: the bytes of each section, those
  // of sections with the same name joined by a line feed.
  std::map<Text, std::string> sections;
  Text current;
  std::size_t currentStart = 0, pos = StartsWithBom(data) ? 3 : 0;
  std::size_t lineStart = 0, lineLength = 0, equals = 0;
  const auto flush = [&] {
    std::string& bytes = sections[current];
    if (!bytes.empty()) bytes += '\n';
    bytes += data.substr(currentStart, lineStart - currentStart);
  };
  while (ReadIniLine(data, pos, lineStart, lineLength, equals)) {
    const std::string_view line = data.substr(lineStart, lineLength);
    if (line.front() != '[') continue;
    flush();
    std::size_t close = line.find(']');
    if (close == kNone) close = line.size();
    const std::string_view name = Trimmed(line.substr(1, close - 1));
    current.clear();
    if (!EqualsAsciiIgnoringCase(name, "general")) {
      if (EqualsAsciiIgnoringCase(name, "%general"))
        current = FromLatin1(name.substr(1));
      else
        AppendUnescapedKey(name, current);
      current += u'/';
    }
    currentStart = pos;
  }
  flush();  // the last section, up to the end

  // QConfFileSettingsPrivate::readIniSection, section by section in the
  // order of their names; a later line for the same key replaces the value.
  for (const auto& [section, bytes] : sections) {
    pos = 0;
    while (ReadIniLine(bytes, pos, lineStart, lineLength, equals)) {
      if (equals == kNone) continue;
      const std::string_view line = std::string_view(bytes).substr(lineStart, lineLength);
      Text key = section;
      AppendUnescapedKey(Trimmed(line.substr(0, equals - lineStart)), key);
      parsed->values.insert_or_assign(std::move(key),
                                      UnescapeValue(line.substr(equals - lineStart + 1)));
    }
  }

  // QSettings::childGroups() and childKeys(), sorted and without repeats.
  for (const auto& entry : parsed->values) {
    const Text& name = entry.first;
    const std::size_t slash = name.find(u'/');
    if (slash == Text::npos) {
      parsed->keys[Text()].push_back(name);
      continue;
    }
    Text group = name.substr(0, slash);
    parsed->groups.push_back(group);
    Text rest = name.substr(slash + 1);
    if (!group.empty() && rest.find(u'/') == Text::npos)
      parsed->keys[std::move(group)].push_back(std::move(rest));
  }
  std::sort(parsed->groups.begin(), parsed->groups.end());
  parsed->groups.erase(std::unique(parsed->groups.begin(), parsed->groups.end()),
                       parsed->groups.end());
  parsed_ = std::move(parsed);
}

IniFileSettings::~IniFileSettings() = default;

std::string IniFileSettings::Read(std::string_view app, std::string_view section,
                                  std::string_view key) const {
  if (!SameName(app, kApp)) return {};
  // The groups that hold `section`; the empty group stands for the top level.
  std::vector<Text> groups;
  if (SameName(section, kSectionGeneral)) {
    groups.emplace_back();
  } else {
    for (const Text& group : parsed_->groups)
      if (SameName(CallerName(group), section)) groups.push_back(group);
  }
  for (const Text& group : groups) {
    const auto keys = parsed_->keys.find(group);
    if (keys == parsed_->keys.end()) continue;
    for (const Text& stored : keys->second) {
      if (!SameName(CallerName(stored), key)) continue;
      // QSettings::value() of "group/key", or of "key" at the top level.
      const Text name = group.empty() ? stored : group + u'/' + stored;
      if (name.empty()) return {};
      const auto value = parsed_->values.find(NormalizedKey(name));
      return value == parsed_->values.end() ? std::string() : ReadText(value->second);
    }
  }
  return {};
}

WriteResult IniFileSettings::Write(std::string_view, std::string_view, std::string_view,
                                   std::string_view) {
  return WriteResult::NotStored("settings file", "it is only read here");
}

std::string DefaultSettingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && *config != '\0') return std::string(config) + "/glossmith/l33t.ini";
  const char* home = std::getenv("HOME");
  const std::string_view given = home != nullptr && *home != '\0' ? home : "/";
  // QDir::cleanPath of the home folder.
  std::vector<std::string_view> parts;
  const bool absolute = given.front() == '/';
  std::size_t i = 0;
  while (i < given.size()) {
    const std::size_t end = std::min(given.find('/', i), given.size());
    const std::string_view part = given.substr(i, end - i);
    i = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == ".." && !parts.empty() && parts.back() != "..")
      parts.pop_back();
    else
      parts.push_back(part);
  }
  std::string path = absolute ? "/" : "";
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) path += '/';
    path += parts[k];
  }
  return (path.empty() ? std::string(".") : path) + "/.config/glossmith/l33t.ini";
}

int ReadSettingsFile(const std::string& path, bool given, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return !given && (errno == ENOENT || errno == ENOTDIR) ? 0 : errno;
  int error = 0;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    error = EISDIR;
  } else {
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        error = errno;
        break;
      }
      if (bytes.size() + static_cast<std::size_t>(got) > kMaxSettingsFileBytes) {
        error = EFBIG;
        break;
      }
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  if (error != 0) bytes.clear();
  return error;
}

}  // namespace glossmith
