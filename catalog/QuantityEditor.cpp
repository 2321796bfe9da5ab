#include "QuantityEditor.h"

#include <QFocusEvent>
#include <QKeyEvent>

TQuantityEditor::TQuantityEditor(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(3);
  hide();
}

void TQuantityEditor::HideWithoutLeaving() {
  hiding_ = true;
  hide();
  hiding_ = false;
}

// Keys are filtered here rather than in keyPressEvent, which Tab never reaches.
bool TQuantityEditor::event(QEvent* event) {
  if (event->type() == QEvent::KeyPress && FilterKey(*static_cast<QKeyEvent*>(event)))
    return true;
  return QLineEdit::event(event);
}

bool TQuantityEditor::FilterKey(const QKeyEvent& key) {
  switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      emit EnterPressed();
      return true;
    case Qt::Key_Backspace:
      return false;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return !tab_leaves_;
    default: {
      const QString typed = key.text();
      return typed.isEmpty() || !typed.at(0).isPrint();
    }
  }
}

void TQuantityEditor::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  emit Entered();
}

void TQuantityEditor::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  const Qt::FocusReason reason = event->reason();
  if (!hiding_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
    emit Left();
}
