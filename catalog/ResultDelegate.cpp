#include "ResultDelegate.h"

#include <QFontMetrics>
#include <QPainter>

#include "ResultModel.h"

namespace {
// Text sits this far below the cell's top, the mark icon 2 pixels below it and 3
// pixels from the grid's left edge.
constexpr int kTextTop = 3;
constexpr int kMarkLeft = 3;
constexpr int kMarkTop = 2;
constexpr int kFieldLeft = 4;
const QColor kEvenRowColour(0x9c, 0xb4, 0xd8);
const QColor kOddRowColour(0x6f, 0x8f, 0xc4);
}  // namespace

TResultDelegate::TResultDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void TResultDelegate::SetImages(const QPixmap& even_row, const QPixmap& odd_row,
                                const QPixmap& mark) {
  even_row_ = even_row;
  odd_row_ = odd_row;
  mark_ = mark;
}

void TResultDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  const QRect cell = option.rect;
  const bool even = index.row() % 2 == 0;
  painter->save();
  painter->setClipRect(cell);

  const QPixmap& background = even ? even_row_ : odd_row_;
  if (background.isNull()) {
    painter->fillRect(cell, even ? kEvenRowColour : kOddRowColour);
  } else {
    painter->drawPixmap(cell, background);
  }

  if (index.data(TResultModel::MarkedRole).toBool() && !mark_.isNull()) {
    painter->drawPixmap(cell.left() + kMarkLeft, cell.top() + kMarkTop, mark_);
  }

  const QString text = index.data(Qt::DisplayRole).toString();
  if (!text.isEmpty()) {
    QFont font = option.font;
    font.setBold(index.row() == 0);
    painter->setFont(font);
    painter->setPen(Qt::white);
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(text);
    const int alignment = index.data(Qt::TextAlignmentRole).toInt();
    int x = cell.left() + index.data(TResultModel::IndentRole).toInt();
    if (alignment & Qt::AlignRight) {
      const int field = metrics.horizontalAdvance(
          index.data(TResultModel::FieldTemplateRole).toString());
      x = cell.left() + kFieldLeft + (field - width);
    } else if (alignment & Qt::AlignHCenter) {
      x = cell.left() + (cell.width() - width) / 2;
    }
    painter->drawText(QPoint(x, cell.top() + kTextTop + metrics.ascent()), text);
  }
  painter->restore();
}
