#pragma once

// Whole files as bytes, and their modification times, for tests that check
// what a program wrote or left alone.

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

inline QDateTime modified(const QString& path) {
  return QFileInfo(path).fileTime(QFileDevice::FileModificationTime);
}

inline void setModified(const QString& path, const QDateTime& time) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite)) << path.toStdString();
  ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime)) << path.toStdString();
}

}  // namespace glossmith::testing_support
