// The order grid's rules: merging, amounts, marks, deletion, totals and file lines.
#include "DiscountCodes.h"
#include "OrderModel.h"

#include <QTest>

using namespace order;

namespace {

void Add(TOrderGridModel& model, const QString& item, const QString& quantity,
         const QString& type = "T1", const QString& price = "12,3", const QString& code = "A1") {
  model.AddOrderLine(item, quantity, type, "10 20 30", "5700000000001", price, code);
}

QStringList Items(const TOrderGridModel& model) {
  QStringList items;
  for (int row = 0; row < model.rowCount(); ++row) items << model.Cell(row, kItemTextColumn);
  return items;
}

}  // namespace

class OrderModelTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // Discount codes: A1 10 %, B2 25 %.
    RabatKoder.LoadFromBytes("Rabatkoder\r\nA1\t10\r\nB2\t25\r\n");
  }

  void init() { model_ = std::make_unique<TOrderGridModel>(); }

  void newLineGetsTwoDecimalAmounts() {
    Add(*model_, "Stikkontakt", "2");
    QCOMPARE(model_->Cell(0, kMarkColumn), QString());
    QCOMPARE(model_->Cell(0, kQuantityColumn), QString("2"));
    QCOMPARE(model_->Cell(0, kGrossColumn), QString("24,60"));
    QCOMPARE(model_->Cell(0, kNetColumn), QString("22,14"));
    QCOMPARE(model_->Cell(0, kUnitPriceColumn), QString("12,3"));
    QCOMPARE(model_->Cell(0, kDiscountCodeColumn), QString("A1"));
    QCOMPARE(model_->OrderLineCount(), 1);
  }

  void sameProductAddsToItsQuantityUpTo999() {
    Add(*model_, "Stikkontakt", "2");
    Add(*model_, "Stikkontakt", "3");
    QCOMPARE(model_->PackedLineCount(), 1);
    QCOMPARE(model_->Cell(0, kQuantityColumn), QString("5"));
    QCOMPARE(model_->Cell(0, kGrossColumn), QString("61,50"));
    Add(*model_, "Stikkontakt", "998");
    QCOMPARE(model_->Cell(0, kQuantityColumn), QString("999"));
    QCOMPARE(model_->Cell(0, kGrossColumn), QString("12287,70"));
  }

  void productsDifferByItemTextAndTypeNumberExactly() {
    Add(*model_, "Stikkontakt", "1", "T1");
    Add(*model_, "Stikkontakt", "1", "T2");
    Add(*model_, "stikkontakt", "1", "T1");
    QCOMPARE(model_->PackedLineCount(), 3);
  }

  void unreadableQuantityReplacesInsteadOfAdding() {
    Add(*model_, "Stikkontakt", "2");
    model_->SetCell(0, kQuantityColumn, "two");
    Add(*model_, "Stikkontakt", "4");
    QCOMPARE(model_->Cell(0, kQuantityColumn), QString("4"));
    QCOMPARE(model_->Cell(0, kGrossColumn), QString("24,60"));  // left alone
  }

  void unreadablePriceLeavesAmountsEmpty() {
    Add(*model_, "Stikkontakt", "2", "T1", "n/a");
    QCOMPARE(model_->Cell(0, kGrossColumn), QString());
    QCOMPARE(model_->Total(kGrossColumn), QString("0,00"));
  }

  void rowsGrowAfterTheFifteenthLine() {
    for (int i = 1; i <= 15; ++i) Add(*model_, QString("Vare %1").arg(i), "1");
    QCOMPARE(model_->rowCount(), 15);
    QCOMPARE(model_->OrderLineCount(), 15);
    Add(*model_, "Vare 16", "1");
    Add(*model_, "Vare 17", "1");
    QCOMPARE(model_->rowCount(), 17);
    QCOMPARE(model_->Cell(16, kItemTextColumn), QString("Vare 17"));
    QCOMPARE(model_->OrderLineCount(), 17);
  }

  void quantityEditWritesFullPrecision() {
    Add(*model_, "Afbryder", "1", "T1", "12,3", "B2");
    model_->SetQuantity(0, 2);
    QCOMPARE(model_->Cell(0, kGrossColumn), QString("24,6"));
    QCOMPARE(model_->Cell(0, kNetColumn), QString("18,45"));
    QCOMPARE(model_->Total(kGrossColumn), QString("24,60"));
    QCOMPARE(model_->Total(kNetColumn), QString("18,45"));
  }

  void totalIsEmptyWhenAnAmountIsNotANumber() {
    Add(*model_, "A", "1");
    Add(*model_, "B", "1");
    model_->SetCell(1, kNetColumn, "x");
    QCOMPARE(model_->Total(kGrossColumn), QString("24,60"));
    QCOMPARE(model_->Total(kNetColumn), QString());
  }

  void marksToggleAndMarkAllTakesOnlyLines() {
    Add(*model_, "A", "1");
    Add(*model_, "B", "1");
    model_->ToggleMark(0);
    QVERIFY(model_->IsMarked(0));
    model_->ToggleMark(0);
    QVERIFY(!model_->IsMarked(0));
    model_->MarkAllLines();
    QCOMPARE(model_->MarkedCount(), 2);
    QVERIFY(!model_->IsMarked(2));
  }

  void deletingMarkedLines_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<QList<int>>("marked");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("rows");
    QTest::newRow("none") << 3 << QList<int>{} << QStringList{"L1", "L2", "L3"} << 15;
    QTest::newRow("some") << 4 << QList<int>{0, 2} << QStringList{"L2", "L4"} << 15;
    QTest::newRow("all") << 3 << QList<int>{0, 1, 2} << QStringList{} << 15;
    QTest::newRow("long list keeps the rest") << 20 << QList<int>{1, 19}
                                              << QStringList{"L1", "L3"} << 18;
    QTest::newRow("long list to the minimum") << 18 << QList<int>{0, 1, 2, 3, 4, 5}
                                              << QStringList{"L7"} << 15;
  }
  void deletingMarkedLines() {
    QFETCH(int, lines);
    QFETCH(QList<int>, marked);
    QFETCH(QStringList, left);
    QFETCH(int, rows);
    for (int i = 1; i <= lines; ++i) Add(*model_, QString("L%1").arg(i), "1");
    for (int row : marked) model_->ToggleMark(row);
    model_->DeleteMarked();
    QCOMPARE(model_->rowCount(), rows);
    QCOMPARE(model_->MarkedCount(), 0);
    const QStringList items = Items(*model_);
    QCOMPARE(items.mid(0, qMin<qsizetype>(left.size(), 2)), left.mid(0, 2));
    QCOMPARE(model_->PackedLineCount(), lines - marked.size());
    for (int row = model_->PackedLineCount(); row < model_->rowCount(); ++row) {
      QCOMPARE(model_->Cell(row, kGrossColumn), QString());
    }
    if (model_->PackedLineCount() == 0) QCOMPARE(model_->Total(kNetColumn), QString("0,00"));
  }

  void savedLinesSkipTheMarkAndLoadingClearsMarks() {
    Add(*model_, "A", "1");
    model_->SetQuantity(0, 2);
    Add(*model_, "B", "3");
    model_->MarkAllLines();
    const std::vector<OrderFields> saved = model_->SavedLines();
    QCOMPARE(saved.size(), size_t{2});
    QCOMPARE(saved[0][0], QString("A"));
    QCOMPARE(saved[0][5], QString("24,6"));
    QCOMPARE(saved[1][5], QString("36,90"));

    TOrderGridModel other;
    for (int i = 0; i < 20; ++i) Add(other, QString("old %1").arg(i), "1");
    other.ReplaceLines(saved);
    QCOMPARE(other.rowCount(), 15);
    QCOMPARE(other.MarkedCount(), 0);
    QVERIFY(other.SavedLines() == saved);
    QCOMPARE(other.Cell(2, kItemTextColumn), QString());
  }

 private:
  std::unique_ptr<TOrderGridModel> model_;
};

QTEST_GUILESS_MAIN(OrderModelTest)
#include "tst_ordermodel.moc"
