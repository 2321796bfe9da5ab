// The search window driven as a user drives it, on a small catalogue base built for
// the test: searches per edit and combined, paging with the scroll bar, prices, the
// suggestions, marks and quantities, and a screenshot after a search.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QWheelEvent>

#include "CatalogSettings.h"
#include "NamedChild.h"
#include "CatalogueFolder.h"
#include "DemoBase.h"
#include "DiscountCodes.h"
#include "Marking.h"
#include "Messages.h"
#include "ResultGrid.h"
#include "ResultModel.h"
#include "TextTable.h"
#include "UnitOrder.h"
#include "UnitSearch.h"
#include "art/Artwork.h"

namespace {

QList<TDemoProduct> Products() {
  return CablesAndSockets(QStringLiteral("K2"), QStringLiteral("K1"), QStringLiteral("K9"));
}

}  // namespace

class SearchWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TDemoBase> base_;
  TCatalogueFolder folder_;
  std::unique_ptr<TFormSearch> window_;
  QStringList messages_;

  template <class T>
  T* Child(const char* name) const {
    return NamedChild<T>(window_.get(), name);
  }
  QLineEdit* Edit(int field) const {
    static const char* const kNames[] = {"VaretekstEdit", "TypenrEdit", "ElnrEdit", "EANEdit"};
    return Child<QLineEdit>(kNames[field]);
  }
  TResultGrid* Grid() const { return Child<TResultGrid>("DrawGrid1"); }
  QScrollBar* Scroll() const { return Child<QScrollBar>("ScrollBar"); }
  QLineEdit* Quantity() const { return Child<QLineEdit>("AntalEdit"); }
  QListWidget* Suggestions() const { return Child<QListWidget>("IndexBox"); }

  int SearchFor(const QString& item, const QString& type = QString(), const QString& el = QString(),
                const QString& ean = QString()) {
    Edit(0)->setText(item);
    Edit(1)->setText(type);
    Edit(2)->setText(el);
    Edit(3)->setText(ean);
    window_->SogBtnClick();
    return HitLabel().toInt();
  }
  QString HitLabel() const { return Child<QLabel>("AntalHitsLbl")->text(); }
  QString Cell(int column, int row) const {
    const QAbstractItemModel* model = Grid()->model();
    return model->data(model->index(row, column)).toString();
  }
  QPoint CellCentre(int column, int row) const {
    return Grid()->visualRect(Grid()->model()->index(row, column)).center();
  }
  void ClickCell(int column, int row) {
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::NoModifier, CellCentre(column, row));
  }
  void EnterQuantity(int row, const QString& typed) {
    ClickCell(TResultModel::kQuantityColumn, row);
    QVERIFY(Quantity()->isVisible());
    QTest::keyClicks(Quantity(), typed);
    QTest::keyClick(Quantity(), Qt::Key_Return);
  }

 private slots:
  void initTestCase() {
    base_ = std::make_unique<TDemoBase>(Products());
    QVERIFY2(!base_->Path().isEmpty(), qPrintable(base_->Error()));
    QVERIFY(folder_.IsValid());
    QVERIFY(WriteWholeFile(folder_.Path(QStringLiteral("Rabattkod Default.txt")),
                           "Rabatkode\tProcent\r\nK1\t10\r\nK2\t25\r\n"));
    SetSettingsFile(folder_.WriteSettings(base_->Path()));
    SetMessageHandler([this](MessageKind, const QString& text) { messages_ << text; });
    std::unique_ptr<TCatalogStart> start = StartCatalog();
    QVERIFY2(start, qPrintable(messages_.join('\n')));
    window_ = std::make_unique<TFormSearch>(std::move(*start));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void init() { messages_.clear(); }

  void eachEditSearchesItsFieldAndFilledEditsAreAnded() {
    QCOMPARE(SearchFor(QStringLiteral("stikkontakt")), 2);
    QCOMPARE(SearchFor(QString(), QStringLiteral("sk2")), 1);
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 1), QStringLiteral("SK2"));
    QCOMPARE(SearchFor(QString(), QString(), QStringLiteral("2000001")), 1);
    QCOMPARE(SearchFor(QString(), QString(), QString(), QStringLiteral("5722222222222")), 1);
    QCOMPARE(SearchFor(QStringLiteral("stikkontakt"), QString(), QString(),
                       QStringLiteral("5711111111111")), 1);
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 1), QStringLiteral("SK1"));
    QCOMPARE(SearchFor(QStringLiteral("installationskabel"), QStringLiteral("sk1")), 0);
  }

  void emptyEditsEmptyTheGrid() {
    QCOMPARE(SearchFor(QStringLiteral("stikkontakt")), 2);
    window_->SletAltBtnClick();
    QCOMPARE(HitLabel(), QStringLiteral("0"));
    QCOMPARE(Scroll()->maximum(), 0);
    QCOMPARE(Cell(TResultModel::kItemTextColumn, 0), QStringLiteral("Varetekst"));
    for (int row = 1; row < 15; ++row) {
      QCOMPARE(Cell(TResultModel::kItemTextColumn, row), QString());
      QCOMPARE(Cell(TResultModel::kQuantityColumn, row), QString());
    }
    // Nothing to mark in an empty result.
    ClickCell(TResultModel::kMarkColumn, 0);
    QCOMPARE(window_->Engine().Marking->Count(), 0);
  }

  void hyphenatedItemTextIsSearchedAsAPhrase() {
    QCOMPARE(SearchFor(QStringLiteral("ab-c*d")), 1);
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 1), QStringLiteral("SK1"));
    QCOMPARE(SearchFor(QStringLiteral("ab*")), 2);
  }

  void twentyHitsScrollFromZeroToSix() {
    QCOMPARE(SearchFor(QStringLiteral("installationskabel")), 20);
    QCOMPARE(Scroll()->minimum(), 0);
    QCOMPARE(Scroll()->maximum(), 6);
    QCOMPARE(Scroll()->pageStep(), 14);
    Scroll()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 1), QStringLiteral("IK001"));
    Scroll()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(Scroll()->value(), 6);
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 1), QStringLiteral("IK006"));
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 14), QStringLiteral("IK019"));
    Scroll()->triggerAction(QAbstractSlider::SliderToMinimum);
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 1), QStringLiteral("IK000"));
    // The wheel over the grid scrolls the result as well.
    QWheelEvent wheel(CellCentre(1, 5), Grid()->viewport()->mapToGlobal(CellCentre(1, 5)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(Grid()->viewport(), &wheel);
    QVERIFY(Scroll()->value() > 0);
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 1),
             QStringLiteral("IK%1").arg(Scroll()->value(), 3, 10, QLatin1Char('0')));
    // A new search starts again at the first hit.
    Scroll()->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(SearchFor(QStringLiteral("installationskabel")), 20);
    QCOMPARE(Scroll()->value(), 0);
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 1), QStringLiteral("IK000"));
  }

  void pricesShowGrossAndNet() {
    QCOMPARE(SearchFor(QString(), QStringLiteral("sk1")), 1);
    QCOMPARE(Cell(TResultModel::kPriceColumn, 1), QStringLiteral("12,50"));
    QCOMPARE(Cell(TResultModel::kDiscountCodeColumn, 1), QStringLiteral("K1"));
    QCOMPARE(Cell(TResultModel::kNetPriceColumn, 1), QStringLiteral("11,25"));
    // A code the discount file does not know gives no discount.
    QCOMPARE(SearchFor(QString(), QStringLiteral("sk2")), 1);
    QCOMPARE(Cell(TResultModel::kNetPriceColumn, 1), QStringLiteral("99,00"));
  }

  void keyReleaseFillsTheSuggestions() {
    for (int field = 0; field < 4; ++field) Edit(field)->clear();
    QTest::keyClicks(Edit(0), QStringLiteral("st"));
    QVERIFY(Suggestions()->isVisible());
    QCOMPARE(Suggestions()->count(), 100);
    QCOMPARE(Suggestions()->item(0)->text(), QStringLiteral("STIKKONTAKT"));
    // Typed blanks in front are dropped.
    Edit(0)->setText(QStringLiteral("  ho"));
    QTest::keyClick(Edit(0), Qt::Key_End);
    QCOMPARE(Edit(0)->text(), QStringLiteral("ho"));
    QCOMPARE(Suggestions()->item(0)->text(), QStringLiteral("HVID"));
    // A double click takes the word and searches.
    Suggestions()->setCurrentRow(0);
    emit Suggestions()->itemDoubleClicked(Suggestions()->item(0));
    QCOMPARE(Edit(0)->text(), QStringLiteral("hvid"));
    QVERIFY(!Suggestions()->isVisible());
    QCOMPARE(HitLabel(), QStringLiteral("21"));
  }

  void enterInTheSuggestionsTakesTheWordWithoutSearching() {
    for (int field = 0; field < 4; ++field) Edit(field)->clear();
    window_->SogBtnClick();
    window_->activateWindow();
    Edit(0)->setFocus();
    QTest::keyClicks(Edit(0), QStringLiteral("s"));
    QVERIFY(Suggestions()->isVisible());
    QTest::keyClick(Edit(0), Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), Suggestions());
    QCOMPARE(Suggestions()->currentRow(), 0);
    QTest::keyClick(Suggestions(), Qt::Key_Down);
    const QString word = Suggestions()->currentItem()->text();
    QTest::keyPress(Suggestions(), Qt::Key_Return);
    // The box hands the focus back before Enter is let go; the release must not search.
    QCOMPARE(QApplication::focusWidget(), Edit(0));
    QTest::keyRelease(Edit(0), Qt::Key_Return);
    QCOMPARE(Edit(0)->text(), word.toLower());
    QVERIFY(!Suggestions()->isVisible());
    QCOMPARE(HitLabel(), QStringLiteral("0"));
  }

  void discountFileChoiceRepricesTheGrid() {
    QVERIFY(WriteWholeFile(folder_.Path(QStringLiteral("Rabattkod Storkunde.txt")),
                           "Rabatkode\tProcent\r\nK1\t50\r\n"));
    QCOMPARE(SearchFor(QString(), QStringLiteral("sk1")), 1);
    QCOMPARE(Cell(TResultModel::kNetPriceColumn, 1), QStringLiteral("11,25"));
    auto* selector = window_->findChild<QComboBox*>();
    QVERIFY(selector);
    window_->RabatKodeFilComboBoxDropDown();
    selector->setCurrentIndex(selector->findText(QStringLiteral("Storkunde")));
    window_->RabatKodeFilComboBoxChange();
    QCOMPARE(Cell(TResultModel::kNetPriceColumn, 1), QStringLiteral("6,25"));
    selector->setCurrentIndex(selector->findText(QStringLiteral("Default")));
    window_->RabatKodeFilComboBoxChange();
    QCOMPARE(Cell(TResultModel::kNetPriceColumn, 1), QStringLiteral("11,25"));
  }

  void enterInTheItemTextSearchesTheTrimmedText() {
    for (int field = 1; field < 4; ++field) Edit(field)->clear();
    Edit(0)->setText(QStringLiteral("stikkontakt  "));
    QTest::keyClick(Edit(0), Qt::Key_Return);
    QCOMPARE(Edit(0)->text(), QStringLiteral("stikkontakt"));
    QCOMPARE(HitLabel(), QStringLiteral("2"));
    QVERIFY(!Suggestions()->isVisible());
  }

  void headerMarksAllAndRowsToggle() {
    QCOMPARE(SearchFor(QStringLiteral("installationskabel")), 20);
    TMarking& marks = *window_->Engine().Marking;
    ClickCell(TResultModel::kMarkColumn, 0);
    QCOMPARE(marks.Count(), 20);
    ClickCell(TResultModel::kMarkColumn, 3);
    QCOMPARE(marks.Count(), 19);
    QVERIFY(!marks.IsMarked(2));
    QVERIFY(!Grid()->model()->data(Grid()->model()->index(3, 0), TResultModel::MarkedRole).toBool());
    ClickCell(TResultModel::kMarkColumn, 3);
    QVERIFY(marks.IsMarked(2));
    // A new search drops the marks.
    SearchFor(QStringLiteral("installationskabel"));
    QCOMPARE(marks.Count(), 0);
  }

  void quantitiesAreWholeNumbersOfAtLeastOne() {
    QCOMPARE(SearchFor(QStringLiteral("installationskabel")), 20);
    Scroll()->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // row 2 is hit 2
    EnterQuantity(2, QStringLiteral("7"));
    QVERIFY(!Quantity()->isVisible());
    QCOMPARE(Cell(TResultModel::kQuantityColumn, 2), QStringLiteral("7"));
    QCOMPARE(window_->Engine().Quantities.ForHit(2), 7);
    QCOMPARE(Quantity()->geometry().top(), 2 * 19 + 199);
    EnterQuantity(2, QStringLiteral("0"));
    QCOMPARE(Cell(TResultModel::kQuantityColumn, 2), QStringLiteral("1"));
    EnterQuantity(3, QStringLiteral("-5"));
    QCOMPARE(Cell(TResultModel::kQuantityColumn, 3), QStringLiteral("1"));
    EnterQuantity(3, QStringLiteral("abc"));
    QCOMPARE(messages_, QStringList{Text(TextId::QuantityNotWholeNumber)});
    QVERIFY(Quantity()->isVisible());
    QCOMPARE(Quantity()->text(), QString());
    QCOMPARE(Cell(TResultModel::kQuantityColumn, 3), QStringLiteral("1"));
    // Clicking elsewhere closes the editor without storing.
    QTest::keyClicks(Quantity(), QStringLiteral("4"));
    ClickCell(TResultModel::kItemTextColumn, 5);
    QVERIFY(!Quantity()->isVisible());
    QCOMPARE(Cell(TResultModel::kQuantityColumn, 3), QStringLiteral("1"));
  }

  void showingTheWindowCountsTheOrderLines() {
    FormOrder = new TFormOrder;
    FormOrder->AddOrderLine(QStringLiteral("Stikkontakt"), QStringLiteral("2"), QStringLiteral("SK1"),
                            QStringLiteral("20 000 01"), QString(), QStringLiteral("12,5"),
                            QStringLiteral("K1"));
    window_->VisOrdreBtnClick();
    QVERIFY(FormOrder->isVisible());
    QVERIFY(!window_->isVisible());
    FormOrder->hide();
    window_->show();
    QCOMPARE(Child<QLabel>("AntalIOrdreLbl")->text(), QStringLiteral("1"));
    delete FormOrder;
    FormOrder = nullptr;
  }

  void screenshotAfterASearch() {
    QCOMPARE(SearchFor(QStringLiteral("stikkontakt")), 2);
    ClickCell(TResultModel::kMarkColumn, 1);
    QCoreApplication::processEvents();
    const QImage shot = window_->grab().toImage();
    QDir().mkpath(QStringLiteral(CATALOG_SCREENSHOT_DIR));
    QVERIFY(shot.save(QStringLiteral(CATALOG_SCREENSHOT_DIR "/searchwindow.png")));

    // Text is drawn in the rows of the two hits and nothing in the empty rows: a cell
    // is compared pixel by pixel with the cell of the same column two rows further
    // down, which has the same background.
    const QImage grid = Grid()->viewport()->grab().toImage();
    const auto drawn = [&grid, this](int column, int row) {
      const QRect cell = Grid()->visualRect(Grid()->model()->index(row, column));
      const QRect below = Grid()->visualRect(Grid()->model()->index(row + 2, column));
      int count = 0;
      for (int y = 0; y < cell.height(); ++y) {
        for (int x = 0; x < cell.width(); ++x) {
          if (grid.pixel(cell.left() + x, cell.top() + y) != grid.pixel(below.left() + x, below.top() + y))
            ++count;
        }
      }
      return count;
    };
    QVERIFY(drawn(TResultModel::kItemTextColumn, 1) > 50);
    QVERIFY(drawn(TResultModel::kPriceColumn, 2) > 20);
    QVERIFY(drawn(TResultModel::kMarkColumn, 1) > 20);   // marked
    QCOMPARE(drawn(TResultModel::kMarkColumn, 2), 0);     // not marked
    QCOMPARE(drawn(TResultModel::kItemTextColumn, 3), 0);
    QCOMPARE(drawn(TResultModel::kPriceColumn, 4), 0);
  }
};

QTEST_MAIN(SearchWindowTest)
#include "tst_searchwindow.moc"
