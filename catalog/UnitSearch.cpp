#include "UnitSearch.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QHeaderView>
#include <QListWidget>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStatusBar>

#include "ButtonEX.h"
#include "ButtonEXGraphics.h"
#include "QuantityEditor.h"
#include "CatalogImages.h"
#include "CatalogSettings.h"
#include "Controls.h"
#include "DiscountCodes.h"
#include "EscapeProbe.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "OrderHandOver.h"
#include "ResultDelegate.h"
#include "ResultGrid.h"
#include "ResultModel.h"
#include "ResultSort.h"
#include "SearchQuery.h"
#include "TextTable.h"
#include "UnitDetails.h"
#include "UnitOrder.h"
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

TFormSearch::TFormSearch(TCatalogStart start, QWidget* parent)
    : TFormTemplate(parent),
      folders_(std::move(start.Folders)),
      engine_(std::move(start.Engine)) {
  // The frame's own creation first: the window's size, border and place on the screen.
  TFormTemplate::FormCreate();
  setObjectName(QStringLiteral("FormSearch"));
  BuildLayout();
  PlaceCounterControls();
  setWindowTitle(Text(TextId::WindowTitle));
  ConnectEngine(start.Images);
  SetCaptions();
}

TFormSearch::~TFormSearch() = default;

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

  // Counters and the discount-code file selector; PlaceCounterControls places and shows
  // them.
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
  // bars of its own; ScrollBar pages the result. Its model comes with the engine.
  DrawGrid1 = new TResultGrid(client);
  DrawGrid1->setObjectName(QStringLiteral("DrawGrid1"));
  DrawGrid1->setGeometry(7, 197, 759, 288);
  DrawGrid1->setStyleSheet(QStringLiteral("QTableView { background: #D0DAE8; gridline-color: #1B4F9C; }"));

  ScrollBar = new QScrollBar(Qt::Vertical, client);
  ScrollBar->setGeometry(766, 198, 17, 286);
  ScrollBar->setRange(0, 0);
  ScrollBar->setObjectName(QStringLiteral("ScrollBar"));

  AntalEdit = new TQuantityEditor(client);
  AntalEdit->setGeometry(246, 0, 48, 19);
  AntalEdit->setValidator(new TLowerCaseValidator(AntalEdit));
  AntalEdit->SetTabLeaves(true);
  AntalEdit->setObjectName(QStringLiteral("AntalEdit"));

  IndexBox = new QListWidget(client);
  IndexBox->setGeometry(66, 136, 209, 153);
  IndexBox->setSelectionMode(QAbstractItemView::SingleSelection);
  IndexBox->setUniformItemSizes(true);
  IndexBox->setFocusPolicy(Qt::ClickFocus);
  IndexBox->setStyleSheet(QStringLiteral("QListWidget::item { height: 14px; }"));
  IndexBox->setObjectName(QStringLiteral("IndexBox"));
  IndexBox->hide();

  OrderMenu = new QMenu(this);
  OrderMenu->addAction(QStringLiteral("marker til indkøbsliste"))
      ->setObjectName(QStringLiteral("Indstiindkbsliste1"));
  StatusBar->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(StatusBar, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { OrderMenu->popup(StatusBar->mapToGlobal(at)); });


  connect(RabatKodeFilComboBox, &TDropDownComboBox::DroppingDown, this,
          &TFormSearch::RabatKodeFilComboBoxDropDown);
  connect(RabatKodeFilComboBox, &QComboBox::activated, this,
          &TFormSearch::RabatKodeFilComboBoxChange);

  // Named as the handlers know them, so tests and tools find them.
  VaretekstEdit->setObjectName(QStringLiteral("VaretekstEdit"));
  TypenrEdit->setObjectName(QStringLiteral("TypenrEdit"));
  ElnrEdit->setObjectName(QStringLiteral("ElnrEdit"));
  EANEdit->setObjectName(QStringLiteral("EANEdit"));
  AntalHitsLbl->setObjectName(QStringLiteral("AntalHitsLbl"));
  AntalIOrdreLbl->setObjectName(QStringLiteral("AntalIOrdreLbl"));

  connect(SogBtn, &TButtonEX::OnClick, this, &TFormSearch::SogBtnClick);
  connect(SletAltBtn, &TButtonEX::OnClick, this, &TFormSearch::SletAltBtnClick);
  connect(VisOrdreBtn, &TButtonEX::OnClick, this, &TFormSearch::VisOrdreBtnClick);
  connect(TilOrdreBtn, &TButtonEX::OnClick, this, &TFormSearch::TilOrdreBtnClick);
  connect(Link, &QAction::triggered, this, &TFormSearch::LinkClick);
  connect(ScrollBar, &QScrollBar::actionTriggered, this, &TFormSearch::ScrollBarScroll);
  connect(ScrollBar, &QScrollBar::sliderReleased, this,
          [this] { ScrollResultTo(ScrollBar->sliderPosition()); });
  // The wheel, over the bar or over the grid, moves the bar without an action of its
  // own; the result follows unless the thumb is being dragged.
  connect(ScrollBar, &QScrollBar::valueChanged, this, [this](int value) {
    if (!ScrollBar->isSliderDown() && engine_.IsStarted() && value != engine_.ResultView->Top) {
      HideQuantityEditor();
      ScrollResultTo(value);
    }
  });
  DrawGrid1->SetWheelTarget(ScrollBar);
  connect(DrawGrid1, &TResultGrid::cellPressed, this, &TFormSearch::DrawGrid1MouseDown);
  connect(DrawGrid1, &TResultGrid::cellHovered, this, &TFormSearch::DrawGrid1MouseMove);
  connect(DrawGrid1, &TResultGrid::cellDoubleClicked, this, &TFormSearch::DrawGrid1DblClick);
  connect(DrawGrid1, &TResultGrid::scrollRequested, this, &TFormSearch::DrawGrid1ScrollKey);
  connect(DrawGrid1, &TResultGrid::markToggleRequested, this, &TFormSearch::DrawGrid1MarkKey);
  connect(DrawGrid1, &TResultGrid::detailsRequested, this, &TFormSearch::ShowDetails);
  DrawGrid1->installEventFilter(this);
  connect(VaretekstEdit, &QLineEdit::textChanged, this, &TFormSearch::VaretekstEditChange);
  connect(IndexBox, &QListWidget::itemDoubleClicked, this, &TFormSearch::IndexBoxDblClick);
  IndexBox->installEventFilter(this);
  connect(AntalEdit, &TQuantityEditor::EnterPressed, this, &TFormSearch::StoreQuantity);
  connect(AntalEdit, &TQuantityEditor::Entered, this, &TFormSearch::AntalEditEnter);
  connect(AntalEdit, &TQuantityEditor::Left, this, &TFormSearch::AntalEditExit);
  WireHints();
  BuildKeyboardCommands();
}

