// What the JavaScript side needs besides the C API: a sink it can read after
// the call (calling into JavaScript for every piece of a stream would cross
// the boundary once per piece; the bytes are gathered here and read at once),
// and the rules of settings text as data, for the page's editors.
#include <glossmith/glossmith.h>

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "core/ini/ini_settings.h"
#include "core/rules/hardcore_table.h"
#include "core/rules/rule_set.h"

namespace {

struct Buffer {
  std::string bytes;
};

int Append(void* context, const char* bytes, size_t len) {
  try {
    static_cast<Buffer*>(context)->bytes.append(bytes, len);
    return 0;
  } catch (const std::bad_alloc&) {
    return 1;
  }
}

// Fields are a 32-bit little-endian length, then the bytes.
void PutField(std::string& out, std::string_view field) {
  const auto size = static_cast<std::uint32_t>(field.size());
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(size >> shift));
  out.append(field);
}

}  // namespace

extern "C" {

Buffer* glsjs_buffer_new() { return new (std::nothrow) Buffer; }
void glsjs_buffer_free(Buffer* buffer) { delete buffer; }
const char* glsjs_buffer_data(const Buffer* buffer) { return buffer->bytes.data(); }
size_t glsjs_buffer_size(const Buffer* buffer) { return buffer->bytes.size(); }

// Feeds a stream; the buffer then holds what became final (and nothing else).
gls_status glsjs_stream_feed(gls_stream* stream, const char* text, size_t len, Buffer* buffer) {
  buffer->bytes.clear();
  return gls_stream_feed(stream, text, len, &Append, buffer);
}

gls_status glsjs_stream_finish(gls_stream* stream, Buffer* buffer) {
  buffer->bytes.clear();
  return gls_stream_finish(stream, &Append, buffer);
}

// The rules of settings text as the library reads them: "1" or "0" for the
// stored Hardcore switch, the 26 letters, then each Custom pair that
// applies, find and replacement; every field as PutField writes it.
gls_status glsjs_read_settings(const char* bytes, size_t len, Buffer* buffer) {
  if (len > glossmith::kMaxSettingsFileBytes) return GLS_E_SETTINGS;
  try {
    const glossmith::IniFileSettings settings(std::string_view(bytes, len));
    const glossmith::RuleSet rules = glossmith::ReadRuleSet(settings, true);
    std::string& out = buffer->bytes;
    out.clear();
    PutField(out, glossmith::StoredHardcoreSwitch(settings) ? "1" : "0");
    for (const std::string& letter : rules.letters) PutField(out, letter);
    for (const auto& [find, replacement] : rules.custom) {
      PutField(out, find);
      PutField(out, replacement);
    }
    return GLS_OK;
  } catch (const std::bad_alloc&) {
    return GLS_E_NOMEM;
  }
}

// The built-in Hardcore alphabet, "A" to "Z", as PutField writes each.
gls_status glsjs_default_letters(Buffer* buffer) {
  try {
    buffer->bytes.clear();
    for (const std::string& letter : glossmith::DefaultLetterTable())
      PutField(buffer->bytes, letter);
    return GLS_OK;
  } catch (const std::bad_alloc&) {
    return GLS_E_NOMEM;
  }
}
}
