// Reading a settings file, as glossmith-cli and the window read it.
#include <glossmith/glossmith.h>

#include <cerrno>
#include <string>

#include "core/ini/ini_settings.h"
#include "lib/src/api.h"

extern "C" gls_status gls_rules_load_settings(gls_rules* rules, const char* path) {
  if (!rules) return GLS_E_NULL;
  return glossmith::lib::Guarded([&] {
    const bool given = path != nullptr;
    const std::string file = given ? std::string(path) : glossmith::DefaultSettingsPath();
    std::string bytes;
    if (const int error = glossmith::ReadSettingsFile(file, given, bytes)) {
      errno = error;
      return GLS_E_SETTINGS;
    }
    glossmith::lib::LoadRules(*rules, glossmith::IniFileSettings(bytes));
    return GLS_OK;
  });
}
