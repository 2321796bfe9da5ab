// The combined search's sequence of engine calls on a stand-in engine, and the
// item text's phrase rule.
#include <QFileInfo>
#include <QTest>

#include "EngineStartup.h"
#include "FakeLodex.h"
#include "SearchQuery.h"

class SearchQueryTest : public QObject {
  Q_OBJECT

 private:
  static std::vector<std::string> Calls() { return fake::S().calls; }

 private slots:
  void hyphenMakesAPhraseWithoutAsterisks() {
    QCOMPARE(ItemTextQuery(QStringLiteral("ab-c*d")), QStringLiteral("\"ab-cd\""));
    QCOMPARE(ItemTextQuery(QStringLiteral("  ab* ")), QStringLiteral("ab*"));
    QCOMPARE(ItemTextQuery(QStringLiteral("*-*")), QStringLiteral("\"-\""));
    QCOMPARE(ItemTextQuery(QStringLiteral("   ")), QString());
  }

  void searchesEachFilledFieldAndAndsTheSlots() {
    fake::Reset(5);
    TEngineState state;
    QVERIFY(StartEngine(state, QStringLiteral("/base"), fake::Exports()));
    state.Marking->SetMark(2, true);
    state.Quantities.SetForHit(2, 9);
    fake::S().calls.clear();

    QCOMPARE(RunSearch(state, {QString(), QStringLiteral("T1"), QString(), QStringLiteral("57")}), 5);
    QCOMPARE(Calls(), (std::vector<std::string>{
                          "Conditions(120,T1,0)", "Search", "Store(2)",
                          "Conditions(160,57,0)", "Search", "Store(4)", "And(2,2,4)",
                          "Restore(2)", "Store(1)", "Restore(1)"}));
    QCOMPARE(state.Marking->Count(), 0);
    QCOMPARE(state.Quantities.ForHit(2), 1);
    QCOMPARE(state.ResultView->HitTotal(), 5);

    fake::S().calls.clear();
    QCOMPARE(RunSearch(state, {QStringLiteral("kabel"), QString(), QStringLiteral("E2"), QString()}), 5);
    QCOMPARE(Calls(), (std::vector<std::string>{
                          "Conditions(100,kabel,0)", "Search", "Store(1)",
                          "Conditions(140,E2,0)", "Search", "Store(3)", "And(1,1,3)",
                          "Restore(1)"}));
  }

  void allEmptyClearsTheResult() {
    fake::Reset(5);
    TEngineState state;
    QVERIFY(StartEngine(state, QStringLiteral("/base"), fake::Exports()));
    fake::S().calls.clear();
    QCOMPARE(RunSearch(state, {}), 0);
    QCOMPARE(Calls(), (std::vector<std::string>{"Clear(0)"}));
  }

  void failedSearchEmptiesTheResultAndAnswersItsCode() {
    fake::Reset(5);
    TEngineState state;
    QVERIFY(StartEngine(state, QStringLiteral("/base"), fake::Exports()));
    fake::S().calls.clear();
    fake::S().search_result = -401;
    QCOMPARE(RunSearch(state, {QStringLiteral("*bel"), QStringLiteral("T1"), QString(), QString()}), -401);
    QCOMPARE(Calls(), (std::vector<std::string>{"Conditions(100,*bel,0)", "Search", "Clear(0)"}));
  }

  void startupFailsWithoutABase() {
    fake::Reset(5);
    fake::S().open_result = -300;
    TEngineState state;
    QVERIFY(!StartEngine(state, QStringLiteral("/missing"), fake::Exports()));
    QVERIFY(!state.IsStarted());
    QVERIFY(!state.TempDir);
  }

  void startupPreparesTheViews() {
    fake::Reset(20);
    fake::S().words = {"KABEL"};
    TEngineState state;
    QVERIFY(StartEngine(state, QStringLiteral("/base"), fake::Exports()));
    QVERIFY(!state.Engine->ReportErrors);
    QCOMPARE(state.Session, 7);
    QCOMPARE(state.ResultView->PageLength, 15);
    QCOMPARE(state.ResultView->Table, 0);
    QCOMPARE(state.ResultView->CellText(0, 14), QStringLiteral("item 13"));
    QVERIFY(!state.IndexView->ShowCounts);
    // The engine's temporary folder is private to this run and goes with the state.
    const QString temp = state.TempDir->Path();
    QVERIFY(QFileInfo(temp).isDir());
    QCOMPARE(QFileInfo(temp).permissions() & (QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
    state.TempDir.reset();
    QVERIFY(!QFileInfo::exists(temp));
  }
};

QTEST_GUILESS_MAIN(SearchQueryTest)
#include "tst_searchquery.moc"
