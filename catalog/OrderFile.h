// Saved order-list files: the order the user keeps between sessions.
//
// A plain text file in the Windows-1252 character set, one order line per text line, each
// line ended by CR LF. A line holds nine fields, each followed by one TAB, so a line holds
// exactly nine TABs and ends with one:
//
//   item text TAB quantity TAB type number TAB el. number TAB EAN TAB
//   gross amount TAB net amount TAB unit price TAB discount code TAB CR LF
//
// Every field is the order grid's cell text exactly as it stands (amounts use the decimal
// comma), except that a TAB, CR or LF inside a cell is written as a blank, since it would
// break the line. There is no header, version or count. A reader accepts a
// line when it holds exactly nine TABs anywhere; field k is the text between TAB k - 1 and
// TAB k, and whatever follows the ninth TAB is ignored.
//
// Loading checks the whole file before anything is handed back, so a damaged file never
// replaces part of the list in the window; saving writes a temporary file beside the target
// and renames it into place, so a failed save leaves the previous file as it was.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

namespace order {

inline constexpr int kOrderFieldCount = 9;

// The nine saved fields of one order line, in file order (grid columns 1 to 9).
using OrderFields = std::array<QString, kOrderFieldCount>;

enum class OrderFileStatus {
  kOk,        // lines read, at least one
  kEmpty,     // the file holds no bytes: the list becomes empty
  kBadLine,   // a line without exactly nine TABs, or without an item text
  kIoError,   // the file could not be opened, read or written
};

struct OrderFileResult {
  OrderFileStatus status = OrderFileStatus::kOk;
  int bad_line = 0;      // 1-based line number for kBadLine
  QString error;         // the system's reason for kIoError
  std::vector<OrderFields> lines;
};

// The bytes of a saved order list.
QByteArray FormatOrderFile(const std::vector<OrderFields>& lines);

// Splits and checks the bytes of a saved order list. A line whose item text is empty is
// refused like a line with the wrong TAB count: the window keeps its lines packed from the
// top, and such a line would hide every line after it from printing and counting.
OrderFileResult ParseOrderFile(const QByteArray& bytes);

// Reads and checks a whole file.
OrderFileResult LoadOrderFile(const QString& path);

// Writes the lines to `path` through a temporary file that replaces it only when complete.
// On failure returns false and puts the reason into *error; the old file is untouched.
bool SaveOrderFile(const QString& path, const std::vector<OrderFields>& lines, QString* error);

// Writes `bytes` to `path` the same way: at every moment the file holds either its old
// contents or all of `bytes`.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error);

}  // namespace order
