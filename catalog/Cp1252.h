// Text encoding of the catalogue's own files (text tables, discount-code files, order
// lists): Windows-1252, with lines ended by CR LF, LF or CR.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

QString FromCp1252(const QByteArray& bytes);
QByteArray ToCp1252(const QString& text);
// Splits a file's text into lines at CR LF, LF or CR; a final line break ends the last
// line rather than starting an empty one.
QStringList SplitLines(const QString& text);
// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const QString& path, QByteArray* bytes);
