// Page layout of the printed order list, drawn on a canvas that records what it is given.
#include "OrderPrintout.h"

#include <QTest>

using namespace order;

namespace {

// Fixed font metrics: a character is as wide as the point size, a line five times as high.
class RecordingCanvas : public PrintCanvas {
 public:
  struct Text {
    int page;
    int x;
    int y;
    int size;
    bool bold;
    QString text;
  };
  struct Rule {
    int page;
    int x1, y1, x2, y2;
  };

  void SetFont(int point_size, bool bold) override {
    size_ = point_size;
    bold_ = bold;
  }
  int TextHeight(const QString&) override { return size_ * 5; }
  int TextWidth(const QString& text) override { return static_cast<int>(text.size()) * size_; }
  void TextOut(int x, int y, const QString& text) override {
    texts.push_back({page_, x, y, size_, bold_, text});
  }
  void Line(int x1, int y1, int x2, int y2) override { rules.push_back({page_, x1, y1, x2, y2}); }
  bool NewPage() override {
    if (fail_new_page) return false;
    ++page_;
    return true;
  }
  int PageNumber() const override { return page_; }

  // Texts equal to `text`, in drawing order.
  std::vector<Text> Find(const QString& text) const {
    std::vector<Text> found;
    for (const Text& t : texts) {
      if (t.text == text) found.push_back(t);
    }
    return found;
  }
  int Pages() const { return page_; }

  std::vector<Text> texts;
  std::vector<Rule> rules;
  bool fail_new_page = false;

 private:
  int page_ = 1;
  int size_ = 10;
  bool bold_ = false;
};

// W 2400, H 3400 at 300 dpi; printable area 20 and 30 pixels into the sheet.
constexpr PrintPage kPage{2400, 3400, 300, 20, 30};
// Body font: a line is 45 pixels high; the first line of a page is at 302 + 45 + 8 + 18.
constexpr int kHeadingY = 3400 / 20 + 2 * 45 + 42;
constexpr int kFirstLineY = kHeadingY + 45 + 8 + 18;
constexpr int kLineStep = 45 + 10;

OrderPrintout Printout(int lines) {
  OrderPrintout p;
  p.firm_name = "Firma AB";
  p.firm_address = QStringList{"Postboks 1", "1234 By", "Fax 11 22 33 44"};
  p.headings = {"", "Varetekst", "Antal", "Typenr", "El-nr", "EAN", "Brutto", "Netto", "", ""};
  for (int i = 1; i <= lines; ++i) {
    OrderRow row;
    row[kItemTextColumn] = QString("Vare %1").arg(i);
    row[kQuantityColumn] = "12";
    row[kTypeNumberColumn] = "T1";
    row[kElNumberColumn] = "10 20 30";
    row[kEanColumn] = "5700000000001";
    row[kGrossColumn] = "24,6";
    row[kNetColumn] = "22,14";
    p.lines.push_back(row);
  }
  p.total_caption = "Total:";
  p.gross_total = "1,00";
  p.net_total = "2,00";
  return p;
}

}  // namespace

class OrderPrintoutTest : public QObject {
  Q_OBJECT

 private slots:
  void roundingTiesGoToEven() {
    QCOMPARE(RoundToEven(2.5), 2);
    QCOMPARE(RoundToEven(3.5), 4);
    QCOMPARE(RoundToEven(2400 / 3.1), 774);
  }

  void firstPageHeaderHeadingsAndRule() {
    RecordingCanvas canvas;
    QVERIFY(DrawOrderPrintout(canvas, kPage, Printout(1)));
    const auto firm = canvas.Find("Firma AB").at(0);
    QCOMPARE(firm.x, 2400 / 15);
    QCOMPARE(firm.y, 30);
    QCOMPARE(firm.size, 12);
    QVERIFY(firm.bold);
    QCOMPARE(canvas.Find("Postboks 1").at(0).y, 30 + 60 + 6);
    QCOMPARE(canvas.Find("1234 By").at(0).y, 30 + 60 + 6 + 51);
    QCOMPARE(canvas.Find("Fax 11 22 33 44").at(0).size, 9);

    const QList<QPair<QString, int>> headings = {
        {"Varetekst", 150}, {"Antal", 774}, {"Typenr", 1000}, {"El-nr", 1311},
        {"EAN", 1579},      {"Brutto", 1832}, {"Netto", 2087}};
    for (const auto& [text, x] : headings) {
      const auto heading = canvas.Find(text).at(0);
      QCOMPARE(heading.x, x);
      QCOMPARE(heading.y, kHeadingY);
      QVERIFY(heading.bold);
    }
    QCOMPARE(canvas.rules.size(), size_t{1});
    QCOMPARE(canvas.rules[0].x1, 20);
    QCOMPARE(canvas.rules[0].x2, 2400);
    QCOMPARE(canvas.rules[0].y1, kHeadingY + 45 + 8);
  }

  // Address lines nobody configured print nothing, and the lines around them keep the
  // places they have with a full address.
  void blankAddressLinesPrintNothingAndMoveNothing() {
    OrderPrintout printout = Printout(1);
    printout.firm_address = QStringList{"", "1234 By", ""};
    RecordingCanvas canvas;
    QVERIFY(DrawOrderPrintout(canvas, kPage, printout));
    QCOMPARE(canvas.Find("1234 By").at(0).y, 30 + 60 + 6 + 51);
    printout.firm_address = QStringList{"", "", ""};
    RecordingCanvas bare;
    QVERIFY(DrawOrderPrintout(bare, kPage, printout));
    // Above the headings only the firm's name is written.
    int header_texts = 0;
    for (const auto& text : bare.texts) {
      if (text.y < kHeadingY) {
        QCOMPARE(text.text, QString("Firma AB"));
        ++header_texts;
      }
    }
    QCOMPARE(header_texts, 1);
    QCOMPARE(bare.Find("Varetekst").at(0).y, kHeadingY);
    QCOMPARE(bare.Find("Vare 1").at(0).y, kFirstLineY);
  }

