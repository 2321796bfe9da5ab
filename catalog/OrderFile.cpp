#include "OrderFile.h"

#include <QFile>
#include <QSaveFile>

#include "Cp1252.h"

namespace order {
namespace {

// A TAB, CR or LF inside a cell would split its line into a line the reader refuses, and
// the whole saved list with it; such a character is saved as a blank.
QString WithoutSeparators(QString field) {
  for (QChar& c : field) {
    if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
  }
  return field;
}

}  // namespace

QByteArray FormatOrderFile(const std::vector<OrderFields>& lines) {
  QByteArray out;
  for (const OrderFields& fields : lines) {
    for (const QString& field : fields) {
      out += ToCp1252(WithoutSeparators(field));
      out += '\t';
    }
    out += "\r\n";
  }
  return out;
}

OrderFileResult ParseOrderFile(const QByteArray& bytes) {
  OrderFileResult result;
  if (bytes.isEmpty()) {
    result.status = OrderFileStatus::kEmpty;
    return result;
  }
  qsizetype start = 0;
  int line_number = 0;
  while (start < bytes.size()) {
    qsizetype end = bytes.indexOf('\n', start);
    if (end < 0) end = bytes.size();
    QByteArrayView line(bytes.constData() + start, end - start);
    if (line.endsWith('\r')) line.chop(1);
    start = end + 1;
    ++line_number;

    if (line.count('\t') != kOrderFieldCount) {
      result.status = OrderFileStatus::kBadLine;
      result.bad_line = line_number;
      result.lines.clear();
      return result;
    }
    OrderFields fields;
    qsizetype from = 0;
    for (QString& field : fields) {
      const qsizetype tab = line.indexOf('\t', from);
      field = FromCp1252(line.sliced(from, tab - from).toByteArray());
      from = tab + 1;
    }
    if (fields[0].isEmpty()) {
      result.status = OrderFileStatus::kBadLine;
      result.bad_line = line_number;
      result.lines.clear();
      return result;
    }
    result.lines.push_back(std::move(fields));
  }
  return result;
}

OrderFileResult LoadOrderFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    OrderFileResult result;
    result.status = OrderFileStatus::kIoError;
    result.error = file.errorString();
    return result;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    OrderFileResult result;
    result.status = OrderFileStatus::kIoError;
    result.error = file.errorString();
    return result;
  }
  return ParseOrderFile(bytes);
}

bool SaveOrderFile(const QString& path, const std::vector<OrderFields>& lines, QString* error) {
  return WriteFileAtomically(path, FormatOrderFile(lines), error);
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error) *error = file.errorString();
    file.cancelWriting();
    return false;
  }
  return true;
}

}  // namespace order
