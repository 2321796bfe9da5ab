#include "OrderPrintout.h"

#include "NumberFormat.h"

#include <cmath>

namespace order {
namespace {

constexpr int kTitlePointSize = 12;
constexpr int kBodyPointSize = 9;
// Amounts are right-aligned against the width of the widest amount expected.
constexpr char16_t kAmountPattern[] = u"000,000.00";

// Left edges of the headings of columns 1 to 7 as fractions of the page width; the gross
// heading sits a little further right on later pages.
struct HeadingDivisors {
  double column[kNetColumn + 1];
};
constexpr HeadingDivisors kFirstPageHeadings{{0, 16, 3.1, 2.4, 1.83, 1.52, 1.31, 1.15}};
constexpr HeadingDivisors kLaterPageHeadings{{0, 16, 3.1, 2.4, 1.83, 1.52, 1.284, 1.15}};

class PrintoutWriter {
 public:
  PrintoutWriter(PrintCanvas& canvas, const PrintPage& page, const OrderPrintout& printout)
      : canvas_(canvas), page_(page), printout_(printout) {}

  bool Run() {
    StartPage(kFirstPageHeadings);
    const int n = static_cast<int>(printout_.lines.size());
    for (int r = 1; r <= n; ++r) {
      if (!page_numbered_) {
        canvas_.TextOut(page_.width / 2, page_.height - page_.height / 15,
                        QString::number(canvas_.PageNumber()));
        page_numbered_ = true;
      }
      WriteLine(printout_.lines[r - 1]);
      y_ += line_height_ + 10;
      if (r % kLinesPerPage == 0) {
        if (!canvas_.NewPage()) return false;
        page_numbered_ = false;
        StartPage(kLaterPageHeadings);
      }
    }
    WriteTotals();
    return true;
  }

 private:
  int X(double divisor) const { return RoundToEven(page_.width / divisor); }

  void RightAligned(int right_edge, const QString& text) {
    canvas_.TextOut(right_edge - canvas_.TextWidth(text), y_, text);
  }

  // Firm header, headings and rule; leaves the line font set and y at the first line.
  void StartPage(const HeadingDivisors& headings) {
    const int left = page_.width / 15;
    canvas_.SetFont(kTitlePointSize, true);
    const int title_height = canvas_.TextHeight(QStringLiteral("TextHeight"));
    canvas_.TextOut(left, page_.offset_y, printout_.firm_name);

    canvas_.SetFont(kBodyPointSize, true);
    const int body_height = canvas_.TextHeight(QStringLiteral("TextHeight"));
    int address_y = page_.offset_y + title_height + 6;
    for (const QString& line : printout_.firm_address) {
      // A line nobody configured stays blank; the lines below keep their places.
      if (!line.isEmpty()) canvas_.TextOut(left, address_y, line);
      address_y += body_height + 6;
    }

    y_ = page_.height / 20 + 2 * body_height + 42;
    canvas_.TextOut(page_.width / 16, y_, printout_.headings[kItemTextColumn]);
    for (int column = kQuantityColumn; column <= kNetColumn; ++column) {
      canvas_.TextOut(X(headings.column[column]), y_, printout_.headings[column]);
    }

    line_height_ = canvas_.TextHeight(QStringLiteral("TextHeight"));
    y_ += line_height_ + 8;
    canvas_.Line(page_.offset_x, y_, page_.width, y_);
    canvas_.SetFont(kBodyPointSize, false);
    amount_width_ = canvas_.TextWidth(QString::fromUtf16(kAmountPattern));
    y_ += 18;
  }

  void WriteLine(const OrderRow& cells) {
    QString item_text = cells[kItemTextColumn];
    const int max_width = 2 * page_.dpi;
    while (!item_text.isEmpty() && canvas_.TextWidth(item_text) >= max_width) item_text.chop(1);
    canvas_.TextOut(page_.width / 15, y_, item_text);

    RightAligned(X(2.8), cells[kQuantityColumn]);
    canvas_.TextOut(X(2.56), y_, cells[kTypeNumberColumn]);
    canvas_.TextOut(X(1.92), y_, cells[kElNumberColumn]);
    canvas_.TextOut(X(1.6), y_, cells[kEanColumn]);

    double gross = 0;
    double net = 0;
    // Checked by FirstUnprintableLine before the job starts.
    ToNumber(cells[kGrossColumn], &gross);
    ToNumber(cells[kNetColumn], &net);
    RightAligned(X(1.33) + amount_width_, FormatFixed2(gross));
    RightAligned(X(1.175) + amount_width_, FormatFixed2(net));
  }

  void WriteTotals() {
    y_ += line_height_ + 9;
    canvas_.SetFont(kBodyPointSize, true);
    canvas_.TextOut(X(1.59), y_, printout_.total_caption);
    RightAligned(X(1.321) + amount_width_, printout_.gross_total);
    RightAligned(X(1.17) + amount_width_, printout_.net_total);
  }

  PrintCanvas& canvas_;
  const PrintPage& page_;
  const OrderPrintout& printout_;
  int y_ = 0;
  int line_height_ = 0;
  int amount_width_ = 0;
  bool page_numbered_ = false;
};

}  // namespace

int RoundToEven(double v) { return static_cast<int>(std::nearbyint(v)); }

int FirstUnprintableLine(const OrderPrintout& printout) {
  for (size_t i = 0; i < printout.lines.size(); ++i) {
    double value = 0;
    if (!ToNumber(printout.lines[i][kGrossColumn], &value) ||
        !ToNumber(printout.lines[i][kNetColumn], &value)) {
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

bool DrawOrderPrintout(PrintCanvas& canvas, const PrintPage& page, const OrderPrintout& printout) {
  return PrintoutWriter(canvas, page, printout).Run();
}

}  // namespace order
