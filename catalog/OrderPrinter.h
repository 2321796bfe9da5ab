// Prints an order list on a QPrinter: a system printer or a PDF file.
#pragma once

#include "OrderPrintout.h"

#include <QString>
#include <QStringList>

class QPrinter;

namespace order {

// The fonts tried for the printout, in order of preference.
QStringList PreferredPrintFonts();

// The first preferred font that `installed` holds (compared without regard to case), or an
// empty text to keep the printer's default font.
QString ChoosePrintFont(const QStringList& installed);

// Prints the order list as one job, with the copies the printer is set to. When the printer
// cannot make copies itself (a PDF file), the pages are repeated once per copy. Nothing is
// printed when an amount is not a number. On failure answers false with one sentence for the
// user in *error; a PDF file that was being written is removed.
bool PrintOrderList(QPrinter& printer, const OrderPrintout& printout, QString* error);

// Draws one copy of the order list on a printer that a print preview hands over, with the
// same font choice and page layout as PrintOrderList. False when painting cannot start.
bool PaintOrderListPreview(QPrinter& printer, const OrderPrintout& printout);

// The sentence that PrintOrderList gives when an amount is not a number, or an empty text
// when every line can be printed.
QString UnprintableReason(const OrderPrintout& printout);

}  // namespace order
