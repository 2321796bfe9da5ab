// TFormSearch: the catalogue's main window. The user fills up to four search edits
// (item text, type number, el. number, EAN); the hits show in the grid with their
// quantity, gross price and net price after the selected discount-code file's discount.
//
// The window is made from what the start-up produced (CatalogStartup.h): it owns the
// started engine and knows the folders. Closing it ends the program.
#pragma once

#include <QAbstractSlider>
#include <cstdint>
#include <memory>

#include "CatalogStartup.h"
#include "TextTable.h"
#include "UnitTemplate.h"

class QEvent;
class QLineEdit;
class QListWidget;
class QMenu;
class QScrollBar;
class QKeyEvent;
class TButtonEX;
class TButtonExGraphics;
class TDropDownComboBox;
class TFormDetails;
class TResultSort;
class TResultGrid;
class TResultModel;
class TLowerCaseEdit;
class TQuantityEditor;
class TRightAlignedLabel;

class TFormSearch : public TFormTemplate {
  Q_OBJECT

 public:
  // start: the start-up's folders and started engine, which the window takes over.
  explicit TFormSearch(TCatalogStart start, QWidget* parent = nullptr);

  ~TFormSearch() override;

  const FolderSettings& Folders() const { return folders_; }

  // The engine wrapper, base, session, result view, marks, index view and quantities.
  TEngineState& Engine() { return engine_; }
  TResultModel* ResultModel() const { return result_model_; }
  // The order of the hits (null before the engine started).
  TResultSort* Sort() const { return sort_.get(); }
  // The details window, once a product's details were shown.
  TFormDetails* Details() const { return details_; }

  // Status-bar hint when a quantity is asked for a hit that has no quantity entry.
  static QString NoQuantityHint();

 public slots:
  void RabatKodeFilComboBoxDropDown();
  void RabatKodeFilComboBoxChange();
  void SogBtnClick();
  void SletAltBtnClick();
  void VisOrdreBtnClick();
  void LinkClick();
  // Takes the marked hits with their quantities over into the order list.
  void TilOrdreBtnClick();
  // A click on the header of a grid column: orders the hits by the column's field when
  // it can (ascending, descending, base order) and shows them from the first.
  void SortColumn(int column);
  // Opens the details window on the product shown in a grid row.
  void ShowDetails(int row);
  // Ctrl+F: the item-text edit gets the keyboard.
  void FocusItemText();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  // The search: hides the suggestions and the quantity editor, runs RunSearch on the
  // four edits and shows the result from its first hit.
  void Search();
  // One engine search per non-empty text, ANDed; answers the hit count.
  int32_t RunSearch(const QString& item_text, const QString& type_number,
                    const QString& el_number, const QString& ean);
  void UpdateScrollBar();
  void ScrollResultTo(int position);
  void RepaintGrid();

 private:
  void BuildLayout();
  // Places and shows the counters and the discount-code file selector.
  void PlaceCounterControls();
  // Gives the grid its model over the engine, drawn with the catalogue's images.
  void ConnectEngine(const CatalogImages& images);
  // Captions of the menu, buttons and labels from the text table.
  void SetCaptions();
  // Hints shown in the status bar while the mouse is over a control.
  void WireHints();
  // Shows a text in the status bar.
  void ShowHint(TextId id);

  void ScrollBarScroll(int action);
  void DrawGrid1MouseDown(int column, int row, Qt::MouseButton button);
  void DrawGrid1MouseMove(int column, int row);
  void DrawGrid1DblClick(int column, int row);
  // Keys on the grid's keyboard cursor.
  void DrawGrid1ScrollKey(QAbstractSlider::SliderAction action);
  void DrawGrid1MarkKey(int row);
  // The menu of keyboard commands and the tab order through the controls.
  void BuildKeyboardCommands();
  void VaretekstEditKeyUp(QKeyEvent* event);
  void VaretekstEditChange();
  void AntalEditEnter();
  void AntalEditExit();
  // Enter in the quantity editor (or leaving it with a text).
  void StoreQuantity();
  void HideQuantityEditor();
  void IndexBoxEnter();
  void IndexBoxExit();
  bool IndexBoxKeyDown(QKeyEvent* event);
  void IndexBoxDblClick();
  // Puts the selected suggestion into the item-text edit.
  void TakeSuggestion();
  int OrderLineCount() const;

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
  TResultGrid* DrawGrid1 = nullptr;
  QScrollBar* ScrollBar = nullptr;
  TQuantityEditor* AntalEdit = nullptr;
  QListWidget* IndexBox = nullptr;
  TButtonExGraphics* ButtonExGraphics1 = nullptr;  // 30 pixels high: the search button
  TButtonExGraphics* ButtonExGraphics2 = nullptr;  // 31 pixels high: the row below the bar
  QMenu* OrderMenu = nullptr;
  QAction* FindAction = nullptr;
  QAction* TilOrdreAction = nullptr;
  QAction* VisOrdreAction = nullptr;

 private:
  FolderSettings folders_;
  TEngineState engine_;
  TResultModel* result_model_ = nullptr;
  std::unique_ptr<TResultSort> sort_;
  TFormDetails* details_ = nullptr;
  // Cell last found under the mouse (-1 outside the cells), and the grid row whose
  // quantity the editor edits.
  int grid_column_under_mouse_ = -1;
  int grid_row_under_mouse_ = -1;
  int quantity_edit_row_ = -1;
  int key_pressed_in_item_text_ = 0;
};

extern TFormSearch* FormSearch;
