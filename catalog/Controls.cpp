#include "Controls.h"

#include <QFocusEvent>

QValidator::State TLowerCaseValidator::validate(QString& input, int&) const {
  input = input.toLower();
  return Acceptable;
}

TLowerCaseEdit::TLowerCaseEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new TLowerCaseValidator(this));
}

void TLowerCaseEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  // Entering by Tab would select everything; the user goes on typing where they were.
  if (hasSelectedText()) deselect();
}

void TDropDownComboBox::showPopup() {
  emit DroppingDown();
  QComboBox::showPopup();
}

TRightAlignedLabel::TRightAlignedLabel(const QString& caption, QWidget* parent)
    : QLabel(caption, parent) {
  setAlignment(Qt::AlignRight | Qt::AlignTop);
}

void TRightAlignedLabel::PlaceAt(int x, int y) {
  adjustSize();
  move(x, y);
  right_ = x + width();
}

void TRightAlignedLabel::SetCaption(const QString& caption) {
  setText(caption);
  adjustSize();
  move(right_ - width(), y());
}

QLabel* MakeLabel(QWidget* parent, const QString& caption, int x, int y) {
  auto* label = new QLabel(caption, parent);
  label->move(x, y);
  label->adjustSize();
  return label;
}
