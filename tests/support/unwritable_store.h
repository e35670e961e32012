#pragma once

// Settings files that cannot be written, whoever runs the tests. Root ignores
// permission bits, so while a read-only folder is in force a test run by root
// acts as an ordinary user, and gets root's rights back at the end.

#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>

namespace glossmith::testing {

enum class StoreFault {
  kReadOnlyFolder,    // the folder of the settings file is read-only
  kBelowRegularFile,  // the settings folder would have to be made inside a regular file
};

inline constexpr StoreFault kStoreFaults[] = {StoreFault::kReadOnlyFolder,
                                               StoreFault::kBelowRegularFile};

// Names the cases of a suite over every fault after their fault:
//   INSTANTIATE_TEST_SUITE_P(Faults, Suite, ::testing::ValuesIn(kStoreFaults), faultCaseName);
inline std::string faultCaseName(const ::testing::TestParamInfo<StoreFault>& info) {
  return info.param == StoreFault::kReadOnlyFolder ? "ReadOnlyFolder" : "BelowRegularFile";
}

class UnwritableStore {
 public:
  explicit UnwritableStore(StoreFault fault) : fault_(fault) {
    // An ordinary user must be able to reach and read what was stored.
    QFile::setPermissions(dir_.path(), kOpen);
    if (fault == StoreFault::kBelowRegularFile) {
      QFile file(dir_.filePath(QStringLiteral("config")));
      EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write("a file, not a folder") > 0);
      path_ = dir_.filePath(QStringLiteral("config/glossmith/l33t.ini"));
    } else {
      EXPECT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("glossmith")));
      QFile::setPermissions(folder(), kOpen);
      path_ = dir_.filePath(QStringLiteral("glossmith/l33t.ini"));
    }
  }
  ~UnwritableStore() { unlock(); }
  UnwritableStore(const UnwritableStore&) = delete;
  UnwritableStore& operator=(const UnwritableStore&) = delete;

  const QString& filePath() const { return path_; }
  // Whether values can be stored before lock(): below a regular file nothing ever is.
  bool seedable() const { return fault_ == StoreFault::kReadOnlyFolder; }
  // The reason a Write gives.
  std::string reason() const {
    return fault_ == StoreFault::kReadOnlyFolder ? "Permission denied" : "Not a directory";
  }

  // From here on nothing can be written; what was stored before stays readable.
  void lock() {
    if (fault_ != StoreFault::kReadOnlyFolder) return;
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    if (geteuid() == 0) {
      ASSERT_EQ(seteuid(kOrdinaryUser), 0);
      actingAsUser_ = true;
    }
  }

  void unlock() {
    if (actingAsUser_) {
      EXPECT_EQ(seteuid(0), 0);
    }
    actingAsUser_ = false;
    if (fault_ == StoreFault::kReadOnlyFolder) QFile::setPermissions(folder(), kOpen);
  }

 private:
  static constexpr uid_t kOrdinaryUser = 65534;  // nobody
  static constexpr QFile::Permissions kOpen =
      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

  QString folder() const { return dir_.filePath(QStringLiteral("glossmith")); }

  StoreFault fault_;
  QTemporaryDir dir_;
  QString path_;
  bool actingAsUser_ = false;
};

}  // namespace glossmith::testing
