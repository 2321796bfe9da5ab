// The order list as a file for spreadsheets (CSV).
//
// UTF-8 with a byte-order mark (so spreadsheet programs take the characters right), cells
// separated by semicolons, lines ended by CR LF. The first row holds the captions of the
// order grid's columns, then one row per order line with the seven columns the grid shows:
// item text, quantity, type number, electrical number, EAN, gross and net amount. Amounts
// carry two decimals with the decimal comma. A cell that holds a semicolon, a double quote,
// a CR or an LF is put in double quotes, with each quote inside doubled.
//
// The tab-separated order file (OrderFile.h) stays the list's own format; this one is only
// written.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

#include "OrderModel.h"

namespace order {

QByteArray FormatOrderCsv(const std::array<QString, kOrderColumnCount>& headings,
                          const std::vector<OrderRow>& lines);

// Writes the CSV file atomically. On failure answers false with the system's reason in
// *error; an old file of that name is then untouched.
bool ExportOrderCsv(const QString& path, const std::array<QString, kOrderColumnCount>& headings,
                    const std::vector<OrderRow>& lines, QString* error);

}  // namespace order
