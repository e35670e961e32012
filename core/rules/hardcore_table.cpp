#include "core/rules/hardcore_table.h"

namespace glossmith {

const std::array<LetterDefault, 26> kHardcoreDefaults = {{
    {'A', "4"},   {'B', "8"},    {'C', "("},   {'D', "|)"},   {'E', "3"},    {'F', "|="},
    {'G', "6"},   {'H', "|-|"},  {'I', "!"},   {'J', "_|"},   {'K', "|<"},   {'L', "1"},
    {'M', "|\\/|"}, {'N', "|\\|"}, {'O', "0"},  {'P', "|>"},   {'Q', "()."},  {'R', ".-"},
    {'S', "5"},   {'T', "7"},    {'U', "|_|"}, {'V', "\\/"},  {'W', "\\|/"}, {'X', "><"},
    {'Y', "9"},   {'Z', "2"},
}};

std::string LetterKey(char letter) { return std::string(1, letter); }

LetterTable ReadLetterTable(const Settings& settings) {
  LetterTable table;
  for (int i = 0; i < 26; ++i)
    table[i] = settings.Read(kApp, kSectionHardcore, LetterKey(static_cast<char>('A' + i)));
  return table;
}

WriteResult WriteHardcoreDefaults(Settings& settings) {
  for (const auto& [letter, value] : kHardcoreDefaults)
    if (WriteResult result = settings.Write(kApp, kSectionHardcore, LetterKey(letter), value);
        !result)
      return result;
  return WriteResult::Stored();
}

LetterTable DefaultLetterTable() {
  LetterTable table;
  for (const auto& [letter, value] : kHardcoreDefaults) table[letter - 'A'] = std::string(value);
  return table;
}

bool StoredHardcoreSwitch(const Settings& settings) {
  return settings.Read(kApp, kSectionGeneral, kKeyUseHard) == "yes";
}

WriteResult WriteStoredHardcoreSwitch(Settings& settings, bool on) {
  return settings.Write(kApp, kSectionGeneral, kKeyUseHard, on ? "yes" : "no");
}

WriteResult WriteDefaultsOnFirstOpening(Settings& settings) {
  if (!settings.Read(kApp, kSectionHardcore, kKeyCustom).empty()) return WriteResult::Stored();
  WriteResult written = settings.Write(kApp, kSectionHardcore, kKeyCustom, "yes");
  if (written) {
    written = WriteHardcoreDefaults(settings);
    if (!written) settings.Write(kApp, kSectionHardcore, kKeyCustom, "");
  }
  return written;
}

}  // namespace glossmith
