#include "OrderModel.h"

#include "DiscountCodes.h"
#include "NumberFormat.h"

#include <algorithm>

namespace order {

TOrderGridModel::TOrderGridModel(QObject* parent)
    : QAbstractTableModel(parent), rows_(kMinLineRows) {}

void TOrderGridModel::SetHeaderText(int column, const QString& text) {
  header_.at(column) = text;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

QString TOrderGridModel::HeaderText(int column) const { return header_.at(column); }

int TOrderGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TOrderGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kOrderColumnCount;
}

QVariant TOrderGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  return Cell(index.row(), index.column());
}

QVariant TOrderGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= kOrderColumnCount) return {};
  return header_[section];
}

const QString& TOrderGridModel::Cell(int row, int column) const {
  return rows_.at(row).at(column);
}

void TOrderGridModel::SetCell(int row, int column, const QString& text) {
  rows_.at(row).at(column) = text;
  const QModelIndex at = index(row, column);
  emit dataChanged(at, at);
}

bool TOrderGridModel::IsOrderLine(int row) const {
  return !rows_.at(row)[kItemTextColumn].isEmpty();
}

bool TOrderGridModel::IsMarked(int row) const {
  return rows_.at(row)[kMarkColumn] == QStringView(kMarkText);
}

int TOrderGridModel::PackedLineCount() const {
  int n = 0;
  while (n < static_cast<int>(rows_.size()) && IsOrderLine(n)) ++n;
  return n;
}

int TOrderGridModel::OrderLineCount() const {
  if (static_cast<int>(rows_.size()) > kMinLineRows) return static_cast<int>(rows_.size());
  return PackedLineCount();
}

void TOrderGridModel::AddOrderLine(const QString& item_text, const QString& quantity,
                                   const QString& type_number, const QString& el_number,
                                   const QString& ean, const QString& unit_price,
                                   const QString& discount_code) {
  const int count = static_cast<int>(rows_.size());
  for (int row = 0; row < count; ++row) {
    OrderRow& cells = rows_[row];
    if (!cells[kItemTextColumn].isEmpty() && cells[kItemTextColumn] == item_text &&
        cells[kTypeNumberColumn] == type_number) {
      int have = 0;
      int more = 0;
      if (ToInteger(cells[kQuantityColumn], &have) && ToInteger(quantity, &more)) {
        const qint64 sum = qint64{have} + more;
        cells[kQuantityColumn] = QString::number(std::min<qint64>(sum, kMaxQuantity));
        ComputeRoundedAmounts(row);
      } else {
        cells[kQuantityColumn] = quantity;
      }
      EmitRowChanged(row);
      return;
    }
    if (cells[kItemTextColumn].isEmpty()) {
      FillRow(row, item_text, quantity, type_number, el_number, ean, unit_price, discount_code);
      return;
    }
  }
  beginInsertRows(QModelIndex(), count, count);
  rows_.emplace_back();
  endInsertRows();
  FillRow(count, item_text, quantity, type_number, el_number, ean, unit_price, discount_code);
}

void TOrderGridModel::FillRow(int row, const QString& item_text, const QString& quantity,
                              const QString& type_number, const QString& el_number,
                              const QString& ean, const QString& unit_price,
                              const QString& discount_code) {
  OrderRow& cells = rows_.at(row);
  cells = OrderRow{};
  cells[kItemTextColumn] = item_text;
  cells[kQuantityColumn] = quantity;
  cells[kTypeNumberColumn] = type_number;
  cells[kElNumberColumn] = el_number;
  cells[kEanColumn] = ean;
  cells[kUnitPriceColumn] = unit_price;
  cells[kDiscountCodeColumn] = discount_code;
  ComputeRoundedAmounts(row);
  EmitRowChanged(row);
}

