// The search grid beyond paging: ordering the hits by a column's header, marks and
// quantities that stay with their products, tooltips of cut texts, the details window,
// the keyboard (shortcuts, the grid's cursor, the tab order), on a base built for the
// test with the demo catalogue's schema and a multi-line remark field.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <algorithm>

#include "ButtonEX.h"
#include "NamedChild.h"
#include "CatalogSettings.h"
#include "CatalogueFolder.h"
#include "TestFiles.h"
#include "DemoBase.h"
#include "KvPrintUnit.h"
#include "LodexKV.h"
#include "Marking.h"
#include "ResultGrid.h"
#include "ResultModel.h"
#include "ResultSort.h"
#include "UnitDetails.h"
#include "CatalogStartup.h"
#include "Messages.h"
#include "TextTable.h"
#include "UnitOrder.h"
#include "UnitSearch.h"

namespace {

const QString kChargerText = QStringLiteral("Ladeboks elbil 22kW 32A 3-faset type 2 med fast kabel");
const QString kChargerRemark =
    QStringLiteral("Monteres af autoriseret installatør.\nLeveres med vægbeslag.\nGaranti 3 år.");

// 24 cables with prices 1,75 to 24,75 in an order of their own, a cable without a price,
// a charger whose item text does not fit its cell, and a cable of the second table (a
// cheaper one the grid never shows: it pages the first table's hits).
QList<TDemoProduct> Products() {
  QList<TDemoProduct> products;
  for (int k = 0; k < 24; ++k) {
    products.append({QStringLiteral("Kabel NYM %1 mm").arg(k + 1),
                     QStringLiteral("KB%1").arg(k, 2, 10, QLatin1Char('0')),
                     QStringLiteral("30 000 %1").arg(k, 2, 10, QLatin1Char('0')),
                     QStringLiteral("57300000000%1").arg(k, 2, 10, QLatin1Char('0')),
                     QStringLiteral("%1,75").arg((k * 7) % 24 + 1), QStringLiteral("K2")});
  }
  products.append({QStringLiteral("Kabel uden pris"), QStringLiteral("KB99"),
                   QStringLiteral("30 000 99"), QString(), QString(), QStringLiteral("K2")});
  TDemoProduct charger{kChargerText,        QStringLiteral("LB22"), QStringLiteral("49 904 27"),
                       QStringLiteral("5712345678901"), QStringLiteral("8995,00"),
                       QStringLiteral("K1")};
  charger.remark = kChargerRemark;
  products.append(charger);
  TDemoProduct old{QStringLiteral("Kabel udgået"), QStringLiteral("KBX"), QStringLiteral("30 000 98"),
                   QString(), QStringLiteral("0,05"), QStringLiteral("K2")};
  old.table = QStringLiteral("UDGÅEDE VARER");
  products.append(old);
  return products;
}

// The demo schema with a published multi-line remark field.
std::string SchemaWithRemark() {
  std::string schema = lodex::build::DemoSchemaJson();
  const std::string unit = R"({"number": 210,)";
  schema.insert(schema.find(unit),
                R"({"number": 220, "name": "Bemærkning", "column": "Bemærkning", "length": 250,
     "multiline": true, "published": true},
    )");
  return schema;
}

// Type numbers of the first table's products matching "kabel", in base order and ordered
// by price (the product without a price last, in both directions).
QStringList CableTypes(int direction) {
  QList<TDemoProduct> cables;
  for (const TDemoProduct& p : Products()) {
    if (p.table == QLatin1String("VARER") && p.text.contains(QLatin1String("abel"))) cables.append(p);
  }
  QList<TDemoProduct> priced, unpriced;
  for (const TDemoProduct& p : cables) (p.price.isEmpty() ? unpriced : priced).append(p);
  if (direction != 0) {
    QStringList prices;
    std::stable_sort(priced.begin(), priced.end(), [direction](const auto& a, const auto& b) {
      const double pa = QString(a.price).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
      const double pb = QString(b.price).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
      return direction > 0 ? pa < pb : pa > pb;
    });
    cables = priced + unpriced;
  }
  QStringList types;
  for (const TDemoProduct& p : cables) types << p.type_number;
  return types;
}

// "Ctrl+F Search in item text" for each entry of a window's file menu with a shortcut.
QStringList FileMenuShortcuts(QMainWindow* window) {
  QStringList shortcuts;
  for (QAction* action : window->menuBar()->actions().first()->menu()->actions()) {
    if (!action->shortcut().isEmpty()) shortcuts << action->shortcut().toString() + ' ' + action->text();
  }
  return shortcuts;
}

}  // namespace

