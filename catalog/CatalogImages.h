// The six images the windows draw with, loaded once by the start-up from the
// catalogue's image folder and handed to the windows.
#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>

#include <memory>

// One loaded image. Converts to QPixmap where one is wanted; holds no pixmap until
// loaded, so the process-wide table can exist before the application object.
class TCatalogImage {
 public:
  bool load(const QString& path);
  bool isNull() const { return !pixmap_ || pixmap_->isNull(); }
  QPixmap pixmap() const { return pixmap_ ? *pixmap_ : QPixmap(); }
  operator QPixmap() const { return pixmap(); }
  int width() const { return pixmap_ ? pixmap_->width() : 0; }
  int height() const { return pixmap_ ? pixmap_->height() : 0; }

 private:
  std::shared_ptr<QPixmap> pixmap_;
};

struct CatalogImages {
  TCatalogImage DesLogo;   // "DesLogo.bmp" (loaded, not drawn)
  TCatalogImage BG;        // "BG.Bmp" (loaded, not drawn)
  TCatalogImage Dok;       // "Dok.bmp": mark icon of the search grid
  TCatalogImage DokMinus;  // "Dok_minus.bmp": mark icon of the order grid
  TCatalogImage MBlaa;     // "MBlaa.bmp": background of odd grid rows
  TCatalogImage LBlaa;     // "LBlaa.bmp": background of even grid rows and the header
};

// The six file names, in loading order.
QStringList ImageFileNames();
// Loads the six images from folder (their names are appended to it as they are) into
// images. On failure answers false and puts the path of the first image that could not
// be loaded into failedPath.
bool LoadImages(const QString& folder, CatalogImages* images, QString* failedPath);
