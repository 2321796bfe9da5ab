// The result page against a stand-in engine: which hits each refresh fetches and
// what the grid then reads.
#include <QTest>

#include "FakeLodex.h"
#include "LodexKV.h"
#include "ResultView.h"

class ResultViewTest : public QObject {
  Q_OBJECT

 private:
  // A view as the program sets it up: table 0, page of 15 lines, refreshed once.
  static std::unique_ptr<TResultView> ProgramView(TLodexKV& engine) {
    auto view = std::make_unique<TResultView>(engine, 7, 0);
    view->PageLength = 15;
    view->Top = 0;
    view->Table = 0;
    view->Refresh();
    return view;
  }

  static QStringList ItemTexts(const TResultView& view) {
    QStringList texts;
    for (int row = 1; row < view.PageLength; ++row) texts << view.CellText(0, row);
    return texts;
  }

 private slots:
  void threeHitsFillThreeLines() {
    fake::Reset(3);
    TLodexKV engine(fake::Exports());
    auto view = ProgramView(engine);
    QCOMPARE(view->HitTotal(), 3);
    QCOMPARE(view->LastHit(), 2);
    QCOMPARE(fake::S().fetches, 3);
    QCOMPARE(view->CellText(0, 0), QStringLiteral("Varetekst"));
    QCOMPARE(view->CellText(0, 1), QStringLiteral("item 0"));
    QCOMPARE(view->CellText(1, 3), QStringLiteral("T2"));
    QCOMPARE(view->CellText(4, 3), QStringLiteral("2,5"));
    // Beyond the last hit the grid reads empty cells, also beyond the columns.
    QCOMPARE(view->CellText(0, 4), QString());
    QCOMPARE(view->CellText(0, 14), QString());
    QCOMPARE(view->CellText(6, 1), QString());
    QCOMPARE(view->CellText(-1, 1), QString());
    QCOMPARE(view->CellText(0, -1), QString());
  }

  void scrollingOneLineCostsOneFetch() {
    fake::Reset(20);
    TLodexKV engine(fake::Exports());
    auto view = ProgramView(engine);
    QCOMPARE(fake::S().fetches, 15);
    view->Top = 1;
    view->Refresh();
    QCOMPARE(fake::S().fetches, 16);
    QCOMPARE(fake::S().current, 15);
    QCOMPARE(view->CellText(0, 1), QStringLiteral("item 1"));
    QCOMPARE(view->CellText(0, 14), QStringLiteral("item 14"));
    QCOMPARE(view->CellText(2, 15 - 1), QStringLiteral("E14"));

    view->Top = 0;  // and back up: one fetch, hit 0
    view->Refresh();
    QCOMPARE(fake::S().fetches, 17);
    QCOMPARE(fake::S().current, 0);
    QCOMPARE(view->CellText(0, 1), QStringLiteral("item 0"));
  }

  void shiftedPagesMatchAFreshLoad() {
    fake::Reset(40);
    TLodexKV engine(fake::Exports());
    auto view = ProgramView(engine);
    for (int top : {3, 5, 2, 15, 14, 26, 25, 39, 38, 0}) {
      view->Top = top;
      view->Refresh();
      QStringList expected;
      for (int row = 1; row < 15; ++row) {
        const int hit = top + row - 1;
        expected << (hit < 40 ? QStringLiteral("item %1").arg(hit) : QString());
      }
      QCOMPARE(ItemTexts(*view), expected);
    }
  }

  void farMovesReloadTheWholePage() {
    fake::Reset(60);
    TLodexKV engine(fake::Exports());
    auto view = ProgramView(engine);
    fake::S().fetches = 0;
    view->Top = 13;  // 13 < 14: shifted
    view->Refresh();
    QCOMPARE(fake::S().fetches, 13);
    fake::S().fetches = 0;
    view->Top = 27;  // 14 >= 14: reloaded
    view->Refresh();
    QCOMPARE(fake::S().fetches, 15);
    QCOMPARE(view->CellText(0, 1), QStringLiteral("item 27"));
    fake::S().fetches = 0;
    view->Refresh();  // nothing changed
    QCOMPARE(fake::S().fetches, 0);
  }

  void resizingLoadsOrDropsTheTail() {
    fake::Reset(30);
    TLodexKV engine(fake::Exports());
    auto view = ProgramView(engine);
    fake::S().fetches = 0;
    view->PageLength = 20;
    view->Refresh();
    QCOMPARE(fake::S().fetches, 5);
    QCOMPARE(view->CellText(0, 19), QStringLiteral("item 18"));
    view->PageLength = 4;
    view->Refresh();
    QCOMPARE(fake::S().fetches, 5);
    QCOMPARE(view->CellText(0, 3), QStringLiteral("item 2"));
    QCOMPARE(view->CellText(0, 4), QString());
    // Top and length together: a full reload.
    view->PageLength = 6;
    view->Top = 10;
    view->Refresh();
    QCOMPARE(fake::S().fetches, 11);
    QCOMPARE(view->CellText(0, 1), QStringLiteral("item 10"));
  }

  void newSearchReloadsFromTheInvalidatedView() {
    fake::Reset(20);
    TLodexKV engine(fake::Exports());
    auto view = ProgramView(engine);
    fake::Reset(2);
    view->Invalidate();
    view->Refresh();
    QCOMPARE(view->HitTotal(), 2);
    QCOMPARE(view->CellText(0, 2), QStringLiteral("item 1"));
    QCOMPARE(view->CellText(0, 3), QString());
  }

  void changingTheTableStartsAtItsTop() {
    fake::Reset(20);
    TLodexKV engine(fake::Exports());
    auto view = ProgramView(engine);
    view->Top = 5;
    view->Refresh();
    view->Table = -1;
    view->Top = 9;
    view->Refresh();
    QCOMPARE(view->Top, 0);
    QCOMPARE(view->CellText(0, 1), QStringLiteral("item 0"));
  }

  void engineErrorsGiveEmptyLines() {
    fake::Reset(5);
    TLodexKV engine(fake::Exports());
    engine.ReportErrors = false;
    auto view = ProgramView(engine);
    fake::S().forced_error = -102;
    view->Invalidate();
    view->Refresh();
    QCOMPARE(view->HitTotal(), -102);
    QCOMPARE(view->CellText(0, 1), QString());
  }

  void baseWithoutFieldsIsRefused() {
    fake::Reset(5);
    fake::S().open_result = -300;  // nothing opened: the data-field count fails
    TLodexKV engine(fake::Exports());
    engine.ReportErrors = false;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, TResultView(engine, 7, 0));
  }
};

QTEST_GUILESS_MAIN(ResultViewTest)
#include "tst_resultview.moc"
