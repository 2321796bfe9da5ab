#include "UnitOrder.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QFrame>
#include <QKeySequence>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>

#include "ButtonEX.h"
#include "ButtonEXGraphics.h"
#include "CatalogImages.h"
#include "KvPrintUnit.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "OrderDelegate.h"
#include "OrderAutosave.h"
#include "OrderCsv.h"
#include "OrderFile.h"
#include "TextTable.h"
#include "UnsavedQuestion.h"
#include "art/Artwork.h"

TFormOrder* FormOrder = nullptr;

using namespace order;

namespace {

constexpr int kRowHeight = 19;  // 18 pixels and the grid line
constexpr int kColumnWidths[kOrderColumnCount] = {19, 230, 48, 99, 68, 86, 82, 84, 0, 0};
// Header texts of columns 1 to 7 and the status-line hints of columns 0 to 7.
// Columns 0, 8 and 9 have neither (kNoText).
constexpr TextId kNoText = static_cast<TextId>(-1);
constexpr TextId kHeaderTexts[kOrderColumnCount] = {
    kNoText,         TextId::ItemText, TextId::Quantity, TextId::TypeNumber, TextId::ElNumber,
    TextId::Ean,     TextId::Gross,    TextId::Net,      kNoText,            kNoText};
const char* const kHeaderFallbacks[kOrderColumnCount] = {
    "", "Varetekst", "Antal", "Typenr.", "El.nr.", "EAN", "Brutto", "Netto", "", ""};
constexpr TextId kColumnHints[kOrderColumnCount] = {
    TextId::HintOrderMarkColumn,  TextId::HintItemTextColumn,   TextId::HintQuantityColumn,
    TextId::HintTypeNumberColumn, TextId::HintElNumberColumn,   TextId::HintEanColumn,
    TextId::HintGrossAmountColumn, TextId::HintNetAmountColumn, kNoText,
    kNoText};
constexpr char kDialogTitle[] = "Tremora Divuvera";
constexpr char kFileFilter[] = "Tabseparated text file (*.txt)";

// The hourglass for the length of a scope.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

OrderGridImages GridImages(const CatalogImages& catalog) {
  OrderGridImages images;
  images.even_row = catalog.LBlaa.isNull() ? QPixmap::fromImage(art::RowLight())
                                           : catalog.LBlaa.pixmap();
  images.odd_row = catalog.MBlaa.isNull() ? QPixmap::fromImage(art::RowMedium())
                                          : catalog.MBlaa.pixmap();
  images.mark = catalog.DokMinus.isNull() ? QPixmap::fromImage(art::MarkIconMinus())
                                          : catalog.DokMinus.pixmap();
  return images;
}

QLabel* TotalLabel(QWidget* parent, const QRect& geometry, Qt::Alignment alignment) {
  auto* label = new QLabel(parent);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  font.setBold(true);
  label->setFont(font);
  label->setGeometry(geometry);
  label->setAlignment(alignment | Qt::AlignTop);
  return label;
}

}  // namespace

