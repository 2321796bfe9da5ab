#include "CatalogSettings.h"

#include <QSettings>

#include "TextTable.h"

namespace {

// The file named with --settings; empty for the platform's store.
QString g_settings_file;

QString ReadValue(QSettings& store, const char* name) {
  return store.value(QString::fromLatin1(kSettingsKey) + QLatin1Char('/') +
                     QString::fromLatin1(name))
      .toString();
}

}  // namespace

void SetSettingsFile(const QString& path) { g_settings_file = path; }

QString SettingsLocation() { return OpenSettingsStore()->fileName(); }

std::unique_ptr<QSettings> OpenSettingsStore() {
  if (!g_settings_file.isEmpty())
    return std::make_unique<QSettings>(g_settings_file, QSettings::IniFormat);
#ifdef Q_OS_WIN
  // The values sit in a key of their own directly under HKEY_CLASSES_ROOT.
  return std::make_unique<QSettings>(QStringLiteral("HKEY_CLASSES_ROOT"),
                                     QSettings::NativeFormat);
#else
  // The user's file (~/.config/Tremora/TremoraElectronic.ini) with the system-wide one
  // (/etc/xdg/Tremora/TremoraElectronic.ini, the package's defaults) as fallback: a
  // value missing from the user's file is read from the system's, and every write goes
  // to the user's file.
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                     QStringLiteral("Tremora"),
                                     QStringLiteral("TremoraElectronic"));
#endif
}

FolderSettings ReadFolderSettings(QSettings& store) {
  FolderSettings folders;
  folders.CdFolder = ReadValue(store, kFolderKeys[0]);
  folders.BmpFolder = ReadValue(store, kFolderKeys[1]);
  folders.BaseFolder = ReadValue(store, kFolderKeys[2]);
  folders.TempFolder = ReadValue(store, kFolderKeys[3]);
  return folders;
}

QString ReadLanguage(QSettings& store) {
  const QString language = ReadValue(store, kLanguageKey);
  return language == QLatin1String(kLanguageEnglish) ? language
                                                     : QString::fromLatin1(kLanguageDanish);
}

QString TextTableFileOf(const QString& language) {
  const QString file = QString::fromLatin1(kTextTableFile);
  return language == QLatin1String(kLanguageEnglish) ? QStringLiteral("en/") + file : file;
}

QStringList ReadFirmAddress(QSettings& store) {
  QStringList lines;
  for (const char* key : kFirmAddressKeys) lines << ReadValue(store, key);
  return lines;
}
