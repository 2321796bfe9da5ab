// Whole-file reads and writes for tests and benchmarks.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes a whole file; false when it cannot be written.
inline bool WriteWholeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A whole file's bytes; empty when it cannot be read.
inline QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