TFormOrder::TFormOrder(QWidget* parent) : TFormTemplate(parent) {
  TFormTemplate::FormCreate();
  setWindowTitle(QStringLiteral("Ordre Liste"));
  QWidget* client = Client();

  // Invisible button prototypes: the top buttons' look and the look of the delete button,
  // which the print window's buttons share.
  ButtonProto1 = new TButtonExGraphics(client);
  art::SkinPrototype(*ButtonProto1, 30, -1);
  ButtonProto1->hide();
  ButtonProto2 = new TButtonExGraphics(client);
  art::SkinPrototype(*ButtonProto2, 31);
  ButtonProto2->hide();

  model_ = new TOrderGridModel(this);

  OrderGrid = new QTableView(client);
  OrderGrid->setGeometry(22, 197, 745, 269);
  OrderGrid->setModel(model_);
  header_ = new TOrderHeaderView(OrderGrid);
  OrderGrid->setHorizontalHeader(header_);
  delegate_ = new TOrderDelegate(OrderGrid);
  OrderGrid->setItemDelegate(delegate_);
  SetGridImages(CatalogImages());
  OrderGrid->verticalHeader()->hide();
  OrderGrid->verticalHeader()->setMinimumSectionSize(kRowHeight);
  OrderGrid->verticalHeader()->setDefaultSectionSize(kRowHeight);
  OrderGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  header_->setFixedHeight(kRowHeight);
  header_->setMinimumSectionSize(0);
  header_->setSectionResizeMode(QHeaderView::Fixed);
  for (int column = 0; column < kOrderColumnCount; ++column) {
    OrderGrid->setColumnWidth(column, kColumnWidths[column]);
  }
  OrderGrid->setColumnHidden(kUnitPriceColumn, true);
  OrderGrid->setColumnHidden(kDiscountCodeColumn, true);
  OrderGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  OrderGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  OrderGrid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  OrderGrid->setSelectionMode(QAbstractItemView::NoSelection);
  OrderGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  OrderGrid->setFocusPolicy(Qt::NoFocus);
  OrderGrid->setCornerButtonEnabled(false);
  OrderGrid->viewport()->setMouseTracking(true);
  OrderGrid->viewport()->installEventFilter(this);
  header_->viewport()->setMouseTracking(true);
  header_->viewport()->installEventFilter(this);

  AntalEdit = new TQuantityEditor(OrderGrid->viewport());
  AntalEdit->setFrame(false);
  AntalEdit->resize(49, kRowHeight);
  connect(AntalEdit, &TQuantityEditor::EnterPressed, this, &TFormOrder::AntalEditEnterPressed);
  connect(AntalEdit, &TQuantityEditor::Left, this, &TFormOrder::AntalEditExit);
  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    AntalEdit->clear();
    HideQuantityEditor();
  });

  SogBtn = MakeButton(QRect(8, 109, 72, 30), ButtonProto1,
                     TextId::HintBackToSearchButton);
  GemBtn = MakeButton(QRect(86, 109, 72, 30), ButtonProto1,
                     TextId::HintSaveButton);
  HentBtn = MakeButton(QRect(165, 109, 72, 30), ButtonProto1,
                     TextId::HintOpenButton);
  PrintBtn = MakeButton(QRect(245, 109, 72, 30), ButtonProto1,
                     TextId::HintPrintButton);
  SletLinierBtn = MakeButton(QRect(6, 156, 88, 31), ButtonProto2,
                     TextId::HintDeleteLinesButton);
  connect(SogBtn, &TButtonEX::OnClick, this, &TFormOrder::SogBtnClick);
  connect(GemBtn, &TButtonEX::OnClick, this, &TFormOrder::GemBtnClick);
  connect(HentBtn, &TButtonEX::OnClick, this, &TFormOrder::HentBtnClick);
  connect(PrintBtn, &TButtonEX::OnClick, this, &TFormOrder::PrintBtnClick);
  connect(SletLinierBtn, &TButtonEX::OnClick, this, &TFormOrder::SletLinierBtnClick);
  connect(Link, &QAction::triggered, this, &TFormOrder::LinkClick);
  BuildKeyboardCommands();

  Panel1 = new QFrame(client);
  Panel1->setGeometry(24, 466, 744, 25);
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Raised);
  PrisIaltLbl = TotalLabel(Panel1, QRect(471, 5, 80, 16), Qt::AlignLeft);
  // Right-aligned where the amounts in the grid end.
  PrisLbl = TotalLabel(Panel1, QRect(512, 5, 100, 16), Qt::AlignRight);
  Prslbl2 = TotalLabel(Panel1, QRect(594, 4, 100, 16), Qt::AlignRight);

  FormCreate();
  CreateCsvExport();
}

void TFormOrder::BuildKeyboardCommands() {
  const QList<QWidget*> order{SogBtn, GemBtn, HentBtn, PrintBtn, SletLinierBtn};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  const auto command = [this](const char* name, const QString& caption,
                              QKeySequence::StandardKey key, void (TFormOrder::*slot)()) {
    auto* action = new QAction(caption, File1);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, slot);
    File1->insertAction(Exit1, action);
    return action;
  };
  GemAction = command("GemAction", QStringLiteral("Gem ordreliste..."), QKeySequence::Save,
                      &TFormOrder::GemBtnClick);
  HentAction = command("HentAction", QStringLiteral("Hent ordreliste..."), QKeySequence::Open,
                       &TFormOrder::HentBtnClick);
  PrintAction = command("PrintAction", QStringLiteral("Udskriv ordreliste..."),
                        QKeySequence::Print, &TFormOrder::PrintBtnClick);
  File1->insertSeparator(Exit1);
}

TButtonEX* TFormOrder::MakeButton(const QRect& geometry, TButtonExGraphics* prototype,
                                  TextId hint_text) {
  auto* button = new TButtonEX(Client());
  button->setGeometry(geometry);
  button->SetPrototype(prototype);
  connect(button, &TButtonEX::OnMouseEnter, this,
          [this, hint_text] { SetStatusText(Text(hint_text)); });
  connect(button, &TButtonEX::OnMouseLeave, this, &TFormOrder::ClearStatusText);
  return button;
}

