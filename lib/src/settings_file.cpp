// Reading a settings file, or its bytes, as glossmith-cli and the window read it.
#include <glossmith/glossmith.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

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

extern "C" gls_status gls_rules_load_settings_bytes(gls_rules* rules, const char* bytes,
                                                    size_t len) {
  if (!rules || (!bytes && len != 0)) return GLS_E_NULL;
  if (len > glossmith::kMaxSettingsFileBytes) {
    errno = EFBIG;
    return GLS_E_SETTINGS;
  }
  return glossmith::lib::Guarded([&] {
    const std::string_view text = len == 0 ? std::string_view() : std::string_view(bytes, len);
    glossmith::lib::LoadRules(*rules, glossmith::IniFileSettings(text));
    return GLS_OK;
  });
}

extern "C" gls_status gls_settings_path(char* out, size_t out_capacity, size_t* out_len) {
  if ((!out && out_capacity) || !out_len) return GLS_E_NULL;
  return glossmith::lib::Guarded([&] {
    const std::string path = glossmith::DefaultSettingsPath();
    *out_len = path.size();
    if (path.size() > out_capacity) return GLS_E_BUFFER;
    std::memcpy(out, path.data(), path.size());
    return GLS_OK;
  });
}
