// TFormPrint: the print window. The user picks a printer (or "PDF file") and a number of
// copies, and prints the order list of the order list window with the firm header, page
// numbers and totals.
#pragma once

#include <QDialog>
#include <QPrinter>
#include <QStringList>

#include <functional>
#include <memory>

#include "OrderPrintout.h"

class QComboBox;
class QLabel;
class QPrintPreviewDialog;
class TButtonEX;
class TFormOrder;

class TFormPrint : public QDialog {
  Q_OBJECT

 public:
  // The last entry of the printer list: print into a PDF file instead of on a printer.
  static QString PdfFileEntry();

  // order_window: the window whose list is printed and whose button look is used.
  explicit TFormPrint(TFormOrder* order_window, QWidget* parent = nullptr);
  ~TFormPrint() override;

  QComboBox* Printers() const { return PrinterCbo; }
  QComboBox* Copies() const { return AntalSiderCbo; }
  TButtonEX* PrintButton() const { return PrintBtn; }
  TButtonEX* CloseButton() const { return LukBtn; }
  TButtonEX* PreviewButton() const { return VisBtn; }
  // The preview opened by the Preview button while it is open.
  QPrintPreviewDialog* PreviewDialog() const { return preview_; }
  // The printer object of the last job (kept between jobs, as the program's printer).
  const QPrinter& Printer() const { return *printer_; }

  // The firm header's name and three address lines, from the settings.
  static QString FirmName() { return QStringLiteral("Tremora Divuvera AB"); }
  static QStringList FirmAddress();

  // The order list window's lines and totals as they are printed.
  order::OrderPrintout CollectPrintout() const;

  // Asks for the PDF file to print into; an empty answer cancels. Tests put their own in.
  using PdfFileChooser = std::function<QString()>;
  void SetPdfFileChooser(PdfFileChooser chooser) { choose_pdf_ = std::move(chooser); }

 public slots:
  void PrintBtnClick();
  void LukBtnClick();
  // Shows the pages PRINT would print, on the selected printer's paper.
  void VisBtnClick();

 private:
  void FormCreate();
  void FillPrinterList();
  QString ChoosePdfFileWithDialog();
  // Points the printer at the selected list entry: a system printer, or a PDF file.
  void SelectPrinter(const QString& pdf_path);

  TFormOrder* order_window_;
  std::unique_ptr<QPrinter> printer_;
  QLabel* Image1 = nullptr;
  QLabel* PrinterLbl = nullptr;
  QComboBox* PrinterCbo = nullptr;
  QLabel* KopierLbl = nullptr;
  QComboBox* AntalSiderCbo = nullptr;
  TButtonEX* PrintBtn = nullptr;
  TButtonEX* LukBtn = nullptr;
  TButtonEX* VisBtn = nullptr;
  QPrintPreviewDialog* preview_ = nullptr;
  PdfFileChooser choose_pdf_;
};

extern TFormPrint* FormPrint;
