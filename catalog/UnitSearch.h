// TFormSearch: the catalogue's main window. The user fills up to four search edits
// (item text, type number, el. number, EAN); the hits show in the grid with their
// quantity, gross price and net price after the selected discount-code file's discount.
//
// This unit lays the window out and runs its creation: texts, settings, images, the
// default discount-code file, the engine start-up and the captions. Closing it ends the
// program.
#pragma once

#include "UnitTemplate.h"

class QEvent;
class QLineEdit;
class QListWidget;
class QMenu;
class QScrollBar;
class QStandardItemModel;
class QTableView;
class TButtonEX;
class TButtonExGraphics;
class TDropDownComboBox;
class TLowerCaseEdit;
class TRightAlignedLabel;

class TFormSearch : public TFormTemplate {
  Q_OBJECT

 public:
  // Grid geometry: 9 columns, 15 rows of 18 pixels plus a 1-pixel grid line, row 0 the
  // header.
  static constexpr int kGridColumns = 9;
  static constexpr int kGridRows = 15;
  static constexpr int kGridRowPitch = 19;
  static constexpr int kGridColumnWidths[kGridColumns] = {19, 217, 47, 119, 73, 89, 81, 27, 74};

  explicit TFormSearch(QWidget* parent = nullptr);

  // True when every creation step ran; false when one of them ended the program.
  bool Created() const { return created_; }

 public slots:
  void RabatKodeFilComboBoxDropDown();
  void RabatKodeFilComboBoxChange();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  // The creation steps; answers false when a step asked the program to end.
  bool FormCreate();
  void PlaceCounterControls();   // creation step 4
  bool StartEngine();            // creation step 9
  void SetCaptions();            // creation step 10
  // Hints shown in the status bar while the mouse is over a control.
  void WireHints();
  // Shows text n in the status bar.
  void ShowHint(int n);

 protected:
  // The controls, named as the window's handlers know them.
  QLabel* VaretekstLbl = nullptr;
  TLowerCaseEdit* VaretekstEdit = nullptr;
  QLabel* TypenrLbl = nullptr;
  QLineEdit* TypenrEdit = nullptr;
  QLabel* ElNrLbl = nullptr;
  QLineEdit* ElnrEdit = nullptr;
  QLabel* EAN13Lbl = nullptr;
  QLineEdit* EANEdit = nullptr;
  TButtonEX* SogBtn = nullptr;
  TButtonEX* TilOrdreBtn = nullptr;
  TButtonEX* VisOrdreBtn = nullptr;
  TButtonEX* SletAltBtn = nullptr;
  TRightAlignedLabel* AntalLbl = nullptr;
  QLabel* AntalHitsLbl = nullptr;
  TRightAlignedLabel* OrdreListeLbl = nullptr;
  QLabel* AntalIOrdreLbl = nullptr;
  QLabel* RabatKodeFilLbl = nullptr;
  TDropDownComboBox* RabatKodeFilComboBox = nullptr;
  QTableView* DrawGrid1 = nullptr;
  QScrollBar* ScrollBar = nullptr;
  TLowerCaseEdit* AntalEdit = nullptr;
  QListWidget* IndexBox = nullptr;
  TButtonExGraphics* ButtonExGraphics1 = nullptr;  // 30 pixels high: the search button
  TButtonExGraphics* ButtonExGraphics2 = nullptr;  // 31 pixels high: the row below the bar
  QMenu* OrderMenu = nullptr;

 private:
  QStandardItemModel* placeholder_grid_ = nullptr;
  bool created_ = false;
};

extern TFormSearch* FormSearch;
