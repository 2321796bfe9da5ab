// The settings window: the checks before saving (a missing base, a missing image, a good
// catalogue folder), saving to the file the program reads, the folder pickers, and the first
// start without any settings file.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "CatalogSettings.h"
#include "CatalogStartup.h"
#include "CatalogueFolder.h"
#include "DemoBase.h"
#include "KvPrintUnit.h"
#include "Messages.h"
#include "SettingsCheck.h"
#include "TestFiles.h"
#include "TextTable.h"
#include "UnitSettings.h"

class SettingsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    base_ = std::make_unique<TDemoBase>(QList<TDemoProduct>{
        {"Stikkontakt 1-fag hvid", "SK1", "2000001", "5711111111111", "38,75", "K1"}});
    QVERIFY2(!base_->Path().isEmpty(), qPrintable(base_->Error()));
    QVERIFY(LoadTextTable(CATALOG_DATA_DIR "/").size() > 0);
    SetMessageHandler([this](MessageKind, const QString& text) { messages_ << text; });
  }

  void cleanupTestCase() {
    SetMessageHandler(nullptr);
    SetSettingsFile(QString());
    FreeTextTable();
  }

  // A complete catalogue folder, with the English text table beside the Danish one.
  void init() {
    messages_.clear();
    ClearTerminationRequest();
    folder_ = std::make_unique<TCatalogueFolder>();
    QVERIFY(folder_->IsValid());
    cd_ = folder_->Root();
    QVERIFY(QDir(cd_).mkpath("en"));
    QVERIFY(QFile::copy(CATALOG_DATA_DIR "/en/KV.dat", cd_ + "en/KV.dat"));
    ini_ = cd_ + "settings/TremoraElectronic.ini";
    SetSettingsFile(ini_);
  }

  void aGoodFolderIsSavedToTheFileTheProgramReads() {
    QVERIFY(NoSettingsAnywhere());
    TFormSettings window;
    Fill(window, base_->Path());
    window.FirmLineEdit(0)->setText("Postboks 5");
    window.FirmLineEdit(1)->setText("8000 Århus C");
    window.FirmLineEdit(2)->setText("Fax 86 00 00 00");
    window.LanguageBox()->setCurrentIndex(1);
    window.GemBtnClick();
    QVERIFY2(window.ProblemsLabel()->isHidden(), qPrintable(window.ProblemsLabel()->text()));
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(messages_[0], Text(TextId::SettingsSaved).arg(QDir::toNativeSeparators(ini_)));

    QSettings saved(ini_, QSettings::IniFormat);
    saved.beginGroup("Tremora Divuvera");
    QCOMPARE(saved.value("CDdrev").toString(), cd_);
    QCOMPARE(saved.value("BMPS").toString(), QString("bmp/"));
    QCOMPARE(saved.value("BASE").toString(), base_->Path() + '/');
    QCOMPARE(saved.value("Sprog").toString(), QString("en"));
    QVERIFY(!NoSettingsAnywhere());
    // The printout's address applies at once; the language is there for the next start.
    QCOMPARE(TFormPrint::FirmAddress(),
             (QStringList{"Postboks 5", "8000 Århus C", "Fax 86 00 00 00"}));
    QCOMPARE(ReadLanguage(*OpenSettingsStore()), QString("en"));

    // Opened again, the window shows what was saved.
    TFormSettings again;
    QCOMPARE(again.FolderEdit(TFormSettings::kCdFolder)->text(), cd_);
    QCOMPARE(again.LanguageBox()->currentData().toString(), QString("en"));
    QCOMPARE(again.FirmLineEdit(1)->text(), QString("8000 Århus C"));
  }

  void aMissingBaseIsNamedAndNothingIsSaved() {
    QTemporaryDir empty;
    TFormSettings window;
    Fill(window, empty.path());
    window.GemBtnClick();
    QVERIFY(!window.ProblemsLabel()->isHidden());
    const QStringList problems = CheckSettings(window.EnteredFolders(), "da");
    QCOMPARE(problems.size(), 1);
    // The engine's reason: the folder holds no meta.dat.
    QCOMPARE(problems[0],
             Text(TextId::BaseCannotOpen)
                 .arg(QDir::toNativeSeparators(empty.path() + '/'), "ERROR_OpenMetaFile, -300"));
    QVERIFY(window.ProblemsLabel()->text().contains(problems[0]));
    QVERIFY(!QFile::exists(ini_));
    QVERIFY(messages_.isEmpty());
    QCOMPARE(window.result(), int(QDialog::Rejected));

    // A base folder that does not exist at all is named as such.
    window.FolderEdit(TFormSettings::kBaseFolder)->setText(cd_ + "no base");
    QCOMPARE(
        CheckSettings(window.EnteredFolders(), "da"),
        QStringList{Text(TextId::FolderMissing).arg(QDir::toNativeSeparators(cd_ + "no base/"))});
  }

  void aMissingImageIsNamed() {
    QVERIFY(QFile::remove(cd_ + "bmp/LBlaa.bmp"));
    TFormSettings window;
    Fill(window, base_->Path());
    window.GemBtnClick();
    QCOMPARE(CheckSettings(window.EnteredFolders(), "da"),
             QStringList{
                 Text(TextId::ImageMissing).arg(QDir::toNativeSeparators(cd_ + "bmp/LBlaa.bmp"))});
    QVERIFY(window.ProblemsLabel()->text().contains("LBlaa.bmp"));
    QVERIFY(!QFile::exists(ini_));

    window.resize(window.sizeHint());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QDir().mkpath(CATALOG_SCREENSHOT_DIR);
    const QImage shot = window.grab().toImage();
    QVERIFY(shot.save(CATALOG_SCREENSHOT_DIR "/settings-window.png"));
    QCOMPARE(shot.size(), window.size() * shot.devicePixelRatio());
    QVERIFY(window.width() >= 400);
    // The problem is shown in red below the fields.
    const QRect problems = window.ProblemsLabel()->geometry();
    QVERIFY(problems.top() > window.FirmLineEdit(2)->geometry().bottom());
    int red = 0;
    for (int y = problems.top(); y < problems.bottom(); ++y) {
      for (int x = problems.left(); x < problems.right(); ++x) {
        const QColor c = shot.pixelColor(x * shot.devicePixelRatio(), y * shot.devicePixelRatio());
        red += c.red() > 120 && c.green() < 80 && c.blue() < 80;
      }
    }
    QVERIFY2(red > 20, qPrintable(QString::number(red)));
  }

  void theOtherChecks() {
    FolderSettings folders{cd_, "bmp/", base_->Path() + '/', QString()};
    QCOMPARE(CheckSettings(folders, "da"), QStringList());
    // The English table is looked for in "en".
    QVERIFY(QFile::remove(cd_ + "en/KV.dat"));
    QCOMPARE(CheckSettings(folders, "en"),
             QStringList{
                 Text(TextId::TextTableMissing).arg(QDir::toNativeSeparators(cd_ + "en/KV.dat"))});
    // Only an unreadable discount-code file.
    for (const QString& name : QDir(cd_).entryList({"Rabattkod *.txt"})) QFile::remove(cd_ + name);
    QVERIFY(WriteWholeFile(cd_ + "Rabattkod Fejl.txt", "Rabatkode\r\nK1\t10\t20\r\n"));
    QCOMPARE(CheckSettings(folders, "da"),
             QStringList{Text(TextId::NoDiscountFile).arg(QDir::toNativeSeparators(cd_))});
  }

  void theImageFolderIsPickedRelativeToTheCatalogueFolder() {
    TFormSettings window;
    QString asked;
    window.SetFolderChooser([&](const QString& start) {
      asked = start;
      return asked.isEmpty() ? cd_ : cd_ + "bmp";
    });
    window.FolderBtnClick(TFormSettings::kCdFolder);
    QCOMPARE(window.FolderEdit(TFormSettings::kCdFolder)->text(), cd_);
    window.FolderBtnClick(TFormSettings::kBmpFolder);
    QCOMPARE(asked, cd_);
    QCOMPARE(window.FolderEdit(TFormSettings::kBmpFolder)->text(), QString("bmp/"));
    window.SetFolderChooser([](const QString&) { return QString(); });  // cancelled
    window.FolderBtnClick(TFormSettings::kBmpFolder);
    QCOMPARE(window.FolderEdit(TFormSettings::kBmpFolder)->text(), QString("bmp/"));
  }

  // No settings file: the window comes first; once saved, the program starts on them.
  void theFirstStartWithoutASettingsFile() {
    QVERIFY(!QFile::exists(ini_));
    QVERIFY(NoSettingsAnywhere());
    bool shown = false;
    QTimer::singleShot(0, this, [&] {
      auto* window = qobject_cast<TFormSettings*>(QApplication::activeModalWidget());
      if (!window) return;
      shown = true;
      Fill(*window, base_->Path());
      QTest::mouseClick(window->SaveButton(), Qt::LeftButton);
    });
    QVERIFY(RunFirstStartSettings());
    QVERIFY(shown);
    QVERIFY(messages_.isEmpty());  // no "takes effect at the next start": it starts now
    QVERIFY(!NoSettingsAnywhere());

    const std::unique_ptr<TCatalogStart> start = StartCatalog();
    QVERIFY2(start, qPrintable(messages_.join('\n')));
    QCOMPARE(start->Folders.CdFolder, cd_);
    QVERIFY(start->Engine.IsStarted());
  }

  void closingTheFirstStartWindowEndsTheStart() {
    QTimer::singleShot(0, this, [] {
      if (QWidget* window = QApplication::activeModalWidget()) window->close();
    });
    QVERIFY(!RunFirstStartSettings());
    QVERIFY(!QFile::exists(ini_));
  }

  // Without --settings the user's file is read with the system-wide one behind it: either
  // one is enough for "settings exist", and values outside the program's group are not.
  void theSystemWideFileCountsAsSettings() {
    QTemporaryDir user, system;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, user.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, system.path());
    SetSettingsFile(QString());
    QVERIFY(NoSettingsAnywhere());
    const QString system_file = system.filePath("Tremora/TremoraElectronic.ini");
    {
      QSettings other(system_file, QSettings::IniFormat);
      other.setValue("Andet/Noget", "x");
    }
    QVERIFY(NoSettingsAnywhere());
    {
      QSettings settings(system_file, QSettings::IniFormat);
      settings.setValue("Tremora Divuvera/CDdrev", cd_);
    }
    QVERIFY(!NoSettingsAnywhere());
    QCOMPARE(ReadFolderSettings(*OpenSettingsStore()).CdFolder, cd_);
    SetSettingsFile(ini_);
  }

  // A settings file without the catalogue folder is not "no settings": the start ends with
  // text 40, as before.
  void aFileThatLacksAValueStillEndsWithText40() {
    QDir().mkpath(cd_ + "settings");
    {
      QSettings settings(ini_, QSettings::IniFormat);
      settings.setValue("Tremora Divuvera/BASE", base_->Path());
    }
    QVERIFY(!NoSettingsAnywhere());
    // The text table in the working folder, as the program finds it without a folder.
    const QString working = QDir::currentPath();
    QVERIFY(QDir::setCurrent(cd_));
    const std::unique_ptr<TCatalogStart> start = StartCatalog();
    QDir::setCurrent(working);
    QVERIFY(!start);
    QVERIFY(TerminationRequested());
    QVERIFY2(messages_.contains(Text(TextId::FoldersNotSet)), qPrintable(messages_.join('\n')));
    LoadTextTable(CATALOG_DATA_DIR "/");
  }

 private:
  void Fill(TFormSettings& window, const QString& base) {
    window.FolderEdit(TFormSettings::kCdFolder)->setText(cd_);
    window.FolderEdit(TFormSettings::kBmpFolder)->setText("bmp");
    window.FolderEdit(TFormSettings::kBaseFolder)->setText(base);
    window.FolderEdit(TFormSettings::kTempFolder)->setText(QString());
  }

  std::unique_ptr<TDemoBase> base_;
  std::unique_ptr<TCatalogueFolder> folder_;
  QString cd_;
  QString ini_;
  QStringList messages_;
};

QTEST_MAIN(SettingsWindowTest)
#include "tst_settingswindow.moc"
