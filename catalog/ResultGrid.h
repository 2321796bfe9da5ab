// TResultGrid: the search window's owner-drawn grid of 15 rows (a header row and 14
// hits) and nine fixed-width columns, without scroll bars of its own (the window's
// scroll bar pages the result). It reports presses and mouse moves by cell.
#pragma once

#include <QTableView>

#include "ResultModel.h"

class TResultGrid : public QTableView {
  Q_OBJECT

 public:
  static constexpr int kRowPitch = 19;  // 18 pixels of row and 1 of grid line
  static constexpr int kColumnWidths[TResultModel::kColumnCount] = {19, 217, 47, 119, 73, 89, 81, 27, 74};

  explicit TResultGrid(QWidget* parent = nullptr);

  // The cell under a point of the grid's viewport; -1, -1 outside the cells.
  QPoint CellAt(const QPoint& position) const;

  // The widget that gets the wheel turned over the grid (the window's scroll bar).
  void SetWheelTarget(QWidget* target) { wheel_target_ = target; }

  // Sets the model and gives its columns their fixed widths.
  void setModel(QAbstractItemModel* model) override;

 signals:
  void cellPressed(int column, int row, Qt::MouseButton button);
  void cellHovered(int column, int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  QWidget* wheel_target_ = nullptr;
};
