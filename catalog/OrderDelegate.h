// Drawing of the order grid: TOrderDelegate paints the order lines, TOrderHeaderView the
// header row that stays in place while the lines scroll. Both put white text on the row
// images: the light one for the header and even grid rows (the first line is grid row 1,
// so it is odd), the medium one for odd rows.
#pragma once

#include <QHeaderView>
#include <QPixmap>
#include <QStyledItemDelegate>

struct OrderGridImages {
  QPixmap even_row;  // LBlaa: header and even rows
  QPixmap odd_row;   // MBlaa: odd rows
  QPixmap mark;      // Dok_minus: a marked line, and always in the header's first cell
};

class TOrderDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit TOrderDelegate(QObject* parent = nullptr);

  void SetImages(const OrderGridImages& images) { images_ = images; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  OrderGridImages images_;
};

class TOrderHeaderView : public QHeaderView {
  Q_OBJECT

 public:
  explicit TOrderHeaderView(QWidget* parent = nullptr);

  void SetImages(const OrderGridImages& images) { images_ = images; }

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logical_index) const override;

 private:
  OrderGridImages images_;
};