// Captions and headings from the text table; the layout's own captions stay where the
// table has no entry.
void TFormOrder::FormCreate() {
  for (int column = 0; column < kOrderColumnCount; ++column) {
    const QString fallback = QString::fromUtf8(kHeaderFallbacks[column]);
    model_->SetHeaderText(
        column, kHeaderTexts[column] == kNoText ? fallback : Text(kHeaderTexts[column], fallback));
  }
  SogBtn->SetCaption(Text(TextId::SearchButton, QStringLiteral("SØG")));
  HentBtn->SetCaption(Text(TextId::OpenButton, QStringLiteral("HENT")));
  GemBtn->SetCaption(Text(TextId::SaveButton, QStringLiteral("GEM")));
  PrintBtn->SetCaption(Text(TextId::PrintButton, QStringLiteral("PRINT")));
  SletLinierBtn->SetCaption(Text(TextId::DeleteLinesButton, QStringLiteral("SLET")));
  PrisIaltLbl->setText(Text(TextId::Total, QStringLiteral("Total:")));
  File1->setTitle(Text(TextId::FileMenu, File1->title()));
  Exit1->setText(Text(TextId::ExitMenu, Exit1->text()));
  GemAction->setText(Text(TextId::SaveOrderListMenu, GemAction->text()));
  HentAction->setText(Text(TextId::OpenOrderListMenu, HentAction->text()));
  PrintAction->setText(Text(TextId::PrintOrderListMenu, PrintAction->text()));
  Link->setText(Text(TextId::SearchButton, QStringLiteral("SØG")));
  setWindowTitle(Text(TextId::WindowTitle, windowTitle()));
}

void TFormOrder::AddOrderLine(const QString& item_text, const QString& quantity,
                              const QString& type_number, const QString& el_number,
                              const QString& ean, const QString& unit_price,
                              const QString& discount_code) {
  model_->AddOrderLine(item_text, quantity, type_number, el_number, ean, unit_price,
                       discount_code);
}

void TFormOrder::SetGridImages(const CatalogImages& images) {
  const OrderGridImages grid_images = GridImages(images);
  delegate_->SetImages(grid_images);
  header_->SetImages(grid_images);
  OrderGrid->viewport()->update();
}

QString TFormOrder::TotalCaption() const { return PrisIaltLbl->text(); }
QString TFormOrder::GrossTotalText() const { return PrisLbl->text(); }
QString TFormOrder::NetTotalText() const { return Prslbl2->text(); }

void TFormOrder::RefreshTotals() {
  PrisLbl->setText(model_->Total(kGrossColumn));
  Prslbl2->setText(model_->Total(kNetColumn));
}

void TFormOrder::showEvent(QShowEvent* event) {
  TFormTemplate::showEvent(event);
  RefreshTotals();
}

bool TFormOrder::eventFilter(QObject* watched, QEvent* event) {
  const bool in_grid = watched == OrderGrid->viewport();
  const bool in_header = watched == header_->viewport();
  if (in_grid || in_header) {
    if (event->type() == QEvent::MouseButtonPress) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint at = mouse->position().toPoint();
      const int column = in_grid ? OrderGrid->columnAt(at.x()) : header_->logicalIndexAt(at);
      const int row = in_grid ? OrderGrid->rowAt(at.y()) : -1;
      if (mouse->button() == Qt::LeftButton) OrderGridMouseDown(row, column);
      return in_header;  // the header neither sorts nor selects
    }
    if (event->type() == QEvent::MouseMove) {
      const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
      OrderGridMouseMove(in_grid ? OrderGrid->columnAt(at.x()) : header_->logicalIndexAt(at));
    }
    return false;
  }
  return TFormTemplate::eventFilter(watched, event);
}

// row is the model row, -1 for the header row; column -1 is outside the columns.
void TFormOrder::OrderGridMouseDown(int row, int column) {
  // A click into the grid ends the quantity editing first, as leaving the editor does.
  if (AntalEdit->isVisible() && AntalEdit->hasFocus()) AntalEditExit();
  const bool header = row < 0;
  if (!header && (row >= model_->rowCount() || !model_->IsOrderLine(row))) return;
  if (header && column == kMarkColumn) {
    model_->MarkAllLines();
  } else if (!header && column == kMarkColumn) {
    HideQuantityEditor();
    model_->ToggleMark(row);
  } else if (!header && column == kQuantityColumn) {
    ShowQuantityEditor(row);
  } else if (header && column == kQuantityColumn) {
    // nothing
  } else {
    AntalEdit->clear();
    HideQuantityEditor();
  }
}

