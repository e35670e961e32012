#include "versionline.h"

namespace glossmith::ui {

QString aboutVersionLine(unsigned major, unsigned minor, unsigned revision) {
  return QStringLiteral("Version v.%1.%2 Beta Build #0%3").arg(major).arg(minor).arg(revision);
}

}  // namespace glossmith::ui
