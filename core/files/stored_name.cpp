#include "core/files/stored_name.h"

namespace glossmith {

bool IsKeptNameByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

int HexDigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string DecodeStoredName(std::string_view stored) {
  if (stored.empty() || stored.front() != kEncodedNameMark) return std::string(stored);
  std::string name;
  for (std::size_t i = 1; i < stored.size(); ++i) {
    const auto c = static_cast<unsigned char>(stored[i]);
    if (IsKeptNameByte(c)) {
      name += static_cast<char>(c);
      continue;
    }
    const int high = c == '%' && i + 2 < stored.size() ? HexDigitValue(stored[i + 1]) : -1;
    const int low = high >= 0 ? HexDigitValue(stored[i + 2]) : -1;
    if (low < 0) return std::string(stored);
    name += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return name;
}

}  // namespace glossmith