void TFormSearch::BuildKeyboardCommands() {
  // Tab order: the edits from left to right, the search button, the row of buttons
  // and the discount-code file below them, then the grid.
  const QList<QWidget*> order{VaretekstEdit, TypenrEdit,  ElnrEdit,   EANEdit,
                              SogBtn,        TilOrdreBtn, VisOrdreBtn, SletAltBtn,
                              RabatKodeFilComboBox, DrawGrid1};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  // The commands with shortcuts head the file menu, where the shortcuts show.
  const auto command = [this](const char* name, const QString& caption, const QKeySequence& keys) {
    auto* action = new QAction(caption, File1);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    File1->insertAction(Exit1, action);
    return action;
  };
  FindAction = command("FindAction", QStringLiteral("Søg i varetekst"), QKeySequence::Find);
  TilOrdreAction = command("TilOrdreAction", QStringLiteral("Tilføj markerede til ordreliste"),
                           QKeySequence(Qt::CTRL | Qt::Key_T));
  VisOrdreAction = command("VisOrdreAction", QStringLiteral("Vis ordreliste"),
                           QKeySequence(Qt::CTRL | Qt::Key_L));
  File1->insertSeparator(Exit1);
  for (QAction* action : {FindAction, TilOrdreAction, VisOrdreAction}) {
    action->setShortcutContext(Qt::WindowShortcut);
  }
  connect(FindAction, &QAction::triggered, this, &TFormSearch::FocusItemText);
  connect(TilOrdreAction, &QAction::triggered, this, &TFormSearch::TilOrdreBtnClick);
  connect(VisOrdreAction, &QAction::triggered, this, &TFormSearch::VisOrdreBtnClick);
}

