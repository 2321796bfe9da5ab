#include "ButtonEXGraphics.h"

#include <QBitmap>
#include <QImage>

TButtonExGraphics::TButtonExGraphics(QWidget* parent) : QWidget(parent) {
  resize(64, 32);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  // A prototype is never seen: it only carries the look of its buttons.
  setVisible(false);
}

template <class T>
void TButtonExGraphics::Store(T& field, const T& value) {
  if (field == value) return;
  field = value;
  emit Changed();
}

void TButtonExGraphics::SetBitmap(Bitmap which, const QPixmap& bitmap) {
  bitmaps_[which] = bitmap;  // QPixmap shares its data, so this is a cheap copy
  masked_[which] = QPixmap();
  emit Changed();
}

QPixmap TButtonExGraphics::TransparentSlice(Bitmap which) const {
  const QPixmap& source = bitmaps_[which];
  if (source.isNull()) return source;
  if (masked_[which].isNull()) {
    const QImage image = source.toImage();
    const QColor key = image.pixelColor(0, image.height() - 1);
    QPixmap masked = source;
    masked.setMask(source.createMaskFromColor(key, Qt::MaskInColor));
    masked_[which] = masked;
  }
  return masked_[which];
}

bool TButtonExGraphics::HasButtonSlices() const {
  for (Bitmap b : {UpLeft, UpMid, UpRight, DownLeft, DownMid, DownRight})
    if (bitmaps_[b].isNull()) return false;
  return true;
}

void TButtonExGraphics::SetFont(FontSlot which, const TButtonFont& font) {
  fonts_[which] = font;
  emit Changed();
}

void TButtonExGraphics::SetTextShadow(bool on) { Store(text_shadow_, on); }
void TButtonExGraphics::SetShadowColorUp(const QColor& c) { Store(shadow_up_, c); }
void TButtonExGraphics::SetShadowColorDown(const QColor& c) { Store(shadow_down_, c); }
void TButtonExGraphics::SetShadowColorDisabled(const QColor& c) { Store(shadow_disabled_, c); }
void TButtonExGraphics::SetCaptionXAdjust(int dx) { Store(caption_x_, dx); }
void TButtonExGraphics::SetCaptionYAdjust(int dy) { Store(caption_y_, dy); }
void TButtonExGraphics::SetState(TState state) { Store(state_, state); }
void TButtonExGraphics::SetKind(TKind kind) { Store(kind_, kind); }
void TButtonExGraphics::SetFocusRectShown(bool on) { Store(focus_rect_shown_, on); }
void TButtonExGraphics::SetFocusRectColor(const QColor& c) { Store(focus_rect_color_, c); }
void TButtonExGraphics::SetUseFocusedFont(bool on) { Store(use_focused_font_, on); }
void TButtonExGraphics::SetTransparent(bool on) { Store(transparent_, on); }
