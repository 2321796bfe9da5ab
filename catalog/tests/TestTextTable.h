// Text tables for tests, laid out as the shipped KV.dat files: Windows-1252, one line per
// number from 000 on, CR LF line ends.
#pragma once

#include <QByteArray>
#include <QChar>
#include <QMap>
#include <QString>

#include "Cp1252.h"

// Text n is texts[n] where the test gives one and "tn" otherwise, for n below count.
inline QByteArray NumberedTextTable(const QMap<int, QString>& texts, int count = 240) {
  QString table;
  for (int n = 0; n < count; ++n) {
    table += QString("%1 %2\r\n").arg(n, 3, 10, QChar('0')).arg(texts.value(n, QString("t%1").arg(n)));
  }
  return ToCp1252(table);
}