void TFormSearch::FocusItemText() {
  IndexBox->hide();
  VaretekstEdit->setFocus(Qt::ShortcutFocusReason);
  VaretekstEdit->selectAll();
}

void TFormSearch::WireHints() {
  for (QWidget* w : std::initializer_list<QWidget*>{
           VaretekstEdit, TypenrEdit, ElnrEdit, EANEdit, AntalLbl, AntalHitsLbl,
           OrdreListeLbl, AntalIOrdreLbl, RabatKodeFilLbl, BGImg}) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
  }
  const struct { TButtonEX* button; TextId hint; } buttons[] = {
      {SogBtn, TextId::HintSearchButton},
      {TilOrdreBtn, TextId::HintAddToOrderButton},
      {VisOrdreBtn, TextId::HintShowOrderListButton},
      {SletAltBtn, TextId::HintClearAllButton}};
  for (const auto& b : buttons) {
    const TextId hint = b.hint;
    connect(b.button, &TButtonEX::OnMouseEnter, this, [this, hint] { ShowHint(hint); });
    connect(b.button, &TButtonEX::OnMouseLeave, this, &TFormSearch::ClearStatusText);
  }
}

void TFormSearch::ShowHint(TextId id) { SetStatusText(Text(id)); }

bool TFormSearch::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  // Leaving a control for another window (a message box, a menu) is not leaving it.
  const auto left_for_good = [event] {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
  };
  if (watched == DrawGrid1 && type == QEvent::FocusIn) ShowHint(TextId::HintGridKeys);
  if (watched == VaretekstEdit && type == QEvent::KeyPress) {
    key_pressed_in_item_text_ = static_cast<QKeyEvent*>(event)->key();
  } else if (watched == VaretekstEdit && type == QEvent::KeyRelease) {
    // A key pressed elsewhere (Enter in the suggestions, which hands the focus back)
    // is not released into the item text's handling.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == key_pressed_in_item_text_) VaretekstEditKeyUp(key);
  } else if ((watched == TypenrEdit || watched == ElnrEdit || watched == EANEdit) &&
             type == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      HideQuantityEditor();
      Search();
      return true;
    }
  } else if (watched == IndexBox) {
    if (type == QEvent::KeyPress) return IndexBoxKeyDown(static_cast<QKeyEvent*>(event));
    if (type == QEvent::FocusIn) IndexBoxEnter();
    if (type == QEvent::FocusOut && left_for_good()) IndexBoxExit();
  }
  if (watched == BGImg && type == QEvent::MouseButtonPress) {
    IndexBox->hide();
    AntalEdit->hide();
  } else if (type == QEvent::FocusIn || type == QEvent::MouseMove) {
    // The item-text edit keeps its suggestions open; the other edits close them.
    if (watched == VaretekstEdit) {
      ShowHint(TextId::HintItemTextEdit);
    } else if (watched == TypenrEdit || watched == ElnrEdit || watched == EANEdit) {
      IndexBox->hide();
      ShowHint(watched == TypenrEdit ? TextId::HintTypeNumberEdit
               : watched == ElnrEdit ? TextId::HintElNumberEdit
                                     : TextId::HintEanEdit);
    } else if (type == QEvent::MouseMove &&
               (watched == AntalLbl || watched == AntalHitsLbl || watched == OrdreListeLbl ||
                watched == AntalIOrdreLbl || watched == RabatKodeFilLbl)) {
      ShowHint(TextId::HintCounters);
    }
  }
  return TFormTemplate::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------
// The parts of the window that wait for the start-up: counters, engine, captions

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

