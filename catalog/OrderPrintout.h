// The printed order list: where every text and rule goes on the printer's pages.
//
// All positions are computed from the page in device pixels; there is no margin setting. A
// page carries the firm header, the column headings and a rule, then up to 55 order lines,
// each page with a line on it numbered at the bottom; the totals follow the last line.
// Drawing goes through PrintCanvas so the layout can be checked without a printer.
#pragma once

#include "OrderModel.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace order {

inline constexpr int kLinesPerPage = 55;

// What the printout needs from the printer's page, all in device pixels.
struct PrintPage {
  int width = 0;      // W: width of the printable area
  int height = 0;     // H: height of the printable area
  int dpi = 0;        // horizontal resolution
  int offset_x = 0;   // ox, oy: where the printable area starts on the sheet
  int offset_y = 0;
};

// A printer page as the layout draws on it.
class PrintCanvas {
 public:
  virtual ~PrintCanvas() = default;
  virtual void SetFont(int point_size, bool bold) = 0;
  virtual int TextHeight(const QString& text) = 0;
  virtual int TextWidth(const QString& text) = 0;
  // Writes `text` with its top-left corner at (x, y).
  virtual void TextOut(int x, int y, const QString& text) = 0;
  virtual void Line(int x1, int y1, int x2, int y2) = 0;
  // Ends the current page and starts the next; false when the printer failed.
  virtual bool NewPage() = 0;
  virtual int PageNumber() const = 0;
};

// The order list as it is printed: the grid's header texts and order lines and the captions
// of the totals, copied from the order list window.
struct OrderPrintout {
  QString firm_name;
  QStringList firm_address;                        // three lines
  std::array<QString, kOrderColumnCount> headings;  // columns 1 to 7 are printed
  std::vector<OrderRow> lines;
  QString total_caption;
  QString gross_total;
  QString net_total;
};

// round(v) of the layout: nearest integer, ties to even.
int RoundToEven(double v);

// The first order line (1-based) whose gross or net amount is not a number, or 0. Such a
// line would abort the job half-way, so it is checked before a job is started.
int FirstUnprintableLine(const OrderPrintout& printout);

// Draws the whole printout, starting on the canvas's current (first) page. Returns false
// when the printer failed to start a new page.
bool DrawOrderPrintout(PrintCanvas& canvas, const PrintPage& page, const OrderPrintout& printout);

}  // namespace order
