// The engine wrapper on a stand-in engine: error reporting and its texts, the two
// rewrites, and the Windows-1252 boundary.
#include <QTest>

#include "FakeLodex.h"
#include "LodexKV.h"

class LodexKVTest : public QObject {
  Q_OBJECT

 private:
  QStringList shown_;
  bool answer_cancel_ = false;

  void Watch(TLodexKV& engine) {
    shown_.clear();
    engine.ErrorDialog = [this](const QString& text) {
      shown_.append(text);
      return answer_cancel_;
    };
  }

 private slots:
  void init() {
    fake::Reset(3);
    answer_cancel_ = false;
  }

  void errorTextNamesCallCodeAndName() {
    QCOMPARE(TLodexKV::ErrorText("Search", -102),
             QStringLiteral("Function \"Search\" returned (-102) : ERROR_BadSession\r\n\r\n"
                            "Select OK to continue reporting errors, or CANCEL to stop"));
    QCOMPARE(TLodexKV::ErrorName(-401), QStringLiteral("ERROR_Userbreak"));
    QCOMPARE(TLodexKV::ErrorName(-308), QStringLiteral("ERROR_CreateDebugFile"));
    // Codes outside the program's 27 names.
    QCOMPARE(TLodexKV::ErrorName(-110), QStringLiteral("Unknown error"));
    QCOMPARE(TLodexKV::ErrorName(-130), QStringLiteral("Unknown error"));
    QCOMPARE(TLodexKV::ErrorName(-990), QStringLiteral("Unknown error"));
    QCOMPARE(TLodexKV::ErrorCaption(), QStringLiteral("Warning: Lodex32 returned an error"));
  }

  void failingCallsReportTheirLabelsUntilCancel() {
    TLodexKV engine(fake::Exports());
    Watch(engine);
    fake::S().forced_error = -102;
    QCOMPARE(engine.Search(7), -102);
    QCOMPARE(engine.RestoreBitmap(7, 1), -102);
    QCOMPARE(engine.TableHitCount(7, 0), -102);
    QList<TIndexWord> words;
    QCOMPARE(engine.GetIndexWordsEx(7, 100, 0, 5, 1, words, 5), -102);
    QCOMPARE(shown_.size(), 4);
    QVERIFY(shown_[0].startsWith("Function \"Search\" returned (-102) : ERROR_BadSession"));
    QVERIFY(shown_[1].startsWith("Function \"Restorebitmap\""));
    QVERIFY(shown_[2].startsWith("Function \"TableHitcount\""));
    QVERIFY(shown_[3].startsWith("Function \"GetindexWordsEx\""));
    QVERIFY(engine.ReportErrors);

    answer_cancel_ = true;
    QCOMPARE(engine.HitCount(7), -102);
    QVERIFY(!engine.ReportErrors);
    QCOMPARE(engine.HitCount(7), -102);  // the result is still the engine's
    QCOMPARE(shown_.size(), 5);
  }

  void successfulCallsAndSilentCallsShowNothing() {
    TLodexKV engine(fake::Exports());
    Watch(engine);
    QCOMPARE(engine.HitCount(7), 3);
    QCOMPARE(engine.FetchRecord(7, 1), 0);
    QCOMPARE(engine.GetFieldData(7, 120), QStringLiteral("T1"));
    // A field the base does not have: the engine answers no text.
    QCOMPARE(engine.GetFieldData(7, 999), QString());
    QVERIFY(shown_.isEmpty());
  }

  void locateTurnsNoSuchWordIntoFirstWord() {
    fake::S().words = {"A", "B", "C"};
    TLodexKV engine(fake::Exports());
    Watch(engine);
    QCOMPARE(engine.LocateIndexWord(7, 100, "b", 1), 1);
    QCOMPARE(engine.LocateIndexWord(7, 100, "d", 1), 0);
    QVERIFY(shown_.isEmpty());
    fake::S().forced_error = -103;
    QCOMPARE(engine.LocateIndexWord(7, 100, "a", 1), -103);
    QCOMPARE(shown_.size(), 1);
    QVERIFY(shown_[0].startsWith("Function \"LocateIndexWord\" returned (-103) : ERROR_BadField"));
  }