// The grid gets its model over the started engine, and Escape can stop a search from here
// on.
void TFormSearch::ConnectEngine(const CatalogImages& images) {
  InstallEscapeProbe();
  // The window lives until the process ends; its engine folder goes when the program
  // quits.
  connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
    RemoveEscapeProbe();
    engine_.TempDir.reset();
  });
  result_model_ = new TResultModel(*engine_.ResultView, *engine_.Marking, engine_.Quantities, this);
  result_model_->Text = [](TextId id) { return Text(id); };
  result_model_->DiscountPercent = [](const QString& code) { return ::DiscountPercent(code); };
  connect(result_model_, &TResultModel::priceUnreadable, this,
          [this](const QString& price) { SetStatusText(QStringLiteral("Pris := ") + price); });
  auto* delegate = new TResultDelegate(DrawGrid1);
  delegate->SetImages(images.LBlaa, images.MBlaa, images.Dok);
  DrawGrid1->setItemDelegate(delegate);
  DrawGrid1->setModel(result_model_);
  sort_ = std::make_unique<TResultSort>(*engine_.Engine, *engine_.ResultView, *engine_.Marking,
                                        engine_.Quantities);
  result_model_->SetSort(sort_.get());
}

void TFormSearch::SetCaptions() {
  Link->setText(Text(TextId::ShowOrderList));
  Exit1->setText(Text(TextId::ExitMenu));
  File1->setTitle(Text(TextId::FileMenu));
  SogBtn->SetCaption(Text(TextId::SearchButton));
  SletAltBtn->SetCaption(Text(TextId::ClearAllButton));
  TilOrdreBtn->SetCaption(Text(TextId::AddToOrderButton));
  VisOrdreBtn->SetCaption(Text(TextId::ShowOrderList));
  SetLabelCaption(VaretekstLbl, Text(TextId::ItemText));
  SetLabelCaption(TypenrLbl, Text(TextId::TypeNumber));
  SetLabelCaption(ElNrLbl, Text(TextId::ElNumber));
  SetLabelCaption(EAN13Lbl, Text(TextId::Ean));
  AntalLbl->SetCaption(Text(TextId::HitsFound));
  OrdreListeLbl->SetCaption(Text(TextId::LinesInOrder));
  FindAction->setText(Text(TextId::FindItemTextMenu, FindAction->text()));
  TilOrdreAction->setText(Text(TextId::AddMarkedMenu, TilOrdreAction->text()));
  VisOrdreAction->setText(Text(TextId::ShowOrderListMenu, VisOrdreAction->text()));
  UpdateScrollBar();
}

// ---------------------------------------------------------------------------------
// Discount-code file selector

void TFormSearch::RabatKodeFilComboBoxDropDown() {
  const QString selected = RabatKodeFilComboBox->currentText();
  RabatKodeFilComboBox->clear();
  const QStringList names = DiscountFileNames(folders_.CdFolder);
  if (names.isEmpty()) {
    ShowMessage(MessageKind::Error, QStringLiteral("Rabattkod combobox fel!"));
    return;
  }
  RabatKodeFilComboBox->addItems(names);
  RabatKodeFilComboBox->setCurrentIndex(static_cast<int>(names.indexOf(selected)));  // -1: none
}

void TFormSearch::RabatKodeFilComboBoxChange() {
  RabatKoder.Reset();
  LoadDiscountFile(DiscountFilePath(folders_.CdFolder, RabatKodeFilComboBox->currentText()));
  // The net prices on show change with the discounts.
  if (AntalHitsLbl->text() != QLatin1String("0")) {
    RepaintGrid();
    ScrollResultTo(ScrollBar->value());
  }
}

// ---------------------------------------------------------------------------------
// Closing

void TFormSearch::closeEvent(QCloseEvent* event) {
  if (!MayEndProgram()) {
    event->ignore();
    return;
  }
  RemoveEscapeProbe();
  FreeTextTable();
  event->accept();
  EndApplication();
}

// ---------------------------------------------------------------------------------
// Search and result paging

void TFormSearch::SogBtnClick() { Search(); }

void TFormSearch::SletAltBtnClick() {
  VaretekstEdit->clear();
  TypenrEdit->clear();
  ElnrEdit->clear();
  EANEdit->clear();
  SogBtnClick();
}

