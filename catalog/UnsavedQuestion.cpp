#include "UnsavedQuestion.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "Messages.h"
#include "TextTable.h"

namespace {

UnsavedQuestionHandler& Handler() {
  static UnsavedQuestionHandler handler;
  return handler;
}

}  // namespace

void SetUnsavedQuestionHandler(UnsavedQuestionHandler handler) { Handler() = std::move(handler); }

UnsavedAnswer AskSaveDiscardCancel(const QString& text) {
  if (Handler()) return Handler()(text);
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kApplicationTitle), text,
                  QMessageBox::NoButton, QApplication::activeWindow());
  QPushButton* save = box.addButton(QMessageBox::Save);
  QPushButton* discard = box.addButton(QMessageBox::Discard);
  QPushButton* cancel = box.addButton(QMessageBox::Cancel);
  save->setText(Text(TextId::SaveAnswer, save->text()));
  discard->setText(Text(TextId::DiscardAnswer, discard->text()));
  cancel->setText(Text(TextId::CancelAnswer, cancel->text()));
  box.setDefaultButton(save);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == save) return UnsavedAnswer::kSave;
  if (box.clickedButton() == discard) return UnsavedAnswer::kDiscard;
  return UnsavedAnswer::kCancel;
}
