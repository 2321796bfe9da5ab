// What the catalogue's windows share besides the engine: the four folder settings, the
// numbered text table, the images loaded at start, the discount-code table with its
// files and the price routines that apply a discount, the program's number format
// (comma as decimal separator), and the message boxes with the request to end.
#pragma once

#include <QLocale>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class QSettings;

// ---------------------------------------------------------------------------------
// Folder settings

// The settings key under which the four folder values live, and the value names.
inline constexpr char kSettingsKey[] = "Tremora Divuvera";

// Folder values exactly as stored. File names are appended to them without a separator,
// so each ends with '/' where one is needed ("BMPS" is appended to "CDdrev").
struct FolderSettings {
  QString CdFolder;    // "CDdrev": discount-code files, start of the image folder
  QString BmpFolder;   // "BMPS": image folder below CdFolder
  QString BaseFolder;  // "BASE": the engine's base directory
  QString TempFolder;  // "TEMP": read and kept
};
extern FolderSettings Folders;

// Names the settings file to use instead of the user's default one (--settings FILE).
// An empty name goes back to the default.
void SetSettingsFile(const QString& path);
// Where the settings are read from: the file given by SetSettingsFile, else the
// platform's store (the registry on Windows, an INI file in the user's config folder).
QString SettingsLocation();
// Opens the settings store for reading.
std::unique_ptr<QSettings> OpenSettingsStore();
// Reads the four values (empty when absent) into Folders.
void LoadSettings(QSettings& store);
// CdFolder + BmpFolder + name.
QString ImagePath(const QString& fileName);

// ---------------------------------------------------------------------------------
// Text table ("KV.dat")

inline constexpr char kTextTableFile[] = "KV.dat";

// The program's numbered user-interface texts: text n is line n of the file, without
// the line's first four characters. The file is Windows-1252.
class TTextTable {
 public:
  bool LoadFromFile(const QString& path);
  void LoadFromBytes(const QByteArray& bytes);
  int Count() const { return texts_.size(); }
  bool Has(int n) const { return n >= 0 && n < texts_.size(); }
  // Text n, or the fallback when the table has no entry n.
  QString Text(int n, const QString& fallback = QString()) const;

 private:
  QStringList texts_;
};

// The process's table; null before LoadTextTable and after FreeTextTable.
extern std::unique_ptr<TTextTable> TextTable;

// Loads "KV.dat" from the working directory, or failing that from dataFolder. Answers
// the path used, or an empty string when neither holds a readable file.
QString LoadTextTable(const QString& dataFolder);
void FreeTextTable();
// Text n of the process's table, or the fallback when there is none.
QString Text(int n, const QString& fallback = QString());

// ---------------------------------------------------------------------------------
// Images

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
extern CatalogImages Images;

// The six file names, in loading order.
QStringList ImageFileNames();
// Loads the six images from CdFolder + BmpFolder. On failure answers false and puts the
// path of the first image that could not be loaded into failedPath.
bool LoadImages(QString* failedPath);

// ---------------------------------------------------------------------------------
// Discount codes

inline constexpr int kMaxDiscountCodes = 350;
inline constexpr char kDiscountFilePrefix[] = "Rabattkod ";
inline constexpr char kDiscountFileSuffix[] = ".txt";
inline constexpr char kDefaultDiscountName[] = "Default";

struct RabatKodeEntry {
  QString code;          // at most 2 characters, blanks kept
  double percent = 0.0;  // 0 to 100
};

enum class DiscountFileStatus {
  Ok,          // the table holds the codes read
  ReadFailed,  // the file could not be opened or read
  BadLine,     // a code line without exactly one TAB; lines before it were kept
};

class RabatKodeArray {
 public:
  // Reads a discount-code file: a heading line, then up to 350 lines "code TAB percent"
  // with a comma as decimal separator. A percent that is empty, not a number or
  // outside 0..100 counts as 0. Lines past the 350th are ignored.
  DiscountFileStatus LoadFromFile(const QString& path);
  DiscountFileStatus LoadFromBytes(const QByteArray& bytes);
  // Gives the table 350 empty entries (its state before every load).
  void Reset();
  // Percent of the first entry whose code equals the trimmed code, case-sensitively,
  // or 0 when none does.
  double Percent(const QString& code) const;
  int Count() const { return entries_.size(); }
  const RabatKodeEntry& At(int i) const { return entries_.at(i); }

 private:
  QVector<RabatKodeEntry> entries_;
};

// The process's discount-code table.
extern RabatKodeArray RabatKoder;

// CdFolder + "Rabattkod " + name + ".txt".
QString DiscountFilePath(const QString& name);
// Fills RabatKoder from the file. An unreadable file shows text 65, a malformed line
// text 64 + " " + path + ")"; both then ask the program to end. Answers the status.
DiscountFileStatus LoadDiscountFile(const QString& path);
// The selector names of the discount-code files in folder ("Rabattkod X.txt" gives
// "X"), sorted by name.
QStringList DiscountFileNames(const QString& folder);

double DiscountPercent(const QString& code);
// quantity (whole number) x price, in the general number format. Sets *ok to false and
// answers an empty text when either does not convert.
QString LineAmount(const QString& quantity, const QString& price, bool* ok = nullptr);
// a - a / 100 x DiscountPercent(code), in the general number format.
QString NetAmount(const QString& code, const QString& amount, bool* ok = nullptr);
// True when the line holds exactly n TAB characters.
bool HasTabCount(const QString& line, int n);

// ---------------------------------------------------------------------------------
// Numbers: the whole program writes and reads numbers with the comma as decimal
// separator and without thousands separators.

QLocale NumberLocale();
// Makes NumberLocale the process's default locale.
void UseCommaDecimalSeparator();
bool ToNumber(const QString& text, double* value);
bool ToInteger(const QString& text, int* value);
// The pattern "0.00": two decimals, e.g. "1234,50".
QString FormatFixed2(double value);
// Up to 15 significant digits without trailing zeros, e.g. "24,6" or "180".
QString FormatGeneral(double value);

// ---------------------------------------------------------------------------------
// Text encoding of the catalogue's files.

QString FromCp1252(const QByteArray& bytes);
QByteArray ToCp1252(const QString& text);
// Splits a file's text into lines at CR LF, LF or CR; a final line break ends the last
// line rather than starting an empty one.
QStringList SplitLines(const QString& text);

// ---------------------------------------------------------------------------------
// Messages and ending the program

enum class MessageKind { Information, Warning, Error };

// Shows a message box with an OK button (caption: the application's title).
void ShowMessage(MessageKind kind, const QString& text);
// Asks a Yes/No question; true for Yes.
bool AskYesNo(const QString& text);

// Tests replace the boxes with recorders. A null handler restores the real boxes.
using MessageHandler = std::function<void(MessageKind, const QString&)>;
using QuestionHandler = std::function<bool(const QString&)>;
void SetMessageHandler(MessageHandler handler);
void SetQuestionHandler(QuestionHandler handler);

// Asks the program to end: the event loop stops if it runs; if it has not started yet,
// main sees TerminationRequested and does not start it.
void RequestTermination(int exitCode = 1);
bool TerminationRequested();
int TerminationExitCode();
void ClearTerminationRequest();

// The program's title.
inline constexpr char kApplicationTitle[] = "Tremora Divuvera 2013";
