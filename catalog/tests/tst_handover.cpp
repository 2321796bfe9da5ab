// The search window's hand-over of marked hits into the order list, driven through the
// windows on a small built base: search, mark, set a quantity, take over.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "CatalogSettings.h"
#include "CatalogueFolder.h"
#include "DemoBase.h"
#include "Messages.h"
#include "ResultGrid.h"
#include "ResultModel.h"
#include "UnitOrder.h"
#include "UnitSearch.h"
#include "art/Artwork.h"

using namespace order;

class HandOverTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    base_ = std::make_unique<TDemoBase>(QList<TDemoProduct>{
        {"Stikkontakt 1-fag hvid", "SK1", "20 000 01", "5711111111111", "12,5", "K1"},
        {"Afbryder 1-pol hvid", "AF1", "30 000 01", "5733333333333", "45", "K1"},
        {"Stikkontakt 2-fag hvid", "SK2", "20 000 02", "5722222222222", "20,4", "K2"}});
    QVERIFY2(!base_->Path().isEmpty(), qPrintable(base_->Error()));
    QVERIFY(folder_.IsValid());
    QVERIFY(WriteWholeFile(folder_.Path("Rabattkod Default.txt"),
                           "Rabatkode\tProcent\r\nK1\t10\r\nK2\t25\r\n"));
    SetSettingsFile(folder_.WriteSettings(base_->Path()));
    SetMessageHandler([this](MessageKind, const QString& text) { messages_ << text; });
    std::unique_ptr<TCatalogStart> start = StartCatalog();
    QVERIFY2(start, qPrintable(messages_.join('\n')));
    search_ = std::make_unique<TFormSearch>(std::move(*start));
    FormOrder = new TFormOrder;
    search_->show();
    QVERIFY(QTest::qWaitForWindowExposed(search_.get()));
  }

  void cleanupTestCase() {
    delete FormOrder;
    FormOrder = nullptr;
    search_.reset();
    SetMessageHandler(nullptr);
    SetSettingsFile(QString());
  }

  void markedHitsGoOverWithTheirQuantities() {
    search_->findChild<QLineEdit*>("VaretekstEdit")->setText("stikkontakt");
    search_->SogBtnClick();
    QCOMPARE(Label("AntalHitsLbl"), QString("2"));
    ClickCell(TResultModel::kMarkColumn, 1);
    ClickCell(TResultModel::kMarkColumn, 2);
    ClickCell(TResultModel::kQuantityColumn, 2);
    QLineEdit* quantity = search_->findChild<QLineEdit*>("AntalEdit");
    QVERIFY(quantity->isVisible());
    QTest::keyClicks(quantity, "4");
    QTest::keyClick(quantity, Qt::Key_Return);

    search_->TilOrdreBtnClick();
    QVERIFY(messages_.isEmpty());
    QCOMPARE(Label("AntalIOrdreLbl"), QString("2"));
    const std::vector<OrderFields> lines = FormOrder->Model()->SavedLines();
    QCOMPARE(lines.size(), size_t{2});
    QCOMPARE(lines[0], (OrderFields{"Stikkontakt 1-fag hvid", "1", "SK1", "20 000 01",
                                    "5711111111111", "12,50", "11,25", "12,5", "K1"}));
    QCOMPARE(lines[1], (OrderFields{"Stikkontakt 2-fag hvid", "4", "SK2", "20 000 02",
                                    "5722222222222", "81,60", "61,20", "20,4", "K2"}));
    // Marks and quantities are cleared: taking over again adds nothing.
    QCOMPARE(search_->Engine().Marking->Count(), 0);
    QCOMPARE(search_->Engine().Quantities.ForHit(1), 1);
    search_->TilOrdreBtnClick();
    QCOMPARE(FormOrder->Model()->SavedLines(), lines);

    // The same product again adds to its line.
    ClickCell(TResultModel::kMarkColumn, 2);
    search_->TilOrdreBtnClick();
    QCOMPARE(FormOrder->Model()->Cell(1, kQuantityColumn), QString("5"));
    QCOMPARE(FormOrder->Model()->Cell(1, kGrossColumn), QString("102,00"));
  }

 private:
  QString Label(const char* name) const { return search_->findChild<QLabel*>(name)->text(); }

  void ClickCell(int column, int row) {
    TResultGrid* grid = search_->findChild<TResultGrid*>("DrawGrid1");
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
  }

  std::unique_ptr<TDemoBase> base_;
  TCatalogueFolder folder_;
  std::unique_ptr<TFormSearch> search_;
  QStringList messages_;
};

QTEST_MAIN(HandOverTest)
#include "tst_handover.moc"
