#include "CatalogStartup.h"

#include <QDir>
#include <QSettings>

#include "DiscountCodes.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "TextTable.h"

namespace {

std::unique_ptr<TCatalogStart> Fail(MessageKind kind, const QString& message) {
  ShowMessage(kind, message);
  RequestTermination();
  return nullptr;
}

}  // namespace

std::unique_ptr<TCatalogStart> StartCatalog() {
  UseCommaDecimalSeparator();

  auto start = std::make_unique<TCatalogStart>();
  std::unique_ptr<QSettings> store = OpenSettingsStore();
  start->Folders = ReadFolderSettings(*store);
  const QString& data_folder = start->Folders.CdFolder;

  // The table of the chosen language.
  const QString table_file = TextTableFileOf(ReadLanguage(*store));
  store.reset();
  if (LoadTextTable(data_folder, table_file).isEmpty()) {
    // Without a table only the built-in wording of the message can be shown.
    return Fail(MessageKind::Error,
                Text(TextId::TextTableNotFound,
                     QStringLiteral("The text table \"%1\" was found neither in %2 nor in \"%3\"."))
                    .arg(table_file, QDir::currentPath(), data_folder));
  }

  if (start->Folders.CdFolder.isEmpty() || start->Folders.BmpFolder.isEmpty())
    return Fail(MessageKind::Information, Text(TextId::FoldersNotSet));

  QString missing;
  if (!LoadImages(start->Folders.ImageFolder(), &start->Images, &missing)) {
    return Fail(MessageKind::Error,
                Text(TextId::ImageUnreadable, QStringLiteral("Cannot load the image file")) +
                    QLatin1Char(' ') + missing);
  }

  RabatKoder.Reset();
  if (LoadDiscountFile(DiscountFilePath(data_folder, QString::fromLatin1(kDefaultDiscountName))) !=
      DiscountFileStatus::Ok)
    return nullptr;  // LoadDiscountFile has told the user and asked the program to end

  if (!StartEngine(start->Engine, start->Folders.BaseFolder))
    return Fail(MessageKind::Warning, Text(TextId::BaseUnavailable));
  return start;
}
