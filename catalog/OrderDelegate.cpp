#include "OrderDelegate.h"

#include <QPainter>

#include "NumberFormat.h"
#include "OrderModel.h"

namespace {

constexpr int kTextTop = 3;
constexpr int kMarkLeft = 3;
constexpr int kMarkTop = 2;
// Amounts and quantities are right-aligned in a field as wide as these texts.
constexpr char16_t kAmountField[] = u"0.000.000,00";
constexpr char16_t kQuantityField[] = u"9999";
const QColor kEvenRowColour(0x9c, 0xb4, 0xd8);
const QColor kOddRowColour(0x6f, 0x8f, 0xc4);

void PaintBackground(QPainter* painter, const QRect& cell, bool even,
                     const OrderGridImages& images) {
  const QPixmap& image = even ? images.even_row : images.odd_row;
  if (image.isNull()) {
    painter->fillRect(cell, even ? kEvenRowColour : kOddRowColour);
  } else {
    painter->drawPixmap(cell, image);
  }
}

void PaintMark(QPainter* painter, const QRect& cell, const OrderGridImages& images) {
  if (!images.mark.isNull()) {
    painter->drawPixmap(cell.left() + kMarkLeft, cell.top() + kMarkTop, images.mark);
  }
}

// Writes text with its left edge at x and its top kTextTop below the cell's top.
void PaintText(QPainter* painter, const QRect& cell, int x, const QString& text) {
  painter->drawText(QPoint(x, cell.top() + kTextTop + painter->fontMetrics().ascent()), text);
}

}  // namespace

TOrderDelegate::TOrderDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void TOrderDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  using namespace order;
  const QRect cell = option.rect;
  painter->save();
  painter->setClipRect(cell);
  // Model row r is grid row r + 1, below the header.
  PaintBackground(painter, cell, (index.row() + 1) % 2 == 0, images_);

  const QString text = index.data(Qt::DisplayRole).toString();
  QFont font = option.font;
  font.setBold(false);
  painter->setFont(font);
  painter->setPen(Qt::white);
  const QFontMetrics metrics = painter->fontMetrics();

  switch (index.column()) {
    case kMarkColumn:
      if (text == QStringView(kMarkText)) PaintMark(painter, cell, images_);
      break;
    case kGrossColumn:
    case kNetColumn: {
      if (text.isEmpty()) break;
      double amount = 0;
      const QString shown = ToNumber(text, &amount) ? FormatFixed2(amount) : text;
      const int field = metrics.horizontalAdvance(QString::fromUtf16(kAmountField));
      PaintText(painter, cell, cell.left() + field - metrics.horizontalAdvance(shown) + 3, shown);
      break;
    }
    case kQuantityColumn: {
      const int field = metrics.horizontalAdvance(QString::fromUtf16(kQuantityField));
      PaintText(painter, cell, cell.left() + field - metrics.horizontalAdvance(text) + 4, text);
      break;
    }
    default:
      PaintText(painter, cell, cell.left(), text);
      break;
  }
  painter->restore();
}

TOrderHeaderView::TOrderHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(true);
  setHighlightSections(false);
}

void TOrderHeaderView::paintSection(QPainter* painter, const QRect& rect,
                                    int logical_index) const {
  using namespace order;
  painter->save();
  painter->setClipRect(rect);
  PaintBackground(painter, rect, true, images_);
  if (logical_index == kMarkColumn) {
    PaintMark(painter, rect, images_);
  } else {
    QFont bold = font();
    bold.setBold(true);
    painter->setFont(bold);
    painter->setPen(Qt::white);
    const QString text = model() ? model()->headerData(logical_index, Qt::Horizontal).toString()
                                 : QString();
    const int x = logical_index == kItemTextColumn
                      ? rect.left() + 3
                      : rect.left() + (rect.width() - painter->fontMetrics().horizontalAdvance(text)) / 2;
    PaintText(painter, rect, x, text);
  }
  painter->restore();
}
