#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/settings.h"

namespace glossmith {

// The Hardcore letter table: one L33T string per letter, stored under the
// capital letters "A" to "Z" of section "hardcore". One value serves both
// cases of its letter. A letter with nothing stored reads as "", and the
// translations use that empty value as it is.
using LetterTable = std::array<std::string, 26>;

struct LetterDefault {
  char letter;
  std::string_view value;
};

// The built-in alphabet, in the order in which it is written.
extern const std::array<LetterDefault, 26> kHardcoreDefaults;

// The key under which letter `letter` ('A'..'Z') is stored.
std::string LetterKey(char letter);

// Reads the 26 letters through `settings`.
LetterTable ReadLetterTable(const Settings& settings);

// Writes the 26 defaults, "A" first, and stops at the first Write that is not
// stored, returning its result. Does not touch the "custom" marker.
WriteResult WriteHardcoreDefaults(Settings& settings);

// The table of the defaults, as ReadLetterTable would give it after
// WriteHardcoreDefaults.
LetterTable DefaultLetterTable();

// The stored Hardcore switch: on when "usehard" of section "general" is
// exactly "yes"; "Yes", any other value or nothing at all leave it off.
bool StoredHardcoreSwitch(const Settings& settings);

// Stores the Hardcore switch: "yes" when on, "no" when off.
WriteResult WriteStoredHardcoreSwitch(Settings& settings, bool on);

// The first time the Hardcore alphabet is opened for editing, the defaults
// are written under the "custom" marker ("yes"), so that later openings keep
// the letters the user has changed. The marker is cleared again when the
// defaults after it could not be stored, so that the next opening tries
// again. Stored (and nothing written) when the marker is already set.
WriteResult WriteDefaultsOnFirstOpening(Settings& settings);

}  // namespace glossmith
