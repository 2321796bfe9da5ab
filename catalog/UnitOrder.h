// TFormOrder: the order list window. It holds the products taken over from the search
// window, one line per product with its quantity and amounts, lets the user edit
// quantities, mark and delete lines, save the list to a tab-separated file and load one,
// print it through the print window, and go back to the search window.
#pragma once

#include <QFileDialog>
#include <QString>

#include <functional>

#include "OrderModel.h"
#include "QuantityEditor.h"
#include "TextTable.h"
#include "UnitTemplate.h"

struct CatalogImages;
class QAction;
class QLabel;
class QLineEdit;
class QTableView;
class QFrame;
class TButtonEX;
class TButtonExGraphics;
class TOrderDelegate;
class TOrderHeaderView;
namespace order {
class TOrderAutosave;
}

class TFormOrder : public TFormTemplate {
  Q_OBJECT

 public:
  explicit TFormOrder(QWidget* parent = nullptr);

  // The grid draws with the catalogue's row and mark images; until they are given, and
  // for any that is missing, with the built-in artwork.
  void SetGridImages(const CatalogImages& images);

  // Entry from the search window: one marked hit with its quantity, all as text. The
  // totals are refreshed when the window is shown.
  void AddOrderLine(const QString& item_text, const QString& quantity,
                    const QString& type_number, const QString& el_number, const QString& ean,
                    const QString& unit_price, const QString& discount_code);
  // The search window's counter of order lines.
  int OrderLineCount() const { return model_->OrderLineCount(); }
  // Sum of the gross or net column, "0.00"; empty when an amount is not a number.
  QString OrderTotal(int column) const { return model_->Total(column); }

  order::TOrderGridModel* Model() const { return model_; }
  QTableView* Grid() const { return OrderGrid; }
  TQuantityEditor* QuantityEditor() const { return AntalEdit; }
  // The button look of the delete button, shared with the print window's buttons.
  TButtonExGraphics* SecondPrototype() const { return ButtonProto2; }
  QString TotalCaption() const;
  QString GrossTotalText() const;
  QString NetTotalText() const;

  // Asks for the file to save to or load from; an empty answer cancels. The default runs
  // the window's file dialog; tests put their own chooser in.
  using FileChooser = std::function<QString(QFileDialog::AcceptMode mode)>;
  void SetFileChooser(FileChooser chooser) { choose_file_ = std::move(chooser); }

  // The list on disk. Starts keeping the list in `folder` after every change and loads a
  // list left there by the last run, telling the user in the status bars; a copy that
  // cannot be read is kept aside and the user told in a message.
  void StartAutosave(const QString& folder);
  order::TOrderAutosave* Autosave() const { return autosave_; }
  // Whether the list holds changes that are in no file of the user's.
  bool HasUnsavedList() const;
  // Asks whether to save the list first (Save / Discard / Cancel); true when the program
  // may end. Save runs the save dialog; cancelling it or a failed save keeps the program.
  bool ResolveUnsavedList();
  // Saves the list to a file the user chooses; false when cancelled or failed.
  bool SaveToUserFile();

  // CSV export for spreadsheets (File menu). The chooser asks for the file; tests put
  // their own in.
  void ExportCsvClick();
  void SetCsvFileChooser(std::function<QString()> chooser) { choose_csv_ = std::move(chooser); }
  QAction* CsvExportAction() const { return CsvExport1; }

 public slots:
  void SogBtnClick();
  void GemBtnClick();
  void HentBtnClick();
  void PrintBtnClick();
  void SletLinierBtnClick();
  void LinkClick();
  void RefreshTotals();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  // File-menu items with the shortcuts of saving, opening and printing, and the tab
  // order through the buttons.
  void BuildKeyboardCommands();
  void OrderGridMouseDown(int row, int column);
  void OrderGridMouseMove(int column);
  void ShowQuantityEditor(int row);
  void HideQuantityEditor();
  void AntalEditEnterPressed();
  void AntalEditExit();
  void StoreQuantity(int quantity);
  QString ChooseFileWithDialog(QFileDialog::AcceptMode mode);
  TButtonEX* MakeButton(const QRect& geometry, TButtonExGraphics* prototype, TextId hint_text);

  order::TOrderGridModel* model_ = nullptr;
  QTableView* OrderGrid = nullptr;
  TOrderHeaderView* header_ = nullptr;
  TOrderDelegate* delegate_ = nullptr;
  TQuantityEditor* AntalEdit = nullptr;
  TButtonExGraphics* ButtonProto1 = nullptr;
  TButtonExGraphics* ButtonProto2 = nullptr;
  TButtonEX* SogBtn = nullptr;
  TButtonEX* GemBtn = nullptr;
  TButtonEX* HentBtn = nullptr;
  TButtonEX* PrintBtn = nullptr;
  TButtonEX* SletLinierBtn = nullptr;
  QFrame* Panel1 = nullptr;
  QLabel* PrisIaltLbl = nullptr;
  QLabel* PrisLbl = nullptr;
  QLabel* Prslbl2 = nullptr;
  QAction* GemAction = nullptr;
  QAction* HentAction = nullptr;
  QAction* PrintAction = nullptr;

  int edited_row_ = -1;          // the line whose quantity the editor shows
  FileChooser choose_file_;
  order::TOrderAutosave* autosave_ = nullptr;

  void CreateCsvExport();
  QString ChooseCsvFileWithDialog();
  QAction* CsvExport1 = nullptr;
  std::function<QString()> choose_csv_;
};

extern TFormOrder* FormOrder;