class SortedGridTest : public QObject {
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
  TResultGrid* Grid() const { return Child<TResultGrid>("DrawGrid1"); }
  QScrollBar* Scroll() const { return Child<QScrollBar>("ScrollBar"); }
  QLineEdit* ItemText() const { return Child<QLineEdit>("VaretekstEdit"); }
  TEngineState& Engine() { return window_->Engine(); }

  int SearchFor(const QString& item) {
    for (const char* name : {"VaretekstEdit", "TypenrEdit", "ElnrEdit", "EANEdit"}) {
      Child<QLineEdit>(name)->clear();
    }
    ItemText()->setText(item);
    window_->SogBtnClick();
    return Engine().ResultView->HitTotal();
  }
  QVariant Data(int column, int row, int role = Qt::DisplayRole) const {
    const QAbstractItemModel* model = Grid()->model();
    return model->data(model->index(row, column), role);
  }
  QString Cell(int column, int row) const { return Data(column, row).toString(); }
  QRect CellRect(int column, int row) const {
    return Grid()->visualRect(Grid()->model()->index(row, column));
  }
  void ClickCell(int column, int row) {
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      CellRect(column, row).center());
  }
  void HoverCell(int column, int row) {
    QTest::mouseMove(Grid()->viewport(), CellRect(column, row).center());
  }
  // The type numbers of the whole result, in the grid's order, read page by page.
  QStringList GridTypes() {
    QStringList types;
    const int total = Engine().ResultView->HitTotal();
    Scroll()->triggerAction(QAbstractSlider::SliderToMinimum);
    while (types.size() < total) {
      const int top = Engine().ResultView->Top;
      for (int row = 1; row < 15 && top + row - 1 < total; ++row) {
        if (top + row - 1 == types.size()) types << Cell(TResultModel::kTypeNumberColumn, row);
      }
      if (types.size() >= total) break;
      Scroll()->triggerAction(QAbstractSlider::SliderPageStepAdd);
      if (Engine().ResultView->Top == top) break;
    }
    Scroll()->triggerAction(QAbstractSlider::SliderToMinimum);
    return types;
  }
  QStringList FirstPageTypes() const {
    QStringList types;
    for (int row = 1; row < 15; ++row) {
      if (Data(0, row, TResultModel::HitRole).toInt() < 0) break;
      types << Cell(TResultModel::kTypeNumberColumn, row);
    }
    return types;
  }
  // Type number of a hit in the present order, through the engine.
  QString TypeOfHit(int hit) {
    TLodexKV& engine = *Engine().Engine;
    if (engine.FetchRecord(Engine().Session, hit) < 0) return QString();
    return engine.GetFieldData(Engine().Session, 120);
  }
  QStringList MarkedTypes() {
    QStringList types;
    for (int i = 0; i < Engine().Marking->Count(); ++i) types << TypeOfHit(Engine().Marking->Get(i));
    types.sort();
    return types;
  }
  int QuantityOfType(const QString& type) {
    for (int hit = 0; hit < Engine().ResultView->HitTotal(); ++hit) {
      if (TypeOfHit(hit) == type) return Engine().Quantities.ForHit(hit);
    }
    return -1;
  }
  int HitOfType(const QString& type) {
    for (int hit = 0; hit < Engine().ResultView->HitTotal(); ++hit) {
      if (TypeOfHit(hit) == type) return hit;
    }
    return -1;
  }
  // Brings a hit into the grid's first row and answers that row.
  int ShowHit(int hit) {
    Scroll()->setValue(std::min(hit, Scroll()->maximum()));
    return hit - Engine().ResultView->Top + 1;
  }
  void Activate(QWidget* window) {
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
  }

 private slots:
  void initTestCase() {
    base_ = std::make_unique<TDemoBase>(Products(), SchemaWithRemark());
    QVERIFY2(!base_->Path().isEmpty(), qPrintable(base_->Error()));
    QVERIFY(folder_.IsValid());
    QVERIFY(WriteWholeFile(folder_.Path(QStringLiteral("Rabattkod Default.txt")),
                           "Rabatkode\tProcent\r\nK1\t10\r\nK2\t25\r\n"));
    SetSettingsFile(folder_.WriteSettings(base_->Path()));
    SetMessageHandler([this](MessageKind, const QString& text) { messages_ << text; });
    std::unique_ptr<TCatalogStart> start = StartCatalog();
    QVERIFY2(start, qPrintable(messages_.join('\n')));
    window_ = std::make_unique<TFormSearch>(std::move(*start));
    Activate(window_.get());
  }

  void init() {
    messages_.clear();
    if (!window_->isVisible()) Activate(window_.get());
  }

  void priceHeaderSortsAscendingThenDescendingThenBack() {
    QCOMPARE(SearchFor(QStringLiteral("kabel")), 26);
    QCOMPARE(Child<QLabel>("AntalHitsLbl")->text(), QStringLiteral("27"));  // both tables
    const QStringList base_order = CableTypes(0);
    QCOMPARE(GridTypes(), base_order);

    ClickCell(TResultModel::kPriceColumn, 0);
    QCOMPARE(Data(TResultModel::kPriceColumn, 0, TResultModel::SortOrderRole).toInt(), 1);
    QCOMPARE(FirstPageTypes(), CableTypes(1).mid(0, 14));
    QCOMPARE(Cell(TResultModel::kPriceColumn, 1), QStringLiteral("1,75"));
    QCOMPARE(Scroll()->value(), 0);
    QCOMPARE(GridTypes(), CableTypes(1));  // the cable without a price comes last

    ClickCell(TResultModel::kPriceColumn, 0);
    QCOMPARE(Data(TResultModel::kPriceColumn, 0, TResultModel::SortOrderRole).toInt(), 2);
    QCOMPARE(FirstPageTypes(), CableTypes(-1).mid(0, 14));
    QCOMPARE(Cell(TResultModel::kPriceColumn, 1), QStringLiteral("8995,00"));
    QCOMPARE(GridTypes(), CableTypes(-1));

    ClickCell(TResultModel::kPriceColumn, 0);
    QCOMPARE(Data(TResultModel::kPriceColumn, 0, TResultModel::SortOrderRole).toInt(), 0);
    QCOMPARE(GridTypes(), base_order);

    // The item text sorts too; a new search is back in base order.
    ClickCell(TResultModel::kItemTextColumn, 0);
    QCOMPARE(Data(TResultModel::kItemTextColumn, 0, TResultModel::SortOrderRole).toInt(), 1);
    QCOMPARE(Cell(TResultModel::kItemTextColumn, 1), QStringLiteral("Kabel NYM 1 mm"));
    QCOMPARE(SearchFor(QStringLiteral("kabel")), 26);
    QCOMPARE(Data(TResultModel::kItemTextColumn, 0, TResultModel::SortOrderRole).toInt(), 0);
    QCOMPARE(GridTypes(), base_order);
  }

  void columnsWithoutASortFieldTakeNoClickAndSaySo() {
    QCOMPARE(SearchFor(QStringLiteral("kabel")), 26);
    QVERIFY(!Text(TextId::HintSortColumn).isEmpty() && Text(TextId::HintSortColumn) != Text(TextId::HintNoSortColumn));
    const QStringList first_page = FirstPageTypes();
    for (int column : {2, 3, 4, 5, 7, 8}) {
      QVERIFY(!Data(column, 0, TResultModel::SortableRole).toBool());
      ClickCell(column, 0);
      QCOMPARE(Engine().Marking->Count(), 0);
      QCOMPARE(FirstPageTypes(), first_page);
      HoverCell(column, 0);
      QCOMPARE(window_->StatusText(), Text(TextId::HintNoSortColumn));
    }
    for (int column : {1, 6}) {
      QVERIFY(Data(column, 0, TResultModel::SortableRole).toBool());
      HoverCell(column, 0);
      QCOMPARE(window_->StatusText(), Text(TextId::HintSortColumn));
    }
    HoverCell(TResultModel::kPriceColumn, 3);
    QCOMPARE(window_->StatusText(), Text(TextId::HintPriceColumn));
    // The mark column's header still marks every hit, sorted or not.
    ClickCell(TResultModel::kPriceColumn, 0);
    ClickCell(TResultModel::kMarkColumn, 0);
    QCOMPARE(Engine().Marking->Count(), 26);
    QVERIFY(Data(TResultModel::kMarkColumn, 14, TResultModel::MarkedRole).toBool());
  }

  void marksAndQuantitiesStayWithTheirProducts() {
    QCOMPARE(SearchFor(QStringLiteral("kabel")), 26);
    for (const QString& type : {QStringLiteral("KB03"), QStringLiteral("KB20"), QStringLiteral("KB99")}) {
      ClickCell(TResultModel::kMarkColumn, ShowHit(HitOfType(type)));
    }
    const int row = ShowHit(HitOfType(QStringLiteral("KB07")));
    ClickCell(TResultModel::kQuantityColumn, row);
    auto* quantity = Child<QLineEdit>("AntalEdit");
    QVERIFY(quantity->isVisible());
    QTest::keyClicks(quantity, QStringLiteral("5"));
    QTest::keyClick(quantity, Qt::Key_Return);
    const QStringList marked{QStringLiteral("KB03"), QStringLiteral("KB20"), QStringLiteral("KB99")};
    QCOMPARE(MarkedTypes(), marked);
    QCOMPARE(QuantityOfType(QStringLiteral("KB07")), 5);

    for (int click = 1; click <= 3; ++click) {  // ascending, descending, base order
      ClickCell(TResultModel::kPriceColumn, 0);
      QCOMPARE(Engine().Marking->Count(), 3);
      QCOMPARE(MarkedTypes(), marked);
      QCOMPARE(QuantityOfType(QStringLiteral("KB07")), 5);
      QCOMPARE(QuantityOfType(QStringLiteral("KB08")), 1);
      // The grid shows them on the products' new rows.
      const int shown = ShowHit(HitOfType(QStringLiteral("KB07")));
      QCOMPARE(Cell(TResultModel::kTypeNumberColumn, shown), QStringLiteral("KB07"));
      QCOMPARE(Cell(TResultModel::kQuantityColumn, shown), QStringLiteral("5"));
      const int marked_row = ShowHit(HitOfType(QStringLiteral("KB20")));
      QVERIFY(Data(TResultModel::kMarkColumn, marked_row, TResultModel::MarkedRole).toBool());
    }
    QCOMPARE(window_->Sort()->CurrentOrder(), TResultSort::Order::Base);
  }

  void aCutCellShowsItsWholeTextAsTooltip() {
    QCOMPARE(SearchFor(QStringLiteral("ladeboks")), 1);
    QCOMPARE(Cell(TResultModel::kItemTextColumn, 1), kChargerText);
    const QRect cut = CellRect(TResultModel::kItemTextColumn, 1);
    QHelpEvent tip(QEvent::ToolTip, cut.center(), Grid()->viewport()->mapToGlobal(cut.center()));
    QCoreApplication::sendEvent(Grid()->viewport(), &tip);
    QTRY_COMPARE(QToolTip::text(), kChargerText);
    // A text that fits has no tooltip.
    const QRect fits = CellRect(TResultModel::kTypeNumberColumn, 1);
    QHelpEvent none(QEvent::ToolTip, fits.center(), Grid()->viewport()->mapToGlobal(fits.center()));
    QCoreApplication::sendEvent(Grid()->viewport(), &none);
    QTRY_VERIFY(QToolTip::text().isEmpty() || !QToolTip::isVisible());
  }

  void doubleClickShowsEveryPublishedFieldAndClosingReturnsToTheGrid() {
    QCOMPARE(SearchFor(QStringLiteral("ladeboks")), 1);
    QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       CellRect(TResultModel::kPriceColumn, 1).center());
    TFormDetails* details = window_->Details();
    QVERIFY(details);
    QTRY_VERIFY(details->isVisible());
    QCOMPARE(Engine().Marking->Count(), 0);  // a double click on the text marks nothing

    QStringList names, texts;
    for (const TDetailField& field : details->Fields()) {
      names << field.Name;
      texts << field.Text;
    }
    QCOMPARE(names, (QStringList{"Varetekst", "Typenr", "El.nr.", "EAN", "Bruttopris", "Rabatkode",
                                 QString::fromUtf8("Leverandør"), QString::fromUtf8("Bemærkning"),
                                 "Enhed"}));
    QCOMPARE(texts, (QStringList{kChargerText, "LB22", "49 904 27", "5712345678901", "8995,00", "K1",
                                 "Test", kChargerRemark, "STK"}));
    // The remark is shown whole, on its three lines.
    auto* remark = qobject_cast<QPlainTextEdit*>(details->FieldEditor(7));
    QVERIFY(remark);
    QCOMPARE(remark->toPlainText(), kChargerRemark);
    QCOMPARE(remark->document()->blockCount(), 3);
    QVERIFY(remark->isReadOnly());
    QCOMPARE(qobject_cast<QLineEdit*>(details->FieldEditor(0))->text(), kChargerText);

    QVERIFY(QTest::qWaitForWindowExposed(details));
    const QImage shot = details->grab().toImage();
    QDir().mkpath(QStringLiteral(CATALOG_SCREENSHOT_DIR));
    QVERIFY(shot.save(QStringLiteral(CATALOG_SCREENSHOT_DIR "/details.png")));
    QCOMPARE(shot.size(), details->size() * shot.devicePixelRatio());
    // Text is drawn in the remark box: its pixels are not all the box's background.
    const QRect box(remark->viewport()->mapTo(details, QPoint(0, 0)), remark->viewport()->size());
    const QRgb background = shot.pixel(box.right() - 2, box.bottom() - 2);
    int drawn = 0;
    for (int y = box.top(); y < box.bottom(); ++y) {
      for (int x = box.left(); x < box.left() + box.width() / 2; ++x) drawn += shot.pixel(x, y) != background;
    }
    QVERIFY2(drawn > 100, qPrintable(QString::number(drawn)));

    QTest::keyClick(details, Qt::Key_Escape);
    QTRY_VERIFY(!details->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Grid()));
  }

  void gridKeysMoveTheCursorMarkAndScroll() {
    QCOMPARE(SearchFor(QStringLiteral("kabel")), 26);
    Grid()->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(Grid()->hasFocus());
    QCOMPARE(window_->StatusText(), Text(TextId::HintGridKeys));
    QCOMPARE(Grid()->CursorRow(), 1);
    QTest::keyClick(Grid(), Qt::Key_Down);
    QTest::keyClick(Grid(), Qt::Key_Down);
    QCOMPARE(Grid()->CursorRow(), 3);
    QTest::keyClick(Grid(), Qt::Key_Space);
    QVERIFY(Engine().Marking->IsMarked(2));
    QTest::keyClick(Grid(), Qt::Key_Space);
    QCOMPARE(Engine().Marking->Count(), 0);
    QTest::keyClick(Grid(), Qt::Key_Up);
    QTest::keyClick(Grid(), Qt::Key_Up);
    QTest::keyClick(Grid(), Qt::Key_Up);  // at the first row: nothing above
    QCOMPARE(Grid()->CursorRow(), 1);
    QCOMPARE(Scroll()->value(), 0);
    // Down from the last row scrolls by a line, Up from the first back again.
    Grid()->SetCursorRow(14);
    QTest::keyClick(Grid(), Qt::Key_Down);
    QCOMPARE(Scroll()->value(), 1);
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 1), CableTypes(0)[1]);
    Grid()->SetCursorRow(1);
    QTest::keyClick(Grid(), Qt::Key_Up);
    QCOMPARE(Scroll()->value(), 0);
    // Page Down and Page Up move as the scroll bar's page step does.
    QTest::keyClick(Grid(), Qt::Key_PageDown);
    QCOMPARE(Scroll()->value(), 12);  // 26 hits: the last page starts at hit 12
    QCOMPARE(Cell(TResultModel::kTypeNumberColumn, 1), CableTypes(0)[12]);
    QTest::keyClick(Grid(), Qt::Key_PageUp);
    QCOMPARE(Scroll()->value(), 0);
    // Enter shows the cursor row's details.
    Grid()->SetCursorRow(2);
    QTest::keyClick(Grid(), Qt::Key_Return);
    QTRY_VERIFY(window_->Details() && window_->Details()->isVisible());
    QCOMPARE(window_->Details()->Fields().value(1).Text, CableTypes(0)[1]);
    window_->Details()->close();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Grid()));
  }

  void searchWindowShortcutsAreInTheMenu() {
    // The file menu shows the commands with their shortcuts.
    QCOMPARE(FileMenuShortcuts(window_.get()), (QStringList{"Ctrl+F " + Text(TextId::FindItemTextMenu), "Ctrl+T " + Text(TextId::AddMarkedMenu),
                                     "Ctrl+L " + Text(TextId::ShowOrderListMenu)}));
    QVERIFY(!Text(TextId::FindItemTextMenu).isEmpty());

    QCOMPARE(SearchFor(QStringLiteral("kabel")), 26);
    Grid()->setFocus();
    QTest::keyClick(window_.get(), Qt::Key_F, Qt::ControlModifier);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ItemText()));

    FormOrder = new TFormOrder;
    ClickCell(TResultModel::kMarkColumn, 1);
    ClickCell(TResultModel::kMarkColumn, 2);
    QTest::keyClick(window_.get(), Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(FormOrder->OrderLineCount(), 2);
    QCOMPARE(Engine().Marking->Count(), 0);
    QTest::keyClick(window_.get(), Qt::Key_L, Qt::ControlModifier);
    QVERIFY(FormOrder->isVisible());
    QVERIFY(!window_->isVisible());
    FormOrder->hide();
    delete FormOrder;
    FormOrder = nullptr;
  }

  void orderWindowShortcutsSaveOpenAndPrint() {
    FormOrder = new TFormOrder;
    FormPrint = new TFormPrint(FormOrder);
    QList<QFileDialog::AcceptMode> asked;
    FormOrder->SetFileChooser([&asked](QFileDialog::AcceptMode mode) {
      asked << mode;
      return QString();
    });
    QCOMPARE(FileMenuShortcuts(FormOrder), (QStringList{"Ctrl+S " + Text(TextId::SaveOrderListMenu), "Ctrl+O " + Text(TextId::OpenOrderListMenu),
                                     "Ctrl+P " + Text(TextId::PrintOrderListMenu)}));
    QVERIFY(!Text(TextId::SaveOrderListMenu).isEmpty());
    Activate(FormOrder);
    QTest::keyClick(FormOrder, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(FormOrder, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(asked, (QList<QFileDialog::AcceptMode>{QFileDialog::AcceptSave, QFileDialog::AcceptOpen}));
    QTest::keyClick(FormOrder, Qt::Key_P, Qt::ControlModifier);
    QTRY_VERIFY(FormPrint->isVisible());
    delete FormPrint;
    FormPrint = nullptr;
    delete FormOrder;
    FormOrder = nullptr;
  }

  void tabGoesThroughEditsButtonsAndGrid() {
    Activate(window_.get());
    ItemText()->setFocus(Qt::TabFocusReason);
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int step = 0; step < 9; ++step) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget* focus = QApplication::focusWidget();
      visited << (qobject_cast<QComboBox*>(focus) ? QStringLiteral("combo") : focus->objectName());
    }
    QCOMPARE(visited, (QStringList{"VaretekstEdit", "TypenrEdit", "ElnrEdit", "EANEdit", "SogBtn",
                                   "TilOrdreBtn", "VisOrdreBtn", "SletAltBtn", "combo", "DrawGrid1"}));

    // The order window's buttons follow each other from left to right, then the row below.
    TFormOrder order;
    QList<TButtonEX*> chain;
    for (TButtonEX* b : order.findChildren<TButtonEX*>()) {
      if (b->focusPolicy() & Qt::TabFocus) chain << b;
    }
    QCOMPARE(chain.size(), 5);
    TButtonEX* first = *std::min_element(chain.begin(), chain.end(), [](auto* a, auto* b) {
      return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    QWidget* at = first;
    QList<QPoint> places;
    for (int i = 0; i < 5; ++i) {
      places << at->pos();
      do at = at->nextInFocusChain(); while (!qobject_cast<TButtonEX*>(at));
    }
    QCOMPARE(places, (QList<QPoint>{{8, 109}, {86, 109}, {165, 109}, {245, 109}, {6, 156}}));
  }

  void screenshotOfTheSortedGrid() {
    QCOMPARE(SearchFor(QStringLiteral("kabel")), 26);
    ClickCell(TResultModel::kPriceColumn, 0);
    ClickCell(TResultModel::kPriceColumn, 0);  // descending
    ClickCell(TResultModel::kMarkColumn, 1);
    QCoreApplication::processEvents();
    const QImage shot = window_->grab().toImage();
    QDir().mkpath(QStringLiteral(CATALOG_SCREENSHOT_DIR));
    QVERIFY(shot.save(QStringLiteral(CATALOG_SCREENSHOT_DIR "/sortedgrid.png")));
    QCOMPARE(Cell(TResultModel::kPriceColumn, 1), QStringLiteral("8995,00"));

    // The arrow: white pixels at the right end of the price header, none at the
    // right end of the EAN header (its text is centred well away from it).
    const QImage grid = Grid()->viewport()->grab().toImage();
    const auto white_at_right_end = [&grid, this](int column) {
      const QRect cell = CellRect(column, 0);
      int count = 0;
      for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.right() - 11; x <= cell.right() - 2; ++x) count += grid.pixel(x, y) == qRgb(255, 255, 255);
      }
      return count;
    };
    QVERIFY2(white_at_right_end(TResultModel::kPriceColumn) >= 12,
             qPrintable(QString::number(white_at_right_end(TResultModel::kPriceColumn))));
    QCOMPARE(white_at_right_end(TResultModel::kEanColumn), 0);
  }
};

QTEST_MAIN(SortedGridTest)
#include "tst_sortedgrid.moc"