void TFormSearch::Search() {
  if (!engine_.IsStarted()) return;
  IndexBox->hide();
  HideQuantityEditor();
  const QString item_text = ItemTextQuery(VaretekstEdit->text());
  // A new result starts in base order.
  if (sort_) sort_->Forget();
  AntalHitsLbl->setText(QString::number(
      RunSearch(item_text, TypenrEdit->text(), ElnrEdit->text(), EANEdit->text())));
  AntalHitsLbl->adjustSize();
  engine_.ResultView->Top = 0;
  UpdateScrollBar();
  RepaintGrid();
  ScrollResultTo(0);
}

int32_t TFormSearch::RunSearch(const QString& item_text, const QString& type_number,
                               const QString& el_number, const QString& ean) {
  return ::RunSearch(engine_, {item_text, type_number, el_number, ean});
}

void TFormSearch::UpdateScrollBar() {
  if (!engine_.IsStarted()) return;
  const TResultView& view = *engine_.ResultView;
  ScrollBar->setMinimum(0);
  ScrollBar->setMaximum(std::max(0, view.LastHit() + 2 - view.PageLength));
  ScrollBar->setValue(view.Top);
  ScrollBar->setSingleStep(1);
  ScrollBar->setPageStep(view.PageLength - 1);
}

void TFormSearch::ScrollResultTo(int position) {
  if (!engine_.IsStarted()) return;
  TResultView& view = *engine_.ResultView;
  if (position < 0 || position > view.LastHit()) return;
  view.Top = position;
  view.Refresh();
  RepaintGrid();
  ScrollBar->setValue(position);
}

void TFormSearch::ScrollBarScroll(int action) {
  HideQuantityEditor();
  // Dragging the thumb takes effect where it is let go (sliderReleased).
  if (action == QAbstractSlider::SliderMove || action == QAbstractSlider::SliderNoAction) return;
  ScrollResultTo(std::min(ScrollBar->sliderPosition(), ScrollBar->maximum()));
}

void TFormSearch::RepaintGrid() {
  if (result_model_) result_model_->Repaint();
  DrawGrid1->viewport()->update();
}

// ---------------------------------------------------------------------------------
// Grid clicks and quantities

void TFormSearch::DrawGrid1MouseMove(int column, int row) {
  grid_column_under_mouse_ = column;
  grid_row_under_mouse_ = row;
  static const TextId kHints[TResultModel::kColumnCount] = {
      TextId::HintMarkColumn,       TextId::HintItemTextColumn, TextId::HintQuantityColumn,
      TextId::HintTypeNumberColumn, TextId::HintElNumberColumn, TextId::HintEanColumn,
      TextId::HintPriceColumn,      TextId::HintDiscountCodeColumn, TextId::HintNetPriceColumn};
  if (column < 0 || column >= TResultModel::kColumnCount) return;
  // The header cells of the columns after the marks say whether they sort.
  if (row == 0 && column != TResultModel::kMarkColumn && result_model_) {
    const bool sortable =
        result_model_->index(0, column).data(TResultModel::SortableRole).toBool();
    ShowHint(sortable ? TextId::HintSortColumn : TextId::HintNoSortColumn);
    return;
  }
  ShowHint(kHints[column]);
}

void TFormSearch::DrawGrid1MouseDown(int column, int row, Qt::MouseButton button) {
  IndexBox->hide();
  grid_column_under_mouse_ = column;
  grid_row_under_mouse_ = row;
  if (button != Qt::LeftButton || !engine_.IsStarted() || row < 0) return;
  const TResultView& view = *engine_.ResultView;
  if (view.CellText(TResultModel::kTypeNumberField, row).isEmpty()) return;
  const int hit = result_model_->HitOfRow(row);
  if (column == TResultModel::kMarkColumn && row == 0) {
    // Every hit the grid can show, the ones scrolled out of sight included (and none
    // of an empty result, where the range would run backwards over 0 and -1).
    if (view.HitTotal() > 0) engine_.Marking->SetRange(0, view.HitTotal() - 1, true);
    RepaintGrid();
  } else if (column == TResultModel::kMarkColumn) {
    HideQuantityEditor();
    engine_.Marking->Toggle(hit);
    RepaintGrid();
  } else if (column == TResultModel::kQuantityColumn) {
    if (row == 0) return;
    if (!TQuantityTable::HasEntry(hit)) {
      HideQuantityEditor();
      SetStatusText(NoQuantityHint());
      return;
    }
    quantity_edit_row_ = row;
    AntalEdit->move(AntalEdit->x(), row * TResultGrid::kRowPitch + 199);
    AntalEdit->show();
    AntalEdit->setFocus(Qt::MouseFocusReason);
    AntalEdit->raise();
  } else {
    AntalEdit->clear();
    HideQuantityEditor();
    if (row == 0) SortColumn(column);
  }
  // A press on a hit puts the keyboard cursor there (the quantity editor keeps the
  // keyboard it just got).
  if (column != TResultModel::kQuantityColumn && result_model_->RowHasHit(row)) {
    DrawGrid1->SetCursorRow(row);
    DrawGrid1->setFocus(Qt::MouseFocusReason);
  }
}

