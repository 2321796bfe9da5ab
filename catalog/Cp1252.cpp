#include "Cp1252.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

QString FromCp1252(const QByteArray& bytes) {
  QStringDecoder decoder("windows-1252");
  if (!decoder.isValid()) return QString::fromLatin1(bytes);
  return decoder.decode(bytes);
}

QByteArray ToCp1252(const QString& text) {
  QStringEncoder encoder("windows-1252");
  if (!encoder.isValid()) return text.toLatin1();
  return encoder.encode(text);
}

QStringList SplitLines(const QString& text) {
  QStringList lines;
  QString current;
  bool open = false;  // a line has started and not been ended by a break
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      lines.append(current);
      current.clear();
      open = false;
      if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
        ++i;
    } else {
      current.append(c);
      open = true;
    }
  }
  if (open) lines.append(current);
  return lines;
}

bool ReadWholeFile(const QString& path, QByteArray* bytes) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  *bytes = file.readAll();
  return file.error() == QFileDevice::NoError;
}
