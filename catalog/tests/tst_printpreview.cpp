// The print window's preview shows the pages PRINT prints: the same number of pages and the
// same texts on each, for an empty list, a full first page (55 lines) and one line more.
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "ButtonEX.h"
#include "PdfFiles.h"
#include "KvPrintUnit.h"
#include "DiscountCodes.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "TextTable.h"
#include "UnitOrder.h"

using namespace order;

class PrintPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    UseCommaDecimalSeparator();
    QVERIFY(LoadTextTable(CATALOG_DATA_DIR "/").size() > 0);
    RabatKoder.LoadFromBytes("Rabatkoder\r\nA1\t10\r\n");
    SetMessageHandler([this](MessageKind, const QString& text) { messages_ << text; });
  }

  void cleanupTestCase() {
    SetMessageHandler(nullptr);
    FreeTextTable();
  }

  void init() {
    messages_.clear();
    order_ = std::make_unique<TFormOrder>();
    print_ = std::make_unique<TFormPrint>(order_.get());
    print_->Printers()->setCurrentText(TFormPrint::PdfFileEntry());
  }

  void cleanup() {
    print_.reset();
    order_.reset();
  }

  void previewShowsThePagesPrintPrints() {
    QFETCH(int, lines);
    QFETCH(int, pages);
    AddLines(lines);
    QTemporaryDir dir;
    const QString printed = dir.filePath("print.pdf");
    print_->SetPdfFileChooser([printed] { return printed; });
    print_->show();
    print_->PrintBtnClick();
    QVERIFY(messages_.isEmpty());
    QCOMPARE(PdfPages(printed), pages);

    print_->show();
    print_->VisBtnClick();
    QPrintPreviewDialog* preview = print_->PreviewDialog();
    QVERIFY(preview);
    QVERIFY(QTest::qWaitForWindowExposed(preview));
    auto* widget = preview->findChild<QPrintPreviewWidget*>();
    QVERIFY(widget);
    QCOMPARE(widget->pageCount(), pages);

    // What the preview draws, sent to a PDF file through the preview's own printer.
    const QString previewed = dir.filePath("preview.pdf");
    preview->printer()->setOutputFileName(previewed);
    widget->print();
    QCOMPARE(PdfPages(previewed), pages);
    for (int page = 1; page <= pages; ++page) {
      const QString text = PdfText(previewed, page);
      QVERIFY(text.contains("Tremora Divuvera AB"));
      QCOMPARE(text, PdfText(printed, page));
    }
    const QString last = PdfText(previewed, pages);
    QVERIFY(last.contains(QRegularExpression("Total:\\s+" + order_->GrossTotalText())));
    if (lines > 0) QVERIFY(PdfText(previewed, 1).contains("Vare 1 "));
    if (lines == 56) QVERIFY(last.contains("Vare 56"));

    if (lines == 56) {
      QDir().mkpath(CATALOG_SCREENSHOT_DIR);
      const QImage shot = preview->grab().toImage();
      QVERIFY(shot.save(CATALOG_SCREENSHOT_DIR "/print-preview.png"));
      QCOMPARE(shot.size(), preview->size() * shot.devicePixelRatio());
      // A white page with dark text on it.
      int white = 0, dark = 0;
      for (int y = 0; y < shot.height(); y += 2) {
        for (int x = 0; x < shot.width(); x += 2) {
          const int grey = qGray(shot.pixel(x, y));
          white += grey > 245;
          dark += grey < 80;
        }
      }
      const int samples = (shot.width() / 2) * (shot.height() / 2);
      QVERIFY2(white > samples / 10, qPrintable(QString::number(white)));
      QVERIFY(dark > 20);
    }
    preview->close();
    QTRY_VERIFY(!print_->PreviewDialog());
  }
  void previewShowsThePagesPrintPrints_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("pages");
    QTest::newRow("empty") << 0 << 1;
    QTest::newRow("55 lines") << 55 << 2;
    QTest::newRow("56 lines") << 56 << 2;
  }

  void aListPrintWouldRefuseIsNotPreviewed() {
    AddLines(2);
    order_->Model()->SetCell(1, kGrossColumn, "abc");
    print_->VisBtnClick();
    QVERIFY(!print_->PreviewDialog());
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].contains("2"));
  }

  void previewButtonSitsBesidePrintAndClose() {
    QCOMPARE(print_->PreviewButton()->Caption(), Text(TextId::PreviewButton));
    QCOMPARE(print_->PreviewButton()->y(), print_->PrintButton()->y());
    QVERIFY(print_->PreviewButton()->geometry().right() < print_->PrintButton()->x());
    QVERIFY(print_->PrintButton()->geometry().right() < print_->CloseButton()->x());
    QVERIFY(print_->CloseButton()->geometry().right() < print_->width());
  }

 private:
  void AddLines(int n) {
    for (int i = 1; i <= n; ++i) {
      order_->AddOrderLine(QString("Vare %1").arg(i), "2", QString("T%1").arg(i), "10 20 30",
                           "5700000000001", "12,3", "A1");
    }
    order_->RefreshTotals();
  }

  QStringList messages_;
  std::unique_ptr<TFormOrder> order_;
  std::unique_ptr<TFormPrint> print_;
};

QTEST_MAIN(PrintPreviewTest)
#include "tst_printpreview.moc"
