#include "KvPrintUnit.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinterInfo>
#include <QSettings>

#include "ButtonEX.h"
#include "CatalogSettings.h"
#include "Messages.h"
#include "OrderPrinter.h"
#include "TextTable.h"
#include "UnitOrder.h"

TFormPrint* FormPrint = nullptr;

namespace {

constexpr int kMaxCopies = 20;

// The window's background: deep blue, lighter towards the bottom.
QPixmap BackgroundArtwork(const QSize& size) {
  QPixmap pixmap(size);
  QPainter painter(&pixmap);
  QLinearGradient gradient(0, 0, 0, size.height());
  gradient.setColorAt(0, QColor(0x0b, 0x2a, 0x5b));
  gradient.setColorAt(1, QColor(0x2a, 0x5c, 0xa8));
  painter.fillRect(pixmap.rect(), gradient);
  return pixmap;
}

QLabel* CaptionLabel(QWidget* parent, const QRect& geometry, const QString& text) {
  auto* label = new QLabel(text, parent);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  font.setBold(true);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, Qt::white);
  label->setPalette(palette);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignRight | Qt::AlignTop);
  return label;
}

}  // namespace

TFormPrint::TFormPrint(TFormOrder* order_window, QWidget* parent)
    : QDialog(parent), order_window_(order_window),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  setFixedSize(389, 229);
  setWindowTitle(QStringLiteral("Tremora Divuvera"));
  setModal(false);

  Image1 = new QLabel(this);
  Image1->setGeometry(-1, -1, 390, 229);
  Image1->setPixmap(BackgroundArtwork(Image1->size()));
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  // Right-aligned captions end just before their lists.
  PrinterLbl = CaptionLabel(this, QRect(6, 15, 100, 16), QStringLiteral("Vælg Printer:"));
  PrinterCbo = new QComboBox(this);
  PrinterCbo->setGeometry(112, 12, 257, 22);
  KopierLbl = CaptionLabel(this, QRect(6, 47, 100, 16), QStringLiteral("Antal Kopier:"));
  AntalSiderCbo = new QComboBox(this);
  AntalSiderCbo->setGeometry(112, 44, 41, 22);
  for (int copies = 1; copies <= kMaxCopies; ++copies) {
    AntalSiderCbo->addItem(QString::number(copies));
  }

  TButtonExGraphics* look = order_window_ ? order_window_->SecondPrototype() : nullptr;
  // Preview, print and close in one row.
  VisBtn = new TButtonEX(this, QStringLiteral("VisBtn"));
  VisBtn->setGeometry(45, 168, 88, 31);
  VisBtn->SetPrototype(look);
  PrintBtn = new TButtonEX(this, QStringLiteral("PrintBtn"));
  PrintBtn->setGeometry(150, 168, 88, 31);
  PrintBtn->SetPrototype(look);
  LukBtn = new TButtonEX(this, QStringLiteral("LukBtn"));
  LukBtn->setGeometry(255, 168, 88, 31);
  LukBtn->SetPrototype(look);
  connect(VisBtn, &TButtonEX::OnClick, this, &TFormPrint::VisBtnClick);
  connect(PrintBtn, &TButtonEX::OnClick, this, &TFormPrint::PrintBtnClick);
  connect(LukBtn, &TButtonEX::OnClick, this, &TFormPrint::LukBtnClick);

  FormCreate();
}

TFormPrint::~TFormPrint() = default;

void TFormPrint::FormCreate() {
  AntalSiderCbo->setCurrentIndex(0);
  setWindowTitle(Text(TextId::WindowTitle, windowTitle()));
  PrintBtn->SetCaption(Text(TextId::PrintButton, QStringLiteral("PRINT")));
  LukBtn->SetCaption(Text(TextId::CloseButton, QStringLiteral("LUK")));
  VisBtn->SetCaption(Text(TextId::PreviewButton, QStringLiteral("VIS")));
  PrinterLbl->setText(Text(TextId::PrinterLabel, PrinterLbl->text()));
  KopierLbl->setText(Text(TextId::CopiesLabel, KopierLbl->text()));
  FillPrinterList();
}

