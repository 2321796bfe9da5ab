// TremoraElectronic: the catalogue program's start. Creates the windows once, in a
// fixed order, and runs the event loop until the main window (the search window)
// closes.
//
//   TremoraElectronic [--settings FILE]
#include <QApplication>
#include <QCommandLineParser>

#include "KvPrintUnit.h"
#include "UnitAbout.h"
#include "UnitKVDiverse.h"
#include "UnitOrder.h"
#include "UnitSearch.h"
#include "UnitTemplate.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Tremora"));
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));

  QCommandLineParser options;
  options.setApplicationDescription(QStringLiteral("The Tremora electrical product catalogue."));
  options.addHelpOption();
  QCommandLineOption settings(QStringLiteral("settings"),
                              QStringLiteral("Read the folder settings from <file>."),
                              QStringLiteral("file"));
  options.addOption(settings);
  options.process(app);
  if (options.isSet(settings)) SetSettingsFile(options.value(settings));

  // 1. The search window, the main window. Its creation reads the settings, the texts,
  // the images and the discount codes and starts the engine; when one of them fails it
  // has told the user and the program ends here.
  FormSearch = new TFormSearch;
  SetApplicationMainWindow(FormSearch);
  if (TerminationRequested()) return TerminationExitCode();
  // 2. The frame window itself: created, never shown.
  FormTemplate = new TFormTemplate;
  // 3. The order list window.
  FormOrder = new TFormOrder;
  // 4. The about box.
  FormAbout = new TFormAbout;
  // 5. The print window (after the order list window, whose button look it uses).
  FormPrint = new TFormPrint(FormOrder);

  FormSearch->show();
  const int code = app.exec();
  return TerminationRequested() ? TerminationExitCode() : code;
}
