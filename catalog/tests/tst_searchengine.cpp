// The wrapper, the views and the combined search against the real engine, on a small
// catalogue base built for the test.
#include <QTest>

#include "DemoBase.h"
#include "EngineStartup.h"
#include "SearchQuery.h"

namespace {

// The cables and sockets, and a cable of another table.
QList<TDemoProduct> Products() {
  QList<TDemoProduct> products =
      CablesAndSockets(QStringLiteral("10"), QStringLiteral("10"), QStringLiteral("20"));
  products.append({QStringLiteral("Installationskabel sort"), QStringLiteral("IKOLD"),
                   QStringLiteral("30 000 01"), QString(), QStringLiteral("5"),
                   QStringLiteral("10"), QStringLiteral("UDGÅEDE VARER")});
  return products;
}

}  // namespace

class SearchEngineTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TDemoBase> base_;
  TEngineState state_;

  int32_t Search(const QString& item, const QString& type = QString(),
                 const QString& el = QString(), const QString& ean = QString()) {
    return RunSearch(state_, {ItemTextQuery(item), type, el, ean});
  }
  QString ItemText(int row) const { return state_.ResultView->CellText(0, row); }

 private slots:
  void initTestCase() {
    base_ = std::make_unique<TDemoBase>(Products());
    QVERIFY2(!base_->Path().isEmpty(), qPrintable(base_->Error()));
    QVERIFY(StartEngine(state_, base_->Path()));
  }

  void eachFieldFindsItsProducts() {
    QCOMPARE(Search(QStringLiteral("stikkontakt")), 2);
    QCOMPARE(ItemText(1), QStringLiteral("Stikkontakt AB-CD hvid"));
    QCOMPARE(Search(QString(), QStringLiteral("sk2")), 1);
    QCOMPARE(state_.ResultView->CellText(1, 1), QStringLiteral("SK2"));
    QCOMPARE(Search(QString(), QString(), QStringLiteral("2000001")), 1);
    QCOMPARE(Search(QString(), QString(), QString(), QStringLiteral("5722222222222")), 1);
    QCOMPARE(state_.ResultView->CellText(1, 1), QStringLiteral("SK2"));
  }

  void filledFieldsAreAnded() {
    QCOMPARE(Search(QStringLiteral("stikkontakt"), QString(), QString(),
                    QStringLiteral("5711111111111")), 1);
    QCOMPARE(state_.ResultView->CellText(1, 1), QStringLiteral("SK1"));
    QCOMPARE(Search(QStringLiteral("hvid"), QStringLiteral("sk2")), 0);
    QCOMPARE(Search(QString(), QStringLiteral("ik005"), QString(), QStringLiteral("5700000000005")), 1);
  }

  void hyphenatedItemTextIsOnePhrase() {
    // As a range ab-c*d would reach from AB to every word beginning with C.
    QCOMPARE(Search(QStringLiteral("ab-c*d")), 1);
    QCOMPARE(state_.ResultView->CellText(1, 1), QStringLiteral("SK1"));
    QCOMPARE(Search(QStringLiteral("ab*")), 2);
  }

  void allEmptyGivesNoHits() {
    QCOMPARE(Search(QStringLiteral("installations*")), 21);
    QCOMPARE(Search(QString()), 0);
    QCOMPARE(state_.ResultView->HitTotal(), 0);
    QCOMPARE(ItemText(1), QString());
    QCOMPARE(state_.ResultView->CellText(0, 0), QStringLiteral("Varetekst"));
  }

  void pagesCoverTheFirstTable() {
    // 21 hits in all, 20 of them in the first table, which the grid shows.
    QCOMPARE(Search(QStringLiteral("installationskabel")), 21);
    TResultView& view = *state_.ResultView;
    QCOMPARE(view.HitTotal(), 20);
    QCOMPARE(state_.ResultView->CellText(1, 1), QStringLiteral("IK000"));
    view.Top = 1;
    view.Refresh();
    QCOMPARE(view.CellText(1, 14), QStringLiteral("IK014"));
    view.Top = 6;
    view.Refresh();
    QCOMPARE(view.CellText(1, 1), QStringLiteral("IK006"));
    QCOMPARE(view.CellText(1, 14), QStringLiteral("IK019"));
    QCOMPARE(view.CellText(4, 14), QStringLiteral("19,50"));
    QCOMPARE(view.CellText(5, 14), QStringLiteral("10"));
  }

  void suggestionsStartAtTheTypedText() {
    TIndexView& index = *state_.IndexView;
    index.PageLength = 100;
    index.SearchField = 100;
    index.SetWantedWord(QStringLiteral("stik"));
    index.Refresh();
    QCOMPARE(index.Lines.size(), 100);
    QCOMPARE(index.Lines[0], QStringLiteral("STIKKONTAKT"));
    QVERIFY(index.Lines.indexOf(QStringLiteral("SORT")) < 0);  // before STIK
    QCOMPARE(index.Lines.last(), QString());
  }

  void badSessionIsNamedInTheErrorText() {
    TLodexKV engine;
    QString shown;
    engine.ErrorDialog = [&shown](const QString& text) {
      shown = text;
      return false;
    };
    QCOMPARE(engine.Search(state_.Session + 1000), -102);
    QVERIFY2(shown.startsWith(QStringLiteral(
                 "Function \"Search\" returned (-102) : ERROR_BadSession\r\n\r\n")),
             qPrintable(shown));
    QCOMPARE(engine.HitCount(state_.Session), state_.Engine->HitCount(state_.Session));
  }
};

QTEST_GUILESS_MAIN(SearchEngineTest)
#include "tst_searchengine.moc"
