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
class TButtonEX;
class TFormOrder;

class TFormPrint : public QDialog {
  Q_OBJECT

 public:
  // The last entry of the printer list: print into a PDF file instead of on a printer.
  static QString PdfFileEntry() { return QStringLiteral("PDF file"); }

  // order_window: the window whose list is printed and whose button look is used.
  explicit TFormPrint(TFormOrder* order_window, QWidget* parent = nullptr);
  ~TFormPrint() override;

  QComboBox* Printers() const { return PrinterCbo; }
  QComboBox* Copies() const { return AntalSiderCbo; }
  TButtonEX* PrintButton() const { return PrintBtn; }
  TButtonEX* CloseButton() const { return LukBtn; }
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

 private:
  void FormCreate();
  void FillPrinterList();
  QString ChoosePdfFileWithDialog();

  TFormOrder* order_window_;
  std::unique_ptr<QPrinter> printer_;
  QLabel* Image1 = nullptr;
  QLabel* PrinterLbl = nullptr;
  QComboBox* PrinterCbo = nullptr;
  QLabel* KopierLbl = nullptr;
  QComboBox* AntalSiderCbo = nullptr;
  TButtonEX* PrintBtn = nullptr;
  TButtonEX* LukBtn = nullptr;
  PdfFileChooser choose_pdf_;
};

extern TFormPrint* FormPrint;
