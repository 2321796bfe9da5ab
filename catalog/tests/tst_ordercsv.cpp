// CSV export of the order list: what a spreadsheet program (here Python's csv module) reads
// back, the bytes of the file, and the export from the order list window's File menu.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "Cp1252.h"
#include "TestTextTable.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "OrderCsv.h"
#include "TextTable.h"
#include "UnitOrder.h"

using namespace order;

namespace {

std::array<QString, kOrderColumnCount> Headings() {
  return {"", "Varetekst", "Antal", "Typenr.", "El.nr.", "EAN", "Brutto", "Netto", "", ""};
}

OrderRow Line(const QString& item, const QString& quantity, const QString& gross,
              const QString& net) {
  return {"", item, quantity, "TN 1", "10 20 30", "5701234567890", gross, net, "12,3", "A1"};
}

// The rows Python's csv module reads from the file, as the spreadsheet user would get them.
QList<QStringList> ReadWithPython(const QString& path) {
  QProcess python;
  python.start("python3", {"-c",
                           "import csv, json, sys\n"
                           "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                           "    json.dump(list(csv.reader(f, delimiter=';')), sys.stdout)\n",
                           path});
  if (!python.waitForFinished(30000) || python.exitCode() != 0) return {};
  QList<QStringList> rows;
  for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
    QStringList cells;
    for (const QJsonValue& cell : row.toArray()) cells << cell.toString();
    rows << cells;
  }
  return rows;
}

}  // namespace

class OrderCsvTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    UseCommaDecimalSeparator();
    SetMessageHandler([this](MessageKind, const QString& text) { messages_ << text; });
    TextTable = std::make_unique<TTextTable>();
    TextTable->LoadFromBytes(
        NumberedTextTable({{190, "Fejl ved %1: %2"}, {191, "Eksporteret til %1."}}));
  }

  void cleanupTestCase() {
    SetMessageHandler(nullptr);
    FreeTextTable();
  }

  void init() { messages_.clear(); }

  void pythonReadsBackEveryCell() {
    const std::vector<OrderRow> lines = {
        Line("Kabel; 3G1,5", "2", "24,6", "22,14"),
        Line("Stik \"Schuko\" hvid", "10", "1234,5", "1111,05"),
        Line("Dåse Ø80", "999", "12", "10,8"),
        Line("To\nlinier; \"begge\"", "1", "0,85", "0,85"),
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("ordre.csv");
    QString error;
    QVERIFY2(ExportOrderCsv(path, Headings(), lines, &error), qPrintable(error));
    const QList<QStringList> rows = ReadWithPython(path);
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0],
             (QStringList{"Varetekst", "Antal", "Typenr.", "El.nr.", "EAN", "Brutto", "Netto"}));
    QCOMPARE(rows[1], (QStringList{"Kabel; 3G1,5", "2", "TN 1", "10 20 30", "5701234567890",
                                   "24,60", "22,14"}));
    QCOMPARE(rows[2][0], QString("Stik \"Schuko\" hvid"));
    QCOMPARE(rows[2][5], QString("1234,50"));
    QCOMPARE(rows[3][0], QString("Dåse Ø80"));
    QCOMPARE(rows[3][1], QString("999"));
    QCOMPARE(rows[3][6], QString("10,80"));
    QCOMPARE(rows[4][0], QString("To\nlinier; \"begge\""));
    // Amounts come back as numbers with the decimal comma.
    for (int row = 1; row < rows.size(); ++row) {
      double value = 0;
      QVERIFY(ToNumber(rows[row][5], &value));
      QVERIFY(ToNumber(rows[row][6], &value));
    }
  }

  void bytesOfTheFile() {
    const QByteArray csv = FormatOrderCsv(Headings(), {Line("Dåse", "1", "x", "")});
    QVERIFY(
        csv.startsWith("\xEF\xBB\xBF"
                       "Varetekst;Antal;"));
    QVERIFY(csv.contains("D\xC3\xA5se;1;TN 1;10 20 30;5701234567890;x;\r\n"));
    QVERIFY(csv.endsWith("\r\n"));
    QCOMPARE(csv.count('\n'), 2);
    // Only what needs it is quoted.
    QCOMPARE(FormatOrderCsv(Headings(), {}).count('"'), 0);
  }

  void exportFromTheFileMenu() {
    TFormOrder window;
    window.AddOrderLine("Stik; \"hvid\" Ø", "3", "TN1", "10", "570", "12,3", "");
    QTemporaryDir dir;
    const QString path = dir.filePath("ordre.csv");
    window.SetCsvFileChooser([path] { return path; });
    QVERIFY(window.CsvExportAction());
    window.CsvExportAction()->trigger();
    QVERIFY(messages_.isEmpty());
    QCOMPARE(window.StatusText(),
             QString("Eksporteret til %1.").arg(QDir::toNativeSeparators(path)));
    const QList<QStringList> rows = ReadWithPython(path);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1],
             (QStringList{"Stik; \"hvid\" Ø", "3", "TN1", "10", "570", "36,90", "36,90"}));
  }

  void aFailedExportNamesTheFileAndTheReasonAndKeepsTheOldFile() {
    TFormOrder window;
    window.AddOrderLine("Stik", "1", "TN1", "10", "570", "12,3", "");
    QTemporaryDir dir;
    const QString missing = dir.filePath("no such folder/ordre.csv");
    window.SetCsvFileChooser([missing] { return missing; });
    window.ExportCsvClick();
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].startsWith("Fejl ved " + QDir::toNativeSeparators(missing) + ": "),
             qPrintable(messages_[0]));
    QVERIFY(messages_[0].size() > QString("Fejl ved %1: ").arg(missing).size());

    // A file that cannot be replaced keeps its contents.
    messages_.clear();
    const QString blocked = dir.filePath("blocked.csv");
    QVERIFY(QDir().mkpath(blocked + "/x"));
    window.SetCsvFileChooser([blocked] { return blocked; });
    window.ExportCsvClick();
    QCOMPARE(messages_.size(), 1);
    QVERIFY(QFileInfo(blocked).isDir());
  }

 private:
  QStringList messages_;
};

QTEST_MAIN(OrderCsvTest)
#include "tst_ordercsv.moc"
