#include "core/settings.h"

namespace glossmith {

std::string MemorySettings::FoldedName(std::string_view app, std::string_view section,
                                       std::string_view key) {
  std::string name;
  name.reserve(app.size() + section.size() + key.size() + 2);
  // Each part is prefixed with its length so that no two triples share a name.
  for (std::string_view part : {app, section, key}) {
    name += std::to_string(part.size());
    name += ':';
    for (char c : part) name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return name;
}

std::string MemorySettings::Read(std::string_view app, std::string_view section,
                                 std::string_view key) const {
  auto it = values_.find(FoldedName(app, section, key));
  return it == values_.end() ? std::string() : it->second;
}

WriteResult MemorySettings::Write(std::string_view app, std::string_view section,
                                  std::string_view key, std::string_view value) {
  ++writes_;
  values_[FoldedName(app, section, key)] = std::string(value);
  return WriteResult::Stored();
}

}  // namespace glossmith
