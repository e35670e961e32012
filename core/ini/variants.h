#pragma once

// The values QSettings hands over (QVariant), reduced to what a read makes of
// them: "@ByteArray(...)", "@Variant(...)" and the other "@" forms, decoded as
// QSettings and QDataStream decode them (see ini_settings.h for the types).

#include <string>
#include <utility>
#include <vector>

#include "core/ini/text.h"

namespace glossmith::ini {

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
Text ToText(const Value& v);

// What the window's store reads for a value.
std::string ReadText(const Value& v);

// QSettingsPrivate::stringToVariant: the value a text stands for.
Value StringToValue(const Text& s);

// QSettingsPrivate::stringListToVariantList: a list that holds an item
// starting with a single "@" is a list of values; otherwise "@@" at the start
// of an item stands for "@".
Value ListToValue(const std::vector<Text>& list);

}  // namespace glossmith::ini
