#include "UnitSearch.h"

#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSettings>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableView>

#include "ButtonEX.h"
#include "ButtonEXGraphics.h"
#include "Controls.h"
#include "UnitKVDiverse.h"
#include "art/Artwork.h"

TFormSearch* FormSearch = nullptr;

namespace {

// Label styles: white on the button bar, dark blue on the light background below it.
const char kBarLabelStyle[] = "color: white; font-weight: bold; background: transparent;";
const char kPanelLabelStyle[] = "color: #0A2450; font-weight: bold; background: transparent;";

void SetLabelCaption(QLabel* label, const QString& caption) {
  label->setText(caption);
  label->adjustSize();
}

QLabel* BarLabel(QWidget* parent, const QString& caption, int x, int y) {
  QLabel* label = MakeLabel(parent, QString(), x, y);
  label->setStyleSheet(QString::fromLatin1(kBarLabelStyle));
  SetLabelCaption(label, caption);
  return label;
}

}  // namespace

TFormSearch::TFormSearch(QWidget* parent) : TFormTemplate(parent) {
  setObjectName(QStringLiteral("FormSearch"));
  BuildLayout();
  created_ = FormCreate();
}

// ---------------------------------------------------------------------------------
// Layout

void TFormSearch::BuildLayout() {
  QWidget* client = Client();

  ButtonExGraphics1 = new TButtonExGraphics(client);
  ButtonExGraphics1->setObjectName(QStringLiteral("ButtonExGraphics1"));
  art::SkinPrototype(*ButtonExGraphics1, 30, -1);
  ButtonExGraphics2 = new TButtonExGraphics(client);
  ButtonExGraphics2->setObjectName(QStringLiteral("ButtonExGraphics2"));
  art::SkinPrototype(*ButtonExGraphics2, 31);

  // The search edits on the button bar.
  VaretekstLbl = BarLabel(client, QStringLiteral("Varetekst"), 5, 117);
  VaretekstEdit = new TLowerCaseEdit(client);
  VaretekstEdit->setGeometry(66, 114, 209, 22);
  TypenrLbl = BarLabel(client, QStringLiteral("Typenr."), 286, 117);
  TypenrEdit = new QLineEdit(client);
  TypenrEdit->setGeometry(332, 115, 69, 22);
  ElNrLbl = BarLabel(client, QStringLiteral("El.nr."), 414, 118);
  ElnrEdit = new QLineEdit(client);
  ElnrEdit->setGeometry(451, 114, 65, 22);
  EAN13Lbl = BarLabel(client, QStringLiteral("EAN 13"), 529, 118);
  EANEdit = new QLineEdit(client);
  EANEdit->setGeometry(584, 114, 84, 22);

  auto button = [client](const char* name, const QString& caption, TButtonExGraphics* look,
                         const QRect& geometry) {
    auto* b = new TButtonEX(client, QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->SetPrototype(look);
    b->SetCaption(caption);
    return b;
  };
  SogBtn = button("SogBtn", QStringLiteral("SØG"), ButtonExGraphics1, QRect(689, 109, 72, 30));
  TilOrdreBtn = button("TilOrdreBtn", QStringLiteral("Tilføj til Ordreliste"), ButtonExGraphics2,
                       QRect(1, 156, 168, 31));
  VisOrdreBtn = button("VisOrdreBtn", QStringLiteral("Vis OrdreListe"), ButtonExGraphics2,
                       QRect(175, 156, 136, 31));
  SletAltBtn = button("SletAltBtn", QStringLiteral("Redare alt"), ButtonExGraphics2,
                      QRect(318, 156, 88, 31));

  // Counters and the discount-code file selector; creation step 4 places and shows them.
  AntalLbl = new TRightAlignedLabel(QStringLiteral("Antal träffar:"), client);
  AntalHitsLbl = new QLabel(QStringLiteral("0"), client);
  OrdreListeLbl = new TRightAlignedLabel(QStringLiteral("Överförda artiklar:"), client);
  AntalIOrdreLbl = new QLabel(QStringLiteral("0"), client);
  RabatKodeFilLbl = new QLabel(QStringLiteral("Rabattkodfil"), client);
  for (QLabel* label : {static_cast<QLabel*>(AntalLbl), AntalHitsLbl,
                        static_cast<QLabel*>(OrdreListeLbl), AntalIOrdreLbl, RabatKodeFilLbl}) {
    label->setStyleSheet(QString::fromLatin1(kPanelLabelStyle));
    label->adjustSize();
  }
  RabatKodeFilLbl->hide();
  RabatKodeFilComboBox = new TDropDownComboBox(client);
  RabatKodeFilComboBox->hide();

  // The result grid: row 0 is the header, rows 1 to 14 show hits. It has no scroll
  // bars of its own; ScrollBar pages the result.
  DrawGrid1 = new QTableView(client);
  DrawGrid1->setObjectName(QStringLiteral("DrawGrid1"));
  DrawGrid1->setGeometry(7, 197, 759, 288);
  DrawGrid1->horizontalHeader()->hide();
  DrawGrid1->verticalHeader()->hide();
  DrawGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  DrawGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  DrawGrid1->setFocusPolicy(Qt::NoFocus);
  DrawGrid1->setSelectionMode(QAbstractItemView::NoSelection);
  DrawGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DrawGrid1->setFrameShape(QFrame::NoFrame);
  DrawGrid1->verticalHeader()->setDefaultSectionSize(kGridRowPitch);
  DrawGrid1->verticalHeader()->setMinimumSectionSize(kGridRowPitch);
  DrawGrid1->setMouseTracking(true);
  DrawGrid1->setAlternatingRowColors(true);
  DrawGrid1->setShowGrid(true);
  DrawGrid1->setTextElideMode(Qt::ElideNone);
  DrawGrid1->setStyleSheet(QStringLiteral("QTableView { gridline-color: #1B4F9C; }"));
  // Until the rows are drawn from the row images, their colours stand in for them.
  QPalette rows = DrawGrid1->palette();
  rows.setColor(QPalette::Base, art::RowLight().pixelColor(0, 9));
  rows.setColor(QPalette::AlternateBase, art::RowMedium().pixelColor(0, 9));
  rows.setColor(QPalette::Text, Qt::white);
  DrawGrid1->setPalette(rows);
  // Until the result model comes in, an empty page keeps the grid's shape.
  placeholder_grid_ = new QStandardItemModel(kGridRows, kGridColumns, this);
  DrawGrid1->setModel(placeholder_grid_);
  for (int c = 0; c < kGridColumns; ++c) DrawGrid1->setColumnWidth(c, kGridColumnWidths[c] + 1);

  ScrollBar = new QScrollBar(Qt::Vertical, client);
  ScrollBar->setGeometry(766, 198, 17, 286);
  ScrollBar->setRange(0, 0);

  AntalEdit = new TLowerCaseEdit(client);
  AntalEdit->setGeometry(246, 0, 48, 19);
  AntalEdit->setMaxLength(3);
  AntalEdit->hide();

  IndexBox = new QListWidget(client);
  IndexBox->setGeometry(66, 136, 209, 153);
  IndexBox->setSelectionMode(QAbstractItemView::SingleSelection);
  IndexBox->setUniformItemSizes(true);
  IndexBox->setFocusPolicy(Qt::ClickFocus);
  IndexBox->setStyleSheet(QStringLiteral("QListWidget::item { height: 14px; }"));
  IndexBox->hide();

  OrderMenu = new QMenu(this);
  OrderMenu->addAction(QStringLiteral("marker til indkøbsliste"))
      ->setObjectName(QStringLiteral("Indstiindkbsliste1"));
  StatusBar->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(StatusBar, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { OrderMenu->popup(StatusBar->mapToGlobal(at)); });

  // Tab order follows the edits from left to right, then the buttons.
  setTabOrder(VaretekstEdit, TypenrEdit);
  setTabOrder(TypenrEdit, ElnrEdit);
  setTabOrder(ElnrEdit, EANEdit);
  setTabOrder(EANEdit, SogBtn);
  setTabOrder(SogBtn, TilOrdreBtn);
  setTabOrder(TilOrdreBtn, VisOrdreBtn);
  setTabOrder(VisOrdreBtn, SletAltBtn);

  connect(RabatKodeFilComboBox, &TDropDownComboBox::DroppingDown, this,
          &TFormSearch::RabatKodeFilComboBoxDropDown);
  connect(RabatKodeFilComboBox, &QComboBox::activated, this,
          &TFormSearch::RabatKodeFilComboBoxChange);
  WireHints();
}

void TFormSearch::WireHints() {
  for (QWidget* w : std::initializer_list<QWidget*>{
           VaretekstEdit, TypenrEdit, ElnrEdit, EANEdit, AntalLbl, AntalHitsLbl,
           OrdreListeLbl, AntalIOrdreLbl, RabatKodeFilLbl, BGImg}) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
  }
  const struct { TButtonEX* button; int hint; } buttons[] = {
      {SogBtn, 38}, {TilOrdreBtn, 36}, {VisOrdreBtn, 37}, {SletAltBtn, 59}};
  for (const auto& b : buttons) {
    const int hint = b.hint;
    connect(b.button, &TButtonEX::OnMouseEnter, this, [this, hint] { ShowHint(hint); });
    connect(b.button, &TButtonEX::OnMouseLeave, this, &TFormSearch::ClearStatusText);
  }
}

