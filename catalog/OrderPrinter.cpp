#include "OrderPrinter.h"
#include "TextTable.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace order {
namespace {

// Draws on a QPainter that is active on a printer; positions are the printable area's
// device pixels, texts are placed by their top edge.
class PainterCanvas : public PrintCanvas {
 public:
  PainterCanvas(QPainter& painter, QPrinter& printer, const QString& family)
      : painter_(painter), printer_(printer), family_(family) {
    QPen pen = painter_.pen();
    pen.setWidth(std::max(1, printer_.logicalDpiX() / 150));
    painter_.setPen(pen);
  }

  void SetFont(int point_size, bool bold) override {
    QFont font = family_.isEmpty() ? painter_.font() : QFont(family_);
    font.setPointSize(point_size);
    font.setBold(bold);
    painter_.setFont(font);
  }
  int TextHeight(const QString&) override { return painter_.fontMetrics().height(); }
  int TextWidth(const QString& text) override {
    return painter_.fontMetrics().horizontalAdvance(text);
  }
  void TextOut(int x, int y, const QString& text) override {
    painter_.drawText(x, y + painter_.fontMetrics().ascent(), text);
  }
  void Line(int x1, int y1, int x2, int y2) override { painter_.drawLine(x1, y1, x2, y2); }
  bool NewPage() override {
    if (!printer_.newPage()) return false;
    ++page_;
    return true;
  }
  int PageNumber() const override { return page_; }
  // Pages are numbered from 1 again for every copy printed by the program itself.
  void RestartNumbering() { page_ = 1; }

 private:
  QPainter& painter_;
  QPrinter& printer_;
  QString family_;
  int page_ = 1;
};

PrintPage PageOf(QPrinter& printer) {
  const QRect paper = printer.paperRect(QPrinter::DevicePixel).toRect();
  const QRect printable = printer.pageRect(QPrinter::DevicePixel).toRect();
  PrintPage page;
  page.width = printer.width();
  page.height = printer.height();
  page.dpi = printer.logicalDpiX();
  page.offset_x = printable.left() - paper.left();
  page.offset_y = printable.top() - paper.top();
  return page;
}

bool Fail(QPrinter& printer, QString* error, const QString& reason) {
  if (error) *error = reason;
  if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
    QFile::remove(printer.outputFileName());
  }
  return false;
}

}  // namespace

QStringList PreferredPrintFonts() {
  return {"Arial", "Helvetica", "Helv", "Courier", "Courier New", "Times New Roman", "Times",
          "MS Sans Serif", "MS Serif"};
}

QString ChoosePrintFont(const QStringList& installed) {
  for (const QString& name : PreferredPrintFonts()) {
    if (installed.contains(name, Qt::CaseInsensitive)) return name;
  }
  return QString();
}

QString UnprintableReason(const OrderPrintout& printout) {
  const int line = FirstUnprintableLine(printout);
  if (line == 0) return QString();
  return Text(TextId::PrintAmountNotNumber).arg(line);
}

bool PaintOrderListPreview(QPrinter& printer, const OrderPrintout& printout) {
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  PainterCanvas canvas(painter, printer, ChoosePrintFont(QFontDatabase::families()));
  const bool drawn = DrawOrderPrintout(canvas, PageOf(printer), printout);
  return painter.end() && drawn;
}

bool PrintOrderList(QPrinter& printer, const OrderPrintout& printout, QString* error) {
  if (const QString reason = UnprintableReason(printout); !reason.isEmpty()) {
    if (error) *error = reason;
    return false;
  }
  const QString family = ChoosePrintFont(QFontDatabase::families());
  // A printer that makes copies itself is asked for them; otherwise the program repeats the
  // pages, and the printer must not multiply them again.
  const int copies = std::max(1, printer.copyCount());
  const bool repeat_pages = !printer.supportsMultipleCopies();
  if (repeat_pages) printer.setCopyCount(1);

  QPainter painter;
  if (!painter.begin(&printer)) {
    if (repeat_pages) printer.setCopyCount(copies);
    return Fail(printer, error,
                printer.outputFormat() == QPrinter::PdfFormat
                    ? Text(TextId::PrintFileNotWritable).arg(printer.outputFileName())
                    : Text(TextId::PrintPrinterNotStarted).arg(printer.printerName()));
  }
  PainterCanvas canvas(painter, printer, family);
  const PrintPage page = PageOf(printer);
  bool ok = true;
  for (int copy = 0; ok && copy < (repeat_pages ? copies : 1); ++copy) {
    if (copy > 0) {
      ok = canvas.NewPage();
      canvas.RestartNumbering();
    }
    ok = ok && DrawOrderPrintout(canvas, page, printout);
  }
  if (!ok) {
    printer.abort();
    painter.end();
    if (repeat_pages) printer.setCopyCount(copies);
    return Fail(printer, error,
                Text(TextId::PrintNoNewPage));
  }
  const bool finished = painter.end();
  if (repeat_pages) printer.setCopyCount(copies);
  if (!finished) {
    return Fail(printer, error,
                Text(TextId::PrintNotFinished));
  }
  return true;
}

}  // namespace order
