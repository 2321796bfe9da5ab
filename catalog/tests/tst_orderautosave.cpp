// The order list kept on disk: a writer killed at random moments never leaves a partial
// file, the list comes back at the next start, a damaged copy is kept aside, and ending the
// program with a list in no file of the user's asks Save / Discard / Cancel.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "Cp1252.h"
#include "TestTextTable.h"
#include "DiscountCodes.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "OrderAutosave.h"
#include "OrderFile.h"
#include "TestFiles.h"
#include "TextTable.h"
#include "UnitOrder.h"
#include "UnitTemplate.h"
#include "UnsavedQuestion.h"

using namespace order;

namespace {

// List number g holds LinesOf(g) lines; every line carries g in its electrical number and
// its own index in its type number, so a file that is not one whole list shows it.
int LinesOf(int generation) { return 40 + generation * 37 % 400; }

std::vector<OrderFields> ListOf(int generation) {
  std::vector<OrderFields> lines;
  for (int i = 0; i < LinesOf(generation); ++i) {
    lines.push_back({QStringLiteral("Kabel; \"Ø\" %1").arg(i), QString::number(i % 999 + 1),
                     QString::number(i), QString::number(generation), "5700000000001", "12,30",
                     "11,07", "12,3", "A1"});
  }
  return lines;
}

// The generation of a whole list, or -1 (with the reason in *why) when the lines are not
// exactly list number g.
int GenerationOf(const std::vector<OrderFields>& lines, QString* why) {
  if (lines.empty()) {
    *why = "no lines";
    return -1;
  }
  const int generation = lines[0][3].toInt();
  if (static_cast<int>(lines.size()) != LinesOf(generation)) {
    *why = QString("%1 lines of list %2").arg(lines.size()).arg(generation);
    return -1;
  }
  const std::vector<OrderFields> expected = ListOf(generation);
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    if (lines[i] != expected[i]) {
      *why = QString("line %1 of list %2 differs").arg(i + 1).arg(generation);
      return -1;
    }
  }
  return generation;
}

// The killed writer (a forked copy of this test): takes the list left in the folder, as
// the program does at start, says so through `ready`, then writes ever newer lists.
int RunWriter(const QString& folder, int ready) {
  TOrderGridModel model;
  TOrderAutosave autosave(model, folder);
  int generation = 0;
  if (autosave.Restore().kind == TOrderAutosave::RestoreResult::kRestored) {
    QString why;
    generation = GenerationOf(model.SavedLines(), &why);
    if (generation < 0) return 3;
  }
  if (::write(ready, "r", 1) != 1) return 4;
  for (;;) {
    model.ReplaceLines(ListOf(++generation));
    if (!autosave.WriteNow()) return 2;
  }
}

QByteArray TextTableBytes() {
  const QMap<int, QString> texts = {{2, "Afslut"},
                                    {54, "Vil du afslutte?"},
                                    {66, "Filen er tom."},
                                    {180, "Hentet: %1 linier."},
                                    {181, "Ulæselig (%1), lagt til side som %2."},
                                    {182, "linie %1"},
                                    {183, "Kan ikke gemme %1: %2"},
                                    {187, "Gemme?"}};
  return NumberedTextTable(texts);
}

}  // namespace

class OrderAutosaveTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    UseCommaDecimalSeparator();
    TextTable = std::make_unique<TTextTable>();
    TextTable->LoadFromBytes(TextTableBytes());
    RabatKoder.LoadFromBytes("Rabatkoder\r\nA1\t10\r\n");
    SetMessageHandler([this](MessageKind, const QString& text) { messages_ << text; });
    SetQuestionHandler([this](const QString& text) {
      questions_ << text;
      return true;
    });
    SetUnsavedQuestionHandler([this](const QString& text) {
      questions_ << text;
      return answer_;
    });
  }

  void cleanupTestCase() {
    SetMessageHandler(nullptr);
    SetQuestionHandler(nullptr);
    SetUnsavedQuestionHandler(nullptr);
    SetUnsavedWorkGuard({});
  }

  void init() {
    messages_.clear();
    questions_.clear();
    QVERIFY(folder_.isValid());
    QDir(folder_.path()).removeRecursively();
    QDir().mkpath(folder_.path());
  }

  // A writer killed with SIGKILL at random moments leaves the list it had finished, whole,
  // every time; and the list only ever moves forwards.
  void killedWriterLeavesAWholeList() {
    // In memory where the system has it: a kill then never waits for the disk, so the test
    // gets its kills in time on a busy machine. The renaming that keeps the list whole is
    // the same on every file system.
    QTemporaryDir memory(QDir("/dev/shm").exists()
                             ? "/dev/shm/tst_orderautosave-XXXXXX"
                             : QDir::tempPath() + "/tst_orderautosave-XXXXXX");
    QVERIFY(memory.isValid());
    const QString folder = memory.path();
    const QString file = memory.filePath("Ordreliste.txt");
    int last = 0;
    int kills = 0;
    QElapsedTimer clock;
    clock.start();
    while (kills < 200 && clock.elapsed() < 50000) {
      int ready[2];
      QVERIFY(::pipe(ready) == 0);
      const pid_t writer = ::fork();
      QVERIFY(writer >= 0);
      if (writer == 0) {
        ::close(ready[0]);
        ::_exit(RunWriter(folder, ready[1]));
      }
      ::close(ready[1]);
      char byte = 0;
      const bool started = ::read(ready[0], &byte, 1) == 1;

      ::close(ready[0]);
      if (started) QThread::usleep(QRandomGenerator::global()->bounded(200, 8000));
      ::kill(writer, SIGKILL);
      int status = 0;
      QCOMPARE(::waitpid(writer, &status, 0), writer);

      QVERIFY2(started, qPrintable(QString("writer ended with %1").arg(WEXITSTATUS(status))));
      QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
      ++kills;

      if (!QFile::exists(file)) {
        QCOMPARE(last, 0);  // killed before its first list
        continue;
      }
      const OrderFileResult read = LoadOrderFile(file);
      QVERIFY2(read.status == OrderFileStatus::kOk, qPrintable(QString("kill %1").arg(kills)));
      QString why;
      const int generation = GenerationOf(read.lines, &why);
      QVERIFY2(generation > 0, qPrintable(QString("kill %1: %2").arg(kills).arg(why)));
      QVERIFY(generation >= last);
      last = generation;
    }
    QVERIFY2(kills >= 200,
             qPrintable(QString("%1 kills in %2 ms").arg(kills).arg(clock.elapsed())));
    // The writers got going: kills landed after lists had been written, not only before the
    // first. How far they get depends on the machine's load, so no more is asked.
    QVERIFY2(last > 0, qPrintable(QString("%1 lists in %2 kills").arg(last).arg(kills)));
    // Temporary files of interrupted writes go at the next start.
    {
      TOrderGridModel model;
      TOrderAutosave autosave(model, folder);
      QCOMPARE(QDir(folder).entryList({"Ordreliste.txt*"}, QDir::Files | QDir::Hidden),
               QStringList{"Ordreliste.txt"});
    }
    qInfo("%d kills, %d lists written, %lld ms", kills, last,
          static_cast<long long>(clock.elapsed()));
  }

  void everyChangeIsWrittenAndAnEmptyListRemovesTheFile() {
    TOrderGridModel model;
    TOrderAutosave autosave(model, folder_.path());
    const QString file = folder_.filePath("Ordreliste.txt");
    QCOMPARE(autosave.Path(), file);
    QCOMPARE(autosave.Restore().kind, TOrderAutosave::RestoreResult::kNothing);

    // A hand-over of several lines is one burst, written when the event loop runs.
    model.AddOrderLine("Vare 1", "2", "T1", "10 20 30", "5700000000001", "12,3", "A1");
    model.AddOrderLine("Vare 2", "1", "T2", "10 20 31", "5700000000002", "1,5", "");
    QVERIFY(!QFile::exists(file));
    QTRY_VERIFY(QFile::exists(file));
    QCOMPARE(LoadOrderFile(file).lines, model.SavedLines());

    model.SetQuantity(0, 5);  // a quantity edit
    QTRY_COMPARE(LoadOrderFile(file).lines, model.SavedLines());
    QCOMPARE(LoadOrderFile(file).lines[0][1], QString("5"));

    // A mark is not part of the list: no write.
    const QDateTime before = QFileInfo(file).lastModified();
    const QByteArray bytes = FileBytes(file);
    model.ToggleMark(1);
    QTest::qWait(20);
    QCOMPARE(FileBytes(file), bytes);
    QCOMPARE(QFileInfo(file).lastModified(), before);

    model.DeleteMarked();  // a deletion
    QTRY_COMPARE(LoadOrderFile(file).lines.size(), size_t(1));

    model.ReplaceLines(ListOf(3));  // a load
    QTRY_COMPARE(LoadOrderFile(file).lines, ListOf(3));

    model.ToggleMark(0);
    model.MarkAllLines();
    model.DeleteMarked();
    QTRY_VERIFY(!QFile::exists(file));
  }

  void restoredAtStartWithAStatusMessage() {
    QString error;
    QVERIFY(SaveOrderFile(folder_.filePath("Ordreliste.txt"), ListOf(2), &error));
    TFormOrder window;
    window.StartAutosave(folder_.path());
    QCOMPARE(window.Model()->SavedLines(), ListOf(2));
    QCOMPARE(window.StatusText(), QString("Hentet: %1 linier.").arg(LinesOf(2)));
    QVERIFY(!window.GrossTotalText().isEmpty());
    QVERIFY(messages_.isEmpty());
    // Not in a file of the user's: ending now would lose it.
    QVERIFY(window.HasUnsavedList());
  }

  void aDamagedFileIsKeptAsideAndTheListStartsEmpty() {
    const QString file = folder_.filePath("Ordreliste.txt");
    const QByteArray damaged = "Vare 1\t2\tT1\t10\r\nhalf a li";
    QVERIFY(WriteWholeFile(file, damaged));
    TFormOrder window;
    window.StartAutosave(folder_.path());
    QCOMPARE(window.OrderLineCount(), 0);
    QVERIFY(!QFile::exists(file));
    const QStringList aside = QDir(folder_.path()).entryList({"Ordreliste 2*.txt"}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QVERIFY(aside[0].contains(QDate::currentDate().toString("yyyy-MM-dd")));
    QCOMPARE(FileBytes(folder_.filePath(aside[0])), damaged);
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].startsWith("Ulæselig (linie 1), lagt til side som "),
             qPrintable(messages_[0]));
    QVERIFY(messages_[0].contains(aside[0]));

    // The new list is kept in the usual place again; the damaged copy stays.
    window.AddOrderLine("Vare 1", "1", "T1", "", "", "2", "");
    QTRY_VERIFY(QFile::exists(file));
    QCOMPARE(QDir(folder_.path()).entryList({"Ordreliste 2*.txt"}, QDir::Files), aside);
  }

  void aSecondRunningCopyKeepsItsOwnFile() {
    TOrderGridModel first_model, second_model;
    TOrderAutosave first(first_model, folder_.path());
    TOrderAutosave second(second_model, folder_.path());
    QCOMPARE(QFileInfo(first.Path()).fileName(), QString("Ordreliste.txt"));
    QCOMPARE(QFileInfo(second.Path()).fileName(), QString("Ordreliste-2.txt"));
    first_model.ReplaceLines(ListOf(1));
    second_model.ReplaceLines(ListOf(2));
    QVERIFY(first.WriteNow());
    QVERIFY(second.WriteNow());
    QCOMPARE(LoadOrderFile(first.Path()).lines, ListOf(1));
    QCOMPARE(LoadOrderFile(second.Path()).lines, ListOf(2));
  }

  void aWriteFailureIsToldOnce() {
    TFormOrder window;
    const QString blocked = folder_.filePath("blocked");
    window.StartAutosave(blocked);
    // The list's file is a folder now: nothing can replace it.
    QVERIFY(QDir().mkpath(blocked + "/Ordreliste.txt/x"));
    window.AddOrderLine("Vare 1", "1", "T1", "", "", "2", "");
    QTRY_COMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].startsWith("Kan ikke gemme "));
    window.AddOrderLine("Vare 2", "1", "T2", "", "", "2", "");
    QTest::qWait(20);
    QCOMPARE(messages_.size(), 1);
  }

  // Exit with a list in no file of the user's: Cancel stays, Discard ends and removes the
  // kept list, Save saves to the chosen file and ends (and stays when the dialog is
  // cancelled). Without such a list Exit asks its usual question.
  void theExitQuestionsThreeAnswers() {
    QFETCH(int, answer);
    QFETCH(bool, choose_file);
    QFETCH(bool, ends);
    QFETCH(bool, kept_list_remains);
    answer_ = static_cast<UnsavedAnswer>(answer);

    TFormOrder window;
    SetApplicationMainWindow(&window);
    const QString saved = folder_.filePath("ordre.txt");
    window.SetFileChooser([&](QFileDialog::AcceptMode) { return choose_file ? saved : QString(); });
    window.StartAutosave(folder_.path());
    SetUnsavedWorkGuard(
        {[&] { return window.HasUnsavedList(); }, [&] { return window.ResolveUnsavedList(); }});
    window.show();
    window.AddOrderLine("Vare 1", "1", "T1", "", "", "2", "");
    QTRY_VERIFY(QFile::exists(folder_.filePath("Ordreliste.txt")));

    window.Exit1Click();
    QCOMPARE(questions_, QStringList{"Gemme?"});
    QCOMPARE(window.isVisible(), !ends);
    QCOMPARE(QFile::exists(folder_.filePath("Ordreliste.txt")), kept_list_remains);
    QCOMPARE(QFile::exists(saved), answer_ == UnsavedAnswer::kSave && choose_file);
    if (QFile::exists(saved)) QCOMPARE(LoadOrderFile(saved).lines, window.Model()->SavedLines());
    if (!ends) {
      // Still asked on the next try, also by closing the window.
      questions_.clear();
      window.close();
      QCOMPARE(questions_, QStringList{"Gemme?"});
      QVERIFY(window.isVisible());
    }
    SetUnsavedWorkGuard({});
    SetApplicationMainWindow(nullptr);
  }
  void theExitQuestionsThreeAnswers_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("choose_file");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("kept_list_remains");
    QTest::newRow("cancel") << int(UnsavedAnswer::kCancel) << true << false << true;
    QTest::newRow("discard") << int(UnsavedAnswer::kDiscard) << true << true << false;
    QTest::newRow("save") << int(UnsavedAnswer::kSave) << true << true << true;
    QTest::newRow("save, dialog cancelled") << int(UnsavedAnswer::kSave) << false << false << true;
  }

  void aSavedOrLoadedListNeedsNoQuestion() {
    TFormOrder window;
    SetApplicationMainWindow(&window);
    window.StartAutosave(folder_.path());
    SetUnsavedWorkGuard(
        {[&] { return window.HasUnsavedList(); }, [&] { return window.ResolveUnsavedList(); }});
    window.show();
    QVERIFY(!window.HasUnsavedList());  // an empty list loses nothing
    window.AddOrderLine("Vare 1", "1", "T1", "", "", "2", "");
    QVERIFY(window.HasUnsavedList());
    const QString saved = folder_.filePath("ordre.txt");
    window.SetFileChooser([&](QFileDialog::AcceptMode) { return saved; });
    window.GemBtnClick();
    QVERIFY(!window.HasUnsavedList());
    window.Model()->SetQuantity(0, 3);
    QVERIFY(window.HasUnsavedList());
    window.HentBtnClick();  // the saved file again
    QVERIFY(!window.HasUnsavedList());

    window.Exit1Click();
    QCOMPARE(questions_, QStringList{"Vil du afslutte?"});
    QVERIFY(!window.isVisible());
    SetUnsavedWorkGuard({});
    SetApplicationMainWindow(nullptr);
  }

 private:
  QTemporaryDir folder_;
  QStringList messages_;
  QStringList questions_;
  UnsavedAnswer answer_ = UnsavedAnswer::kCancel;
};

QTEST_MAIN(OrderAutosaveTest)
#include "tst_orderautosave.moc"
