// The program's settings: the four folder values and the firm address lines of the
// printout, all in the group "Tremora Divuvera" of one settings store. The store is the
// file given with --settings, else the platform's own (the registry on Windows; on other
// systems the user's INI file, with the system-wide one as fallback for each value the
// user's file lacks).
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

// The settings group that holds every value below.
inline constexpr char kSettingsKey[] = "Tremora Divuvera";

// Folder values exactly as stored. File names are appended to them without a separator,
// so each ends with '/' where one is needed ("BMPS" is appended to "CDdrev").
struct FolderSettings {
  QString CdFolder;    // "CDdrev": text table, discount-code files, start of the image folder
  QString BmpFolder;   // "BMPS": image folder below CdFolder
  QString BaseFolder;  // "BASE": the engine's base directory
  QString TempFolder;  // "TEMP": read and kept

  // CdFolder + BmpFolder: the folder the images are read from.
  QString ImageFolder() const { return CdFolder + BmpFolder; }
  // ImageFolder() + name.
  QString ImagePath(const QString& fileName) const { return ImageFolder() + fileName; }
};

// The value names of the four folders, in the order of FolderSettings.
inline constexpr const char* kFolderKeys[] = {"CDdrev", "BMPS", "BASE", "TEMP"};

// The value names of the printout's three firm address lines: postal box, postal code and
// town, fax numbers. A line that is not set is left blank on the printout.
inline constexpr const char* kFirmAddressKeys[] = {"FirmaPostboks", "FirmaPostnrBy", "FirmaFax"};

// The language of the program's texts: Danish, the table "KV.dat", or English, the table
// "en/KV.dat"; both are looked for where the program looks for "KV.dat".
inline constexpr char kLanguageKey[] = "Sprog";
inline constexpr char kLanguageDanish[] = "da";
inline constexpr char kLanguageEnglish[] = "en";

// Names the settings file to use instead of the user's default one (--settings FILE).
// An empty name goes back to the default.
void SetSettingsFile(const QString& path);
// Where the settings are read from: the file given by SetSettingsFile, else the
// platform's store.
QString SettingsLocation();
// Opens the settings store. Every reader and writer of the settings goes through here.
std::unique_ptr<QSettings> OpenSettingsStore();

// The four folder values (empty when absent).
FolderSettings ReadFolderSettings(QSettings& store);
// The three firm address lines, each empty when not set.
QStringList ReadFirmAddress(QSettings& store);
// The language of the texts; Danish when none or an unknown one is set.
QString ReadLanguage(QSettings& store);
// The text table file of a language, relative to the folder it is looked for in.
QString TextTableFileOf(const QString& language);
