// The program's numbered user-interface texts ("KV.dat"): text n is line n of the file,
// without the line's first four characters. The file is Windows-1252. Translations are
// other KV.dat files with the same numbering.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

inline constexpr char kTextTableFile[] = "KV.dat";

// The numbers of the texts the program shows. A number is the line of the text in every
// translation, so the values never change.
enum class TextId : int {
  WindowTitle = 0,
  FileMenu = 1,
  ExitMenu = 2,
  SearchButton = 3,           // also the order window's link back to the search
  AddToOrderButton = 4,
  ShowOrderList = 5,          // button and menu entry
  ItemText = 6,               // edit label and column heading
  Quantity = 7,
  TypeNumber = 8,
  ElNumber = 9,
  Ean = 10,
  Gross = 11,
  Net = 12,
  Total = 13,
  OpenButton = 15,
  SaveButton = 16,
  PrintButton = 17,
  HintItemTextEdit = 20,
  HintTypeNumberEdit = 22,
  HintElNumberEdit = 23,
  HintEanEdit = 24,
  HintMarkColumn = 25,
  HintItemTextColumn = 26,
  HintQuantityColumn = 27,
  HintTypeNumberColumn = 28,
  HintElNumberColumn = 29,
  HintEanColumn = 30,
  HintPriceColumn = 31,
  ImageUnreadable = 32,
  QuantityNotWholeNumber = 35,
  HintAddToOrderButton = 36,
  HintShowOrderListButton = 37,
  HintSearchButton = 38,
  BaseUnavailable = 39,
  FoldersNotSet = 40,
  HintCounters = 41,
  HintBackToSearchButton = 42,
  HintSaveButton = 43,
  HintOpenButton = 44,
  HintPrintButton = 45,
  HintDeleteLinesButton = 47,
  HintOrderMarkColumn = 49,
  DeleteLinesButton = 50,
  AboutClose = 51,
  LinesInOrder = 52,
  HitsFound = 53,
  AskEndProgram = 54,
  ClearAllButton = 55,
  CloseButton = 56,
  PrinterLabel = 57,
  CopiesLabel = 58,
  HintClearAllButton = 59,
  NetPriceHeading = 60,
  HintNetPriceColumn = 61,
  HintGrossAmountColumn = 62,
  HintNetAmountColumn = 63,
  InvalidFileLine = 64,       // ends in an open "(file:" that the caller closes
  FileUnreadable = 65,
  FileEmpty = 66,
  DiscountCodeHeading = 67,
  HintDiscountCodeColumn = 68,
  NoQuantityForLaterHits = 100,  // %1: the first hit that takes no quantity
  PartialHandOver = 101,         // %1 of %2 marked products were taken over
  OrderFileNotSaved = 102,       // %1 file, %2 reason
  OrderFileNotLoaded = 103,      // %1 file, %2 reason
  InvalidFileLineNumber = 104,   // closes text 64: "line %1)"
  PrintAmountNotNumber = 105,    // %1: the order line
  PrintFileNotWritable = 106,    // %1: the PDF file
  PrintPrinterNotStarted = 107,  // %1: the printer
  PrintNoNewPage = 108,
  PrintNotFinished = 109,
  PdfFilePrinter = 110,          // the printer list's entry that prints into a PDF file
  TextTableNotFound = 111,       // %1 file name, %2 working folder, %3 data folder
  // Sorting the search grid, the details window and the keyboard commands.
  HintSortColumn = 140,       // header of a column that can order the hits
  HintNoSortColumn = 141,     // header of a column that cannot
  SortFailed = 142,
  DetailsTitle = 143,
  DetailsClose = 144,
  DetailsUnreadable = 145,
  FindItemTextMenu = 147,     // Ctrl+F
  AddMarkedMenu = 148,        // Ctrl+T
  ShowOrderListMenu = 149,    // Ctrl+L
  HintGridKeys = 150,         // the grid has the keyboard
  SaveOrderListMenu = 151,    // Ctrl+S
  OpenOrderListMenu = 152,    // Ctrl+O
  PrintOrderListMenu = 153,   // Ctrl+P
  // The order list kept on disk, and the question before an unsaved list is lost.
  OrderListRestored = 180,    // "... restored: %1 lines."
  OrderListKeptAside = 181,   // "... could not be read (%1) ... kept aside as %2 ..."
  NotAnOrderLine = 182,       // "line %1 is not an order line"
  AutosaveFailed = 183,       // "... cannot be saved automatically to %1: %2"
  SaveAnswer = 184,
  DiscardAnswer = 185,
  CancelAnswer = 186,
  AskSaveOrderList = 187,
  // The CSV export of the order list.
  CsvExportMenu = 188,
  CsvFileFilter = 189,
  CsvExportFailed = 190,      // "... could not be exported to %1: %2"
  CsvExported = 191,          // "... was exported to %1."
  PreviewButton = 192,
  // The settings window.
  SettingsMenu = 193,
  SettingsTitle = 194,
  CdFolderLabel = 195,
  BmpFolderLabel = 196,
  BaseFolderLabel = 197,
  TempFolderLabel = 198,
  FirmLine1Label = 199,
  FirmLine2Label = 200,
  FirmLine3Label = 201,
  LanguageLabel = 202,
  Danish = 203,
  English = 204,
  BaseCannotOpen = 205,       // "The base in %1 cannot be opened (%2)."
  TextTableMissing = 206,     // "The text table %1 does not exist."
  ImageMissing = 207,         // "The image %1 does not exist."
  NoDiscountFile = 208,       // "No discount-code file ... in %1 can be read."
  FolderMissing = 209,        // "The folder %1 does not exist."
  SettingsSaved = 210,        // "The settings were saved to %1. ..."
  SettingsNotSaved = 211,     // "The settings could not be saved to %1: %2"
  NoSettingsYet = 212,
  SettingsProblems = 213,
  ChooseFolder = 214,
  FileNotWritable = 215,
  FileMalformed = 216,
};

class TTextTable {
 public:
  bool LoadFromFile(const QString& path);
  void LoadFromBytes(const QByteArray& bytes);
  int Count() const { return texts_.size(); }
  bool Has(int n) const { return n >= 0 && n < texts_.size(); }
  // Text n, or the fallback when the table has no entry n.
  QString Text(int n, const QString& fallback = QString()) const;
  QString Text(TextId id, const QString& fallback = QString()) const {
    return Text(static_cast<int>(id), fallback);
  }

 private:
  QStringList texts_;
};

// The process's table; null before LoadTextTable and after FreeTextTable.
extern std::unique_ptr<TTextTable> TextTable;

// Loads the table file (by default "KV.dat"; a translation's path such as "en/KV.dat")
// from the working directory, or failing that from dataFolder. Answers the path used, or
// an empty string when neither holds a readable file.
QString LoadTextTable(const QString& dataFolder,
                      const QString& fileName = QString::fromLatin1(kTextTableFile));
void FreeTextTable();
// The text of the process's table, or the fallback when there is none.
QString Text(TextId id, const QString& fallback = QString());
