#include "art/Artwork.h"

#include <QDir>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "ButtonEXGraphics.h"

namespace art {
namespace {

// The palette.
const QColor kNavy(0x0A, 0x24, 0x50);
const QColor kBlue(0x1B, 0x4F, 0x9C);
const QColor kYellow(0xF2, 0xC2, 0x30);
const QColor kSky(0x9C, 0xC3, 0xF0);

QImage Canvas(int w, int h, const QColor& fill = Qt::white) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

QFont Arial(int pixels, bool bold = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

void VerticalGradient(QPainter& p, const QRect& r, const QColor& top, const QColor& bottom) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.fillRect(r, g);
}

// A lightning bolt filling a circle of radius r around c.
void Emblem(QPainter& p, QPointF c, double r) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kNavy.darker(130), 1.5));
  QRadialGradient disc(c - QPointF(r / 3, r / 3), r * 1.4);
  disc.setColorAt(0, kYellow.lighter(125));
  disc.setColorAt(1, kYellow.darker(115));
  p.setBrush(disc);
  p.drawEllipse(c, r, r);
  const double s = r * 0.72;
  const QPolygonF bolt{c + QPointF(0.18 * s, -1.0 * s), c + QPointF(-0.55 * s, 0.12 * s),
                       c + QPointF(-0.04 * s, 0.12 * s), c + QPointF(-0.22 * s, 1.0 * s),
                       c + QPointF(0.56 * s, -0.16 * s), c + QPointF(0.06 * s, -0.16 * s)};
  p.setPen(Qt::NoPen);
  p.setBrush(kNavy);
  p.drawPolygon(bolt);
}

// Faint circuit traces for the right side of the dark strips.
void Traces(QPainter& p, const QRect& area, int seed) {
  p.setRenderHint(QPainter::Antialiasing);
  QColor line = kSky;
  line.setAlpha(38);
  p.setPen(QPen(line, 1.2));
  p.setBrush(Qt::NoBrush);
  unsigned state = 2166136261u ^ static_cast<unsigned>(seed);
  auto next = [&state](int range) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % static_cast<unsigned>(range));
  };
  for (int i = 0; i < 14; ++i) {
    const int y = area.top() + 6 + next(area.height() - 12);
    const int x0 = area.left() + next(area.width() / 2);
    const int x1 = x0 + 40 + next(area.width() / 2);
    const int bend = x0 + (x1 - x0) / 2;
    const int y1 = std::clamp(y + next(25) - 12, area.top() + 4, area.bottom() - 4);
    QPainterPath path(QPointF(x0, y));
    path.lineTo(bend, y);
    path.lineTo(bend + std::abs(y1 - y), y1);
    path.lineTo(std::min(x1, area.right()), y1);
    p.drawPath(path);
    p.drawEllipse(QPointF(std::min(x1, area.right()), y1), 2.2, 2.2);
  }
}

}  // namespace

QImage LogoStrip() {
  QImage image = Canvas(800, 80);
  QPainter p(&image);
  QLinearGradient across(0, 0, 800, 0);
  across.setColorAt(0, kNavy);
  across.setColorAt(1, kBlue);
  p.fillRect(image.rect(), across);
  QLinearGradient gloss(0, 0, 0, 80);
  gloss.setColorAt(0, QColor(255, 255, 255, 28));
  gloss.setColorAt(0.5, QColor(255, 255, 255, 0));
  p.fillRect(image.rect(), gloss);
  Traces(p, QRect(420, 0, 380, 76), 7);
  Emblem(p, QPointF(42, 39), 26);

  p.setPen(Qt::white);
  p.setFont(Arial(30, true));
  p.drawText(84, 44, QStringLiteral("Tremora Divuvera"));
  QFont tagline = Arial(11, true);
  tagline.setLetterSpacing(QFont::AbsoluteSpacing, 2.2);
  p.setFont(tagline);
  p.setPen(kSky);
  p.drawText(86, 63, QStringLiteral("ELEKTRISK VAREKATALOG"));
  p.fillRect(0, 77, 800, 3, kYellow);
  return image;
}

QImage Background() {
  QImage image = Canvas(800, 466);
  QPainter p(&image);
  VerticalGradient(p, image.rect(), QColor(0xEE, 0xF2, 0xF8), QColor(0xD0, 0xDA, 0xE8));
  // A large, barely visible emblem in the lower right corner.
  p.setRenderHint(QPainter::Antialiasing);
  p.setOpacity(0.06);
  Emblem(p, QPointF(690, 380), 130);
  p.setOpacity(1.0);
  return image;
}