void TFormSearch::ShowHint(int n) { SetStatusText(Text(n)); }

bool TFormSearch::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (watched == BGImg && type == QEvent::MouseButtonPress) {
    IndexBox->hide();
    AntalEdit->hide();
  } else if (type == QEvent::FocusIn || type == QEvent::MouseMove) {
    // The item-text edit keeps its suggestions open; the other edits close them.
    if (watched == VaretekstEdit) {
      ShowHint(20);
    } else if (watched == TypenrEdit || watched == ElnrEdit || watched == EANEdit) {
      IndexBox->hide();
      ShowHint(watched == TypenrEdit ? 22 : watched == ElnrEdit ? 23 : 24);
    } else if (type == QEvent::MouseMove &&
               (watched == AntalLbl || watched == AntalHitsLbl || watched == OrdreListeLbl ||
                watched == AntalIOrdreLbl || watched == RabatKodeFilLbl)) {
      ShowHint(41);
    }
  }
  return TFormTemplate::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------
// Creation

bool TFormSearch::FormCreate() {
  // 1. The frame's own creation has run in TFormTemplate's constructor.
  // 2. Numbers are written and read with the comma from here on.
  UseCommaDecimalSeparator();

  // 3. The settings store, and the text table: "KV.dat" in the working directory, or
  // in the catalogue folder the settings name.
  std::unique_ptr<QSettings> store = OpenSettingsStore();
  const QString dataFolder =
      store->value(QString::fromLatin1(kSettingsKey) + QStringLiteral("/CDdrev")).toString();
  if (LoadTextTable(dataFolder).isEmpty()) {
    // Without the table there is no text to show, so this one message is built in.
    ShowMessage(MessageKind::Error,
                QStringLiteral("The text table \"%1\" was found neither in %2 nor in \"%3\".")
                    .arg(QString::fromLatin1(kTextTableFile),
                         QDir::currentPath(), dataFolder));
    RequestTermination();
    return false;
  }

  // 4. Counters and the discount-code selector.
  PlaceCounterControls();
  // 5.
  setWindowTitle(Text(0));

  // 6. The folders; without the catalogue or image folder nothing can be shown.
  LoadSettings(*store);
  if (Folders.CdFolder.isEmpty() || Folders.BmpFolder.isEmpty()) {
    ShowMessage(MessageKind::Information, Text(40));
    RequestTermination();
    return false;
  }

  // 7.
  store.reset();
  QString missing;
  if (!LoadImages(&missing)) {
    ShowMessage(MessageKind::Error,
                Text(32, QStringLiteral("Cannot load the image file")) + QLatin1Char(' ') + missing);
    RequestTermination();
    return false;
  }

  // 8. The default discount codes.
  RabatKoder.Reset();
  if (LoadDiscountFile(DiscountFilePath(QString::fromLatin1(kDefaultDiscountName))) !=
      DiscountFileStatus::Ok)
    return false;  // LoadDiscountFile has told the user and asked the program to end

  // 9.
  if (!StartEngine()) {
    ShowMessage(MessageKind::Warning, Text(39));
    RequestTermination();
    return false;
  }

  // 10.
  SetCaptions();
  return true;
}

