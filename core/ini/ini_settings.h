#pragma once

// The settings file that the window writes through QSettings (IniFormat), read
// without Qt: every name and value reads exactly as the window's store
// (store/inisettings.h) reads it on Linux.
//
// Layout: section "general" is the file's top level, "[General]" (a section
// header "general" in any ASCII case, spaces around it ignored); every other
// section is an INI group of its own. A Read finds, among the groups and keys
// that QSettings would list, those whose name matches without regard to case,
// and takes the first in QSettings' order (code unit order of the names).
//
// Names: as QSettings reads them, a "\" in a key or section header stands for
// "/", and "%XX" and "%UXXXX" stand for one UTF-16 code unit; a group or key
// whose name then starts with "%" is decoded once more the way the store
// encodes awkward names ("%" followed by bytes, each not an ASCII letter, digit,
// "-", "." or "_" written as %XX). Names match as QString::compare with
// Qt::CaseInsensitive: simple Unicode case folding, code unit by code unit; a
// name that is not UTF-8 matches only itself, byte for byte.
//
// Duplicates: all sections of one exact name form one section; within the
// file, a later line for the same exact key wins, and sections are taken in
// code unit order of their names, so a key spelled in two ways
// ("[a]" "b\c=" and "[a\b]" "c=") is the one of the later section.
//
// Values: QSettings' unescaping: spaces and tabs before a value and after an
// unquoted one are dropped; "..." quotes (they may span lines); \a \b \f \n
// \r \t \v \" \? \' \\, \xHH... and \OOO... escapes of one UTF-16 code unit,
// a backslash before a line break joins the lines, one before any other
// character drops it; ";" starts a comment outside quotes; an unquoted ","
// makes a list, which reads back joined with ",". Text is decoded as UTF-8
// the way QStringDecoder does it, across the pieces between escapes; bytes
// that are not UTF-8 become U+FFFD. "@ByteArray(...)" gives the Latin-1 bytes
// of its text, "@String(...)" its text, "@Invalid()", "@Rect(...)",
// "@Size(...)" and "@Point(...)" an empty value, "@@..." the text less one
// "@". "@Variant(...)" and "@DateTime(...)" are decoded as QDataStream would
// for booleans, integers, characters, strings, string lists, byte arrays and
// lists of those (nested up to 256 deep); any other type reads as "".

// The reader's parts: text.h (Qt's text conversions), lexer.h (lines, names
// and escaped values), variants.h (what a value stands for).

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "core/settings.h"

namespace glossmith {

// The values of a settings file in QSettings' INI format, parsed once from its bytes.
class IniFileSettings final : public Settings {
 public:
  explicit IniFileSettings(std::string_view fileBytes);
  ~IniFileSettings() override;
  IniFileSettings(const IniFileSettings&) = delete;
  IniFileSettings& operator=(const IniFileSettings&) = delete;

  std::string Read(std::string_view app, std::string_view section,
                   std::string_view key) const override;
  // Read-only: never stores, and says so.
  WriteResult Write(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view value) override;

 private:
  struct Parsed;
  std::unique_ptr<const Parsed> parsed_;
};

// $XDG_CONFIG_HOME/glossmith/l33t.ini when XDG_CONFIG_HOME is set and not
// empty, else $HOME/.config/glossmith/l33t.ini (HOME cleaned of "//", "."
// and ".." parts and a trailing "/"), as QStandardPaths::GenericConfigLocation
// gives it on Linux.
std::string DefaultSettingsPath();

// The most bytes ReadSettingsFile takes (a pipe such as /dev/zero never ends).
inline constexpr std::size_t kMaxSettingsFileBytes = std::size_t{64} << 20;

// Reads a settings file whole into `bytes`: a regular file, a pipe or FIFO
// (--settings <(cat x.ini)) or any other readable non-directory, at most
// kMaxSettingsFileBytes (EFBIG past that). Returns 0 or an errno; a directory
// is EISDIR. When `given` is false (the per-user default) a missing file
// (ENOENT, ENOTDIR) is no error and gives empty bytes.
int ReadSettingsFile(const std::string& path, bool given, std::string& bytes);

}  // namespace glossmith
