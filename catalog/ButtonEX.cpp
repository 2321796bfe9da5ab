#include "ButtonEX.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QtGlobal>

#include <algorithm>

TButtonEX::TButtonEX(QWidget* parent, const QString& name) : QWidget(parent), caption_(name) {
  setObjectName(name);
  resize(64, 32);
  setFocusPolicy(Qt::StrongFocus);
}

int TButtonEX::SnapWidth(int width, int left, int mid, int right) {
  const int room = width - left - right;
  const int tiles = (mid > 0 && room > 0) ? room / mid : 0;
  return left + tiles * mid + right;
}

void TButtonEX::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  update();
}

void TButtonEX::SetState(TState state) {
  if (state == state_) return;
  state_ = state;
  update();
}

void TButtonEX::SetPrototype(TButtonExGraphics* prototype) {
  if (prototype == prototype_) return;
  if (prototype_) disconnect(prototype_, nullptr, this, nullptr);
  prototype_ = prototype;
  if (prototype_) {
    connect(prototype_, &TButtonExGraphics::Changed, this, [this] {
      ApplyLayout();
      update();
    });
  }
  ApplyLayout();
  update();
}

QSize TButtonEX::sizeHint() const { return size(); }

void TButtonEX::ApplyLayout() {
  if (in_layout_ || !prototype_ || !prototype_->HasButtonSlices()) return;
  const int left = prototype_->GetBitmap(TButtonExGraphics::UpLeft).width();
  const int mid = prototype_->GetBitmap(TButtonExGraphics::UpMid).width();
  const int right = prototype_->GetBitmap(TButtonExGraphics::UpRight).width();
  const QSize snapped(SnapWidth(width(), left, mid, right),
                      prototype_->GetBitmap(TButtonExGraphics::UpMid).height());
  if (snapped != size()) {
    in_layout_ = true;
    resize(snapped);
    in_layout_ = false;
  }
}

void TButtonEX::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplyLayout();
}

void TButtonEX::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ApplyLayout();
}

// ---------------------------------------------------------------------------------
// Painting

void TButtonEX::PaintSlices(QPainter& p, int left, int mid, int tiles) {
  using G = TButtonExGraphics;
  G::Bitmap l = G::UpLeft, m = G::UpMid, r = G::UpRight;
  if (!isEnabled()) {
    l = G::DisabledLeft, m = G::DisabledMid, r = G::DisabledRight;
  } else if (state_ == bsDown) {
    l = G::DownLeft, m = G::DownMid, r = G::DownRight;
  }
  const int right_x = left + tiles * mid;
  for (int i = 0; i < tiles; ++i) p.drawPixmap(left + i * mid, 0, prototype_->GetBitmap(m));

  const QPixmap background = prototype_->GetBitmap(G::TransparentBkgndBMP);
  auto draw_end = [&](G::Bitmap end, int x) {
    const QPixmap slice = prototype_->GetBitmap(end);
    if (!prototype_->Transparent()) {
      p.drawPixmap(x, 0, slice);
      return;
    }
    const QRect area(x, 0, slice.width(), slice.height());
    if (background.isNull())
      p.fillRect(area, parentWidget() ? parentWidget()->palette().color(QPalette::Window)
                                      : palette().color(QPalette::Window));
    else
      p.drawPixmap(area, background);
    p.drawPixmap(x, 0, prototype_->TransparentSlice(end));
  };
  draw_end(l, 0);
  draw_end(r, right_x);
}