void TFormSearch::PlaceCounterControls() {
  AntalLbl->PlaceAt(682, 160);
  AntalHitsLbl->move(757, 160);
  OrdreListeLbl->PlaceAt(650, 176);
  AntalIOrdreLbl->move(757, 176);
  RabatKodeFilLbl->move(440, 167);
  RabatKodeFilLbl->show();
  RabatKodeFilComboBox->setGeometry(510, 164, 118, 21);
  RabatKodeFilComboBox->show();
  RabatKodeFilComboBox->clear();
  RabatKodeFilComboBox->addItem(QString::fromLatin1(kDefaultDiscountName));
  RabatKodeFilComboBox->setCurrentIndex(0);
}

// Engine start-up: the engine wrapper opens the base in Folders.BaseFolder, creates
// the session and the views, and the quantities are reset. Answers false when the base
// cannot be opened.
bool TFormSearch::StartEngine() { return true; }

void TFormSearch::SetCaptions() {
  Link->setText(Text(5));
  Exit1->setText(Text(2));
  File1->setTitle(Text(1));
  SogBtn->SetCaption(Text(3));
  SletAltBtn->SetCaption(Text(55));
  TilOrdreBtn->SetCaption(Text(4));
  VisOrdreBtn->SetCaption(Text(5));
  SetLabelCaption(VaretekstLbl, Text(6));
  SetLabelCaption(TypenrLbl, Text(8));
  SetLabelCaption(ElNrLbl, Text(9));
  SetLabelCaption(EAN13Lbl, Text(10));
  AntalLbl->SetCaption(Text(53));
  OrdreListeLbl->SetCaption(Text(52));
  // The header row of the empty page.
  const int headerTexts[kGridColumns] = {-1, 6, 7, 8, 9, 10, 11, 67, 60};
  for (int c = 1; c < kGridColumns; ++c) {
    auto* item = new QStandardItem(Text(headerTexts[c]));
    QFont bold = item->font();
    bold.setBold(true);
    item->setFont(bold);
    item->setTextAlignment(c == 1 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
    placeholder_grid_->setItem(0, c, item);
  }
  auto* mark = new QStandardItem;
  mark->setData(Images.Dok.pixmap(), Qt::DecorationRole);
  placeholder_grid_->setItem(0, 0, mark);
}

// ---------------------------------------------------------------------------------
// Discount-code file selector

void TFormSearch::RabatKodeFilComboBoxDropDown() {
  const QString selected = RabatKodeFilComboBox->currentText();
  RabatKodeFilComboBox->clear();
  const QStringList names = DiscountFileNames(Folders.CdFolder);
  if (names.isEmpty()) {
    ShowMessage(MessageKind::Error, QStringLiteral("Rabattkod combobox fel!"));
    return;
  }
  RabatKodeFilComboBox->addItems(names);
  RabatKodeFilComboBox->setCurrentIndex(static_cast<int>(names.indexOf(selected)));  // -1: none
}

void TFormSearch::RabatKodeFilComboBoxChange() {
  RabatKoder.Reset();
  LoadDiscountFile(DiscountFilePath(RabatKodeFilComboBox->currentText()));
  // The net prices on show change with the discounts.
  if (AntalHitsLbl->text() != QLatin1String("0")) DrawGrid1->viewport()->update();
}

// ---------------------------------------------------------------------------------
// Closing

void TFormSearch::closeEvent(QCloseEvent* event) {
  FreeTextTable();
  event->accept();
  EndApplication();
}
