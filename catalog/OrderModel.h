// The order grid's data: the order lines the user has taken over from the search window,
// kept as the text cells of ten columns, exactly as they are shown, saved and printed.
//
// Rows are numbered from 0 here; the header row of the window's grid is the model's
// horizontal header, so model row r is grid row r + 1. Order lines are packed from row 0
// without gaps; a row is an order line when its item text is not empty. The model always
// holds at least kMinLineRows rows and grows by one row for each line beyond them.
#pragma once

#include "OrderFile.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <vector>

namespace order {

enum OrderColumn : int {
  kMarkColumn = 0,      // "x" when the line is marked
  kItemTextColumn,
  kQuantityColumn,      // a whole number 1 to 999
  kTypeNumberColumn,
  kElNumberColumn,
  kEanColumn,
  kGrossColumn,         // unit price x quantity
  kNetColumn,           // gross less the discount of the line's code
  kUnitPriceColumn,     // hidden
  kDiscountCodeColumn,  // hidden
  kOrderColumnCount
};

inline constexpr int kMinLineRows = 15;
inline constexpr int kMaxQuantity = 999;
inline constexpr char16_t kMarkText[] = u"x";

using OrderRow = std::array<QString, kOrderColumnCount>;

class TOrderGridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit TOrderGridModel(QObject* parent = nullptr);

  void SetHeaderText(int column, const QString& text);
  QString HeaderText(int column) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  const QString& Cell(int row, int column) const;
  void SetCell(int row, int column, const QString& text);
  bool IsOrderLine(int row) const;
  bool IsMarked(int row) const;

  // Order lines from the top down to the first row without an item text: what is printed.
  int PackedLineCount() const;
  // The search window's counter of lines taken over: with more rows than the minimum, every
  // row counts; otherwise the packed lines.
  int OrderLineCount() const;

  // Takes one product over from the search window. The same product (equal item text and
  // type number) adds to the quantity of its line, capped at 999; another product fills the
  // first free row, or a new row at the end. Amounts are written with two decimals, the net
  // amount after the discount of the line's code in the current discount-code table.
  void AddOrderLine(const QString& item_text, const QString& quantity,
                    const QString& type_number, const QString& el_number, const QString& ean,
                    const QString& unit_price, const QString& discount_code);

  // A quantity typed into the order list: stored as given (the editor keeps it within 1 to
  // 999) and the line's amounts recomputed at full precision.
  void SetQuantity(int row, int quantity);

  void ToggleMark(int row);
  void MarkAllLines();
  int MarkedCount() const;
  // Removes every marked row; the rows below move up and the model keeps kMinLineRows rows.
  void DeleteMarked();

  // Sum of the gross or net column with two decimals; empty when a cell is not a number.
  QString Total(int column) const;

  // The packed order lines with all their cells, as printed and exported.
  std::vector<OrderRow> OrderLines() const;

  // The order lines as saved fields, and the reverse: the list becomes exactly `lines`,
  // with no marks.
  std::vector<OrderFields> SavedLines() const;
  void ReplaceLines(const std::vector<OrderFields>& lines);

 private:
  void FillRow(int row, const QString& item_text, const QString& quantity,
               const QString& type_number, const QString& el_number, const QString& ean,
               const QString& unit_price, const QString& discount_code);
  void ComputeRoundedAmounts(int row);
  void ComputeFullAmounts(int row);
  void EmitRowChanged(int row);

  std::vector<OrderRow> rows_;
  std::array<QString, kOrderColumnCount> header_;
};

}  // namespace order
