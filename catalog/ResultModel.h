// TResultModel: the search grid's cells. Row 0 is the header row, rows 1 to 14 the
// hits from the result view's top on; the nine columns are the mark, item text,
// quantity, type number, el. number, EAN, price, discount code and net price. Every
// text comes from the result view's page, the marks and the quantities, so painting
// never reaches the engine.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <functional>

#include "TextTable.h"

class TResultView;
class TMarking;
class TQuantityTable;
class TResultSort;

class TResultModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    kMarkColumn = 0,
    kItemTextColumn = 1,
    kQuantityColumn = 2,
    kTypeNumberColumn = 3,
    kElNumberColumn = 4,
    kEanColumn = 5,
    kPriceColumn = 6,
    kDiscountCodeColumn = 7,
    kNetPriceColumn = 8,
    kColumnCount = 9,
  };
  static constexpr int kRowCount = 15;  // the header and 14 hits

  enum Role {
    // bool: draw the mark icon in the cell.
    MarkedRole = Qt::UserRole + 1,
    // int: pixels between the cell's left edge and a left-aligned text.
    IndentRole,
    // QString: a right-aligned text ends where this text would end when written
    // from the cell's left edge + 4, so amounts line up in a fixed-width field.
    FieldTemplateRole,
    // int, header row: 0 the column is not the sort order, 1 ascending, 2 descending.
    SortOrderRole,
    // bool, header row: the column can order the hits.
    SortableRole,
    // int: the hit shown in the row, -1 for the header and rows past the last hit.
    HitRole,
  };

  // Index of the data fields in the base, as the grid shows them.
  static constexpr int kItemTextField = 0;
  static constexpr int kTypeNumberField = 1;
  static constexpr int kPriceField = 4;
  static constexpr int kDiscountCodeField = 5;

  TResultModel(TResultView& view, TMarking& marking, TQuantityTable& quantities,
               QObject* parent = nullptr);

  // A text of the text table (header captions of columns 2, 7 and 8).
  std::function<QString(TextId)> Text;
  // Percent of discount for a discount code.
  std::function<double(const QString&)> DiscountPercent;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // The order of the hits, for the header's sort arrows (none: never sorted).
  void SetSort(const TResultSort* sort) { sort_ = sort; }

  // Hit number shown in grid row r (r >= 1).
  int HitOfRow(int row) const;
  // Whether grid row r shows a hit.
  bool RowHasHit(int row) const;
  // Index of the base's data field a column shows; -1 for the mark, quantity and net
  // price columns.
  static int DataFieldOfColumn(int column);
  // The base's data field under a cell's row as the grid shows it (the field's name
  // in the header row).
  QString FieldText(int field_index, int row) const;

  // Tells the views that every cell may have changed (new page, marks, quantities or
  // discount codes), and reports the first price of the page that is not a number.
  void Repaint();

  // The program's number conversions (comma as decimal separator, no grouping).
  static bool ParseAmount(const QString& text, double* value);
  static QString FormatAmount(double value);  // "0.00"

 signals:
  // A row's price could not be read as a number; the cell stays without amount.
  void priceUnreadable(const QString& price_text);

 private:
  QString CellText(int column, int row, bool* price_unreadable) const;

  TResultView& view_;
  TMarking& marking_;
  TQuantityTable& quantities_;
  const TResultSort* sort_ = nullptr;
};
