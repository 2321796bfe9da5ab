#include "ResultGrid.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "ResultModel.h"

TResultGrid::TResultGrid(QWidget* parent) : QTableView(parent) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  horizontalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(kRowPitch);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The keyboard reaches the hits through the grid; a click on it keeps the focus
  // where it is, so typing in the search edits is never interrupted by the mouse.
  setFocusPolicy(Qt::TabFocus);
  setMouseTracking(true);
  setShowGrid(true);
  setFrameShape(QFrame::Box);
  setLineWidth(1);
}

void TResultGrid::setModel(QAbstractItemModel* model) {
  QTableView::setModel(model);
  // Each section holds the column and the grid line to its right.
  for (int column = 0; column < TResultModel::kColumnCount; ++column) {
    setColumnWidth(column, kColumnWidths[column] + 1);
  }
}

QPoint TResultGrid::CellAt(const QPoint& position) const {
  const int column = columnAt(position.x());
  const int row = rowAt(position.y());
  if (column < 0 || row < 0) return QPoint(-1, -1);
  return QPoint(column, row);
}

int TResultGrid::LastHitRow() const {
  if (!model()) return 0;
  int last = 0;
  for (int row = 1; row < model()->rowCount(); ++row) {
    if (model()->index(row, 0).data(TResultModel::HitRole).toInt() < 0) break;
    last = row;
  }
  return last;
}

void TResultGrid::SetCursorRow(int row) {
  const int last = LastHitRow();
  cursor_row_ = std::max(1, std::min(row, std::max(last, 1)));
  viewport()->update();
}

void TResultGrid::KeepCursorOnHits() { SetCursorRow(cursor_row_); }

void TResultGrid::mousePressEvent(QMouseEvent* event) {
  const QPoint cell = CellAt(event->position().toPoint());
  emit cellPressed(cell.x(), cell.y(), event->button());
  event->accept();
}

void TResultGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click is a press like the first (a double click on
  // the mark column toggles twice), and then the double click.
  const QPoint cell = CellAt(event->position().toPoint());
  emit cellPressed(cell.x(), cell.y(), event->button());
  if (event->button() == Qt::LeftButton) emit cellDoubleClicked(cell.x(), cell.y());
  event->accept();
}

void TResultGrid::mouseMoveEvent(QMouseEvent* event) {
  const QPoint cell = CellAt(event->position().toPoint());
  emit cellHovered(cell.x(), cell.y());
  event->accept();
}

void TResultGrid::wheelEvent(QWheelEvent* event) {
  if (wheel_target_) {
    QCoreApplication::sendEvent(wheel_target_, event);
  } else {
    event->ignore();
  }
}

void TResultGrid::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
    QTableView::keyPressEvent(event);
    return;
  }
  // The keys that move the result as the scroll bar's actions do.
  static const std::pair<int, QAbstractSlider::SliderAction> kScrollKeys[] = {
      {Qt::Key_PageUp, QAbstractSlider::SliderPageStepSub},
      {Qt::Key_PageDown, QAbstractSlider::SliderPageStepAdd},
      {Qt::Key_Home, QAbstractSlider::SliderToMinimum},
      {Qt::Key_End, QAbstractSlider::SliderToMaximum}};
  for (const auto& [key, action] : kScrollKeys) {
    if (event->key() == key) {
      emit scrollRequested(action);
      event->accept();
      return;
    }
  }
  switch (event->key()) {
    case Qt::Key_Up:
      if (cursor_row_ > 1) {
        SetCursorRow(cursor_row_ - 1);
      } else {
        emit scrollRequested(QAbstractSlider::SliderSingleStepSub);
      }
      break;
    case Qt::Key_Down:
      if (cursor_row_ < LastHitRow()) {
        SetCursorRow(cursor_row_ + 1);
      } else if (model() && cursor_row_ == model()->rowCount() - 1) {
        emit scrollRequested(QAbstractSlider::SliderSingleStepAdd);
      }
      break;
    case Qt::Key_Space:
      emit markToggleRequested(cursor_row_);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      emit detailsRequested(cursor_row_);
      break;
    default:
      // Tab and the rest go on to the window.
      event->ignore();
      return;
  }
  event->accept();
}

void TResultGrid::focusInEvent(QFocusEvent* event) {
  QTableView::focusInEvent(event);
  KeepCursorOnHits();
}

void TResultGrid::focusOutEvent(QFocusEvent* event) {
  QTableView::focusOutEvent(event);
  viewport()->update();
}

void TResultGrid::paintEvent(QPaintEvent* event) {
  QTableView::paintEvent(event);
  // The keyboard cursor: a frame around its row while the grid has the focus.
  if (!hasFocus() || !model() || LastHitRow() == 0) return;
  const QRect first = visualRect(model()->index(cursor_row_, 0));
  const QRect last = visualRect(model()->index(cursor_row_, model()->columnCount() - 1));
  QPainter painter(viewport());
  painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(first.united(last).adjusted(0, 0, -1, -1));
}