void TFormSearch::SortColumn(int column) {
  if (!sort_ || !sort_->IsSortable(TResultModel::DataFieldOfColumn(column))) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool sorted = sort_->Click(TResultModel::DataFieldOfColumn(column));
  TResultView& view = *engine_.ResultView;
  view.Top = 0;
  view.Refresh();
  UpdateScrollBar();
  RepaintGrid();
  DrawGrid1->KeepCursorOnHits();
  QApplication::restoreOverrideCursor();
  if (!sorted) SetStatusText(Text(TextId::SortFailed));
}

void TFormSearch::DrawGrid1DblClick(int column, int row) {
  if (column == TResultModel::kMarkColumn || column == TResultModel::kQuantityColumn) return;
  ShowDetails(row);
}

void TFormSearch::ShowDetails(int row) {
  if (!engine_.IsStarted() || !result_model_->RowHasHit(row)) return;
  const TResultView& view = *engine_.ResultView;
  const QList<TDetailField> fields =
      ReadProductDetails(*engine_.Engine, engine_.Session, engine_.BaseNumber,
                         result_model_->HitOfRow(row) + view.FirstHit());
  if (fields.isEmpty()) {
    SetStatusText(Text(TextId::DetailsUnreadable));
    return;
  }
  DrawGrid1->SetCursorRow(row);
  if (!details_) {
    details_ = new TFormDetails(this);
    // Closing the details hands the keyboard back to the grid.
    connect(details_, &QDialog::finished, this, [this] {
      activateWindow();
      DrawGrid1->setFocus(Qt::OtherFocusReason);
    });
  }
  details_->ShowFields(fields);
  details_->show();
  details_->raise();
  details_->activateWindow();
}

void TFormSearch::DrawGrid1ScrollKey(QAbstractSlider::SliderAction action) {
  // As if the scroll bar had been used.
  ScrollBar->triggerAction(action);
  DrawGrid1->KeepCursorOnHits();
}

void TFormSearch::DrawGrid1MarkKey(int row) {
  if (!engine_.IsStarted() || !result_model_->RowHasHit(row)) return;
  HideQuantityEditor();
  engine_.Marking->Toggle(result_model_->HitOfRow(row));
  RepaintGrid();
}

QString TFormSearch::NoQuantityHint() {
  return Text(TextId::NoQuantityForLaterHits).arg(TQuantityTable::kFirstHitWithout);
}

void TFormSearch::HideQuantityEditor() { AntalEdit->hide(); }

void TFormSearch::AntalEditEnter() { quantity_edit_row_ = grid_row_under_mouse_; }

void TFormSearch::AntalEditExit() {
  if (!AntalEdit->text().isEmpty()) StoreQuantity();
}

void TFormSearch::StoreQuantity() {
  if (AntalEdit->text().isEmpty()) {
    HideQuantityEditor();
    RepaintGrid();
    return;
  }
  int quantity = 0;
  if (!ToInteger(AntalEdit->text(), &quantity)) {
    // Emptied first: the message box takes the focus, and leaving the editor with a
    // text would store it again.
    AntalEdit->clear();
    ShowMessage(MessageKind::Information, Text(TextId::QuantityNotWholeNumber));
    return;
  }
  engine_.Quantities.SetForHit(result_model_->HitOfRow(quantity_edit_row_), quantity);
  AntalEdit->clear();
  HideQuantityEditor();
  RepaintGrid();
}

