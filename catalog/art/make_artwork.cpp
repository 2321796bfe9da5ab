// Writes the catalogue folder's image files: tremora-art <folder>
#include <QGuiApplication>
#include <QTextStream>

#include "art/Artwork.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QTextStream err(stderr);
  if (argc != 2) {
    err << "usage: tremora-art <folder>\n";
    return 2;
  }
  QString failed;
  if (!art::WriteImageFiles(QString::fromLocal8Bit(argv[1]), &failed)) {
    err << "tremora-art: cannot write " << failed << "\n";
    return 1;
  }
  return 0;
}
