#include "SettingsCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "CatalogImages.h"
#include "DiscountCodes.h"
#include "LodexKV.h"
#include "TextTable.h"
#include "lodex32.h"

namespace {

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// Opens the base and closes it again at once. Answers the engine's error name, or an empty
// text when it opened.
QString OpenBaseError(const QString& base_folder) {
  QTemporaryDir temp;
  if (!temp.isValid()) return temp.errorString();
  const QByteArray base = TLodexKV::ToEngineText(base_folder);
  const QByteArray temp_path = TLodexKV::ToEngineText(temp.path() + QLatin1Char('/'));
  const int32_t number = APIOpenBase(base.constData(), temp_path.constData(), 0);
  if (number < 0)
    return TLodexKV::ErrorName(number) + QStringLiteral(", ") + QString::number(number);
  APICloseBase(number);
  return QString();
}

}  // namespace

QString WithTrailingSeparator(const QString& folder) {
  if (folder.isEmpty() || folder.endsWith(u'/') || folder.endsWith(u'\\')) return folder;
  return folder + QLatin1Char('/');
}

QStringList CheckSettings(const FolderSettings& folders, const QString& language) {
  QStringList problems;
  for (const QString& folder : {folders.CdFolder, folders.ImageFolder(), folders.BaseFolder}) {
    if (!QFileInfo(folder).isDir()) {
      problems << Text(TextId::FolderMissing, QStringLiteral("The folder %1 does not exist."))
                      .arg(Native(folder.isEmpty() ? QStringLiteral("\"\"") : folder));
    }
  }
  if (QFileInfo(folders.BaseFolder).isDir()) {
    if (const QString error = OpenBaseError(folders.BaseFolder); !error.isEmpty()) {
      problems << Text(TextId::BaseCannotOpen,
                       QStringLiteral("The base in %1 cannot be opened (%2)."))
                      .arg(Native(folders.BaseFolder), error);
    }
  }

  const QString table = folders.CdFolder + TextTableFileOf(language);
  if (!QFileInfo(table).isFile()) {
    problems << Text(TextId::TextTableMissing, QStringLiteral("The text table %1 does not exist."))
                    .arg(Native(table));
  }
  for (const QString& name : ImageFileNames()) {
    const QString image = folders.ImagePath(name);
    if (!QFileInfo(image).isFile()) {
      problems << Text(TextId::ImageMissing, QStringLiteral("The image %1 does not exist."))
                      .arg(Native(image));
    }
  }

  bool discount_file_loads = false;
  for (const QString& name : DiscountFileNames(folders.CdFolder)) {
    RabatKodeArray codes;
    if (codes.LoadFromFile(DiscountFilePath(folders.CdFolder, name)) == DiscountFileStatus::Ok) {
      discount_file_loads = true;
      break;
    }
  }
  if (!discount_file_loads) {
    problems
        << Text(TextId::NoDiscountFile,
                QStringLiteral("No discount-code file (\"Rabattkod ... .txt\") in %1 can be read."))
               .arg(Native(folders.CdFolder.isEmpty() ? QStringLiteral("\"\"") : folders.CdFolder));
  }
  return problems;
}