QImage ButtonBar() {
  QImage image = Canvas(800, 44);
  QPainter p(&image);
  VerticalGradient(p, image.rect(), QColor(0x22, 0x58, 0xA2), QColor(0x0E, 0x2F, 0x60));
  p.fillRect(0, 0, 800, 1, QColor(0x5A, 0x8C, 0xD0));
  p.fillRect(0, 42, 800, 2, kYellow);
  Traces(p, QRect(690, 2, 110, 38), 3);
  return image;
}

namespace {
QImage Row(const QColor& top, const QColor& bottom, const QColor& edgeTop, const QColor& edgeBottom) {
  QImage image = Canvas(32, 18);
  QPainter p(&image);
  VerticalGradient(p, image.rect(), top, bottom);
  p.fillRect(0, 0, 32, 1, edgeTop);
  p.fillRect(0, 17, 32, 1, edgeBottom);
  return image;
}

QImage Page(bool minus) {
  QImage image = Canvas(13, 14, QColor(0x0E, 0x2F, 0x60));
  QPainter p(&image);
  p.fillRect(1, 1, 11, 12, Qt::white);
  // Folded corner.
  p.fillRect(9, 1, 3, 3, QColor(0xC8, 0xD6, 0xEA));
  p.fillRect(9, 3, 3, 1, QColor(0x0E, 0x2F, 0x60));
  p.fillRect(9, 1, 1, 3, QColor(0x0E, 0x2F, 0x60));
  for (int y : {5, 7, 9, 11}) p.fillRect(3, y, y == 11 ? 4 : 7, 1, QColor(0x4F, 0x86, 0xC8));
  if (minus) {
    p.fillRect(6, 8, 7, 6, QColor(0xC6, 0x28, 0x28));
    p.fillRect(7, 10, 5, 2, Qt::white);
  }
  return image;
}
}  // namespace

QImage RowLight() {
  return Row(QColor(0x60, 0x96, 0xD6), QColor(0x50, 0x87, 0xC9), QColor(0x7A, 0xA9, 0xDF),
             QColor(0x44, 0x79, 0xBB));
}

QImage RowMedium() {
  return Row(QColor(0x31, 0x67, 0xAF), QColor(0x28, 0x5A, 0x9F), QColor(0x41, 0x77, 0xBE),
             QColor(0x22, 0x4E, 0x8B));
}

QImage MarkIcon() { return Page(false); }
QImage MarkIconMinus() { return Page(true); }

QImage AboutPicture() {
  QImage image = Canvas(319, 233);
  QPainter p(&image);
  VerticalGradient(p, image.rect(), kNavy, kBlue);
  Traces(p, QRect(150, 110, 169, 90), 11);
  Emblem(p, QPointF(46, 50), 28);

  p.setPen(Qt::white);
  p.setFont(Arial(22, true));
  p.drawText(86, 46, QStringLiteral("Tremora Divuvera"));
  p.setPen(kSky);
  p.setFont(Arial(12, true));
  p.drawText(87, 66, QStringLiteral("Elektrisk varekatalog 2013"));
  p.fillRect(20, 96, 279, 2, kYellow);

  p.setPen(Qt::white);
  p.setFont(Arial(11));
  const char* lines[] = {"Version 1.0", "Tremora Divuvera AB", "Produktdata og priser",
                         "Søgemaskine Lodex32"};
  int y = 120;
  for (const char* line : lines) {
    p.drawText(22, y, QString::fromUtf8(line));
    y += 17;
  }
  p.setPen(kSky);
  p.drawText(22, 214, QString::fromUtf8("\u00a9 Tremora Divuvera AB"));

  // The frame under the close label that the about box writes at (248, 209).
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient face(0, 209, 0, 228);
  face.setColorAt(0, QColor(0x4F, 0x8F, 0xDD));
  face.setColorAt(1, QColor(0x1C, 0x55, 0xA5));
  p.setBrush(face);
  p.setPen(QPen(kNavy, 1));
  p.drawRoundedRect(QRectF(250.5, 209.5, 60, 18), 4, 4);
  return image;
}

// ---------------------------------------------------------------------------------
// Buttons

