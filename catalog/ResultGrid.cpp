#include "ResultGrid.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QMouseEvent>

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
  setFocusPolicy(Qt::NoFocus);
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

void TResultGrid::mousePressEvent(QMouseEvent* event) {
  const QPoint cell = CellAt(event->position().toPoint());
  emit cellPressed(cell.x(), cell.y(), event->button());
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
