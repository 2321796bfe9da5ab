// TFormDetails: the details window of one product. It lists every published data field
// of the product, read through the engine, under the field's name in the base's
// schema; a multi-line field is shown whole in a box of its own. The search window
// opens it on a double click on a hit (or Enter on the grid's keyboard cursor).
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <cstdint>

class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QPushButton;
class TLodexKV;

// One published data field of a product.
struct TDetailField {
  QString Name;
  QString Text;
  bool Multiline = false;
};

// Fetches the hit and reads its published data fields in schema order. Empty when the
// hit cannot be fetched.
QList<TDetailField> ReadProductDetails(TLodexKV& engine, int32_t session, int32_t base, int32_t hit);

class TFormDetails : public QDialog {
  Q_OBJECT

 public:
  explicit TFormDetails(QWidget* parent = nullptr);

  // Shows the fields, with the first field's text (the item text) in the heading.
  void ShowFields(const QList<TDetailField>& fields);
  const QList<TDetailField>& Fields() const { return fields_; }
  // The widget that shows field i's text (a line edit, or a text box when multi-line).
  QWidget* FieldEditor(int i) const { return editors_.value(i); }
  QPushButton* CloseButton() const { return LukBtn; }

 private:
  QLabel* OverskriftLbl = nullptr;
  QFormLayout* FeltLayout = nullptr;
  QPushButton* LukBtn = nullptr;
  QList<TDetailField> fields_;
  QList<QWidget*> editors_;
};
