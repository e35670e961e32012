// QSettings' variants: what a value's text stands for, and what a read makes of it.
#include "core/ini/variants.h"

#include <cstdint>
#include <utility>

namespace glossmith::ini {
namespace {

Text Joined(const std::vector<Text>& parts) {
  Text joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += u',';
    joined += parts[i];
  }
  return joined;
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
      type = kOther;                       // a type registered by name, a Gui type or QRegExp
    if (version_ >= kQt42) ReadNumber(1);  // the "is null" flag, which toString() ignores
    Value v;
    switch (type) {
      case 0:  // no type: a string follows
        if (version_ < kQt50) ReadText();
        return v;
      case 1: return Value::OfText(ReadNumber(1) != 0 ? u"true" : u"false");
      case 2: return Number(static_cast<std::int32_t>(ReadNumber(4)));
      case 3: return Number(static_cast<std::uint32_t>(ReadNumber(4)));
      case 4:
      case 32: return Number(static_cast<std::int64_t>(ReadNumber(8)));
      case 5:
      case 35: return Number(ReadNumber(8));
      case 33: return Number(static_cast<std::int16_t>(ReadNumber(2)));
      case 36: return Number(static_cast<std::uint16_t>(ReadNumber(2)));
      case 7: return Value::OfText(Text(1, static_cast<char16_t>(ReadNumber(2))));
      case 34:
      case 37:
      case 40: return Value::OfText(Text(1, static_cast<char16_t>(ReadNumber(1))));
      case 51: return Value::OfText({});
      case 10: return Value::OfText(ReadText());
      case 12: return Value::OfBytes(ReadBytes());
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
      default: v.type = Value::Type::kUnsupported; return v;
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

}  // namespace

// QVariant::toString().
Text ToText(const Value& v) {
  switch (v.type) {
    case Value::Type::kText: return v.text;
    case Value::Type::kBytes: return FromUtf8(v.bytes);
    case Value::Type::kTextList: return v.texts.size() == 1 ? v.texts.front() : Text();
    default: return {};
  }
}

// What the window's store reads for a value.
std::string ReadText(const Value& v) {
  switch (v.type) {
    case Value::Type::kBytes: return v.bytes;
    case Value::Type::kTextList: return ToUtf8(Joined(v.texts));
    case Value::Type::kList: {
      std::vector<Text> parts;
      for (const Value& item : v.items) parts.push_back(ToText(item));
      return ToUtf8(Joined(parts));
    }
    default: return ToUtf8(ToText(v));
  }
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

}  // namespace glossmith::ini
