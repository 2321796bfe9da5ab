// Records the message boxes and Yes/No questions the code under test would show, for
// the length of the object, and gives the questions a set answer.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "Messages.h"

class TMessageRecorder {
 public:
  struct Message {
    MessageKind kind;
    QString text;
  };

  TMessageRecorder() {
    SetMessageHandler(
        [this](MessageKind kind, const QString& text) { messages.append({kind, text}); });
    SetQuestionHandler([this](const QString& text) {
      questions.append(text);
      return answer;
    });
  }
  ~TMessageRecorder() {
    SetMessageHandler(nullptr);
    SetQuestionHandler(nullptr);
  }
  TMessageRecorder(const TMessageRecorder&) = delete;
  TMessageRecorder& operator=(const TMessageRecorder&) = delete;

  void Clear() {
    messages.clear();
    questions.clear();
  }

  QList<Message> messages;
  QStringList questions;
  bool answer = false;  // the answer to every question
};
