// The order list window and the print window driven as a user drives them: clicks into
// the grid, the quantity editor, the buttons, the file dialogs (answered by the test) and
// printing into PDF files.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QImage>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "ButtonEX.h"
#include "TestTextTable.h"
#include "PdfFiles.h"
#include "CatalogSettings.h"
#include "Cp1252.h"
#include "DiscountCodes.h"
#include "KvPrintUnit.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "ReadOnlyFolder.h"
#include "TestFiles.h"
#include "TextTable.h"
#include "UnitOrder.h"
#include "art/Artwork.h"

using namespace order;

namespace {

// Text n is "tn" unless a test looks for it. The file is Windows-1252.
QByteArray TextTableBytes() {
  const QMap<int, QString> texts = {
      {0, "Ordre Liste"},  {6, "Varetekst"},  {7, "Antal"},   {11, "Brutto"},
      {12, "Netto"},       {13, "Total:"},    {35, "Antal skal være et tal"},
      {64, "Fejl i filen (fil:"}, {65, "Filen kan ikke læses."}, {66, "Filen er tom"},
      {102, "Ikke gemt i %1: %2"}, {103, "Ikke hentet fra %1: %2"}, {104, "linie %1)"},
      {105, "Intet udskrevet: ordrelinie %1 er ikke et tal."}};
  return NumberedTextTable(texts);
}

}  // namespace

class UnitOrderTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    UseCommaDecimalSeparator();
    TextTable = std::make_unique<TTextTable>();
    TextTable->LoadFromBytes(TextTableBytes());
    RabatKoder.LoadFromBytes("Rabatkoder\r\nA1\t10\r\nB2\t25\r\n");
    SetMessageHandler([this](MessageKind, const QString& text) { messages_ << text; });
  }

  void cleanupTestCase() {
    SetMessageHandler(nullptr);
    FreeTextTable();
  }

  void init() {
    messages_.clear();
    window_ = std::make_unique<TFormOrder>();
    print_ = std::make_unique<TFormPrint>(window_.get());
    FormPrint = print_.get();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->activateWindow();
  }

  void cleanup() {
    FormPrint = nullptr;
    print_.reset();
    window_.reset();
  }

  void startsEmptyWithFifteenLineRowsAndTableTexts() {
    QCOMPARE(window_->Model()->rowCount(), kMinLineRows);
    QCOMPARE(window_->OrderLineCount(), 0);
    QCOMPARE(window_->windowTitle(), QString("Ordre Liste"));
    QCOMPARE(window_->Model()->HeaderText(kItemTextColumn), QString("Varetekst"));
    QCOMPARE(window_->TotalCaption(), QString("Total:"));
    QCOMPARE(window_->GrossTotalText(), QString("0,00"));
    QVERIFY(window_->Grid()->isColumnHidden(kUnitPriceColumn));
    QVERIFY(window_->Grid()->isColumnHidden(kDiscountCodeColumn));
  }

  void totalsAreRefreshedWhenTheWindowIsShown() {
    AddLines(3);
    QCOMPARE(window_->GrossTotalText(), QString("0,00"));
    window_->hide();
    window_->show();
    QCOMPARE(window_->GrossTotalText(), QString("36,90"));
    QCOMPARE(window_->NetTotalText(), QString("33,21"));
  }

  void quantityEditorStoresTheTypedQuantity() {
    AddLines(2);
    ClickCell(1, kQuantityColumn);
    QLineEdit* editor = window_->QuantityEditor();
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->text(), QString("1"));
    editor->clear();
    QTest::keyClicks(editor, "2");
    QTest::keyClick(editor, Qt::Key_Return);
    QVERIFY(!editor->isVisible());
    QCOMPARE(Cell(1, kQuantityColumn), QString("2"));
    QCOMPARE(Cell(1, kGrossColumn), QString("24,6"));      // full precision after an edit
    QCOMPARE(Cell(1, kNetColumn), QString("22,14"));
    QCOMPARE(window_->GrossTotalText(), QString("36,90"));
  }

  void lettersShowTheMessageAndKeepTheQuantity() {
    AddLines(1);
    ClickCell(0, kQuantityColumn);
    QLineEdit* editor = window_->QuantityEditor();
    editor->clear();
    QTest::keyClicks(editor, "abc");
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(messages_, QStringList{"Antal skal være et tal"});
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->text(), QString());
    QCOMPARE(Cell(0, kQuantityColumn), QString("1"));
    QCOMPARE(Cell(0, kGrossColumn), QString("12,30"));
  }

  void zeroBecomesOneAndCursorKeysDoNothing() {
    AddLines(1);
    ClickCell(0, kQuantityColumn);
    QLineEdit* editor = window_->QuantityEditor();
    editor->clear();
    QTest::keyClicks(editor, "70");
    QTest::keyClick(editor, Qt::Key_Left);
    QTest::keyClicks(editor, "5");
    QCOMPARE(editor->text(), QString("705"));
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(Cell(0, kQuantityColumn), QString("7"));
    ClickCell(0, kQuantityColumn);
    editor->setText("0");
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(Cell(0, kQuantityColumn), QString("1"));
  }

  void clickingElsewhereCommitsTheEditedQuantity() {
    AddLines(2);
    ClickCell(0, kQuantityColumn);
    window_->QuantityEditor()->setText("4");
    ClickCell(1, kQuantityColumn);  // another line's quantity
    QCOMPARE(Cell(0, kQuantityColumn), QString("4"));
    QCOMPARE(window_->QuantityEditor()->text(), QString("1"));
    ClickCell(1, kTypeNumberColumn);  // any other column empties and hides the editor
    QVERIFY(!window_->QuantityEditor()->isVisible());
    QCOMPARE(Cell(1, kQuantityColumn), QString("1"));
  }

  void marksAndDeletion() {
    AddLines(4);
    ClickCell(1, kMarkColumn);
    ClickCell(3, kMarkColumn);
    ClickCell(3, kMarkColumn);
    ClickCell(10, kMarkColumn);  // no line there: nothing happens
    QCOMPARE(window_->Model()->MarkedCount(), 1);
    window_->SletLinierBtnClick();
    QCOMPARE(window_->OrderLineCount(), 3);
    QCOMPARE(Cell(1, kItemTextColumn), QString("Vare 3"));

    // The header of the mark column marks every line; deleting them leaves 15 free rows.
    QTest::mouseClick(window_->Grid()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(5, 5));
    QCOMPARE(window_->Model()->MarkedCount(), 3);
    window_->SletLinierBtnClick();
    QCOMPARE(window_->Model()->rowCount(), kMinLineRows);
    QCOMPARE(window_->OrderLineCount(), 0);
    QCOMPARE(window_->GrossTotalText(), QString("0,00"));
    QCOMPARE(window_->NetTotalText(), QString("0,00"));
  }

  void saveThenLoadGivesTheSameCellsWithoutMarks() {
    AddLines(2);
    window_->Model()->SetQuantity(0, 2);  // full precision
    window_->Model()->MarkAllLines();
    QTemporaryDir dir;
    const QString path = dir.filePath("ordre.txt");
    Answer(path);
    window_->GemBtnClick();
    QCOMPARE(FileBytes(path),
             QByteArray("Vare 1\t2\tT1\t10 20 30\t5700000000001\t24,6\t22,14\t12,3\tA1\t\r\n"
                        "Vare 2\t1\tT2\t10 20 30\t5700000000001\t12,30\t11,07\t12,3\tA1\t\r\n"));

    const std::vector<OrderFields> before = window_->Model()->SavedLines();
    window_->SletLinierBtnClick();
    QCOMPARE(window_->OrderLineCount(), 0);
    window_->HentBtnClick();
    QVERIFY(window_->Model()->SavedLines() == before);
    QCOMPARE(window_->Model()->MarkedCount(), 0);
    QCOMPARE(window_->GrossTotalText(), QString("36,90"));
    QVERIFY(messages_.isEmpty());
  }

  void loadingReplacesALongerList() {
    AddLines(20);
    QTemporaryDir dir;
    const QString path = dir.filePath("kort.txt");
    QVERIFY(WriteWholeFile(path, "Kabel\t3\tK1\t1\t2\t30\t27\t10\tA1\t\r\n"));
    Answer(path);
    window_->HentBtnClick();
    QCOMPARE(window_->Model()->rowCount(), kMinLineRows);
    QCOMPARE(window_->OrderLineCount(), 1);
    QCOMPARE(Cell(0, kGrossColumn), QString("30"));  // taken as it stands
  }

  void malformedFileKeepsTheCurrentList() {
    AddLines(3);
    QTemporaryDir dir;
    const QString path = dir.filePath("fejl.txt");
    QVERIFY(WriteWholeFile(path, "Kabel\t3\tK1\t1\t2\t30\t27\t10\tA1\t\r\nKabel\t3\tK1\t1\r\n"));
    Answer(path);
    window_->HentBtnClick();
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(messages_[0], "Fejl i filen (fil: " + QDir::toNativeSeparators(path) +
                               ", linie 2)\nFilen kan ikke læses.");
    QCOMPARE(window_->OrderLineCount(), 3);
    QCOMPARE(Cell(0, kItemTextColumn), QString("Vare 1"));
  }

  void emptyFileEmptiesTheList() {
    AddLines(3);
    QTemporaryDir dir;
    const QString path = dir.filePath("tom.txt");
    QVERIFY(WriteWholeFile(path, {}));
    Answer(path);
    window_->HentBtnClick();
    QCOMPARE(messages_, QStringList{"Filen er tom"});
    QCOMPARE(window_->OrderLineCount(), 0);
  }

  void cancelledDialogsChangeNothing() {
    AddLines(2);
    Answer(QString());
    window_->HentBtnClick();
    window_->GemBtnClick();
    QCOMPARE(window_->OrderLineCount(), 2);
    QVERIFY(messages_.isEmpty());
  }

  void failedSaveIsReportedAndKeepsTheOldFile() {
    AddLines(2);
    QTemporaryDir dir;
    const QString path = dir.filePath("gammel.txt");
    const QByteArray old_bytes = "Gammel\t1\tG\t\t\t5,00\t5,00\t5\t\t\r\n";
    QVERIFY(WriteWholeFile(path, old_bytes));
    ReadOnlyFolder read_only(dir.path());
    if (!read_only.active()) QSKIP("this system cannot make a folder read-only");
    Answer(path);
    window_->GemBtnClick();
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].contains(QDir::toNativeSeparators(path)));
    QCOMPARE(FileBytes(path), old_bytes);
    QCOMPARE(window_->OrderLineCount(), 2);
  }

  void printWindowListsThePdfEntryLast() {
    QComboBox* printers = print_->Printers();
    QCOMPARE(printers->itemText(printers->count() - 1), TFormPrint::PdfFileEntry());
    if (printers->count() == 1) QCOMPARE(printers->currentIndex(), 0);
    QCOMPARE(print_->Copies()->count(), 20);
    QCOMPARE(print_->Copies()->currentText(), QString("1"));
    QCOMPARE(TFormPrint::FirmAddress().size(), 3);
  }

  void printingIntoAPdfFile() {
    AddLines(56);
    window_->RefreshTotals();
    QTemporaryDir dir;
    const QString path = dir.filePath("ordre.pdf");
    print_->SetPdfFileChooser([path] { return path; });
    print_->Printers()->setCurrentText(TFormPrint::PdfFileEntry());
    print_->Copies()->setCurrentText("3");
    print_->show();
    print_->PrintBtnClick();
    QVERIFY(messages_.isEmpty());
    QVERIFY(!print_->isVisible());
    QVERIFY(print_->CloseButton()->isEnabled());
    QCOMPARE(print_->Printer().copyCount(), 3);
    QCOMPARE(PdfPages(path), 6);
    const QString page2 = PdfText(path, 2);
    QVERIFY(page2.contains("Vare 56"));
    QVERIFY(page2.contains("Tremora Divuvera AB"));
    QVERIFY(page2.contains(TFormPrint::FirmAddress().at(1)));
    QVERIFY(page2.contains(QRegularExpression("Total:\\s+" + window_->GrossTotalText())));
  }

  void printingAnAmountThatIsNotANumberTellsWhy() {
    AddLines(3);
    window_->Model()->SetCell(2, kNetColumn, "x");
    QTemporaryDir dir;
    const QString path = dir.filePath("ordre.pdf");
    print_->SetPdfFileChooser([path] { return path; });
    print_->Printers()->setCurrentText(TFormPrint::PdfFileEntry());
    print_->show();
    print_->PrintBtnClick();
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].contains("ordrelinie 3"));
    QVERIFY(print_->isVisible());
    QVERIFY(print_->CloseButton()->isEnabled());
    QVERIFY(!QFile::exists(path));
  }

  // The firm header's address lines come from the settings alone: with no address keys
  // the printed page holds the firm's name and no address, and nothing below it moves.
  void printedHeaderTakesTheAddressFromTheSettingsOnly() {
    AddLines(3);
    window_->RefreshTotals();
    QTemporaryDir dir;
    const QString ini = dir.filePath("settings.ini");
    SetSettingsFile(ini);
    const QString bare = dir.filePath("bare.pdf");
    PrintToPdf(bare);
    {
      QSettings settings(ini, QSettings::IniFormat);
      settings.setValue("Tremora Divuvera/FirmaPostboks", "Postboks 999");
      settings.setValue("Tremora Divuvera/FirmaPostnrBy", "0000 Eksempelby");
      settings.setValue("Tremora Divuvera/FirmaFax", "Fax 00 00 00 00");
    }
    const QString full = dir.filePath("full.pdf");
    PrintToPdf(full);
    SetSettingsFile(QString());

    const QMap<QString, QRectF> full_words = PdfWords(full);
    const QMap<QString, QRectF> bare_words = PdfWords(bare);
    for (const char* word : {"Postboks", "Eksempelby", "Fax"}) {
      QVERIFY2(full_words.contains(word), word);
      QVERIFY2(!bare_words.contains(word), word);
    }
    QVERIFY(bare_words.contains("Tremora"));
    QCOMPARE(bare_words.value("Tremora"), full_words.value("Tremora"));
    QCOMPARE(bare_words.value("Varetekst"), full_words.value("Varetekst"));
    QCOMPARE(bare_words.value("Vare"), full_words.value("Vare"));

    // The rendered page: ink where the name is, blank paper where the address would be.
    QProcess render;
    const QString png_base = dir.filePath("bare");
    render.start("pdftoppm", {"-r", "72", "-png", "-f", "1", "-l", "1", "-singlefile", bare,
                              png_base});
    QVERIFY(render.waitForFinished(30000));
    QImage page(png_base + ".png");
    QVERIFY(!page.isNull());
    QVERIFY(qAbs(page.width() - 595) <= 1 && qAbs(page.height() - 842) <= 1);  // A4
    auto darkest = [&page](const QRectF& box) {
      int darkest = 255;
      const QRect area = box.toAlignedRect().intersected(page.rect());
      for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
          darkest = std::min(darkest, qGray(page.pixel(x, y)));
      return darkest;
    };
    QVERIFY(darkest(bare_words.value("Tremora")) < 128);
    for (const char* word : {"Postboks", "Eksempelby", "Fax"})
      QCOMPARE(darkest(full_words.value(word)), 255);
    QVERIFY(QDir().mkpath(CATALOG_SCREENSHOT_DIR));
    QVERIFY(page.save(CATALOG_SCREENSHOT_DIR "/printout-without-address.png"));
  }

  // The windows with the shipped texts and discount codes, checked for what the pictures
  // show and saved for a look at the finished layout.
  void screenshots() {
    TTextTable shipped;
    if (!shipped.LoadFromFile(CATALOG_DATA_DIR "/KV.dat")) QSKIP("no shipped text table");
    *TextTable = shipped;
    RabatKoder.LoadFromFile(CATALOG_DATA_DIR "/Rabattkod Default.txt");
    cleanup();
    init();
    const QStringList items = {"Installationskabel PVIKJ 3G1,5 hvid", "Stikkontakt 1-fag hvid",
                               "Afbryder 1-pol hvid", "Samledåse 4x2,5 mm²",
                               "LED pære E27 8,5W 2700K", "Kabelbinder 200x4,8 sort"};
    const QStringList prices = {"412,50", "38,75", "45,00", "12,95", "49,00", "0,85"};
    for (int i = 0; i < items.size(); ++i) {
      window_->AddOrderLine(items[i], QString::number(i % 3 + 1), QString("TN%1").arg(4711 + i),
                            QString("10 2%1 3%1").arg(i), QString("570123456789%1").arg(i),
                            prices[i], RabatKoder.Count() ? RabatKoder.At(i % RabatKoder.Count()).code
                                                          : QString());
    }
    window_->Model()->ToggleMark(2);
    window_->Model()->SetQuantity(5, 100);
    window_->RefreshTotals();
    // The mouse over the item-text column shows its hint.
    QMouseEvent move(QEvent::MouseMove, ColumnCentre(0, kItemTextColumn), QPointF(), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window_->Grid()->viewport(), &move);
    QDir().mkpath(CATALOG_SCREENSHOT_DIR);
    const QImage order = window_->grab().toImage();
    QVERIFY(order.save(CATALOG_SCREENSHOT_DIR "/order-list.png"));
    QCOMPARE(order.size(), window_->size());
    QCOMPARE(window_->windowTitle(), shipped.Text(TextId::WindowTitle));
    QCOMPARE(window_->StatusText(), shipped.Text(TextId::HintItemTextColumn));
    QCOMPARE(window_->OrderLineCount(), items.size());
    QCOMPARE(Cell(5, kQuantityColumn), QString("100"));
    // 412,50 + 2 x 38,75 + 3 x 45,00 + 12,95 + 2 x 49,00 + 100 x 0,85
    QCOMPARE(window_->TotalCaption(), shipped.Text(TextId::Total));
    QCOMPARE(window_->GrossTotalText(), QString("820,95"));
    const QImage client = window_->Client()->grab().toImage();
    QCOMPARE(client.size(), QSize(TFormTemplate::kClientWidth, TFormTemplate::kClientHeight));
    QCOMPARE(client.pixel(790, 40) & 0xFFFFFF, art::LogoStrip().pixel(790, 40) & 0xFFFFFF);

    print_->show();
    QVERIFY(QTest::qWaitForWindowExposed(print_.get()));
    const QImage print = print_->grab().toImage();
    QVERIFY(print.save(CATALOG_SCREENSHOT_DIR "/print-window.png"));
    QCOMPARE(print.size(), QSize(389, 229));
    QCOMPARE(print_->findChild<TButtonEX*>("PrintBtn")->Caption(), shipped.Text(TextId::PrintButton));
    QCOMPARE(print_->CloseButton()->Caption(), shipped.Text(TextId::CloseButton));
    // The background runs from deep blue at the top to a lighter blue at the bottom.
    const QColor top = print.pixelColor(380, 2);
    const QColor bottom = print.pixelColor(380, 226);
    QVERIFY2(qAbs(top.red() - 0x0b) <= 4 && qAbs(top.green() - 0x2a) <= 4 &&
                 qAbs(top.blue() - 0x5b) <= 4,
             qPrintable(top.name()));
    QVERIFY2(bottom.blue() > top.blue() + 50 && bottom.blue() > bottom.red(),
             qPrintable(bottom.name()));
    TextTable->LoadFromBytes(TextTableBytes());
  }

 private:
  void PrintToPdf(const QString& path) {
    print_->SetPdfFileChooser([path] { return path; });
    print_->Printers()->setCurrentText(TFormPrint::PdfFileEntry());
    print_->Copies()->setCurrentText("1");
    print_->show();
    print_->PrintBtnClick();
    QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    QVERIFY(QFile::exists(path));
  }

  void AddLines(int n) {
    for (int i = 1; i <= n; ++i) {
      window_->AddOrderLine(QString("Vare %1").arg(i), "1", QString("T%1").arg(i), "10 20 30",
                            "5700000000001", "12,3", "A1");
    }
  }

  QString Cell(int row, int column) const { return window_->Model()->Cell(row, column); }

  QPointF ColumnCentre(int row, int column) const {
    return window_->Grid()->visualRect(window_->Model()->index(row, column)).center();
  }

  void ClickCell(int row, int column) {
    QTableView* grid = window_->Grid();
    const QRect cell = grid->visualRect(window_->Model()->index(row, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  }

  void Answer(const QString& path) {
    window_->SetFileChooser([path](QFileDialog::AcceptMode) { return path; });
  }

  QStringList messages_;
  std::unique_ptr<TFormOrder> window_;
  std::unique_ptr<TFormPrint> print_;
};

QTEST_MAIN(UnitOrderTest)
#include "tst_unitorder.moc"