void TButtonEX::paintEvent(QPaintEvent*) {
  if (!prototype_) return;  // a button without a prototype paints nothing
  QPainter p(this);
  if (!prototype_->HasButtonSlices()) {
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(0, QFontMetrics(font()).ascent(), caption_);
    return;
  }
  using G = TButtonExGraphics;
  const int left = prototype_->GetBitmap(G::UpLeft).width();
  const int mid = prototype_->GetBitmap(G::UpMid).width();
  const int right = prototype_->GetBitmap(G::UpRight).width();
  const int tiles = std::max(0, (width() - left - right) / std::max(1, mid));
  PaintSlices(p, left, mid, tiles);

  TButtonFont look;
  QColor shadow;
  if (!isEnabled()) {
    look = prototype_->GetFont(G::DisabledFont);
    shadow = prototype_->ShadowColorDisabled();
  } else if (state_ == bsDown) {
    look = prototype_->GetFont(G::DownFont);
    shadow = prototype_->ShadowColorDown();
  } else {
    look = prototype_->GetFont(G::UpFont);
    shadow = prototype_->ShadowColorUp();
  }
  if (focused_ && prototype_->UseFocusedFont()) look = prototype_->GetFont(G::FocusedFont);

  if (focused_ && prototype_->FocusRectShown()) {
    p.setPen(prototype_->FocusRectColor());
    p.setBrush(Qt::NoBrush);
    // The frame covers x from left to width - left and y from 5 to height - 5, the
    // far edges excluded.
    p.drawRect(left, 5, width() - 2 * left - 1, height() - 10 - 1);
  }

  p.setFont(look.font);
  const QFontMetrics metrics(look.font);
  int x = (width() - metrics.horizontalAdvance(caption_)) / 2;
  int y = (height() - metrics.height()) / 2;  // the height of "Wg": the font's line height
  if (state_ == bsDown) ++x, ++y;
  x += prototype_->CaptionXAdjust();
  y += prototype_->CaptionYAdjust();
  const int baseline = y + metrics.ascent();
  if (prototype_->TextShadow() || !isEnabled()) {
    p.setPen(shadow);
    p.drawText(x + 1, baseline + 1, caption_);
  }
  p.setPen(look.color);
  p.drawText(x, baseline, caption_);
}

// ---------------------------------------------------------------------------------
// Mouse and keyboard

void TButtonEX::mousePressEvent(QMouseEvent* event) {
  emit OnMouseDown();
  if (event->button() != Qt::LeftButton || !isEnabled() || !prototype_) return;
  mouse_inside_ = true;
  if (state_ == bsUp) {
    SetState(bsDown);
    setFocus(Qt::MouseFocusReason);
    if (prototype_->Kind() == bkTab) emit OnClick();
  }
}

void TButtonEX::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) LeftButtonUp();
  // Releasing outside ends the drag; the hover state follows the real position.
  SetMouseInside(rect().contains(event->position().toPoint()));
}

void TButtonEX::LeftButtonUp() {
  if (!prototype_ || prototype_->Kind() != bkButton) return;  // a tab stays down
  pressed_and_left_ = false;
  if (state_ == bsDown) {
    SetState(bsUp);
    emit OnClick();
  }
}

void TButtonEX::mouseMoveEvent(QMouseEvent* event) {
  // While the button is held the toolkit keeps sending moves here even outside, but
  // no enter or leave: crossing the edge is found from the position.
  if (event->buttons() & Qt::LeftButton) SetMouseInside(rect().contains(event->position().toPoint()));
}

void TButtonEX::enterEvent(QEnterEvent*) { SetMouseInside(true); }
void TButtonEX::leaveEvent(QEvent*) { SetMouseInside(false); }

void TButtonEX::SetMouseInside(bool inside) {
  if (inside == mouse_inside_) return;
  mouse_inside_ = inside;
  const bool push = prototype_ && prototype_->Kind() == bkButton;
  if (inside) {
    emit OnMouseEnter();
    if (push && pressed_and_left_) SetState(bsDown);
  } else {
    emit OnMouseLeave();
    if (push && state_ == bsDown) {
      SetState(bsUp);
      pressed_and_left_ = true;
    }
  }
}

void TButtonEX::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space) {
    QWidget::keyPressEvent(event);
    return;
  }
  if (state_ != bsUp) return;
  SetState(bsDown);
  if (prototype_ && prototype_->Kind() == bkTab) emit OnClick();
  LeftButtonUp();  // a push button comes back up and fires
}

void TButtonEX::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  if (!isEnabled()) {
    // Not for the user's eyes: a disabled button should never get here.
    qWarning("TButtonEX %s: Focus+Disabled = Error", qPrintable(objectName()));
  }
  focused_ = true;
  update();
}

void TButtonEX::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  focused_ = false;
  update();
}

void TButtonEX::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) update();
}
