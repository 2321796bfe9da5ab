#include "UnitTemplate.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>

#include "Messages.h"
#include "TextTable.h"
#include "UnitAbout.h"
#include "UnitSettings.h"
#include "art/Artwork.h"

TFormTemplate* FormTemplate = nullptr;

namespace {
QPointer<QWidget> g_main_window;
UnsavedWorkGuard g_unsaved_guard;
bool g_end_confirmed = false;

QLabel* Picture(QWidget* parent, const QRect& geometry, const QImage& image) {
  auto* label = new QLabel(parent);
  label->setGeometry(geometry);
  label->setPixmap(QPixmap::fromImage(image));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}
}  // namespace

QWidget* ApplicationMainWindow() { return g_main_window; }
void SetApplicationMainWindow(QWidget* window) { g_main_window = window; }
void EndApplication() { QCoreApplication::exit(0); }

void SetUnsavedWorkGuard(UnsavedWorkGuard guard) {
  g_unsaved_guard = std::move(guard);
  g_end_confirmed = false;
}

bool HasUnsavedWork() {
  return !g_end_confirmed && g_unsaved_guard.has_unsaved && g_unsaved_guard.has_unsaved();
}

bool MayEndProgram() {
  if (!HasUnsavedWork()) return true;
  if (!g_unsaved_guard.resolve || !g_unsaved_guard.resolve()) return false;
  g_end_confirmed = true;
  return true;
}

TFormTemplate::TFormTemplate(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Tremora Divuvera"));
  QFont arial(QStringLiteral("Arial"));
  arial.setPixelSize(11);
  setFont(arial);

  client_ = new QWidget(this);
  client_->setFixedSize(kClientWidth, kClientHeight);
  client_->setAutoFillBackground(true);
  QPalette grey = client_->palette();
  grey.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
  client_->setPalette(grey);
  setCentralWidget(client_);

  // Stacking: the background at the bottom, the bar over it, the logo at the top.
  BGImg = Picture(client_, QRect(0, 80, 800, 466), art::Background());
  BarBtn = Picture(client_, QRect(0, 104, 800, 44), art::ButtonBar());
  KVLogoImg = Picture(client_, QRect(0, 0, 800, 80), art::LogoStrip());

  StatusBar = new QStatusBar(client_);
  StatusBar->setGeometry(0, 535, kClientWidth, 19);
  StatusBar->setSizeGripEnabled(false);
  status_panel_ = new QLabel(StatusBar);
  status_panel_->setMinimumWidth(50);
  StatusBar->addWidget(status_panel_, 1);

  MainMenu = menuBar();
  File1 = MainMenu->addMenu(QStringLiteral("&File"));
  Exit1 = File1->addAction(QStringLiteral("&Exit"));
  Link = MainMenu->addAction(QStringLiteral("Reserveret"));
  Help = MainMenu->addMenu(QStringLiteral("&?"));
  Om1 = Help->addAction(QStringLiteral("&Om"));
  connect(Exit1, &QAction::triggered, this, &TFormTemplate::Exit1Click);
  // The settings window, above Exit; its caption comes from the text table, which is read
  // after the windows are built.
  Settings1 = new QAction(QStringLiteral("Settings..."), this);
  File1->insertAction(Exit1, Settings1);
  File1->insertSeparator(Exit1);
  connect(File1, &QMenu::aboutToShow, this,
          [this] { Settings1->setText(Text(TextId::SettingsMenu, Settings1->text())); });
  connect(Settings1, &QAction::triggered, this, &TFormTemplate::Settings1Click);
  connect(Om1, &QAction::triggered, this, &TFormTemplate::Om1Click);
}

void TFormTemplate::FormCreate() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  if (OpensMaximised(screen ? screen->geometry().width() : 1024)) {
    setWindowState(windowState() | Qt::WindowMaximized);
    return;
  }
  // A single fixed border: the window keeps the size of its client area and menu.
  adjustSize();
  setFixedSize(sizeHint());
  move(available.center() - rect().center());
}

void TFormTemplate::SetStatusText(const QString& text) {
  status_panel_->setText(text);
  status_panel_->repaint();
}

void TFormTemplate::ClearStatusText() { status_panel_->clear(); }

QString TFormTemplate::StatusText() const { return status_panel_->text(); }

void TFormTemplate::closeEvent(QCloseEvent* event) {
  if (!MayEndProgram()) {
    event->ignore();
    return;
  }
  event->accept();
  // Closing any frame window closes the main window, which ends the program.
  QWidget* main = ApplicationMainWindow();
  if (main && main != this) main->close();
}

// With an order list in no file of the user's, the question is whether to save it; else
// whether to end at all.
void TFormTemplate::Exit1Click() {
  if (HasUnsavedWork() ? MayEndProgram() : AskYesNo(Text(TextId::AskEndProgram))) close();
}

void TFormTemplate::Settings1Click() {
  TFormSettings settings(this);
  settings.exec();
}

void TFormTemplate::Om1Click() {
  if (!FormAbout) return;
  FormAbout->show();
  FormAbout->raise();
  FormAbout->activateWindow();
}
