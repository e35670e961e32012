// Translates standard input by the step-by-step rules, with the rules of a
// settings file: the oracle that the layers test holds every way in against.
// Usage: reference_probe SETTINGS to-l33t|to-english standard|hardcore
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "core/ini/ini_settings.h"
#include "core/rules/reference.h"

int main(int argc, char** argv) {
  using namespace glossmith;
  if (argc != 4) {
    std::fputs("usage: reference_probe SETTINGS to-l33t|to-english standard|hardcore\n", stderr);
    return 2;
  }
  std::string settingsBytes, text;
  if (ReadSettingsFile(argv[1], true, settingsBytes) != 0) return 1;
  char buffer[65536];
  for (ssize_t got; (got = read(STDIN_FILENO, buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(got));
  const IniFileSettings settings(settingsBytes);
  const bool hardcore = std::string_view(argv[3]) == "hardcore";
  const std::string out = std::string_view(argv[2]) == "to-english"
                              ? reference::L33tToEnglish(text, hardcore, settings)
                              : reference::EnglishToL33t(text, hardcore, settings);
  return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 1;
}
