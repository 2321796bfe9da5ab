#include "CatalogImages.h"

QStringList ImageFileNames() {
  return {QStringLiteral("DesLogo.bmp"), QStringLiteral("BG.Bmp"),
          QStringLiteral("Dok.bmp"),     QStringLiteral("Dok_minus.bmp"),
          QStringLiteral("MBlaa.bmp"),   QStringLiteral("LBlaa.bmp")};
}

bool TCatalogImage::load(const QString& path) {
  auto pixmap = std::make_shared<QPixmap>();
  if (!pixmap->load(path)) return false;
  pixmap_ = std::move(pixmap);
  return true;
}

bool LoadImages(const QString& folder, CatalogImages* images, QString* failedPath) {
  TCatalogImage* targets[] = {&images->DesLogo,  &images->BG,    &images->Dok,
                              &images->DokMinus, &images->MBlaa, &images->LBlaa};
  const QStringList names = ImageFileNames();
  for (int i = 0; i < names.size(); ++i) {
    const QString path = folder + names[i];
    if (!targets[i]->load(path)) {
      if (failedPath) *failedPath = path;
      return false;
    }
  }
  return true;
}
