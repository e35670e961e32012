#include "core/ini/ini_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <utility>
#include <vector>

#include "core/files/stored_name.h"
#include "core/ini/lexer.h"
#include "core/ini/text.h"
#include "core/ini/variants.h"

namespace glossmith {
namespace {

using namespace ini;

// The caller's name for a group or key name (see stored_name.h).
std::string CallerName(const Text& stored) { return DecodeStoredName(ToUtf8(stored)); }

}  // namespace

// Every key of the file by its full QSettings name ("group/key", or "key" at
// the top level), and the names QSettings lists.
struct IniFileSettings::Parsed {
  std::map<Text, Value> values;
  std::vector<Text> groups;                // childGroups() of the top level
  std::map<Text, std::vector<Text>> keys;  // childKeys() of each group; "" is the top level
};

IniFileSettings::IniFileSettings(std::string_view data) {
  auto parsed = std::make_unique<Parsed>();

  // QConfFileSettingsPrivate::readIniFile: the bytes of each section, those
  // of sections with the same name joined by a line feed.
  std::map<Text, std::string> sections;
  Text current;
  std::size_t currentStart = 0, pos = StartsWithBom(data) ? 3 : 0;
  std::size_t lineStart = 0, lineLength = 0, equals = 0;
  const auto flush = [&] {
    std::string& bytes = sections[current];
    if (!bytes.empty()) bytes += '\n';
    bytes += data.substr(currentStart, lineStart - currentStart);
  };
  while (ReadIniLine(data, pos, lineStart, lineLength, equals)) {
    const std::string_view line = data.substr(lineStart, lineLength);
    if (line.front() != '[') continue;
    flush();
    std::size_t close = line.find(']');
    if (close == kNone) close = line.size();
    const std::string_view name = Trimmed(line.substr(1, close - 1));
    current.clear();
    if (!EqualsAsciiIgnoringCase(name, "general")) {
      if (EqualsAsciiIgnoringCase(name, "%general"))
        current = FromLatin1(name.substr(1));
      else
        AppendUnescapedKey(name, current);
      current += u'/';
    }
    currentStart = pos;
  }
  flush();  // the last section, up to the end

  // QConfFileSettingsPrivate::readIniSection, section by section in the
  // order of their names; a later line for the same key replaces the value.
  for (const auto& [section, bytes] : sections) {
    pos = 0;
    while (ReadIniLine(bytes, pos, lineStart, lineLength, equals)) {
      if (equals == kNone) continue;
      const std::string_view line = std::string_view(bytes).substr(lineStart, lineLength);
      Text key = section;
      AppendUnescapedKey(Trimmed(line.substr(0, equals - lineStart)), key);
      parsed->values.insert_or_assign(std::move(key),
                                      UnescapeValue(line.substr(equals - lineStart + 1)));
    }
  }

  // QSettings::childGroups() and childKeys(), sorted and without repeats.
  for (const auto& entry : parsed->values) {
    const Text& name = entry.first;
    const std::size_t slash = name.find(u'/');
    if (slash == Text::npos) {
      parsed->keys[Text()].push_back(name);
      continue;
    }
    Text group = name.substr(0, slash);
    parsed->groups.push_back(group);
    Text rest = name.substr(slash + 1);
    if (!group.empty() && rest.find(u'/') == Text::npos)
      parsed->keys[std::move(group)].push_back(std::move(rest));
  }
  std::sort(parsed->groups.begin(), parsed->groups.end());
  parsed->groups.erase(std::unique(parsed->groups.begin(), parsed->groups.end()),
                       parsed->groups.end());
  parsed_ = std::move(parsed);
}

IniFileSettings::~IniFileSettings() = default;

std::string IniFileSettings::Read(std::string_view app, std::string_view section,
                                  std::string_view key) const {
  if (!SameName(app, kApp)) return {};
  // The groups that hold `section`; the empty group stands for the top level.
  std::vector<Text> groups;
  if (SameName(section, kSectionGeneral)) {
    groups.emplace_back();
  } else {
    for (const Text& group : parsed_->groups)
      if (SameName(CallerName(group), section)) groups.push_back(group);
  }
  for (const Text& group : groups) {
    const auto keys = parsed_->keys.find(group);
    if (keys == parsed_->keys.end()) continue;
    for (const Text& stored : keys->second) {
      if (!SameName(CallerName(stored), key)) continue;
      // QSettings::value() of "group/key", or of "key" at the top level.
      const Text name = group.empty() ? stored : group + u'/' + stored;
      if (name.empty()) return {};
      const auto value = parsed_->values.find(NormalizedKey(name));
      return value == parsed_->values.end() ? std::string() : ReadText(value->second);
    }
  }
  return {};
}

WriteResult IniFileSettings::Write(std::string_view, std::string_view, std::string_view,
                                   std::string_view) {
  return WriteResult::NotStored("settings file", "it is only read here");
}

std::string DefaultSettingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && *config != '\0') return std::string(config) + "/glossmith/l33t.ini";
  const char* home = std::getenv("HOME");
  const std::string_view given = home != nullptr && *home != '\0' ? home : "/";
  // QDir::cleanPath of the home folder.
  std::vector<std::string_view> parts;
  const bool absolute = given.front() == '/';
  std::size_t i = 0;
  while (i < given.size()) {
    const std::size_t end = std::min(given.find('/', i), given.size());
    const std::string_view part = given.substr(i, end - i);
    i = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == ".." && !parts.empty() && parts.back() != "..")
      parts.pop_back();
    else
      parts.push_back(part);
  }
  std::string path = absolute ? "/" : "";
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) path += '/';
    path += parts[k];
  }
  return (path.empty() ? std::string(".") : path) + "/.config/glossmith/l33t.ini";
}

int ReadSettingsFile(const std::string& path, bool given, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return !given && (errno == ENOENT || errno == ENOTDIR) ? 0 : errno;
  int error = 0;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    error = EISDIR;
  } else {
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got == 0) break;
      if (got < 0) {
        if (errno == EINTR) continue;
        error = errno;
        break;
      }
      if (bytes.size() + static_cast<std::size_t>(got) > kMaxSettingsFileBytes) {
        error = EFBIG;
        break;
      }
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  if (error != 0) bytes.clear();
  return error;
}

}  // namespace glossmith