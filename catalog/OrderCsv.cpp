#include "OrderCsv.h"

#include "NumberFormat.h"
#include "OrderFile.h"

namespace order {
namespace {

constexpr int kFirstColumn = kItemTextColumn;
constexpr int kLastColumn = kNetColumn;

QString Quoted(const QString& cell) {
  if (!cell.contains(u';') && !cell.contains(u'"') && !cell.contains(u'\r') &&
      !cell.contains(u'\n')) {
    return cell;
  }
  QString quoted = cell;
  quoted.replace(u'"', QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

// Amounts with two decimals, as the grid shows them; a cell that is not a number as it is.
QString CellText(const OrderRow& line, int column) {
  const QString& cell = line[column];
  double amount = 0;
  if ((column == kGrossColumn || column == kNetColumn) && ToNumber(cell, &amount)) {
    return FormatFixed2(amount);
  }
  return cell;
}

void AppendRow(QString& out, const QStringList& cells) {
  for (qsizetype i = 0; i < cells.size(); ++i) {
    if (i > 0) out += u';';
    out += Quoted(cells[i]);
  }
  out += QStringLiteral("\r\n");
}

}  // namespace

QByteArray FormatOrderCsv(const std::array<QString, kOrderColumnCount>& headings,
                          const std::vector<OrderRow>& lines) {
  QString out;
  QStringList cells;
  for (int column = kFirstColumn; column <= kLastColumn; ++column) cells << headings[column];
  AppendRow(out, cells);
  for (const OrderRow& line : lines) {
    cells.clear();
    for (int column = kFirstColumn; column <= kLastColumn; ++column) {
      cells << CellText(line, column);
    }
    AppendRow(out, cells);
  }
  return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

bool ExportOrderCsv(const QString& path, const std::array<QString, kOrderColumnCount>& headings,
                    const std::vector<OrderRow>& lines, QString* error) {
  return WriteFileAtomically(path, FormatOrderCsv(headings, lines), error);
}

}  // namespace order
