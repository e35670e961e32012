#include "store/inisettings.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "core/files/stored_name.h"

namespace glossmith {
namespace {

QString toQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toStdString(const QByteArray& bytes) {
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string toStdString(const QString& text) { return toStdString(text.toUtf8()); }

bool isUtf8(std::string_view text) {
  const QByteArray back = toQString(text).toUtf8();
  return std::string_view(back.constData(), static_cast<std::size_t>(back.size())) == text;
}

// The QSettings name under which the caller's section or key name is kept.
// Names that QSettings would split, drop or garble are encoded; the mark that
// starts an encoded name is itself encoded when a name begins with it, so the
// mapping is one to one.
QString storedName(std::string_view name) {
  if (!name.empty() && name.front() != kEncodedNameMark &&
      name.find_first_of("/\\") == std::string_view::npos && isUtf8(name))
    return toQString(name);
  static constexpr char kHex[] = "0123456789ABCDEF";
  QString stored(1, QLatin1Char(kEncodedNameMark));
  for (unsigned char c : name) {
    if (IsKeptNameByte(c)) {
      stored += QLatin1Char(static_cast<char>(c));
    } else {
      stored += QLatin1Char('%');
      stored += QLatin1Char(kHex[c >> 4]);
      stored += QLatin1Char(kHex[c & 0xF]);
    }
  }
  return stored;
}

// The caller's name for a name found in the file (see core/files/stored_name.h).
std::string callerName(const QString& stored) { return DecodeStoredName(toStdString(stored)); }

bool sameName(std::string_view a, std::string_view b) {
  if (a == b) return true;
  if (toQString(a).compare(toQString(b), Qt::CaseInsensitive) != 0) return false;
  // Every byte that is not UTF-8 decodes to U+FFFD; such names match only byte for byte.
  return isUtf8(a) && isUtf8(b);
}

// Where one value sits in QSettings: a group ("" for the top level) and a key.
struct Place {
  QString group;
  QString key;
};

QString settingsKey(const Place& place) {
  return place.group.isEmpty() ? place.key : place.group + QLatin1Char('/') + place.key;
}

// The groups that hold `section`, in QSettings' order. Section "general" is
// QSettings' top level, which the file shows as "[General]"; QSettings also
// reads "[general]" and "[GENERAL]" there, whereas a group named "General"
// would be written as "[%General]".
QStringList sectionGroups(const QSettings& settings, std::string_view section) {
  if (sameName(section, kSectionGeneral)) return {QString()};
  QStringList groups;
  for (const QString& group : settings.childGroups())
    if (sameName(callerName(group), section)) groups << group;
  return groups;
}

// Every spelling of `key` in `section` that the file holds, the one that
// counts first.
std::vector<Place> findValue(QSettings& settings, std::string_view section, std::string_view key) {
  std::vector<Place> places;
  for (const QString& group : sectionGroups(settings, section)) {
    if (!group.isEmpty()) settings.beginGroup(group);
    const QStringList keys = settings.childKeys();
    if (!group.isEmpty()) settings.endGroup();
    for (const QString& stored : keys)
      if (sameName(callerName(stored), key)) places.push_back({group, stored});
  }
  return places;
}

std::string valueText(const QVariant& value) {
  switch (value.typeId()) {
    case QMetaType::QByteArray:
      return toStdString(value.toByteArray());
    case QMetaType::QStringList:
      // QSettings splits a hand-written value at unquoted commas.
      return toStdString(value.toStringList().join(QLatin1Char(',')));
    case QMetaType::QVariantList: {
      QStringList parts;
      for (const QVariant& part : value.toList()) parts << part.toString();
      return toStdString(parts.join(QLatin1Char(',')));
    }
    default:
      return toStdString(value.toString());
  }
}

QVariant storedValue(std::string_view value) {
  if (isUtf8(value)) return toQString(value);
  return QByteArray(value.data(), static_cast<qsizetype>(value.size()));
}

std::string readPlace(const QSettings& settings, const std::vector<Place>& places) {
  return places.empty() ? std::string() : valueText(settings.value(settingsKey(places.front())));
}

std::string systemReason(int error) { return std::generic_category().message(error); }

// The file's identity on disk, or nothing when there is none. A save replaces
// the file by a new one (QSettings writes through QSaveFile), so a successful
// save always changes it.
std::optional<std::pair<dev_t, ino_t>> fileIdentity(const QByteArray& path) {
  struct stat status {};
  if (::stat(path.constData(), &status) != 0) return std::nullopt;
  return std::pair(status.st_dev, status.st_ino);
}

// Why a save of the file would fail, or nothing when it can go ahead.
// QSettings keeps a change that it failed to save in a per-process cache and
// serves it to later reads, and it waits for its lock file without a time
// limit; so a Write that cannot succeed is refused before it starts.
std::optional<std::string> whyNotStorable(const QSettings& settings, const QString& filePath,
                                          std::size_t valueSize) {
  const QByteArray file = QFile::encodeName(filePath);
  const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
  // The save needs the folders, which QSettings would create too.
  std::error_code error;
  std::filesystem::create_directories(folder.constData(), error);
  if (error) return error.message();
  // The save replaces the file through a temporary file next to it.
  if (::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
    return systemReason(errno);
  // QSettings also insists on opening an existing file for writing.
  if (QFileInfo::exists(filePath)) {
    const int fd = ::open(file.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return systemReason(errno);
    ::close(fd);
  }
  // On a full disk QSaveFile still puts the cut-off new file in place of the
  // old one, and QSettings reports success; so room for the new file is made
  // sure of first (the value may grow by escaping, hence the margin).
  struct statvfs disk {};
  if (::statvfs(folder.constData(), &disk) == 0) {
    const auto needed = 2 * (static_cast<unsigned long long>(QFileInfo(filePath).size()) +
                             valueSize) + 65536;
    if (static_cast<unsigned long long>(disk.f_bavail) * disk.f_frsize < needed)
      return systemReason(ENOSPC);
  }
  const QFileInfo lock(filePath + QStringLiteral(".lock"));
  if (lock.exists() && !lock.isFile())
    return toStdString(QStringLiteral("\"%1\" is in the way").arg(lock.filePath()));
  if (!settings.isWritable()) return systemReason(EACCES);
  return std::nullopt;
}

}  // namespace

IniSettings::IniSettings(const QString& filePath) : filePath_(filePath) {}

QString IniSettings::defaultFilePath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/glossmith/l33t.ini");
}

std::string IniSettings::Read(std::string_view app, std::string_view section,
                              std::string_view key) const {
  if (!sameName(app, kApp)) return {};
  QSettings settings(filePath_, QSettings::IniFormat);
  return readPlace(settings, findValue(settings, section, key));
}

WriteResult IniSettings::Write(std::string_view app, std::string_view section,
                               std::string_view key, std::string_view value) {
  const auto notStored = [this](std::string reason) {
    return WriteResult::NotStored(toStdString(filePath_), std::move(reason));
  };
  if (!sameName(app, kApp)) return notStored("it holds only the values of \"l33t\"");
  QSettings settings(filePath_, QSettings::IniFormat);
  const std::vector<Place> places = findValue(settings, section, key);
  if (readPlace(settings, places) == value) return WriteResult::Stored();
  if (std::optional<std::string> reason = whyNotStorable(settings, filePath_, value.size()))
    return notStored(std::move(*reason));

  Place target;
  if (!places.empty()) {
    target = places.front();
  } else {
    const QStringList groups = sectionGroups(settings, section);
    target.group = groups.isEmpty() ? storedName(section) : groups.front();
    target.key = storedName(key);
  }
  std::vector<std::pair<QString, QVariant>> before;
  for (const Place& place : places)
    before.emplace_back(settingsKey(place), settings.value(settingsKey(place)));

  const QByteArray file = QFile::encodeName(filePath_);
  const auto identity = fileIdentity(file);
  for (std::size_t i = 1; i < places.size(); ++i) settings.remove(settingsKey(places[i]));
  settings.setValue(settingsKey(target), storedValue(value));
  settings.sync();
  if (settings.status() != QSettings::AccessError) {
    const auto now = fileIdentity(file);
    if (now && now != identity) return WriteResult::Stored();
  }

  // The save failed after all (the folder or the lock changed meanwhile, say).
  // Take the change back, so that neither a later Read nor a later save sees it.
  if (places.empty()) settings.remove(settingsKey(target));
  for (const auto& [name, old] : before) settings.setValue(name, old);
  return notStored("saving it failed");
}

}  // namespace glossmith
