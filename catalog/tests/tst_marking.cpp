// The mark set: ordering, ranges, the 32000 limit, and lookups from the cursor
// compared with an ordinary ordered set; and the quantity per hit.
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>
#include <set>

#include "Marking.h"
#include "QuantityTable.h"

class MarkingTest : public QObject {
  Q_OBJECT

 private:
  static QList<int32_t> All(const TMarking& marks) {
    QList<int32_t> items;
    for (int32_t i = 0; i < marks.Count(); ++i) items << marks.Get(i);
    return items;
  }

 private slots:
  void marksStayOrderedWithoutDuplicates() {
    TMarking marks;
    marks.SetMark(9, true);
    marks.SetMark(2, true);
    marks.SetMark(9, true);
    marks.SetRange(5, 2, true);
    QCOMPARE(All(marks), (QList<int32_t>{2, 3, 4, 5, 9}));
    marks.Toggle(4);
    marks.Toggle(7);
    QCOMPARE(All(marks), (QList<int32_t>{2, 3, 5, 7, 9}));
    marks.SetMark(8, false);  // not marked: nothing changes
    marks.SetRange(9, 5, false);
    QCOMPARE(All(marks), (QList<int32_t>{2, 3}));
    QVERIFY(marks.IsMarked(3));
    QVERIFY(!marks.IsMarked(4));
    QCOMPARE(marks.Get(2), -1);
    QCOMPARE(marks.Get(-1), -1);
    marks.Clear();
    QCOMPARE(marks.Count(), 0);
    QVERIFY(!marks.IsMarked(2));
  }

  void limitRefusesNewMarksButNotUnmarking() {
    TMarking marks;
    marks.SetRange(0, 99999, true);
    QCOMPARE(marks.Count(), TMarking::kLimit + 1);
    QCOMPARE(marks.Get(marks.Count() - 1), TMarking::kLimit);
    marks.SetMark(-5, true);
    QVERIFY(!marks.IsMarked(-5));
    marks.SetMark(10, false);
    QCOMPARE(marks.Count(), TMarking::kLimit);
    marks.SetMark(10, true);  // room again for one
    QVERIFY(marks.IsMarked(10));
    marks.SetMark(50000, true);
    QVERIFY(!marks.IsMarked(50000));
  }

  void lookupsFromAnyCursorAgreeWithAnOrderedSet() {
    QRandomGenerator random(17);
    TMarking marks;
    std::set<int32_t> reference;
    for (int step = 0; step < 20000; ++step) {
      const int32_t hit = random.bounded(0, 400);
      switch (random.bounded(4)) {
        case 0: marks.SetMark(hit, true); reference.insert(hit); break;
        case 1: marks.SetMark(hit, false); reference.erase(hit); break;
        case 2:
          marks.Toggle(hit);
          if (!reference.erase(hit)) reference.insert(hit);
          break;
        default: {
          const auto it = reference.lower_bound(hit);
          QCOMPARE(marks.Find(hit), static_cast<int32_t>(std::distance(reference.begin(), it)));
        }
      }
      QCOMPARE(marks.IsMarked(hit), reference.count(hit) == 1);
    }
    QCOMPARE(All(marks), QList<int32_t>(reference.begin(), reference.end()));
  }

  void quantitiesStopAtHit59999() {
    TQuantityTable quantities;
    QVERIFY(quantities.SetForHit(0, 4));
    QVERIFY(quantities.SetForHit(59999, 12));
    QVERIFY(!quantities.SetForHit(60000, 5));  // no entry: refused, not written past the end
    QVERIFY(!quantities.SetForHit(-1, 5));
    QCOMPARE(quantities.ForHit(0), 4);
    QCOMPARE(quantities.ForHit(59999), 12);
    QCOMPARE(quantities.ForHit(60000), 1);
    QCOMPARE(quantities.ForHit(1), 1);
    quantities.SetForHit(1, -5);
    QCOMPARE(quantities.ForHit(1), 1);
    quantities.Reset();
    QCOMPARE(quantities.ForHit(59999), 1);
  }

  // A sort moves quantities with their products, also onto hits without an entry.
  void movedQuantitiesAreKeptBeyondTheEntries() {
    TQuantityTable quantities;
    quantities.SetForHit(3, 7);
    quantities.Place(70000, 4);
    quantities.Place(5, 2);
    quantities.Place(80000, 1);  // a quantity of 1 is no choice to keep
    QCOMPARE(quantities.ForHit(70000), 4);
    QCOMPARE(quantities.ForHit(80000), 1);
    QVERIFY(!TQuantityTable::HasEntry(70000));  // the editor still refuses the hit
    auto chosen = quantities.Chosen();
    std::sort(chosen.begin(), chosen.end());
    QCOMPARE(chosen, (QList<std::pair<int32_t, int32_t>>{{3, 7}, {5, 2}, {70000, 4}}));
    quantities.Reset();
    QCOMPARE(quantities.ForHit(70000), 1);
    QVERIFY(quantities.Chosen().isEmpty());
  }
};

QTEST_GUILESS_MAIN(MarkingTest)
#include "tst_marking.moc"
