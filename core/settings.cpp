#include "core/settings.h"

#include <charconv>
#include <iterator>
#include <utility>

namespace glossmith {

std::string_view MemorySettings::FoldedName(std::string_view app, std::string_view section,
                                            std::string_view key, std::string& name) {
  name.clear();
  // Each part is prefixed with its length so that no two triples share a name.
  for (std::string_view part : {app, section, key}) {
    char length[24];
    name.append(length, std::to_chars(length, std::end(length), part.size()).ptr);
    name += ':';
    const std::size_t at = name.size();
    name += part;
    for (char* c = name.data() + at; c != name.data() + name.size(); ++c)
      if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
  }
  return name;
}

std::string MemorySettings::Read(std::string_view app, std::string_view section,
                                 std::string_view key) const {
  thread_local std::string name;
  auto it = values_.find(FoldedName(app, section, key, name));
  return it == values_.end() ? std::string() : it->second;
}

WriteResult MemorySettings::Write(std::string_view app, std::string_view section,
                                  std::string_view key, std::string_view value) {
  ++writes_;
  std::string name;
  FoldedName(app, section, key, name);
  values_.insert_or_assign(std::move(name), std::string(value));
  return WriteResult::Stored();
}

}  // namespace glossmith
