#pragma once

// How the settings store writes awkward section and key names, so that
// QSettings keeps them apart and intact: a name that is empty, holds "/" or
// "\", starts with "%" or is not UTF-8 is written as "%" followed by its
// bytes, each byte that is not an ASCII letter, digit, "-", "." or "_" as
// %XX. The window's store (store/inisettings.cpp) writes and reads such
// names; the Qt-free reader (ini_settings.h) reads them.

#include <string>
#include <string_view>

namespace glossmith {

// The mark that starts an encoded name.
inline constexpr char kEncodedNameMark = '%';

// Bytes that an encoded name keeps as they are.
bool IsKeptNameByte(unsigned char c);

// The value of a hexadecimal digit (either case), or -1.
int HexDigitValue(unsigned char c);

// The caller's name for a name as stored (its UTF-8): the decoded bytes of an
// encoded name; a name without the mark, or that is no valid encoding (written
// by hand), as it is.
std::string DecodeStoredName(std::string_view stored);

}  // namespace glossmith
