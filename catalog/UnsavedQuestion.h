// The question asked before an order list that is in no file of the user's would be lost:
// save it, throw it away, or go back.
#pragma once

#include <QString>

#include <functional>

enum class UnsavedAnswer { kSave, kDiscard, kCancel };

// Shows `text` with the buttons Save, Discard and Cancel (captions from the text table).
// Escape and closing the box answer Cancel.
UnsavedAnswer AskSaveDiscardCancel(const QString& text);

// Tests answer the question themselves. A null handler restores the real box.
using UnsavedQuestionHandler = std::function<UnsavedAnswer(const QString&)>;
void SetUnsavedQuestionHandler(UnsavedQuestionHandler handler);
