#pragma once

// Readable reports for long texts that differ: where, and a little around it,
// with control and non-ASCII bytes escaped. (GoogleTest's own diff of two
// long multi-line strings takes minutes.)

#include <algorithm>
#include <sstream>
#include <string>
#include <string_view>

namespace glossmith::testing_support {

inline std::string Escaped(std::string_view bytes, std::size_t limit = 4000) {
  std::ostringstream os;
  os << '"';
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r')
      os << "\\r";
    else if (c == '\n')
      os << "\\n";
    else if (c == '"' || c == '\\')
      os << '\\' << c;
    else if (c < 0x20 || c >= 0x7F)
      os << "\\x" << "0123456789ABCDEF"[c >> 4] << "0123456789ABCDEF"[c & 15];
    else
      os << c;
  }
  if (bytes.size() > limit) os << "...(" << bytes.size() << " bytes)";
  os << '"';
  return os.str();
}

// Empty when the texts are equal.
inline std::string Difference(std::string_view actual, std::string_view expected) {
  if (actual == expected) return {};
  const auto first = static_cast<std::size_t>(
      std::mismatch(actual.begin(), actual.begin() + std::min(actual.size(), expected.size()),
                    expected.begin())
          .first -
      actual.begin());
  const std::size_t from = first > 40 ? first - 40 : 0;
  std::ostringstream os;
  os << "texts differ at byte " << first << " (lengths " << actual.size() << " and "
     << expected.size() << ")\n  actual   from " << from << ": "
     << Escaped(actual.substr(from, 80)) << "\n  expected from " << from << ": "
     << Escaped(expected.substr(from, 80));
  return os.str();
}

}  // namespace glossmith::testing_support
