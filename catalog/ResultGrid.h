// TResultGrid: the search window's owner-drawn grid of 15 rows (a header row and 14
// hits) and nine fixed-width columns, without scroll bars of its own (the window's
// scroll bar pages the result). It reports presses, double clicks and mouse moves by
// cell, and keeps a keyboard cursor on one hit row: Up and Down move it (scrolling by a
// line at the page's ends), Page Up, Page Down, Home and End scroll as the scroll bar
// does, Space asks for the row's mark to be toggled and Enter for its details.
#pragma once

#include <QAbstractSlider>
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

  // The grid row (1 to 14) of the keyboard cursor. It stays on the rows that show
  // hits; KeepCursorOnHits puts it back there after the page changed.
  int CursorRow() const { return cursor_row_; }
  void SetCursorRow(int row);
  void KeepCursorOnHits();

 signals:
  void cellPressed(int column, int row, Qt::MouseButton button);
  void cellDoubleClicked(int column, int row);
  void cellHovered(int column, int row);
  // A key asked the result to move as the scroll bar's action would.
  void scrollRequested(QAbstractSlider::SliderAction action);
  void markToggleRequested(int row);
  void detailsRequested(int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // The last grid row that shows a hit (0 when none does).
  int LastHitRow() const;

  QWidget* wheel_target_ = nullptr;
  int cursor_row_ = 1;
};
