// TResultDelegate paints the search grid's cells: the row backgrounds (light for even
// rows, the header included, medium for odd ones), the mark icon, and white text
// placed as the model's alignment, indent and field template say.
#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>

class TResultDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit TResultDelegate(QObject* parent = nullptr);

  void SetImages(const QPixmap& even_row, const QPixmap& odd_row, const QPixmap& mark);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  QPixmap even_row_;
  QPixmap odd_row_;
  QPixmap mark_;
};
