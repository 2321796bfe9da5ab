// The program's message boxes, and its request to end.
#pragma once

#include <QString>

#include <functional>

// The program's title: the application name and the caption of every message box.
inline constexpr char kApplicationTitle[] = "Tremora Divuvera 2013";

enum class MessageKind { Information, Warning, Error };

// Shows a message box with an OK button.
void ShowMessage(MessageKind kind, const QString& text);
// Asks a Yes/No question; true for Yes.
bool AskYesNo(const QString& text);

// Tests replace the boxes with recorders. A null handler restores the real boxes.
using MessageHandler = std::function<void(MessageKind, const QString&)>;
using QuestionHandler = std::function<bool(const QString&)>;
void SetMessageHandler(MessageHandler handler);
void SetQuestionHandler(QuestionHandler handler);

// Asks the program to end: the event loop stops if it runs; if it has not started yet,
// main sees TerminationRequested and does not start it.
void RequestTermination(int exitCode = 1);
bool TerminationRequested();
int TerminationExitCode();
void ClearTerminationRequest();
