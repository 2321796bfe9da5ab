// The grid's cell texts: prices and net prices, quantities, marks and headers.
#include <QSignalSpy>
#include <QTest>

#include "FakeLodex.h"
#include "LodexKV.h"
#include "Marking.h"
#include "QuantityTable.h"
#include "ResultModel.h"
#include "ResultView.h"

class ResultModelTest : public QObject {
  Q_OBJECT

 private:
  struct Grid {
    TLodexKV engine{fake::Exports()};
    TResultView view{engine, 7, 0};
    TMarking marking;
    TQuantityTable quantities;
    TResultModel model{view, marking, quantities};

    Grid() {
      view.PageLength = 15;
      view.Table = 0;
      view.Refresh();
      model.Text = [](TextId id) { return QStringLiteral("text %1").arg(static_cast<int>(id)); };
      model.DiscountPercent = [](const QString& code) { return code.trimmed() == "10" ? 10.0 : 0.0; };
    }
    QString Cell(int column, int row) const {
      return model.data(model.index(row, column)).toString();
    }
    QVariant Role(int column, int row, int role) const {
      return model.data(model.index(row, column), role);
    }
  };

 private slots:
  void pricesShowWithTwoDecimalsAndTheNetAfterDiscount() {
    fake::Reset(3);
    fake::S().records[0][4] = "12,5";
    fake::S().records[1][4] = "1234";
    fake::S().records[1][5] = "XX";
    fake::S().records[2][4] = "";
    Grid grid;
    QCOMPARE(grid.Cell(TResultModel::kPriceColumn, 1), QStringLiteral("12,50"));
    QCOMPARE(grid.Cell(TResultModel::kNetPriceColumn, 1), QStringLiteral("11,25"));
    QCOMPARE(grid.Cell(TResultModel::kDiscountCodeColumn, 1), QStringLiteral("10"));
    QCOMPARE(grid.Role(TResultModel::kDiscountCodeColumn, 1, TResultModel::IndentRole).toInt(), 4);
    QCOMPARE(grid.Role(TResultModel::kNetPriceColumn, 1, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignRight));
    QCOMPARE(grid.Role(TResultModel::kPriceColumn, 1, TResultModel::FieldTemplateRole).toString(),
             QStringLiteral("000.000,00"));
    // Unknown code: no discount; no thousands separator.
    QCOMPARE(grid.Cell(TResultModel::kNetPriceColumn, 2), QStringLiteral("1234,00"));
    // No price: the data fields are shown as they are, left-aligned.
    QCOMPARE(grid.Cell(TResultModel::kPriceColumn, 3), QString());
    QCOMPARE(grid.Cell(TResultModel::kDiscountCodeColumn, 3), QStringLiteral("10"));
    QCOMPARE(grid.Role(TResultModel::kDiscountCodeColumn, 3, TResultModel::IndentRole).toInt(), 0);
    QCOMPARE(grid.Role(TResultModel::kPriceColumn, 3, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignLeft));
  }

  void unreadablePriceIsReportedAndLeftEmpty() {
    fake::Reset(2);
    fake::S().records[1][4] = "12.5 kr";
    Grid grid;
    QSignalSpy spy(&grid.model, &TResultModel::priceUnreadable);
    grid.model.Repaint();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("12.5 kr"));
    QCOMPARE(grid.Cell(TResultModel::kPriceColumn, 2), QString());
    QCOMPARE(grid.Cell(TResultModel::kNetPriceColumn, 2), QString());
    QCOMPARE(grid.Cell(TResultModel::kPriceColumn, 1), QStringLiteral("0,50"));
  }

  void quantitiesAndMarksFollowTheTop() {
    fake::Reset(20);
    Grid grid;
    grid.quantities.SetForHit(7, 12);
    grid.marking.SetMark(7, true);
    QCOMPARE(grid.Cell(TResultModel::kQuantityColumn, 8), QStringLiteral("12"));
    QCOMPARE(grid.Cell(TResultModel::kQuantityColumn, 1), QStringLiteral("1"));
    QVERIFY(grid.Role(TResultModel::kMarkColumn, 8, TResultModel::MarkedRole).toBool());
    QVERIFY(!grid.Role(TResultModel::kMarkColumn, 7, TResultModel::MarkedRole).toBool());
    grid.view.Top = 6;
    grid.view.Refresh();
    QCOMPARE(grid.Cell(TResultModel::kQuantityColumn, 2), QStringLiteral("12"));
    QVERIFY(grid.Role(TResultModel::kMarkColumn, 2, TResultModel::MarkedRole).toBool());
    QCOMPARE(grid.Cell(TResultModel::kItemTextColumn, 2), QStringLiteral("item 7"));
    // Rows past the last hit have no quantity.
    grid.view.Top = 19;
    grid.view.Refresh();
    QCOMPARE(grid.Cell(TResultModel::kQuantityColumn, 1), QStringLiteral("1"));
    QCOMPARE(grid.Cell(TResultModel::kQuantityColumn, 2), QString());
  }

  void headerRowNamesTheColumns() {
    fake::Reset(1);
    Grid grid;
    QCOMPARE(grid.Cell(TResultModel::kItemTextColumn, 0), QStringLiteral("Varetekst"));
    QCOMPARE(grid.Cell(TResultModel::kQuantityColumn, 0), QStringLiteral("text 7"));
    QCOMPARE(grid.Cell(TResultModel::kEanColumn, 0), QStringLiteral("EAN"));  // blanks trimmed
    QCOMPARE(grid.Cell(TResultModel::kPriceColumn, 0), QStringLiteral("Pris"));
    QCOMPARE(grid.Cell(TResultModel::kDiscountCodeColumn, 0), QStringLiteral("text 67"));
    QCOMPARE(grid.Cell(TResultModel::kNetPriceColumn, 0), QStringLiteral("text 60"));
    QVERIFY(grid.Role(TResultModel::kMarkColumn, 0, TResultModel::MarkedRole).toBool());
    QCOMPARE(grid.Role(TResultModel::kItemTextColumn, 0, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignLeft));
    QCOMPARE(grid.Role(TResultModel::kTypeNumberColumn, 0, Qt::TextAlignmentRole).toInt(),
             int(Qt::AlignHCenter));
  }

  void amountConversionsUseTheComma() {
    double value = 0;
    QVERIFY(TResultModel::ParseAmount(QStringLiteral("12,5"), &value));
    QCOMPARE(value, 12.5);
    QVERIFY(TResultModel::ParseAmount(QStringLiteral("-3"), &value));
    QCOMPARE(value, -3.0);
    QVERIFY(!TResultModel::ParseAmount(QStringLiteral("1.234,5"), &value));
    QVERIFY(!TResultModel::ParseAmount(QString(), &value));
    QCOMPARE(TResultModel::FormatAmount(1234567.891), QStringLiteral("1234567,89"));
    QCOMPARE(TResultModel::FormatAmount(-0.5), QStringLiteral("-0,50"));
  }
};

QTEST_GUILESS_MAIN(ResultModelTest)
#include "tst_resultmodel.moc"
