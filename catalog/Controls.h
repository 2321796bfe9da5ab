// Small controls the catalogue's windows share: edits that keep their input in lower
// case, an edit that does not select its text on entry, a drop-down list that announces
// its opening, and a label that keeps its right edge when its caption changes.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

// Turns everything typed or pasted into lower case.
class TLowerCaseValidator : public QValidator {
  Q_OBJECT

 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
};

// A line edit whose content is kept in lower case and whose text is not selected
// when it gets the focus.
class TLowerCaseEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TLowerCaseEdit(QWidget* parent = nullptr);

 protected:
  void focusInEvent(QFocusEvent* event) override;
};

// A drop-down list that emits DroppingDown just before its list opens, so the owner
// can fill it with what is there now.
class TDropDownComboBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;
  void showPopup() override;

 signals:
  void DroppingDown();
};

// A label that sizes itself to its caption and keeps its right edge where the layout
// put it, so a longer or shorter caption grows or shrinks to the left.
class TRightAlignedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TRightAlignedLabel(const QString& caption, QWidget* parent = nullptr);
  // Puts the label's left edge at x for its current caption; the right edge stays there.
  void PlaceAt(int x, int y);
  void SetCaption(const QString& caption);
  int RightEdge() const { return right_; }

 private:
  int right_ = 0;
};

// A caption label sized to its text.
QLabel* MakeLabel(QWidget* parent, const QString& caption, int x, int y);