void TFormOrder::OrderGridMouseMove(int column) {
  if (column < 0 || column >= kOrderColumnCount || kColumnHints[column] == kNoText) return;
  SetStatusText(Text(kColumnHints[column]));
}

void TFormOrder::ShowQuantityEditor(int row) {
  const QRect cell = OrderGrid->visualRect(model_->index(row, kQuantityColumn));
  AntalEdit->move(cell.topLeft());
  AntalEdit->setText(model_->Cell(row, kQuantityColumn));
  edited_row_ = row;
  AntalEdit->show();
  AntalEdit->setFocus(Qt::MouseFocusReason);
}

void TFormOrder::HideQuantityEditor() { AntalEdit->HideWithoutLeaving(); }

void TFormOrder::AntalEditEnterPressed() {
  const QString text = AntalEdit->text();
  if (text.isEmpty()) {
    HideQuantityEditor();
    return;
  }
  int quantity = 0;
  if (!ToInteger(text, &quantity)) {
    // The old quantity stays; the editor stays open, emptied.
    AntalEdit->clear();
    ShowMessage(MessageKind::Warning, Text(TextId::QuantityNotWholeNumber));
    AntalEdit->setFocus();
    return;
  }
  StoreQuantity(quantity);
}

void TFormOrder::AntalEditExit() {
  const QString text = AntalEdit->text();
  if (text.isEmpty()) return;
  int quantity = 1;
  if (!ToInteger(text, &quantity)) {
    AntalEdit->clear();
    ShowMessage(MessageKind::Warning, Text(TextId::QuantityNotWholeNumber));
    quantity = 1;
  }
  StoreQuantity(quantity);
}

void TFormOrder::StoreQuantity(int quantity) {
  if (quantity < 1) quantity = 1;
  AntalEdit->clear();
  HideQuantityEditor();
  if (edited_row_ >= 0 && edited_row_ < model_->rowCount()) {
    model_->SetQuantity(edited_row_, quantity);
  }
  RefreshTotals();
}

void TFormOrder::SogBtnClick() {
  if (QWidget* search = ApplicationMainWindow(); search && search != this) search->show();
  hide();
}

void TFormOrder::LinkClick() { SogBtnClick(); }

void TFormOrder::PrintBtnClick() {
  if (!FormPrint) return;
  FormPrint->show();
  FormPrint->raise();
  FormPrint->activateWindow();
}

void TFormOrder::SletLinierBtnClick() {
  BusyCursor busy;
  OrderGrid->scrollToTop();
  model_->DeleteMarked();
  RefreshTotals();
}

