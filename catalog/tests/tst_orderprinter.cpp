// Printing order lists into PDF files, read back with pdftotext and pdfinfo.
#include "OrderPrinter.h"
#include "PdfFiles.h"
#include "TextTable.h"

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace order;

namespace {

OrderPrintout Printout(int lines) {
  OrderPrintout p;
  p.firm_name = "Tremora Divuvera AB";
  p.firm_address = QStringList{"Postboks 12", "2600 Glostrup", "Fax 43 43 43 43"};
  p.headings = {"", "Varetekst", "Antal", "Typenr.", "El.nr.", "EAN", "Brutto", "Netto", "", ""};
  for (int i = 1; i <= lines; ++i) {
    OrderRow row;
    row[kItemTextColumn] = QString("Vare%1").arg(i, 3, 10, QChar('0'));
    row[kQuantityColumn] = "2";
    row[kTypeNumberColumn] = "T-100";
    row[kElNumberColumn] = "1020304";
    row[kEanColumn] = "5701234567890";
    row[kGrossColumn] = "24,6";
    row[kNetColumn] = "22,14";
    p.lines.push_back(row);
  }
  p.total_caption = "Total:";
  p.gross_total = "99,00";
  p.net_total = "88,00";
  return p;
}

}  // namespace

class OrderPrinterTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) QSKIP("pdftotext is missing");
    // The failure sentences come from the shipped text table.
    TextTable = std::make_unique<TTextTable>();
    QVERIFY(TextTable->LoadFromFile(QStringLiteral(CATALOG_DATA_DIR "/KV.dat")));
  }

  void cleanupTestCase() { FreeTextTable(); }

  void fontIsTheFirstPreferredOneInstalled() {
    QCOMPARE(ChoosePrintFont({"DejaVu Sans", "Helv", "Times"}), QString("Helv"));
    QCOMPARE(ChoosePrintFont({"arial", "Helv"}), QString("Arial"));
    QCOMPARE(ChoosePrintFont({"DejaVu Sans"}), QString());
  }

  void fiftyFiveLinesFillPageOneAndLineFiftySixStartsPageTwo() {
    QTemporaryDir dir;
    const QString path = dir.filePath("order.pdf");
    QString error;
    QVERIFY2(Print(path, Printout(56), &error), qPrintable(error));
    QCOMPARE(PdfPages(path), 2);
    const QString page1 = PdfText(path, 1);
    const QString page2 = PdfText(path, 2);
    QVERIFY(page1.contains("Vare001"));
    QVERIFY(page1.contains("Vare055"));
    QVERIFY(!page1.contains("Vare056"));
    QVERIFY(!page1.contains("Total:"));
    QVERIFY(page2.contains("Vare056"));
    QVERIFY(page2.contains("Tremora Divuvera AB"));
    QVERIFY(page2.contains("2600 Glostrup"));
    QVERIFY(page2.contains("Varetekst"));
    QVERIFY(page2.contains("Total:"));
    QVERIFY(page2.contains(QRegularExpression(R"(\n\s+2\s*\n)")));
    // Amounts come out with two decimals.
    QVERIFY(page1.contains(QRegularExpression(R"(24,60\s+22,14)")));
  }

  void fiftyFiveLinesLeaveOnlyHeaderAndTotalsOnPageTwo() {
    QTemporaryDir dir;
    const QString path = dir.filePath("order.pdf");
    QVERIFY(Print(path, Printout(55)));
    QCOMPARE(PdfPages(path), 2);
    const QString page2 = PdfText(path, 2);
    QVERIFY(!page2.contains("Vare0"));
    QVERIFY(page2.contains("Total:"));
    QVERIFY(!page2.contains(QRegularExpression(R"(\n\s+2\s*\n)")));
  }

  void emptyListPrintsOnePage() {
    QTemporaryDir dir;
    const QString path = dir.filePath("order.pdf");
    QVERIFY(Print(path, Printout(0)));
    QCOMPARE(PdfPages(path), 1);
    const QString text = PdfText(path);
    QVERIFY(text.contains("Tremora Divuvera AB"));
    QVERIFY(text.contains(QRegularExpression(R"(Total:\s+99,00\s+88,00)")));
  }

  void longItemTextIsCut() {
    QTemporaryDir dir;
    const QString path = dir.filePath("order.pdf");
    OrderPrintout p = Printout(1);
    const QString long_text =
        "Installationskabel PVIKJ 3G1,5 mm2 hvid 100 meter ring med ekstra lang beskrivelse";
    p.lines[0][kItemTextColumn] = long_text;
    QVERIFY(Print(path, p));
    const QString text = PdfText(path);
    QVERIFY(text.contains("Installationskabel"));
    QVERIFY(!text.contains("beskrivelse"));
  }

  void threeCopiesAreThreeRunsOfThePages() {
    QTemporaryDir dir;
    const QString path = dir.filePath("order.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setCopyCount(3);
    QString error;
    QVERIFY2(PrintOrderList(printer, Printout(56), &error), qPrintable(error));
    QCOMPARE(printer.copyCount(), 3);
    QCOMPARE(PdfPages(path), 6);
    // Every copy numbers its pages from 1.
    QVERIFY(PdfText(path, 3).contains("Vare001"));
    QVERIFY(PdfText(path, 3).contains(QRegularExpression(R"(\n\s+1\s*\n)")));
  }

  void amountThatIsNotANumberPrintsNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath("order.pdf");
    OrderPrintout p = Printout(60);
    p.lines[57][kGrossColumn] = "tyve";
    QString error;
    QVERIFY(!Print(path, p, &error));
    QCOMPARE(error, Text(TextId::PrintAmountNotNumber).arg(58));
    QVERIFY(error.contains("ordrelinie 58"));
    QVERIFY(!QFile::exists(path));
  }

  void unwritableFileIsReported() {
    QString error;
    QVERIFY(!Print("/nonexistent/folder/order.pdf", Printout(1), &error));
    QVERIFY(error.contains("/nonexistent/folder/order.pdf"));
  }

 private:
  static bool Print(const QString& path, const OrderPrintout& p, QString* error = nullptr) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    QString ignored;
    return PrintOrderList(printer, p, error ? error : &ignored);
  }
};

QTEST_MAIN(OrderPrinterTest)
#include "tst_orderprinter.moc"
