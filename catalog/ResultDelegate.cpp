#include "ResultDelegate.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPolygon>
#include <QToolTip>

#include "ResultModel.h"

namespace {
// Text sits this far below the cell's top, the mark icon 2 pixels below it and 3
// pixels from the grid's left edge.
constexpr int kTextTop = 3;
constexpr int kMarkLeft = 3;
constexpr int kMarkTop = 2;
constexpr int kFieldLeft = 4;
// The sort arrow: a triangle of this width at the header cell's right edge.
constexpr int kArrowWidth = 7;
constexpr int kArrowRight = 3;
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

TResultDelegate::TextPlace TResultDelegate::PlaceText(const QStyleOptionViewItem& option,
                                                      const QModelIndex& index) {
  TextPlace place;
  place.font = option.font;
  place.font.setBold(index.row() == 0);
  const QString text = index.data(Qt::DisplayRole).toString();
  const QFontMetrics metrics(place.font);
  const QRect cell = option.rect;
  place.width = metrics.horizontalAdvance(text);
  const int alignment = index.data(Qt::TextAlignmentRole).toInt();
  place.x = cell.left() + index.data(TResultModel::IndentRole).toInt();
  if (alignment & Qt::AlignRight) {
    const int field =
        metrics.horizontalAdvance(index.data(TResultModel::FieldTemplateRole).toString());
    place.x = cell.left() + kFieldLeft + (field - place.width);
  } else if (alignment & Qt::AlignHCenter) {
    place.x = cell.left() + (cell.width() - place.width) / 2;
  }
  return place;
}

bool TResultDelegate::IsCut(const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (index.data(Qt::DisplayRole).toString().isEmpty()) return false;
  const TextPlace place = PlaceText(option, index);
  return place.x < option.rect.left() || place.x + place.width > option.rect.right() + 1;
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
    const TextPlace place = PlaceText(option, index);
    painter->setFont(place.font);
    painter->setPen(Qt::white);
    const QFontMetrics metrics(place.font);
    painter->drawText(QPoint(place.x, cell.top() + kTextTop + metrics.ascent()), text);
  }

  const int sort_order = index.data(TResultModel::SortOrderRole).toInt();
  if (sort_order != 0) {
    // Pointing up for ascending, down for descending, centred on the row.
    const int right = cell.right() - kArrowRight;
    const int left = right - kArrowWidth + 1;
    const int middle = cell.center().y();
    const int half = kArrowWidth / 2;
    QPolygon arrow;
    if (sort_order == 1) {
      arrow << QPoint(left, middle + half - 1) << QPoint(right, middle + half - 1)
            << QPoint(left + half, middle - half);
    } else {
      arrow << QPoint(left, middle - half + 1) << QPoint(right, middle - half + 1)
            << QPoint(left + half, middle + half);
    }
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(Qt::white);
    painter->setBrush(Qt::white);
    painter->drawPolygon(arrow);
  }
  painter->restore();
}

bool TResultDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (!event || !view || event->type() != QEvent::ToolTip) {
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  }
  if (index.isValid() && IsCut(option, index)) {
    QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view,
                       option.rect);
  } else {
    QToolTip::hideText();
  }
  return true;
}
