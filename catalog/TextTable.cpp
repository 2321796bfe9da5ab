#include "TextTable.h"

#include <QFileInfo>

#include "Cp1252.h"

std::unique_ptr<TTextTable> TextTable;

bool TTextTable::LoadFromFile(const QString& path) {
  QByteArray bytes;
  if (!ReadWholeFile(path, &bytes)) return false;
  LoadFromBytes(bytes);
  return true;
}

void TTextTable::LoadFromBytes(const QByteArray& bytes) {
  texts_.clear();
  // The first four characters of each line number it for the translator's benefit.
  for (const QString& line : SplitLines(FromCp1252(bytes))) texts_.append(line.mid(4));
}

QString TTextTable::Text(int n, const QString& fallback) const {
  return Has(n) ? texts_.at(n) : fallback;
}

QString LoadTextTable(const QString& dataFolder, const QString& fileName) {
  auto table = std::make_unique<TTextTable>();
  QStringList candidates{fileName};
  if (!dataFolder.isEmpty()) candidates.append(dataFolder + fileName);
  for (const QString& path : candidates) {
    if (table->LoadFromFile(path)) {
      TextTable = std::move(table);
      return QFileInfo(path).absoluteFilePath();
    }
  }
  TextTable.reset();
  return QString();
}

void FreeTextTable() { TextTable.reset(); }

QString Text(TextId id, const QString& fallback) {
  return TextTable ? TextTable->Text(id, fallback) : fallback;
}
