// TFormTemplate: the frame window from which the search window and the order list
// window inherit their look (logo strip, background, button bar), their main menu
// (File / Exit, Link, ? / Om), their status bar, their sizing rules and their closing
// behaviour (closing any frame window ends the program).
#pragma once

#include <QMainWindow>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;

class TFormTemplate : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 792;
  static constexpr int kClientHeight = 554;

  explicit TFormTemplate(QWidget* parent = nullptr);

  // The first panel of the status bar.
  void SetStatusText(const QString& text);
  void ClearStatusText();
  QString StatusText() const;

  // The area below the menu in which the controls sit at fixed positions.
  QWidget* Client() const { return client_; }

  // On a screen wider than 800 pixels a frame window has its normal size; on a
  // narrower one it opens maximised.
  static bool OpensMaximised(int screenWidth) { return screenWidth <= 800; }

 public slots:
  void Exit1Click();
  void Om1Click();
  // Opens the settings window.
  void Settings1Click();

 protected:
  // The frame's own creation; derived windows run it first from theirs.
  void FormCreate();
  void closeEvent(QCloseEvent* event) override;

  QLabel* KVLogoImg = nullptr;
  QStatusBar* StatusBar = nullptr;
  QMenuBar* MainMenu = nullptr;
  QLabel* BarBtn = nullptr;
  QLabel* BGImg = nullptr;
  QMenu* File1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* Settings1 = nullptr;
  QAction* Link = nullptr;
  QMenu* Help = nullptr;
  QAction* Om1 = nullptr;

 private:
  QWidget* client_ = nullptr;
  QLabel* status_panel_ = nullptr;
};

// The program's main window: closing it ends the program.
QWidget* ApplicationMainWindow();
void SetApplicationMainWindow(QWidget* window);

// Ends the event loop (the program) when it runs.
void EndApplication();

// Work that ending the program would lose: the order list window installs a check for an
// order list that is in no file of the user's, and a resolver that asks the user what to do.
struct UnsavedWorkGuard {
  std::function<bool()> has_unsaved;  // true when ending now would lose something
  std::function<bool()> resolve;      // asks the user; true when the program may end
};
void SetUnsavedWorkGuard(UnsavedWorkGuard guard);
// True when the program may end: nothing would be lost, or the user said so (remembered
// for the rest of the closing, so the question comes once).
bool MayEndProgram();
// Whether MayEndProgram would ask the user.
bool HasUnsavedWork();

// The windows of the program, created once in this order by main: the search window,
// this frame window (never shown), the order list, the about box and the print window.
extern TFormTemplate* FormTemplate;