// ---------------------------------------------------------------------------------
// Suggestions

void TFormSearch::VaretekstEditChange() { IndexBox->show(); IndexBox->raise(); }

void TFormSearch::VaretekstEditKeyUp(QKeyEvent* event) {
  QString text = VaretekstEdit->text();
  qsizetype blanks = 0;
  while (blanks < text.size() && text.at(blanks) == QLatin1Char(' ')) ++blanks;
  if (blanks > 0) {
    text.remove(0, blanks);
    VaretekstEdit->setText(text);
  }
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (IndexBox->isVisible()) {
        IndexBox->setFocus(Qt::OtherFocusReason);
        IndexBox->scrollToTop();
      }
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      IndexBox->hide();
      HideQuantityEditor();
      VaretekstEdit->setText(text.trimmed());
      Search();
      break;
    default: {
      if (!engine_.IsStarted()) return;
      TIndexView& index = *engine_.IndexView;
      index.PageLength = 100;
      index.SearchField = 100;
      index.SetWantedWord(text.left(255));
      index.Refresh();
      IndexBox->clear();
      IndexBox->addItems(index.Lines);
    }
  }
}

void TFormSearch::IndexBoxEnter() {
  if (IndexBox->count() > 0) IndexBox->setCurrentRow(0);
}

void TFormSearch::IndexBoxExit() { IndexBox->hide(); }

void TFormSearch::TakeSuggestion() {
  const QListWidgetItem* item = IndexBox->currentItem();
  if (item) VaretekstEdit->setText(item->text().toLower());
}

bool TFormSearch::IndexBoxKeyDown(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
      return false;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      TakeSuggestion();
      IndexBox->hide();
      VaretekstEdit->setFocus(Qt::OtherFocusReason);
      return true;
    default:
      IndexBox->hide();
      VaretekstEdit->setFocus(Qt::OtherFocusReason);
      return true;
  }
}

void TFormSearch::IndexBoxDblClick() {
  TakeSuggestion();
  IndexBox->hide();
  SogBtnClick();
  VaretekstEdit->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------------
// Showing the window and switching to the order list

int TFormSearch::OrderLineCount() const { return FormOrder ? FormOrder->OrderLineCount() : 0; }

void TFormSearch::showEvent(QShowEvent* event) {
  TFormTemplate::showEvent(event);
  AntalIOrdreLbl->setText(QString::number(OrderLineCount()));
  AntalIOrdreLbl->adjustSize();
  RepaintGrid();
}

void TFormSearch::VisOrdreBtnClick() {
  if (!FormOrder) return;
  FormOrder->show();
  hide();
}

void TFormSearch::LinkClick() { VisOrdreBtnClick(); }

// The marked hits, in hit order, each fetched once more and added to the order list with
// its quantity (hits without a quantity entry go over with 1). Between lines the window
// keeps itself painted, but takes no clicks or keys: a second hand-over or a new search
// in the middle of this one would add lines twice or take over the wrong hits. When a
// record cannot be fetched, the lines taken over so far stay in the order list and only
// the hits not taken over stay marked, and the user is told.
void TFormSearch::TilOrdreBtnClick() {
  if (!engine_.IsStarted() || !FormOrder) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const order::HandOverResult result = order::HandOverMarkedHits(
      *engine_.Engine, engine_.Session, *engine_.Marking, engine_.Quantities,
      *FormOrder->Model(), [] {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QApplication::changeOverrideCursor(Qt::WaitCursor);
      });
  AntalIOrdreLbl->setText(QString::number(OrderLineCount()));
  AntalIOrdreLbl->adjustSize();
  if (result.complete()) {
    engine_.Marking->Clear();
    engine_.Quantities.Reset();
  }
  RepaintGrid();
  QApplication::restoreOverrideCursor();
  if (!result.complete()) {
    ShowMessage(MessageKind::Warning,
                Text(TextId::PartialHandOver)
                    .arg(result.handed_over)
                    .arg(result.marked));
  }
}
