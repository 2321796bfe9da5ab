// TResultDelegate paints the search grid's cells: the row backgrounds (light for even
// rows, the header included, medium for odd ones), the mark icon, white text placed as
// the model's alignment, indent and field template say, and the sort arrow of the
// header cell whose column orders the hits. A cell whose text does not fit shows the
// whole text as its tooltip.
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
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;

  // Where the cell's text starts and how wide it is, as paint draws it.
  struct TextPlace {
    QFont font;
    int x = 0;
    int width = 0;
  };
  static TextPlace PlaceText(const QStyleOptionViewItem& option, const QModelIndex& index);
  // Whether the cell's text runs past either edge of the cell.
  static bool IsCut(const QStyleOptionViewItem& option, const QModelIndex& index);

 private:
  QPixmap even_row_;
  QPixmap odd_row_;
  QPixmap mark_;
};