// The system's printers in its order with the default one selected, then the PDF entry,
// which is selected when there is no printer.
void TFormPrint::FillPrinterList() {
  PrinterCbo->clear();
  PrinterCbo->addItems(QPrinterInfo::availablePrinterNames());
  const int default_index = PrinterCbo->findText(QPrinterInfo::defaultPrinterName());
  PrinterCbo->addItem(PdfFileEntry());
  PrinterCbo->setCurrentIndex(default_index >= 0 ? default_index : PrinterCbo->count() - 1);
}

QString TFormPrint::PdfFileEntry() {
  return Text(TextId::PdfFilePrinter, QStringLiteral("PDF"));
}

QStringList TFormPrint::FirmAddress() {
  return ReadFirmAddress(*OpenSettingsStore());
}

order::OrderPrintout TFormPrint::CollectPrintout() const {
  order::OrderPrintout printout;
  printout.firm_name = FirmName();
  printout.firm_address = FirmAddress();
  if (!order_window_) return printout;
  const order::TOrderGridModel& model = *order_window_->Model();
  for (int column = 0; column < order::kOrderColumnCount; ++column) {
    printout.headings[column] = model.HeaderText(column);
  }
  printout.lines = model.OrderLines();
  printout.total_caption = order_window_->TotalCaption();
  printout.gross_total = order_window_->GrossTotalText();
  printout.net_total = order_window_->NetTotalText();
  return printout;
}

QString TFormPrint::ChoosePdfFileWithDialog() {
  QFileDialog dialog(this, Text(TextId::WindowTitle, QStringLiteral("Tremora Divuvera")));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QStringLiteral("PDF (*.pdf)"));
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

void TFormPrint::PrintBtnClick() {
  LukBtn->SetEnabled(false);
  QPrinter& printer = *printer_;
  const bool to_pdf = PrinterCbo->currentText() == PdfFileEntry();
  QString pdf_path;
  if (to_pdf) {
    pdf_path = choose_pdf_ ? choose_pdf_() : ChoosePdfFileWithDialog();
    if (pdf_path.isEmpty()) {
      LukBtn->SetEnabled(true);
      return;
    }
  }
  SelectPrinter(pdf_path);

  QString error;
  const bool printed = order::PrintOrderList(printer, CollectPrintout(), &error);
  LukBtn->SetEnabled(true);
  if (!printed) {
    // The job is dropped and the window stays open, with the reason told.
    ShowMessage(MessageKind::Warning, error);
    return;
  }
  hide();
}

void TFormPrint::SelectPrinter(const QString& pdf_path) {
  QPrinter& printer = *printer_;
  if (PrinterCbo->currentText() == PdfFileEntry()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf_path);
  } else {
    printer.setOutputFileName(QString());
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(PrinterCbo->currentText());
  }
  printer.setCopyCount(AntalSiderCbo->currentText().toInt());
  printer.setDocName(Text(TextId::WindowTitle, QStringLiteral("Tremora Divuvera")));
}

void TFormPrint::LukBtnClick() { hide(); }

// The preview draws with the printout code of PRINT on the same printer object, so it shows
// the same pages, one copy of them. A list that PRINT would refuse is refused here too.
void TFormPrint::VisBtnClick() {
  const order::OrderPrintout printout = CollectPrintout();
  if (const QString reason = order::UnprintableReason(printout); !reason.isEmpty()) {
    ShowMessage(MessageKind::Warning, reason);
    return;
  }
  if (preview_) preview_->close();
  SelectPrinter(QString());
  preview_ = new QPrintPreviewDialog(printer_.get(), this);
  preview_->setAttribute(Qt::WA_DeleteOnClose);
  preview_->setWindowTitle(Text(TextId::PreviewButton, QStringLiteral("VIS")) +
                           QStringLiteral(" - ") +
                           Text(TextId::WindowTitle, QStringLiteral("Tremora Divuvera")));
  preview_->resize(900, 700);
  connect(preview_, &QPrintPreviewDialog::paintRequested, this,
          [printout](QPrinter* printer) { order::PaintOrderListPreview(*printer, printout); });
  connect(preview_, &QObject::destroyed, this, [this] { preview_ = nullptr; });
  preview_->open();
}