  void tableFirstHitSkipsAllTablesAndTableZero() {
    TLodexKV engine(fake::Exports());
    QCOMPARE(engine.TableFirstHit(7, -1), 0);
    QCOMPARE(engine.TableFirstHit(7, 0), 0);
    QCOMPARE(fake::S().table_first_hit_calls, 0);
    engine.TableFirstHit(7, 2);
    QCOMPARE(fake::S().table_first_hit_calls, 1);
  }

  void textsCrossInWindows1252() {
    QCOMPARE(TLodexKV::ToEngineText(QStringLiteral("Hæklet ø € 5")),
             QByteArray("H\xe6klet \xf8 \x80 5"));
    QCOMPARE(TLodexKV::FromEngineText("Kabel \xc6\xd8\xc5 \x96"),
             QStringLiteral("Kabel ÆØÅ –"));
    QCOMPARE(TLodexKV::FromEngineText(nullptr), QString());
    // The engine's text buffers hold 255 bytes.
    QCOMPARE(TLodexKV::ToEngineText(QString(300, QChar(u'å'))).size(), 255);

    TLodexKV engine(fake::Exports());
    engine.SearchConditions(7, 100, QStringLiteral("stikkontakt hvid ½"), 0);
    QCOMPARE(fake::S().last_text, std::string("stikkontakt hvid \xbd"));
  }

  void indexWordsAreDecodedAndBoundedByTheCount() {
    fake::S().words = {"AFBRYDER", "KABEL", "STIK\xd8"};
    TLodexKV engine(fake::Exports());
    QList<TIndexWord> words;
    QCOMPARE(engine.GetIndexWordsEx(7, 100, 1, 5, 1, words, 5), 2);
    QCOMPARE(words.size(), 2);
    QCOMPARE(words[0].Word, QStringLiteral("KABEL"));
    QCOMPARE(words[0].Count, 2);
    QCOMPARE(words[1].Word, QStringLiteral("STIKØ"));
    QCOMPARE(engine.GetIndexWordsEx(7, 100, 0, 0, 1, words, 0), 0);
    QVERIFY(words.isEmpty());
  }

  void openedBaseIsTheOneCounted() {
    fake::S().open_result = 3;
    TLodexKV engine(fake::Exports());
    QCOMPARE(engine.OpenBase(QStringLiteral("/data/kat\u00e6"), "/tmp/x", 0), 3);
    QCOMPARE(fake::S().last_text, std::string("/data/kat\xe6"));
    QCOMPARE(engine.DatafieldCount(), 6);
  }

  // A table without the sort and schema-flag exports answers ERROR_NotImplemented
  // (reported like any engine error), and "no such sort field" is no error.
  void missingExportsAnswerNotImplemented() {
    TLodexKV engine(fake::Exports());
    Watch(engine);
    QCOMPARE(engine.Sort(7), -400);
    QCOMPARE(shown_.size(), 1);
    QVERIFY(shown_[0].startsWith(QStringLiteral("Function \"Sort\" returned (-400) : ERROR_NotImplemented")));
    QVERIFY(!engine.DatafieldIsPublished(0, 0));

    LodexExports api = fake::Exports();
    api.SortfieldIndex = [](int32_t, int32_t number) { return number == 180 ? 1 : -1; };
    TLodexKV sorting(api);
    Watch(sorting);
    QCOMPARE(sorting.SortfieldIndex(0, 180), 1);
    QCOMPARE(sorting.SortfieldIndex(0, 120), -1);
    QVERIFY(shown_.isEmpty());
  }
};

QTEST_GUILESS_MAIN(LodexKVTest)
#include "tst_lodexkv.moc"
