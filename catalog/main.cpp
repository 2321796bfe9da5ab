// TremoraElectronic: the catalogue program's start. Runs the start-up, creates the
// windows once, in a fixed order, and runs the event loop until the main window (the
// search window) closes.
//
//   TremoraElectronic [--settings FILE] [--count TEXT]
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QTextStream>

#include "CatalogStartup.h"
#include "KvPrintUnit.h"
#include "Messages.h"
#include "OrderAutosave.h"
#include "UnitAbout.h"
#include "UnitOrder.h"
#include "UnitSearch.h"
#include "UnitSettings.h"
#include "UnitTemplate.h"
#include "art/Artwork.h"

namespace {

// The name of the desktop entry and of the icon the package installs.
constexpr char kDesktopId[] = "dk.tremora.TremoraElectronic";

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : art::kIconSizes) icon.addPixmap(QPixmap::fromImage(art::AppIcon(size)));
  return icon;
}

// --count: the search window searches the item texts as after typing and Enter; the
// hit counter's value goes to standard output. Answers the program's exit code.
int CountHits(const QString& text) {
  auto* edit = FormSearch->findChild<QLineEdit*>(QStringLiteral("VaretekstEdit"));
  auto* hits = FormSearch->findChild<QLabel*>(QStringLiteral("AntalHitsLbl"));
  if (!edit || !hits) return 1;
  edit->setText(text);
  FormSearch->SogBtnClick();
  QTextStream(stdout) << hits->text() << Qt::endl;
  return TerminationRequested() ? TerminationExitCode() : 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Tremora"));
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));
  QApplication::setWindowIcon(ApplicationIcon());

  QCommandLineParser options;
  options.setApplicationDescription(QStringLiteral("The Tremora electrical product catalogue."));
  options.addHelpOption();
  QCommandLineOption settings(QStringLiteral("settings"),
                              QStringLiteral("Read the folder settings from <file>."),
                              QStringLiteral("file"));
  options.addOption(settings);
  QCommandLineOption count(
      QStringLiteral("count"),
      QStringLiteral("Search the item texts for <text> as the search window does, print the "
                     "number of hits and quit. Messages go to the error output."),
      QStringLiteral("text"));
  options.addOption(count);
  options.process(app);
  if (options.isSet(settings)) SetSettingsFile(options.value(settings));
  if (options.isSet(count)) {
    SetMessageHandler([](MessageKind, const QString& text) {
      QTextStream(stderr) << text << Qt::endl;
    });
    SetQuestionHandler([](const QString&) { return false; });
  }

  // With no settings anywhere the settings window comes first, so that a first start needs
  // no hand-written file. Closing it without saving ends the program.
  if (NoSettingsAnywhere() && !RunFirstStartSettings()) return 1;

  // The settings, texts, images and discount codes, and the engine; when one of them
  // fails the user has been told and the program ends here.
  std::unique_ptr<TCatalogStart> start = StartCatalog();
  if (!start || TerminationRequested()) return TerminationExitCode();
  const FolderSettings folders = start->Folders;
  const CatalogImages images = start->Images;

  // The search window is the main window; it takes over the started engine.
  FormSearch = new TFormSearch(std::move(*start));
  SetApplicationMainWindow(FormSearch);
  // The frame window itself: created, never shown.
  FormTemplate = new TFormTemplate;
  FormOrder = new TFormOrder;
  FormOrder->SetGridImages(images);
  FormAbout = new TFormAbout(folders.ImagePath(QString::fromLatin1(TFormAbout::kPictureFile)));
  // The print window comes after the order list window, whose button look it uses.
  FormPrint = new TFormPrint(FormOrder);

  if (options.isSet(count)) return CountHits(options.value(count));

  // The order list left by the last run, and the question before an unsaved one is lost.
  FormOrder->StartAutosave(order::TOrderAutosave::DefaultFolder());
  SetUnsavedWorkGuard({[] { return FormOrder->HasUnsavedList(); },
                       [] { return FormOrder->ResolveUnsavedList(); }});

  FormSearch->show();
  const int code = app.exec();
  return TerminationRequested() ? TerminationExitCode() : code;
}
