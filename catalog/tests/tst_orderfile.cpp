// Reading and writing saved order-list files.
#include "OrderFile.h"
#include "ReadOnlyFolder.h"
#include "TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using order::OrderFields;
using order::OrderFileStatus;

namespace {

OrderFields Line(const QString& item, const QString& quantity, const QString& gross) {
  return {item, quantity, "T-100", "12 345 67", "5701234567890", gross, "22,14", "24,6", "A1"};
}

}  // namespace

class OrderFileTest : public QObject {
  Q_OBJECT

 private slots:
  void formatsNineTabsPerLineWithCrLf() {
    const QByteArray bytes = order::FormatOrderFile(
        {Line("Stikkontakt", "2", "49,2"), Line("Afbryder", "1", "24,60")});
    QCOMPARE(bytes,
             QByteArray("Stikkontakt\t2\tT-100\t12 345 67\t5701234567890\t49,2\t22,14\t24,6\tA1\t\r\n"
                        "Afbryder\t1\tT-100\t12 345 67\t5701234567890\t24,60\t22,14\t24,6\tA1\t\r\n"));
  }

  void roundTripsWindows1252Text() {
    const std::vector<OrderFields> lines = {Line(QString::fromUtf8("Kabel Ø16 blå €"), "3", "1,5")};
    const QByteArray bytes = order::FormatOrderFile(lines);
    QVERIFY(bytes.startsWith("Kabel \xd8" "16 bl\xe5 \x80\t"));
    const order::OrderFileResult back = order::ParseOrderFile(bytes);
    QCOMPARE(back.status, OrderFileStatus::kOk);
    QVERIFY(back.lines == lines);
  }

  void separatorsInsideCellsAreSavedAsBlanks() {
    const QByteArray bytes = order::FormatOrderFile({Line("Lampe\tmed\r\nskærm", "1", "5")});
    QCOMPARE(bytes.count('\t'), 9);
    const order::OrderFileResult back = order::ParseOrderFile(bytes);
    QCOMPARE(back.status, OrderFileStatus::kOk);
    QCOMPARE(back.lines.at(0)[0], QString::fromUtf8("Lampe med  skærm"));
  }

  void readerAcceptsLineFeedsAndIgnoresTextAfterTheNinthTab() {
    const order::OrderFileResult result = order::ParseOrderFile(
        "a\t1\tb\tc\td\t2\t3\t4\t5\ttrailing\n"
        "e\t2\tf\tg\th\t6\t7\t8\t\t");
    QCOMPARE(result.status, OrderFileStatus::kOk);
    QCOMPARE(result.lines.size(), size_t{2});
    QCOMPARE(result.lines[0][8], QString("5"));
    QCOMPARE(result.lines[1][0], QString("e"));
    QCOMPARE(result.lines[1][8], QString());
  }

  void refusesTheWholeFileAtTheFirstBadLine_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("badLine");
    const QByteArray good = "a\t1\tb\tc\td\t2\t3\t4\t5\t\r\n";
    QTest::newRow("eight tabs") << good + "a\t1\tb\tc\td\t2\t3\t4\r\n" + good << 2;
    QTest::newRow("ten tabs") << good + good + "a\t1\tb\tc\td\t2\t3\t4\t5\t6\t\r\n" << 3;
    QTest::newRow("blank line") << good + "\r\n" + good << 2;
    QTest::newRow("no item text") << "\t1\tb\tc\td\t2\t3\t4\t5\t\r\n" + good << 1;
  }
  void refusesTheWholeFileAtTheFirstBadLine() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, badLine);
    const order::OrderFileResult result = order::ParseOrderFile(bytes);
    QCOMPARE(result.status, OrderFileStatus::kBadLine);
    QCOMPARE(result.bad_line, badLine);
    QVERIFY(result.lines.empty());
  }

  void emptyFileIsReportedAsEmpty() {
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.txt");
    QVERIFY(WriteWholeFile(path, {}));
    QCOMPARE(order::LoadOrderFile(path).status, OrderFileStatus::kEmpty);
  }

  void missingFileIsAnInputError() {
    const order::OrderFileResult result = order::LoadOrderFile("/nonexistent/order.txt");
    QCOMPARE(result.status, OrderFileStatus::kIoError);
    QVERIFY(!result.error.isEmpty());
  }

  void saveReplacesTheFileAndLoadReadsItBack() {
    QTemporaryDir dir;
    const QString path = dir.filePath("order.txt");
    QVERIFY(WriteWholeFile(path, "old contents that are much longer than the new ones\r\n"));
    const std::vector<OrderFields> lines = {Line("Dåse", "7", "10")};
    QString error;
    QVERIFY(order::SaveOrderFile(path, lines, &error));
    QCOMPARE(FileBytes(path), order::FormatOrderFile(lines));
    QVERIFY(order::LoadOrderFile(path).lines == lines);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"order.txt"});
  }

  void failedSaveKeepsTheOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("order.txt");
    const QByteArray old_bytes = "a\t1\tb\tc\td\t2\t3\t4\t5\t\r\n";
    QVERIFY(WriteWholeFile(path, old_bytes));
    ReadOnlyFolder read_only(dir.path());
    if (!read_only.active()) QSKIP("this system cannot make a folder read-only");
    QString error;
    QVERIFY(!order::SaveOrderFile(path, {Line("Ny", "1", "1")}, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(FileBytes(path), old_bytes);
  }
};

QTEST_GUILESS_MAIN(OrderFileTest)
#include "tst_orderfile.moc"