  void lineColumnsAreAlignedOnTheirEdges() {
    RecordingCanvas canvas;
    QVERIFY(DrawOrderPrintout(canvas, kPage, Printout(1)));
    const auto item = canvas.Find("Vare 1").at(0);
    QCOMPARE(item.x, 160);
    QCOMPARE(item.y, kFirstLineY);
    QVERIFY(!item.bold);
    QCOMPARE(canvas.Find("12").at(0).x, 857 - 18);  // right edge round(W / 2.8)
    QCOMPARE(canvas.Find("T1").at(0).x, 938);
    QCOMPARE(canvas.Find("10 20 30").at(0).x, 1250);
    QCOMPARE(canvas.Find("5700000000001").at(0).x, 1500);
    const int amount_width = 10 * 9;
    QCOMPARE(canvas.Find("24,60").at(0).x, 1805 + amount_width - 45);
    QCOMPARE(canvas.Find("22,14").at(0).x, 2043 + amount_width - 45);
  }

  void totalsFollowTheLastLine() {
    RecordingCanvas canvas;
    QVERIFY(DrawOrderPrintout(canvas, kPage, Printout(2)));
    const int y = kFirstLineY + 2 * kLineStep + 45 + 9;
    const auto caption = canvas.Find("Total:").at(0);
    QCOMPARE(caption.x, 1509);
    QCOMPARE(caption.y, y);
    QVERIFY(caption.bold);
    QCOMPARE(canvas.Find("1,00").at(0).x, 1817 + 90 - 36);
    QCOMPARE(canvas.Find("2,00").at(0).x, 2051 + 90 - 36);
  }

  void fiftyFiveLinesFillPageOne() {
    RecordingCanvas canvas;
    QVERIFY(DrawOrderPrintout(canvas, kPage, Printout(55)));
    QCOMPARE(canvas.Pages(), 2);
    QCOMPARE(canvas.Find("Vare 55").at(0).page, 1);
    QCOMPARE(canvas.Find("Vare 55").at(0).y, kFirstLineY + 54 * kLineStep);
    // Page 2 holds the header, headings and totals but no page number.
    QCOMPARE(canvas.Find("Firma AB").size(), size_t{2});
    QCOMPARE(canvas.Find("Total:").at(0).page, 2);
    QCOMPARE(canvas.Find("2").size(), size_t{0});
    QCOMPARE(canvas.Find("1").size(), size_t{1});
  }

  void lineFiftySixStartsPageTwoWithTheHeaderRepeated() {
    RecordingCanvas canvas;
    QVERIFY(DrawOrderPrintout(canvas, kPage, Printout(56)));
    const auto line56 = canvas.Find("Vare 56").at(0);
    QCOMPARE(line56.page, 2);
    QCOMPARE(line56.y, kFirstLineY);
    const auto brutto = canvas.Find("Brutto");
    QCOMPARE(brutto.size(), size_t{2});
    QCOMPARE(brutto[1].page, 2);
    QCOMPARE(brutto[1].x, 1869);  // round(W / 1.284) on later pages
    QCOMPARE(canvas.rules.size(), size_t{2});
    const auto number = canvas.Find("2").at(0);
    QCOMPARE(number.page, 2);
    QCOMPARE(number.x, 1200);
    QCOMPARE(number.y, 3400 - 3400 / 15);
  }

  void emptyListPrintsOnePageWithoutPageNumber() {
    RecordingCanvas canvas;
    QVERIFY(DrawOrderPrintout(canvas, kPage, Printout(0)));
    QCOMPARE(canvas.Pages(), 1);
    QCOMPARE(canvas.Find("1").size(), size_t{0});
    QCOMPARE(canvas.Find("Total:").at(0).y, kFirstLineY + 45 + 9);
    QCOMPARE(canvas.rules.size(), size_t{1});
  }

  void longItemTextIsCutBelowTwoInches() {
    OrderPrintout p = Printout(1);
    p.lines[0][kItemTextColumn] = QString(100, u'W');
    p.lines[0][kTypeNumberColumn] = QString(100, u'T');
    RecordingCanvas canvas;
    QVERIFY(DrawOrderPrintout(canvas, kPage, p));
    QCOMPARE(canvas.Find(QString(66, u'W')).size(), size_t{1});  // 66 x 9 < 600 <= 67 x 9
    QCOMPARE(canvas.Find(QString(100, u'T')).size(), size_t{1});
  }

  void unprintableAmountsAreFoundBeforeTheJob() {
    OrderPrintout p = Printout(3);
    QCOMPARE(FirstUnprintableLine(p), 0);
    p.lines[1][kNetColumn] = "";
    QCOMPARE(FirstUnprintableLine(p), 2);
    p.lines[0][kGrossColumn] = "abc";
    QCOMPARE(FirstUnprintableLine(p), 1);
  }

  void printerFailureOnNewPageIsReported() {
    RecordingCanvas canvas;
    canvas.fail_new_page = true;
    QVERIFY(!DrawOrderPrintout(canvas, kPage, Printout(60)));
  }
};

QTEST_GUILESS_MAIN(OrderPrintoutTest)
#include "tst_orderprintout.moc"
