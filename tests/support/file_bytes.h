#pragma once

// Whole files as bytes, and their modification times, for tests that check
// what a program wrote or left alone; and garbage to write into them.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace glossmith::testing_support {

// The file's bytes; empty when it cannot be read.
inline QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes the file hold exactly `bytes`.
inline void putFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
  ASSERT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
}

// `size` pseudo-random bytes, the same for the same `seed` on every run.
inline QByteArray garbage(int size, unsigned seed) {
  QByteArray bytes;
  bytes.reserve(size);
  for (int i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes += static_cast<char>(seed >> 16);
  }
  return bytes;
}

inline QDateTime modified(const QString& path) {
  return QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
}

inline void setModified(const QString& path, const QDateTime& time) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite)) << path.toStdString();
  ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime)) << path.toStdString();
}

}  // namespace glossmith::testing_support
