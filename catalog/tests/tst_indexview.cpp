// The suggestion page: positioning at a typed text, padding, and the length limits.
#include <QTest>

#include "FakeLodex.h"
#include "IndexView.h"
#include "LodexKV.h"

class IndexViewTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    fake::Reset();
    fake::S().words = {"AFBRYDER", "KABEL", "KABELBAKKE", "LAMPE", "STIK"};
  }

  void pagePositionsAtTheTypedTextAndPads() {
    TLodexKV engine(fake::Exports());
    TIndexView view(engine, 7, 0);
    QCOMPARE(view.Lines.size(), 10);
    QCOMPARE(view.Lines[0], QStringLiteral("AFBRYDER|1"));
    QCOMPARE(view.Lines[9], QStringLiteral("|"));

    view.ShowCounts = false;
    view.PageLength = 4;
    view.SetWantedWord(QStringLiteral("kab"));
    view.Refresh();
    QCOMPARE(view.Lines, (QStringList{"KABEL", "KABELBAKKE", "LAMPE", "STIK"}));
    QCOMPARE(view.Top(), 1);
    QCOMPARE(view.WantedWord(), QStringLiteral("KABEL"));

    view.SetWantedWord(QStringLiteral("st"));
    view.Refresh();
    QCOMPARE(view.Lines, (QStringList{"STIK", "", "", ""}));
    // Past the last word the engine finds none; the page starts at the first word.
    view.SetWantedWord(QStringLiteral("zz"));
    view.Refresh();
    QCOMPARE(view.Lines[0], QStringLiteral("AFBRYDER"));
  }

  void unchangedTextDoesNotLocateAgain() {
    TLodexKV engine(fake::Exports());
    TIndexView view(engine, 7, 0);
    view.SetWantedWord(QStringLiteral("LAMPE"));
    view.Refresh();
    const int locates = fake::S().locate_calls;
    view.SetWantedWord(QStringLiteral("LAMPE|4"));  // the page's first line, counts shown
    view.Refresh();
    QCOMPARE(fake::S().locate_calls, locates);
    view.PageLength = 2;  // a new length reloads from the same top
    view.Refresh();
    QCOMPARE(fake::S().locate_calls, locates);
    QCOMPARE(view.Lines, (QStringList{"LAMPE|4", "STIK|5"}));
  }

  void longTextsAndLongPagesAreBounded() {
    TLodexKV engine(fake::Exports());
    TIndexView view(engine, 7, 0);
    view.SetWantedWord(QString(300, QLatin1Char('k')));
    QCOMPARE(view.WantedWord().size(), 128);
    view.Refresh();
    QCOMPARE(fake::S().last_text, std::string(128, 'k'));

    fake::S().words.clear();
    for (int i = 0; i < 300; ++i) fake::S().words.push_back(QString::asprintf("W%03d", i).toStdString());
    view.PageLength = 200;
    view.SetWantedWord(QStringLiteral("w"));
    view.Refresh();
    QCOMPARE(view.Lines.size(), 200);
    QCOMPARE(view.Lines[127], QStringLiteral("W127|128"));
    QCOMPARE(view.Lines[128], QStringLiteral("|"));
  }

  void engineErrorGivesAnEmptyPage() {
    TLodexKV engine(fake::Exports());
    engine.ReportErrors = false;
    TIndexView view(engine, 7, 0);
    view.ShowCounts = false;
    fake::S().forced_error = -102;
    view.SetWantedWord(QStringLiteral("kabel"));
    view.Refresh();
    QCOMPARE(view.Lines, QStringList(10, QString()));
  }
};

QTEST_GUILESS_MAIN(IndexViewTest)
#include "tst_indexview.moc"
