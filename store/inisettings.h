#pragma once

#include <QString>

#include "core/settings.h"

namespace glossmith {

// The per-user settings store: one INI file in QSettings' format, holding the
// values of application "l33t" (the file's name stands for the application;
// Read of any other application gives "" and Write to one is not stored).
//
// Layout: section "general" is QSettings' top level, written as "[General]";
// every other section is an INI group of its own. A hand-edited "[general]"
// or "[GENERAL]" is read as the same top level.
//
// Names: sections and keys match without regard to case (full Unicode case
// folding), also in a file edited by hand, and keep the case they were first
// written in; a Write updates the existing key of any case. Where the file
// holds several spellings of one name, the first in QSettings' key order
// wins, and a Write that changes the value removes the others.
//
// Any key text is allowed. A key that is empty, holds "/" or "\" (QSettings'
// group separators), starts with "%", or is not UTF-8 is stored as "%"
// followed by its bytes, each one that is not an ASCII letter, digit, "-",
// "." or "_" written as %XX; every other key, "A" or "usehard" included, is
// stored as it is. QSettings then escapes the stored name in the file as it
// does any key.
//
// Values: any bytes round-trip. Text goes through QSettings as a string
// (which quotes and escapes it); bytes that are not UTF-8 are kept as a
// QSettings byte array. A hand-written value with unquoted commas, which
// QSettings reads as a list, reads back joined with ",".
//
// No cache: every call opens the file through a fresh QSettings, which
// re-parses the file when its size or modification time changed, so a value
// written by another process is seen by the next Read.
//
// Reads do not fail: a missing, empty, unreadable or garbled file reads as
// whatever values can still be parsed, the rest as "". A Write that cannot be
// stored (read-only folder or file, a folder that cannot be created, a stuck
// lock, a disk too full for the new file) leaves the file as it was, is not
// seen by later Reads, and says why, naming the file. A Write that stores the value already there
// (a missing key counts as "") does not touch the file and counts as stored.
class IniSettings final : public Settings {
 public:
  explicit IniSettings(const QString& filePath);

  // $XDG_CONFIG_HOME/glossmith/l33t.ini, by default ~/.config/glossmith/l33t.ini.
  static QString defaultFilePath();

  const QString& filePath() const { return filePath_; }

  std::string Read(std::string_view app, std::string_view section,
                   std::string_view key) const override;
  WriteResult Write(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view value) override;

 private:
  QString filePath_;
};

}  // namespace glossmith
