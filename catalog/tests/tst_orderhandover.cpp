// Taking marked hits over into the order list, against a stand-in engine and against the
// real engine on a small built base.
#include <QTest>

#include "DemoBase.h"
#include "DiscountCodes.h"
#include "EngineStartup.h"
#include "FakeLodex.h"
#include "Marking.h"
#include "OrderHandOver.h"
#include "OrderModel.h"
#include "QuantityTable.h"
#include "SearchQuery.h"

using namespace order;

class OrderHandOverTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // The stand-in's records all carry the discount code "10": 10 percent here.
    RabatKoder.LoadFromBytes("Rabatkoder\r\n10\t10\r\n20\t25\r\n");
  }

  void init() {
    fake::Reset(5);
    engine_ = std::make_unique<TLodexKV>(fake::Exports());
    engine_->ReportErrors = false;
    marking_ = TMarking();
    quantities_.Reset();
  }

  void markedHitsBecomeLinesInHitOrderWithTheirQuantities() {
    marking_.Toggle(3);
    marking_.Toggle(1);
    quantities_.SetForHit(1, 4);
    TOrderGridModel order;
    const HandOverResult result =
        HandOverMarkedHits(*engine_, fake::S().session, marking_, quantities_, order);
    QCOMPARE(result.marked, 2);
    QCOMPARE(result.handed_over, 2);
    QCOMPARE(order.PackedLineCount(), 2);
    QCOMPARE(order.Cell(0, kItemTextColumn), QString("item 1"));
    QCOMPARE(order.Cell(0, kQuantityColumn), QString("4"));
    QCOMPARE(order.Cell(0, kTypeNumberColumn), QString("T1"));
    QCOMPARE(order.Cell(0, kElNumberColumn), QString("E1"));
    QCOMPARE(order.Cell(0, kEanColumn), QString("571"));
    QCOMPARE(order.Cell(0, kUnitPriceColumn), QString("1,5"));
    QCOMPARE(order.Cell(0, kDiscountCodeColumn), QString("10"));
    QCOMPARE(order.Cell(0, kGrossColumn), QString("6,00"));   // two decimals
    QCOMPARE(order.Cell(0, kNetColumn), QString("5,40"));
    QCOMPARE(order.Cell(1, kItemTextColumn), QString("item 3"));
    QCOMPARE(order.Cell(1, kQuantityColumn), QString("1"));

    // The same hits again add to the lines' quantities.
    HandOverMarkedHits(*engine_, fake::S().session, marking_, quantities_, order);
    QCOMPARE(order.PackedLineCount(), 2);
    QCOMPARE(order.Cell(0, kQuantityColumn), QString("8"));
  }

  void hitsWithoutQuantityEntryGoOverWithOne() {
    fake::Reset(TQuantityTable::kFirstHitWithout + 2);
    const int32_t last = TQuantityTable::kFirstHitWithout + 1;
    marking_.Toggle(last);
    QVERIFY(!quantities_.SetForHit(last, 7));
    TOrderGridModel order;
    HandOverMarkedHits(*engine_, fake::S().session, marking_, quantities_, order);
    QCOMPARE(order.Cell(0, kItemTextColumn), QString("item %1").arg(last));
    QCOMPARE(order.Cell(0, kQuantityColumn), QString("1"));
  }

  void failedFetchStopsAndUnmarksWhatWasTakenOver() {
    marking_.Toggle(1);
    marking_.Toggle(2);
    marking_.Toggle(9);  // no such record: the fetch fails
    int pauses = 0;
    TOrderGridModel order;
    const HandOverResult result = HandOverMarkedHits(*engine_, fake::S().session, marking_,
                                                     quantities_, order, [&] { ++pauses; });
    QVERIFY(!result.complete());
    QCOMPARE(result.handed_over, 2);
    QCOMPARE(pauses, 3);
    QCOMPARE(order.PackedLineCount(), 2);
    QCOMPARE(marking_.Count(), 1);
    QCOMPARE(marking_.Get(0), 9);
  }

  void handsOverFoundProductsFromABuiltBase() {
    TDemoBase base({{"Stikkontakt 1-fag hvid", "SK100", "20 000 01", "5711111111111", "38,75", "10"},
                    {"Afbryder 1-pol hvid", "AF100", "30 000 01", "5733333333333", "45", "10"},
                    {"Stikkontakt 2-fag hvid", "SK200", "20 000 02", "5722222222222", "52,4", "20"}});
    QVERIFY2(!base.Path().isEmpty(), qPrintable(base.Error()));
    TEngineState state;
    QVERIFY(StartEngine(state, base.Path()));
    QCOMPARE(RunSearch(state, {ItemTextQuery("stikkontakt"), {}, {}, {}}), 2);
    state.Marking->Toggle(0);
    state.Marking->Toggle(1);
    state.Quantities.SetForHit(1, 3);

    TOrderGridModel order;
    const HandOverResult result = HandOverMarkedHits(*state.Engine, state.Session,
                                                     *state.Marking, state.Quantities, order);
    QVERIFY(result.complete());
    QCOMPARE(order.PackedLineCount(), 2);
    QCOMPARE(order.SavedLines()[0],
             (OrderFields{"Stikkontakt 1-fag hvid", "1", "SK100", "20 000 01", "5711111111111",
                          "38,75", "34,88", "38,75", "10"}));
    QCOMPARE(order.SavedLines()[1],
             (OrderFields{"Stikkontakt 2-fag hvid", "3", "SK200", "20 000 02", "5722222222222",
                          "157,20", "117,90", "52,4", "20"}));
  }

 private:
  std::unique_ptr<TLodexKV> engine_;
  TMarking marking_;
  TQuantityTable quantities_;
};

QTEST_GUILESS_MAIN(OrderHandOverTest)
#include "tst_orderhandover.moc"
