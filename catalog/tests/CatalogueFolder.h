// A catalogue folder for a test or a benchmark, made in a temporary folder that lives as
// long as the object: the shipped text table and discount-code files, the images drawn
// by the artwork code in "bmp/", and a settings file that names the folder and a base.
// Uses no test macros, so the benchmarks can make one too.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include "CatalogSettings.h"
#include "TestFiles.h"
#include "art/Artwork.h"

class TCatalogueFolder {
 public:
  TCatalogueFolder() {
    root_ = dir_.path() + QLatin1Char('/');
    const QDir data(QStringLiteral(CATALOG_DATA_DIR));
    valid_ = dir_.isValid();
    for (const QString& name :
         data.entryList({QStringLiteral("KV.dat"), QStringLiteral("Rabattkod *.txt")}, QDir::Files))
      valid_ = QFile::copy(data.filePath(name), root_ + name) && valid_;
    QString failed;
    valid_ = art::WriteImageFiles(root_ + QStringLiteral("bmp"), &failed) && valid_;
  }

  // False when a file could not be made.
  bool IsValid() const { return valid_; }
  // The folder, ending with '/' as the settings want it.
  QString Root() const { return root_; }
  QString Path(const QString& name) const { return root_ + name; }

  // Writes "settings.ini" in the folder with the catalogue folder cd, the image folder
  // bmps and the base folder base; an empty value is left out. Answers the file's path.
  QString WriteSettings(const QString& cd, const QString& bmps, const QString& base) const {
    const QString path = root_ + QStringLiteral("settings.ini");
    QFile::remove(path);
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QString::fromLatin1(kSettingsKey));
    const QString values[] = {cd, bmps, base};
    for (int i = 0; i < 3; ++i)
      if (!values[i].isEmpty()) settings.setValue(QString::fromLatin1(kFolderKeys[i]), values[i]);
    settings.endGroup();
    settings.sync();
    return path;
  }
  // The settings of a complete catalogue on base.
  QString WriteSettings(const QString& base) const {
    return WriteSettings(root_, QStringLiteral("bmp/"), base);
  }

 private:
  QTemporaryDir dir_;
  QString root_;
  bool valid_ = false;
};
