// TButtonExGraphics: the look of one button style, shared by every TButtonEX that
// refers to it. It holds three-slice bitmaps (left end, repeated middle, right end) for
// the released, pressed and disabled looks, the caption fonts and shadow colours, and
// the behaviour (push button or tab) of its buttons. It sits hidden on a window and
// paints nothing; its buttons may live on other windows.
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QWidget>

#include <array>

enum TState { bsUp, bsDown };
enum TKind { bkButton, bkTab };

// A caption font with its colour.
struct TButtonFont {
  QFont font;
  QColor color = Qt::black;
};

class TButtonExGraphics : public QWidget {
  Q_OBJECT

 public:
  // The ten bitmaps.
  enum Bitmap {
    UpLeft, UpMid, UpRight,
    DownLeft, DownMid, DownRight,
    DisabledLeft, DisabledMid, DisabledRight,
    TransparentBkgndBMP,
    BitmapCount
  };
  // The four caption fonts.
  enum FontSlot { UpFont, DownFont, DisabledFont, FocusedFont, FontCount };

  explicit TButtonExGraphics(QWidget* parent = nullptr);

  QPixmap GetBitmap(Bitmap which) const { return bitmaps_[which]; }
  void SetBitmap(Bitmap which, const QPixmap& bitmap);
  // The same slice with its transparent colour (its bottom-left pixel) masked out.
  QPixmap TransparentSlice(Bitmap which) const;
  // True when all six up and down slices are present, so buttons can lay themselves
  // out and paint from them.
  bool HasButtonSlices() const;

  TButtonFont GetFont(FontSlot which) const { return fonts_[which]; }
  void SetFont(FontSlot which, const TButtonFont& font);

  bool TextShadow() const { return text_shadow_; }
  void SetTextShadow(bool on);
  QColor ShadowColorUp() const { return shadow_up_; }
  QColor ShadowColorDown() const { return shadow_down_; }
  QColor ShadowColorDisabled() const { return shadow_disabled_; }
  void SetShadowColorUp(const QColor& c);
  void SetShadowColorDown(const QColor& c);
  void SetShadowColorDisabled(const QColor& c);

  int CaptionXAdjust() const { return caption_x_; }
  int CaptionYAdjust() const { return caption_y_; }
  void SetCaptionXAdjust(int dx);
  void SetCaptionYAdjust(int dy);

  TState State() const { return state_; }
  void SetState(TState state);
  TKind Kind() const { return kind_; }
  void SetKind(TKind kind);

  bool FocusRectShown() const { return focus_rect_shown_; }
  void SetFocusRectShown(bool on);
  QColor FocusRectColor() const { return focus_rect_color_; }
  void SetFocusRectColor(const QColor& c);
  bool UseFocusedFont() const { return use_focused_font_; }
  void SetUseFocusedFont(bool on);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool on);

 signals:
  // Any setting changed: the buttons using this prototype lay out and repaint.
  void Changed();
  void OnClick();

 protected:
  void paintEvent(QPaintEvent*) override {}  // nothing at run time

 private:
  template <class T>
  void Store(T& field, const T& value);

  std::array<QPixmap, BitmapCount> bitmaps_;
  mutable std::array<QPixmap, BitmapCount> masked_;  // cache of TransparentSlice
  std::array<TButtonFont, FontCount> fonts_;
  bool text_shadow_ = true;
  QColor shadow_up_ = Qt::black;
  QColor shadow_down_ = Qt::black;
  QColor shadow_disabled_ = QColor(0x80, 0x80, 0x80);
  int caption_x_ = 0;
  int caption_y_ = 0;
  TState state_ = bsUp;
  TKind kind_ = bkButton;
  bool focus_rect_shown_ = true;
  QColor focus_rect_color_ = QColor(0x80, 0x80, 0x80);
  bool use_focused_font_ = true;
  bool transparent_ = false;
};