QString TFormOrder::ChooseFileWithDialog(QFileDialog::AcceptMode mode) {
  QFileDialog dialog(this, QString::fromLatin1(kDialogTitle));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  dialog.setNameFilter(QString::fromLatin1(kFileFilter));
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

void TFormOrder::GemBtnClick() { SaveToUserFile(); }

bool TFormOrder::SaveToUserFile() {
  const QString path = choose_file_ ? choose_file_(QFileDialog::AcceptSave)
                                    : ChooseFileWithDialog(QFileDialog::AcceptSave);
  if (path.isEmpty()) return false;
  QString error;
  bool saved = false;
  {
    BusyCursor busy;
    saved = SaveOrderFile(path, model_->SavedLines(), &error);
  }
  if (!saved) {
    ShowMessage(MessageKind::Warning,
                Text(TextId::OrderFileNotSaved)
                    .arg(QDir::toNativeSeparators(path), error));
    return false;
  }
  if (autosave_) autosave_->MarkSavedToUserFile();
  return true;
}

void TFormOrder::HentBtnClick() {
  const QString path = choose_file_ ? choose_file_(QFileDialog::AcceptOpen)
                                    : ChooseFileWithDialog(QFileDialog::AcceptOpen);
  if (path.isEmpty()) return;
  OrderFileResult result;
  {
    BusyCursor busy;
    result = LoadOrderFile(path);
  }
  switch (result.status) {
    case OrderFileStatus::kOk:
      model_->ReplaceLines(result.lines);
      break;
    case OrderFileStatus::kEmpty:
      ShowMessage(MessageKind::Information, Text(TextId::FileEmpty));
      model_->ReplaceLines({});
      break;
    case OrderFileStatus::kBadLine:
      // The list in the window stays as it was.
      // Text 64 ends in an open "(file:", which gets the file and the line; a line break
      // and text 65 follow.
      ShowMessage(MessageKind::Warning,
                  QStringLiteral("%1 %2, %3\n%4")
                      .arg(Text(TextId::InvalidFileLine), QDir::toNativeSeparators(path),
                           Text(TextId::InvalidFileLineNumber).arg(result.bad_line),
                           Text(TextId::FileUnreadable)));
      return;
    case OrderFileStatus::kIoError:
      ShowMessage(MessageKind::Warning,
                  Text(TextId::OrderFileNotLoaded)
                      .arg(QDir::toNativeSeparators(path), result.error));
      return;
  }
  OrderGrid->scrollToTop();
  RefreshTotals();
  if (autosave_) autosave_->MarkSavedToUserFile();
}

// ---------------------------------------------------------------------------------
// The list kept on disk

void TFormOrder::StartAutosave(const QString& folder) {
  delete autosave_;
  autosave_ = new TOrderAutosave(*model_, folder, this);
  connect(autosave_, &TOrderAutosave::writeFailed, this,
          [](const QString& path, const QString& reason) {
            ShowMessage(MessageKind::Warning, Text(TextId::AutosaveFailed)
                                                  .arg(QDir::toNativeSeparators(path), reason));
          });
  // Whatever happens to the event loop from here, the last change goes to disk.
  connect(qApp, &QCoreApplication::aboutToQuit, autosave_, &TOrderAutosave::WriteNow);
  connect(qApp, &QGuiApplication::commitDataRequest, autosave_, &TOrderAutosave::WriteNow);

  const TOrderAutosave::RestoreResult restored = autosave_->Restore();
  if (restored.kind == TOrderAutosave::RestoreResult::kRestored) {
    OrderGrid->scrollToTop();
    RefreshTotals();
    const QString status = Text(TextId::OrderListRestored).arg(restored.lines);
    SetStatusText(status);
    auto* main = qobject_cast<TFormTemplate*>(ApplicationMainWindow());
    if (main && main != this) main->SetStatusText(status);
  } else if (restored.kind == TOrderAutosave::RestoreResult::kKeptAside) {
    QString reason = restored.error;
    if (restored.status == OrderFileStatus::kEmpty) reason = Text(TextId::FileEmpty);
    if (restored.status == OrderFileStatus::kBadLine) {
      reason = Text(TextId::NotAnOrderLine).arg(restored.bad_line);
    }
    ShowMessage(MessageKind::Warning,
                Text(TextId::OrderListKeptAside)
                    .arg(reason, QDir::toNativeSeparators(restored.kept_aside)));
  }
}

bool TFormOrder::HasUnsavedList() const { return autosave_ && autosave_->HasUnsavedChanges(); }

bool TFormOrder::ResolveUnsavedList() {
  switch (AskSaveDiscardCancel(Text(TextId::AskSaveOrderList))) {
    case UnsavedAnswer::kSave:
      return SaveToUserFile();
    case UnsavedAnswer::kDiscard:
      if (autosave_) autosave_->Discard();
      return true;
    case UnsavedAnswer::kCancel:
      break;
  }
  return false;
}

// ---------------------------------------------------------------------------------
// CSV export

void TFormOrder::CreateCsvExport() {
  CsvExport1 = new QAction(Text(TextId::CsvExportMenu, QStringLiteral("Export to CSV...")), this);
  File1->insertAction(Exit1, CsvExport1);
  File1->insertSeparator(Exit1);
  connect(CsvExport1, &QAction::triggered, this, &TFormOrder::ExportCsvClick);
}

QString TFormOrder::ChooseCsvFileWithDialog() {
  QFileDialog dialog(this, QString::fromLatin1(kDialogTitle));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(Text(TextId::CsvFileFilter, QStringLiteral("CSV (*.csv)")));
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

void TFormOrder::ExportCsvClick() {
  const QString path = choose_csv_ ? choose_csv_() : ChooseCsvFileWithDialog();
  if (path.isEmpty()) return;
  std::array<QString, kOrderColumnCount> headings;
  for (int column = 0; column < kOrderColumnCount; ++column) {
    headings[column] = model_->HeaderText(column);
  }
  QString error;
  bool exported = false;
  {
    BusyCursor busy;
    exported = ExportOrderCsv(path, headings, model_->OrderLines(), &error);
  }
  const QString shown = QDir::toNativeSeparators(path);
  if (!exported) {
    ShowMessage(MessageKind::Warning, Text(TextId::CsvExportFailed).arg(shown, error));
    return;
  }
  SetStatusText(Text(TextId::CsvExported).arg(shown));
}