// Lines taken over from the search window carry amounts with two decimals; the net amount is
// computed from the gross amount as written. A cell that is not a number leaves the amounts
// after it as they were.
void TOrderGridModel::ComputeRoundedAmounts(int row) {
  OrderRow& cells = rows_.at(row);
  double price = 0;
  int quantity = 0;
  if (!ToNumber(cells[kUnitPriceColumn], &price) || !ToInteger(cells[kQuantityColumn], &quantity)) {
    return;
  }
  cells[kGrossColumn] = FormatFixed2(price * quantity);
  double gross = 0;
  if (!ToNumber(cells[kGrossColumn], &gross)) return;
  cells[kNetColumn] = FormatFixed2(NetPrice(gross, DiscountPercent(cells[kDiscountCodeColumn])));
}

// After a quantity edit the amounts are written at full precision, without trailing zeros.
void TOrderGridModel::ComputeFullAmounts(int row) {
  OrderRow& cells = rows_.at(row);
  bool ok = false;
  const QString gross = LineAmount(cells[kQuantityColumn], cells[kUnitPriceColumn], &ok);
  if (!ok) return;
  cells[kGrossColumn] = gross;
  const QString net = NetAmount(cells[kDiscountCodeColumn], gross, &ok);
  if (ok) cells[kNetColumn] = net;
}

void TOrderGridModel::SetQuantity(int row, int quantity) {
  rows_.at(row)[kQuantityColumn] = QString::number(quantity);
  ComputeFullAmounts(row);
  EmitRowChanged(row);
}

void TOrderGridModel::ToggleMark(int row) {
  QString& mark = rows_.at(row)[kMarkColumn];
  mark = IsMarked(row) ? QString() : QString::fromUtf16(kMarkText);
  EmitRowChanged(row);
}

void TOrderGridModel::MarkAllLines() {
  for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
    if (IsOrderLine(row)) rows_[row][kMarkColumn] = QString::fromUtf16(kMarkText);
  }
  if (!rows_.empty()) {
    emit dataChanged(index(0, kMarkColumn), index(rowCount() - 1, kMarkColumn));
  }
}

int TOrderGridModel::MarkedCount() const {
  int n = 0;
  for (int row = 0; row < static_cast<int>(rows_.size()); ++row) n += IsMarked(row);
  return n;
}

void TOrderGridModel::DeleteMarked() {
  if (MarkedCount() == 0) return;
  beginResetModel();
  std::vector<OrderRow> kept;
  kept.reserve(rows_.size());
  for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
    if (!IsMarked(row)) kept.push_back(std::move(rows_[row]));
  }
  // Unmarked rows keep their order; free rows fill the list up to its minimum.
  if (kept.size() < static_cast<size_t>(kMinLineRows)) kept.resize(kMinLineRows);
  rows_ = std::move(kept);
  endResetModel();
}

QString TOrderGridModel::Total(int column) const {
  long double sum = 0;
  for (const OrderRow& cells : rows_) {
    const QString& amount = cells.at(column);
    if (amount.isEmpty()) continue;
    double value = 0;
    if (!ToNumber(amount, &value)) return QString();
    sum += value;
  }
  return FormatFixed2(static_cast<double>(sum));
}

std::vector<OrderRow> TOrderGridModel::OrderLines() const {
  return std::vector<OrderRow>(rows_.begin(), rows_.begin() + PackedLineCount());
}

std::vector<OrderFields> TOrderGridModel::SavedLines() const {
  std::vector<OrderFields> lines;
  for (const OrderRow& cells : rows_) {
    if (cells[kItemTextColumn].isEmpty()) continue;
    OrderFields fields;
    std::copy(cells.begin() + 1, cells.end(), fields.begin());
    lines.push_back(std::move(fields));
  }
  return lines;
}

void TOrderGridModel::ReplaceLines(const std::vector<OrderFields>& lines) {
  beginResetModel();
  rows_.assign(std::max<size_t>(lines.size(), kMinLineRows), OrderRow{});
  for (size_t i = 0; i < lines.size(); ++i) {
    std::copy(lines[i].begin(), lines[i].end(), rows_[i].begin() + 1);
  }
  endResetModel();
}

void TOrderGridModel::EmitRowChanged(int row) {
  emit dataChanged(index(row, 0), index(row, kOrderColumnCount - 1));
}

}  // namespace order
