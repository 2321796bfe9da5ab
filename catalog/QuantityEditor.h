// TQuantityEditor: the small editor that opens over a quantity cell of a grid, in the
// search window and in the order list window. It takes up to three characters; only
// typing and Backspace edit them, cursor and editing keys do nothing. It tells its window
// when Enter is pressed and when the user leaves it; what the text then does is the
// window's business.
#pragma once

#include <QLineEdit>

class TQuantityEditor : public QLineEdit {
  Q_OBJECT

 public:
  explicit TQuantityEditor(QWidget* parent = nullptr);

  // Whether Tab and Shift+Tab leave the editor for the next control (true) or do nothing
  // (false, the default).
  void SetTabLeaves(bool leaves) { tab_leaves_ = leaves; }
  // Hides the editor without counting as the user leaving it.
  void HideWithoutLeaving();

 signals:
  void EnterPressed();
  // The editor got the focus.
  void Entered();
  // The focus went to another control of the window. Focus taken by another window (a
  // message box, a menu) is not leaving.
  void Left();

 protected:
  bool event(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // Answers true when the key is kept from the editor.
  bool FilterKey(const class QKeyEvent& key);

  bool tab_leaves_ = false;
  bool hiding_ = false;
};
