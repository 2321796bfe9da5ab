// The catalogue's artwork, drawn in code so that it is reproducible: the windows use it
// as their built-in pictures and the generator (make_artwork.cpp) writes the image
// files of a catalogue folder from the same functions. One look throughout: deep blue
// with a yellow accent, blue grid rows under white text.
#pragma once

#include <QImage>
#include <QString>

class TButtonExGraphics;

namespace art {

QImage LogoStrip();      // 800 x 80: the strip across the top of the frame windows
QImage Background();     // 800 x 466: behind the controls
QImage ButtonBar();      // 800 x 44: the bar behind the top buttons
QImage RowLight();       // LBlaa: even grid rows and the header
QImage RowMedium();      // MBlaa: odd grid rows
QImage MarkIcon();       // Dok: a marked hit
QImage MarkIconMinus();  // Dok_minus: a marked order line
QImage AboutPicture();   // 319 x 233: the about box
QImage AppIcon(int size);  // size x size, transparent corners: the program's icon

enum class ButtonLook { Up, Down, Disabled };
inline constexpr int kButtonEndWidth = 12;
inline constexpr int kButtonMidWidth = 16;
QImage ButtonSlice(int height, ButtonLook look, int part);  // part: 0 left, 1 middle, 2 right

// Gives a prototype the catalogue's button artwork: slices of the given height (30
// for the bar buttons, 31 for the others), white bold Arial captions 11 pixels high
// with a black shadow, light grey with a grey shadow when disabled, no focus rectangle.
// captionYAdjust -1 lifts the caption a pixel above the centre.
void SkinPrototype(TButtonExGraphics& prototype, int height, int captionYAdjust = 0);

// Writes the six catalogue images and "infobox_kv.bmp" into folder. On failure answers
// false with the failing path in *error.
bool WriteImageFiles(const QString& folder, QString* error);

// The sizes the program's icon is drawn at for an icon theme.
inline constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

// Writes the program's icon into an icon theme folder (e.g. share/icons/hicolor) as
// SIZExSIZE/apps/<name>.png for every size of kIconSizes. On failure answers false with
// the failing path in *error.
bool WriteIconFiles(const QString& themeFolder, const QString& name, QString* error);

}  // namespace art
