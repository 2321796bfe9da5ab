// TButtonEX: a push button (or tab) drawn from the three-slice bitmaps of its prototype
// (TButtonExGraphics). Its width snaps down to the end slices plus a whole number of
// middle tiles and its height is the middle slice's; the caption is centred, with a
// shadow copy when the prototype asks for one or the button is disabled.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "ButtonEXGraphics.h"

class TButtonEX : public QWidget {
  Q_OBJECT

 public:
  explicit TButtonEX(QWidget* parent = nullptr, const QString& name = QStringLiteral("ButtonEX"));

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  TState State() const { return state_; }
  void SetState(TState state);
  TButtonExGraphics* Prototype() const { return prototype_; }
  void SetPrototype(TButtonExGraphics* prototype);
  void SetEnabled(bool enabled) { setEnabled(enabled); }

  bool Focused() const { return focused_; }
  bool PressedAndLeft() const { return pressed_and_left_; }

  // Width of a button laid out from end slices of widths left and right and a middle
  // tile of width mid: the ends plus as many whole tiles as fit into width.
  static int SnapWidth(int width, int left, int mid, int right);

  QSize sizeHint() const override;

 signals:
  void OnClick();
  void OnMouseEnter();
  void OnMouseLeave();
  void OnMouseDown();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Snaps width and height to the prototype's slices (when it has them all).
  void ApplyLayout();
  // The mouse came in or went out (hover, or dragging with the button held).
  void SetMouseInside(bool inside);
  void LeftButtonUp();
  void PaintSlices(class QPainter& p, int left, int mid, int tiles);

  QString caption_;
  TState state_ = bsUp;
  QPointer<TButtonExGraphics> prototype_;
  bool focused_ = false;
  bool pressed_and_left_ = false;
  bool mouse_inside_ = false;
  bool in_layout_ = false;
};
