// The program's shell: the search window's creation with good and broken settings, the
// frame window's menu and closing, the about box, the discount-code selector, and
// screenshots of the windows for a look at the finished layout.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

#include "ButtonEX.h"
#include "CatalogImages.h"
#include "CatalogueFolder.h"
#include "CatalogSettings.h"
#include "DemoBase.h"
#include "DiscountCodes.h"
#include "MessageRecorder.h"
#include "Messages.h"
#include "TextTable.h"
#include "UnitAbout.h"
#include "UnitSearch.h"
#include "UnitTemplate.h"
#include "art/Artwork.h"

namespace {

// A small demo base shared by every test: the program opens it at start.
QTemporaryDir* g_base_dir = nullptr;

// The colour of a pixel, without its alpha.
QRgb Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

}  // namespace

class TestShell : public QObject {
  Q_OBJECT

 private:
  TMessageRecorder recorder_;
  QList<TMessageRecorder::Message>& messages_ = recorder_.messages;
  QStringList& questions_ = recorder_.questions;
  bool& answer_ = recorder_.answer;
  QString previous_dir_;
  QTemporaryDir empty_dir_;  // a working folder without KV.dat

  // Runs the start-up on the folder's settings and makes the search window from it;
  // null when the start-up ended the program.
  std::unique_ptr<TFormSearch> CreateSearch(const TCatalogueFolder& folder, const QString& cd,
                                            const QString& bmps) {
    SetSettingsFile(folder.WriteSettings(cd, bmps, g_base_dir->path() + "/base/"));
    std::unique_ptr<TCatalogStart> start = StartCatalog();
    return start ? std::make_unique<TFormSearch>(std::move(*start)) : nullptr;
  }

 private slots:
  void initTestCase() {
    previous_dir_ = QDir::currentPath();
    g_base_dir = new QTemporaryDir;
    QString error;
    QVERIFY2(BuildDemoBase(g_base_dir->filePath("base"), 300, &error), qPrintable(error));
  }
  void cleanupTestCase() {
    delete g_base_dir;
    g_base_dir = nullptr;
  }
  void init() {
    recorder_.Clear();
    ClearTerminationRequest();
    QDir::setCurrent(empty_dir_.path());
  }
  void cleanup() {
    SetSettingsFile(QString());
    ClearTerminationRequest();
    FreeTextTable();
    QDir::setCurrent(previous_dir_);
  }

  void startUpLoadsTheImagesAndStartsTheEngine() {
    TCatalogueFolder folder;
    SetSettingsFile(folder.WriteSettings(g_base_dir->path() + "/base/"));
    std::unique_ptr<TCatalogStart> start = StartCatalog();
    QVERIFY(start);
    QVERIFY(messages_.isEmpty());
    QCOMPARE(start->Folders.CdFolder, folder.Root());
    for (const TCatalogImage* image :
         {&start->Images.DesLogo, &start->Images.BG, &start->Images.Dok, &start->Images.DokMinus,
          &start->Images.MBlaa, &start->Images.LBlaa})
      QVERIFY(!image->isNull());
    QVERIFY(start->Engine.IsStarted());
  }

  void creationWithGoodSettings() {
    TCatalogueFolder folder;
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    QVERIFY(messages_.isEmpty());
    QVERIFY(search);
    QVERIFY(!TerminationRequested());
    // Texts come from the catalogue folder's KV.dat.
    QCOMPARE(search->windowTitle(), Text(TextId::WindowTitle));
    QCOMPARE(search->findChild<TButtonEX*>("SogBtn")->Caption(), QStringLiteral("SØG"));
    QCOMPARE(search->findChild<TButtonEX*>("SletAltBtn")->Caption(), Text(TextId::ClearAllButton));
    QCOMPARE(search->menuBar()->actions().at(0)->text(), Text(TextId::FileMenu));
    QCOMPARE(search->menuBar()->actions().at(1)->text(), Text(TextId::ShowOrderList));
    QCOMPARE(search->menuBar()->actions().at(2)->text(), QStringLiteral("&?"));
    // The default discount codes and the images are loaded.
    QVERIFY(DiscountPercent("K1") > 0);
    auto* selector = search->findChild<QComboBox*>();
    QCOMPARE(selector->currentText(), QStringLiteral("Default"));
    QCOMPARE(selector->geometry(), QRect(510, 164, 118, 21));
    QVERIFY(!selector->isHidden());
    // The buttons snap to their slices.
    QCOMPARE(search->findChild<TButtonEX*>("TilOrdreBtn")->size(), QSize(168, 31));
  }

