// Writes the catalogue folder's image files, or the program's icon into an icon theme:
//   tremora-art <folder>
//   tremora-art --icons <theme-folder> <name>
#include <QGuiApplication>
#include <QTextStream>

#include "art/Artwork.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QTextStream err(stderr);
  const QStringList args = app.arguments().mid(1);
  QString failed;
  bool written = false;
  if (args.size() == 1 && !args[0].startsWith(QLatin1Char('-'))) {
    written = art::WriteImageFiles(args[0], &failed);
  } else if (args.size() == 3 && args[0] == QLatin1String("--icons")) {
    written = art::WriteIconFiles(args[1], args[2], &failed);
  } else {
    err << "usage: tremora-art <folder>\n"
           "       tremora-art --icons <theme-folder> <name>\n";
    return 2;
  }
  if (!written) {
    err << "tremora-art: cannot write " << failed << "\n";
    return 1;
  }
  return 0;
}