QImage ButtonSlice(int height, ButtonLook look, int part) {
  struct Colours { QColor top, bottom, border, highlight; };
  Colours c;
  switch (look) {
    case ButtonLook::Up:
      c = {QColor(0x52, 0x92, 0xE0), QColor(0x1C, 0x55, 0xA5), QColor(0x0A, 0x24, 0x50),
           QColor(0x9C, 0xC6, 0xF4)};
      break;
    case ButtonLook::Down:
      c = {QColor(0x16, 0x44, 0x88), QColor(0x2E, 0x6A, 0xB8), QColor(0x06, 0x1C, 0x40),
           QColor(0x0E, 0x32, 0x6C)};
      break;
    case ButtonLook::Disabled:
      c = {QColor(0xBA, 0xC1, 0xCB), QColor(0x95, 0x9E, 0xAB), QColor(0x6A, 0x73, 0x80),
           QColor(0xD8, 0xDC, 0xE2)};
      break;
  }
  const int width = part == 1 ? kButtonMidWidth : kButtonEndWidth;
  QImage image = Canvas(width, height);
  QPainter p(&image);
  VerticalGradient(p, image.rect(), c.top, c.bottom);
  p.fillRect(0, 1, width, 1, c.highlight);
  p.fillRect(0, 0, width, 1, c.border);
  p.fillRect(0, height - 1, width, 1, c.border);
  if (part == 0) {
    p.fillRect(0, 0, 1, height, c.border);
    p.fillRect(1, 2, 1, height - 3, c.highlight);
    image.setPixelColor(0, 0, c.border.lighter(160));
    image.setPixelColor(0, height - 1, c.border.lighter(160));
  } else if (part == 2) {
    p.fillRect(width - 1, 0, 1, height, c.border);
    image.setPixelColor(width - 1, 0, c.border.lighter(160));
    image.setPixelColor(width - 1, height - 1, c.border.lighter(160));
  }
  return image;
}

void SkinPrototype(TButtonExGraphics& prototype, int height, int captionYAdjust) {
  using G = TButtonExGraphics;
  const G::Bitmap kinds[3][3] = {{G::UpLeft, G::UpMid, G::UpRight},
                                 {G::DownLeft, G::DownMid, G::DownRight},
                                 {G::DisabledLeft, G::DisabledMid, G::DisabledRight}};
  const ButtonLook looks[3] = {ButtonLook::Up, ButtonLook::Down, ButtonLook::Disabled};
  for (int look = 0; look < 3; ++look)
    for (int part = 0; part < 3; ++part)
      prototype.SetBitmap(kinds[look][part],
                          QPixmap::fromImage(ButtonSlice(height, looks[look], part)));
  const TButtonFont white{Arial(11, true), Qt::white};
  prototype.SetFont(G::UpFont, white);
  prototype.SetFont(G::DownFont, white);
  prototype.SetFont(G::FocusedFont, white);
  prototype.SetFont(G::DisabledFont, TButtonFont{Arial(11, true), QColor(0xE4, 0xE7, 0xEB)});
  prototype.SetTextShadow(true);
  prototype.SetShadowColorUp(Qt::black);
  prototype.SetShadowColorDown(Qt::black);
  prototype.SetShadowColorDisabled(QColor(0x80, 0x80, 0x80));
  prototype.SetCaptionYAdjust(captionYAdjust);
  prototype.SetFocusRectShown(false);
}

QImage AppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // A navy tile with the logo strip's gradient and its yellow rule, the emblem on top.
  const QRectF tile = QRectF(0, 0, size, size).adjusted(size / 32.0, size / 32.0,
                                                        -size / 32.0, -size / 32.0);
  QLinearGradient down(tile.topLeft(), tile.bottomLeft());
  down.setColorAt(0, kBlue);
  down.setColorAt(1, kNavy);
  p.setPen(Qt::NoPen);
  p.setBrush(down);
  p.drawRoundedRect(tile, size / 6.0, size / 6.0);
  p.fillRect(QRectF(tile.left() + size / 8.0, tile.bottom() - size / 7.0,
                    tile.width() - size / 4.0, std::max(1.0, size / 24.0)),
             kYellow);
  Emblem(p, tile.center() - QPointF(0, size / 22.0), size * 0.32);
  return image;
}

bool WriteIconFiles(const QString& themeFolder, const QString& name, QString* error) {
  for (int size : kIconSizes) {
    const QString folder =
        QDir(themeFolder).filePath(QStringLiteral("%1x%1/apps").arg(size));
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (!QDir().mkpath(folder) || !AppIcon(size).save(path, "PNG")) {
      if (error) *error = path;
      return false;
    }
  }
  return true;
}

bool WriteImageFiles(const QString& folder, QString* error) {
  if (!QDir().mkpath(folder)) {
    if (error) *error = folder;
    return false;
  }
  const struct { const char* name; QImage image; } files[] = {
      {"DesLogo.bmp", LogoStrip()},       {"BG.Bmp", Background()},
      {"Dok.bmp", MarkIcon()},            {"Dok_minus.bmp", MarkIconMinus()},
      {"MBlaa.bmp", RowMedium()},         {"LBlaa.bmp", RowLight()},
      {"infobox_kv.bmp", AboutPicture()},
  };
  for (const auto& file : files) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(file.name));
    if (!file.image.convertToFormat(QImage::Format_RGB888).save(path, "BMP")) {
      if (error) *error = path;
      return false;
    }
  }
  return true;
}

}  // namespace art
