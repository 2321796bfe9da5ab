#include "Messages.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

MessageHandler g_message_handler;
QuestionHandler g_question_handler;
bool g_termination_requested = false;
int g_termination_code = 0;

}  // namespace

void SetMessageHandler(MessageHandler handler) { g_message_handler = std::move(handler); }
void SetQuestionHandler(QuestionHandler handler) { g_question_handler = std::move(handler); }

void ShowMessage(MessageKind kind, const QString& text) {
  if (g_message_handler) {
    g_message_handler(kind, text);
    return;
  }
  const QString title = QString::fromLatin1(kApplicationTitle);
  switch (kind) {
    case MessageKind::Information: QMessageBox::information(nullptr, title, text); break;
    case MessageKind::Warning: QMessageBox::warning(nullptr, title, text); break;
    case MessageKind::Error: QMessageBox::critical(nullptr, title, text); break;
  }
}

bool AskYesNo(const QString& text) {
  if (g_question_handler) return g_question_handler(text);
  return QMessageBox::question(nullptr, QString::fromLatin1(kApplicationTitle), text,
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void RequestTermination(int exitCode) {
  if (!g_termination_requested) g_termination_code = exitCode;
  g_termination_requested = true;
  QCoreApplication::exit(g_termination_code);  // no effect before the event loop runs
}

bool TerminationRequested() { return g_termination_requested; }
int TerminationExitCode() { return g_termination_code; }

void ClearTerminationRequest() {
  g_termination_requested = false;
  g_termination_code = 0;
}
