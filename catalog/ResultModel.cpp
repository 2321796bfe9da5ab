#include "ResultModel.h"

#include "DiscountCodes.h"
#include "Marking.h"
#include "NumberFormat.h"
#include "QuantityTable.h"
#include "ResultSort.h"
#include "ResultView.h"
#include "TextTable.h"

namespace {

QString TrimLeft(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text.at(i) == QLatin1Char(' ')) ++i;
  return text.mid(i);
}

const QString kQuantityTemplate = QStringLiteral("9999");
const QString kAmountTemplate = QStringLiteral("000.000,00");

}  // namespace

TResultModel::TResultModel(TResultView& view, TMarking& marking, TQuantityTable& quantities,
                           QObject* parent)
    : QAbstractTableModel(parent), view_(view), marking_(marking), quantities_(quantities) {}

int TResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kRowCount;
}

int TResultModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

int TResultModel::HitOfRow(int row) const { return view_.Top + row - 1; }

bool TResultModel::RowHasHit(int row) const {
  return row >= 1 && row < kRowCount && HitOfRow(row) < view_.HitTotal();
}

int TResultModel::DataFieldOfColumn(int column) {
  switch (column) {
    case kItemTextColumn: return kItemTextField;
    case kTypeNumberColumn:
    case kElNumberColumn:
    case kEanColumn:
    case kPriceColumn:
    case kDiscountCodeColumn: return column - 2;
    default: return -1;
  }
}

QString TResultModel::FieldText(int field_index, int row) const {
  return view_.CellText(field_index, row);
}

bool TResultModel::ParseAmount(const QString& text, double* value) { return ToNumber(text, value); }

QString TResultModel::FormatAmount(double value) { return FormatFixed2(value); }

QString TResultModel::CellText(int column, int row, bool* price_unreadable) const {
  if (row == 0) {
    switch (column) {
      case kMarkColumn: return QString();
      case kItemTextColumn: return FieldText(kItemTextField, 0);
      case kQuantityColumn: return Text ? Text(TextId::Quantity) : QString();
      case kDiscountCodeColumn: return Text ? Text(TextId::DiscountCodeHeading) : QString();
      case kNetPriceColumn: return Text ? Text(TextId::NetPriceHeading) : QString();
      default: return TrimLeft(FieldText(column - 2, 0));
    }
  }
  const QString price = FieldText(kPriceField, row);
  switch (column) {
    case kMarkColumn: return QString();
    case kItemTextColumn: return FieldText(kItemTextField, row);
    case kQuantityColumn:
      if (FieldText(kItemTextField, row).isEmpty()) return QString();
      return QString::number(quantities_.ForHit(HitOfRow(row)));
    case kPriceColumn:
    case kNetPriceColumn: {
      if (price.isEmpty()) break;
      double amount = 0;
      if (!ParseAmount(price, &amount)) {
        if (price_unreadable) *price_unreadable = true;
        return QString();
      }
      if (column == kNetPriceColumn) {
        amount = NetPrice(
            amount, DiscountPercent ? DiscountPercent(FieldText(kDiscountCodeField, row)) : 0.0);
      }
      return FormatAmount(amount);
    }
    default: break;
  }
  return FieldText(column - 2, row);
}

QVariant TResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return QVariant();
  const int column = index.column();
  const int row = index.row();
  const bool amount_column = column == kPriceColumn || column == kNetPriceColumn;
  const bool priced = row >= 1 && !FieldText(kPriceField, row).isEmpty();
  switch (role) {
    case Qt::DisplayRole:
      return CellText(column, row, nullptr);
    case MarkedRole:
      if (column != kMarkColumn) return false;
      return row == 0 || marking_.IsMarked(HitOfRow(row));
    case Qt::TextAlignmentRole:
      if (row == 0) {
        return column == kItemTextColumn ? int(Qt::AlignLeft) : int(Qt::AlignHCenter);
      }
      if (column == kQuantityColumn || (amount_column && priced)) return int(Qt::AlignRight);
      return int(Qt::AlignLeft);
    case IndentRole:
      return row >= 1 && column == kDiscountCodeColumn && priced ? 4 : 0;
    case SortOrderRole: {
      if (row != 0 || !sort_) return 0;
      switch (sort_->OrderOf(DataFieldOfColumn(column))) {
        case TResultSort::Order::Ascending: return 1;
        case TResultSort::Order::Descending: return 2;
        default: return 0;
      }
    }
    case SortableRole:
      return row == 0 && sort_ && sort_->IsSortable(DataFieldOfColumn(column));
    case HitRole:
      return RowHasHit(row) ? HitOfRow(row) : -1;
    case FieldTemplateRole:
      if (row >= 1 && column == kQuantityColumn) return kQuantityTemplate;
      if (amount_column && priced) return kAmountTemplate;
      return QString();
    default:
      return QVariant();
  }
}

void TResultModel::Repaint() {
  emit dataChanged(index(0, 0), index(kRowCount - 1, kColumnCount - 1));
  for (int row = 1; row < kRowCount; ++row) {
    bool unreadable = false;
    CellText(kPriceColumn, row, &unreadable);
    if (unreadable) {
      emit priceUnreadable(FieldText(kPriceField, row));
      break;
    }
  }
}