  void controlsOfTheSearchWindow() {
    TCatalogueFolder folder;
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    search->show();
    auto editAt = [&search](int x) -> QLineEdit* {
      for (QLineEdit* edit : search->findChildren<QLineEdit*>())
        if (edit->geometry().topLeft().x() == x && edit->geometry().top() >= 114) return edit;
      return nullptr;
    };
    QLineEdit* itemText = editAt(66);
    QLineEdit* typeNumber = editAt(332);
    QVERIFY(itemText && typeNumber);
    // The item text is kept in lower case.
    QTest::keyClicks(itemText, "LED Pære");
    QCOMPARE(itemText->text(), QStringLiteral("led pære"));
    // Entering an edit shows its hint.
    QFocusEvent focus(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(typeNumber, &focus);
    QCOMPARE(search->StatusText(), Text(TextId::HintTypeNumberEdit));
    QApplication::sendEvent(itemText, &focus);
    QCOMPARE(search->StatusText(), Text(TextId::HintItemTextEdit));
    // The right-aligned counter captions end where their layout captions ended, clear
    // of the counters at x = 757.
    int captions = 0;
    for (QLabel* label : search->findChildren<QLabel*>()) {
      if (label->text() != Text(TextId::HitsFound) && label->text() != Text(TextId::LinesInOrder)) continue;
      ++captions;
      QVERIFY(label->geometry().right() < 757);
      QVERIFY(label->geometry().right() > 730);
    }
    QCOMPARE(captions, 2);
  }

  void missingFolderSettingsEndTheProgram_data() {
    QTest::addColumn<bool>("withCd");
    QTest::addColumn<bool>("withBmps");
    QTest::newRow("no CDdrev") << false << true;
    QTest::newRow("no BMPS") << true << false;
    QTest::newRow("neither") << false << false;
  }
  void missingFolderSettingsEndTheProgram() {
    QFETCH(bool, withCd);
    QFETCH(bool, withBmps);
    TCatalogueFolder folder;
    QDir::setCurrent(folder.Root());  // KV.dat from the working folder
    auto search = CreateSearch(folder, withCd ? folder.Root() : QString(),
                               withBmps ? QStringLiteral("bmp/") : QString());
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(messages_[0].kind, MessageKind::Information);
    QCOMPARE(messages_[0].text, Text(TextId::FoldersNotSet));
    QVERIFY(TerminationRequested());
    QVERIFY(!search);
  }

  void missingTextTableEndsTheProgram() {
    TCatalogueFolder folder;
    QFile::remove(folder.Path("KV.dat"));
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].text.contains("KV.dat"));
    QVERIFY(TerminationRequested());
  }

  void missingImageIsReportedWithItsPath() {
    TCatalogueFolder folder;
    QFile::remove(folder.Path("bmp/MBlaa.bmp"));
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].text.endsWith(folder.Path("bmp/MBlaa.bmp")),
             qPrintable(messages_[0].text));
    QVERIFY(TerminationRequested());
    QVERIFY(!search);
  }

  void malformedDefaultDiscountFileEndsTheProgram() {
    TCatalogueFolder folder;
    QFile file(folder.Path("Rabattkod Default.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("Kode\tProcent\r\nK1\t10\t\r\n");
    file.close();
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(messages_[0].text, Text(TextId::InvalidFileLine) + " " + folder.Path("Rabattkod Default.txt") + ")");
    QVERIFY(TerminationRequested());
  }

  void discountSelectorListsAndLoadsFiles() {
    TCatalogueFolder folder;
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    auto* selector = search->findChild<QComboBox*>();
    search->RabatKodeFilComboBoxDropDown();
    QVERIFY(selector->count() >= 3);
    QCOMPARE(selector->currentText(), QStringLiteral("Default"));  // kept after refilling
    const double before = DiscountPercent("K1");
    selector->setCurrentIndex(selector->findText("Ingen rabat"));
    search->RabatKodeFilComboBoxChange();
    QCOMPARE(DiscountPercent("K1"), 0.0);
    selector->setCurrentIndex(selector->findText("Default"));
    search->RabatKodeFilComboBoxChange();
    QCOMPARE(DiscountPercent("K1"), before);
    QVERIFY(messages_.isEmpty());

    for (const QString& name : QDir(folder.Root()).entryList({"Rabattkod *.txt"}))
      QFile::remove(folder.Path(name));
    search->RabatKodeFilComboBoxDropDown();
    QCOMPARE(selector->count(), 0);
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(messages_[0].text, QStringLiteral("Rabattkod combobox fel!"));
  }

  void exitAsksFirstAndClosingAFrameClosesTheMainWindow() {
    TCatalogueFolder folder;
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    SetApplicationMainWindow(search.get());
    search->show();
    answer_ = false;
    search->Exit1Click();
    QCOMPARE(questions_, QList<QString>{Text(TextId::AskEndProgram)});
    QVERIFY(search->isVisible());
    answer_ = true;
    search->Exit1Click();
    QVERIFY(!search->isVisible());
    QVERIFY(!TextTable);  // the search window frees the texts when it closes

    // Another frame window closed by its border ends the program without a question.
    LoadTextTable(folder.Root());
    search->show();
    TFormTemplate other;
    other.show();
    questions_.clear();
    other.close();
    QVERIFY(questions_.isEmpty());
    QVERIFY(!search->isVisible());
    SetApplicationMainWindow(nullptr);
  }

  void frameOpensMaximisedOnNarrowScreens() {
    QVERIFY(TFormTemplate::OpensMaximised(800));
    QVERIFY(TFormTemplate::OpensMaximised(640));
    QVERIFY(!TFormTemplate::OpensMaximised(801));
    TFormTemplate frame;
    QCOMPARE(frame.Client()->size(), QSize(792, 554));
    frame.SetStatusText("hint");
    QCOMPARE(frame.StatusText(), QStringLiteral("hint"));
    frame.ClearStatusText();
    QCOMPARE(frame.StatusText(), QString());
  }

  void aboutBoxPictureAndCloseLabel() {
    TCatalogueFolder folder;
    TFormAbout withFile(folder.Path(QStringLiteral("bmp/") + TFormAbout::kPictureFile));
    QVERIFY(withFile.PictureFromFile());
    QCOMPARE(withFile.size(), QSize(319, 233));
    TFormAbout builtIn(folder.Path(QStringLiteral("nowhere/") + TFormAbout::kPictureFile));
    QVERIFY(!builtIn.PictureFromFile());

    auto* label = builtIn.findChild<TAboutCloseLabel*>();
    QCOMPARE(label->LabelText(), QStringLiteral("Ok"));  // no text table
    QCOMPARE(label->LabelPosition(), QPoint(26, 2));
    LoadTextTable(folder.Root());
    QCOMPARE(label->LabelText(), Text(TextId::AboutClose));
    QCOMPARE(label->LabelPosition(), QPoint(18, 2));

    builtIn.show();
    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(!builtIn.isVisible());
  }

  // The search window and the about box as the program shows them at start, checked
  // for what the pictures show and saved for a look at the finished layout.
  void screenshots() {
    TCatalogueFolder folder;
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    QVERIFY(search);
    QVERIFY(QDir().mkpath(QStringLiteral(CATALOG_SCREENSHOT_DIR)));
    const QDir out(QStringLiteral(CATALOG_SCREENSHOT_DIR));
    search->setWindowState(Qt::WindowNoState);
    search->show();
    QVERIFY(QTest::qWaitForWindowActive(search.get()));
    const QImage window = search->grab().toImage();
    QVERIFY(window.save(out.filePath("search-window.png")));
    QCOMPARE(window.size(), search->size());
    QCOMPARE(search->windowTitle(), Text(TextId::WindowTitle));

    // The client area: the logo strip at the top, the background below the grid.
    const QImage client = search->Client()->grab().toImage();
    QCOMPARE(client.size(), QSize(TFormTemplate::kClientWidth, TFormTemplate::kClientHeight));
    QCOMPARE(Rgb(client, 790, 40), Rgb(art::LogoStrip(), 790, 40));
    QCOMPARE(Rgb(client, 780, 500), Rgb(art::Background(), 780, 500 - 80));
    // The counters start at 0; the focus starts in the item-text edit, whose hint the
    // status bar shows.
    QCOMPARE(search->findChild<QLabel*>("AntalHitsLbl")->text(), QStringLiteral("0"));
    QCOMPARE(search->findChild<QLabel*>("AntalIOrdreLbl")->text(), QStringLiteral("0"));
    QCOMPARE(search->StatusText(), Text(TextId::HintItemTextEdit));

    FormAbout = new TFormAbout(folder.Path(QStringLiteral("bmp/") + TFormAbout::kPictureFile));
    search->Om1Click();
    QVERIFY(QTest::qWaitForWindowExposed(FormAbout));
    const QImage about = FormAbout->grab().toImage();
    QVERIFY(about.save(out.filePath("about-box.png")));
    QCOMPARE(about.size(), QSize(TFormAbout::kWidth, TFormAbout::kHeight));
    QVERIFY(FormAbout->PictureFromFile());
    QCOMPARE(Rgb(about, 10, 10), Rgb(art::AboutPicture(), 10, 10));
    QCOMPARE(FormAbout->findChild<TAboutCloseLabel*>()->LabelText(), Text(TextId::AboutClose));
    delete FormAbout;
    FormAbout = nullptr;
  }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
