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

#include "base_builder.h"
#include "ButtonEX.h"
#include "CatalogImages.h"
#include "CatalogSettings.h"
#include "demo_catalog.h"
#include "DiscountCodes.h"
#include "Messages.h"
#include "TextTable.h"
#include "UnitAbout.h"
#include "UnitSearch.h"
#include "UnitTemplate.h"
#include "art/Artwork.h"

namespace {

// A small demo base shared by every test: the program opens it at start.
QTemporaryDir* g_base_dir = nullptr;

bool BuildSmallBase(const QString& out, QString* error) {
  QTemporaryDir source;
  std::string why;
  lodex::build::BuildRequest request;
  request.out_dir = out.toStdString();
  lodex::build::BuildSummary summary;
  if (!source.isValid() ||
      !lodex::build::WriteDemoCatalog(300, 1, source.path().toStdString(), &request.table_path,
                                      &request.schema_path, &why) ||
      lodex::build::RunBuild(request, &summary, &why) != lodex::build::kExitOk) {
    *error = QString::fromStdString(why);
    return false;
  }
  return true;
}

struct Message {
  MessageKind kind;
  QString text;
};

// A catalogue folder like the demo one: KV.dat, the discount-code files and the images
// in "bmp/", with a settings file pointing at it.
class CatalogueFolder {
 public:
  CatalogueFolder() {
    root_ = dir_.path() + "/";
    const QDir data(QStringLiteral(CATALOG_DATA_DIR));
    for (const QString& name : data.entryList({"KV.dat", "Rabattkod *.txt"}, QDir::Files))
      QFile::copy(data.filePath(name), root_ + name);
    QString failed;
    art::WriteImageFiles(root_ + "bmp", &failed);
  }
  QString Root() const { return root_; }
  QString Path(const QString& name) const { return root_ + name; }
  // Writes the settings file with the given values (an empty value is left out).
  QString WriteSettings(const QString& cd, const QString& bmps) const {
    QFile file(root_ + "settings.ini");
    file.open(QIODevice::WriteOnly);
    QByteArray text = "[Tremora Divuvera]\n";
    if (!cd.isEmpty()) text += "CDdrev=\"" + cd.toUtf8() + "\"\n";
    if (!bmps.isEmpty()) text += "BMPS=" + bmps.toUtf8() + "\n";
    text += "BASE=\"" + g_base_dir->path().toUtf8() + "/base/\"\n";
    file.write(text);
    return file.fileName();
  }

 private:
  QTemporaryDir dir_;
  QString root_;
};

}  // namespace

class TestShell : public QObject {
  Q_OBJECT

 private:
  QList<Message> messages_;
  QList<QString> questions_;
  bool answer_ = false;
  QString previous_dir_;
  QTemporaryDir empty_dir_;  // a working folder without KV.dat

  // Runs the start-up on the folder's settings and makes the search window from it;
  // null when the start-up ended the program.
  std::unique_ptr<TFormSearch> CreateSearch(const CatalogueFolder& folder, const QString& cd,
                                            const QString& bmps) {
    SetSettingsFile(folder.WriteSettings(cd, bmps));
    std::unique_ptr<TCatalogStart> start = StartCatalog();
    return start ? std::make_unique<TFormSearch>(std::move(*start)) : nullptr;
  }

 private slots:
  void initTestCase() {
    previous_dir_ = QDir::currentPath();
    g_base_dir = new QTemporaryDir;
    QString error;
    QVERIFY2(BuildSmallBase(g_base_dir->filePath("base"), &error), qPrintable(error));
  }
  void cleanupTestCase() {
    delete g_base_dir;
    g_base_dir = nullptr;
  }
  void init() {
    messages_.clear();
    questions_.clear();
    SetMessageHandler([this](MessageKind kind, const QString& text) {
      messages_.append({kind, text});
    });
    SetQuestionHandler([this](const QString& text) {
      questions_.append(text);
      return answer_;
    });
    ClearTerminationRequest();
    QDir::setCurrent(empty_dir_.path());
  }
  void cleanup() {
    SetMessageHandler(nullptr);
    SetQuestionHandler(nullptr);
    SetSettingsFile(QString());
    ClearTerminationRequest();
    FreeTextTable();
    QDir::setCurrent(previous_dir_);
  }

  void creationWithGoodSettings() {
    CatalogueFolder folder;
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
    QVERIFY(!Images.LBlaa.isNull());
    auto* selector = search->findChild<QComboBox*>();
    QCOMPARE(selector->currentText(), QStringLiteral("Default"));
    QCOMPARE(selector->geometry(), QRect(510, 164, 118, 21));
    QVERIFY(!selector->isHidden());
    // The buttons snap to their slices.
    QCOMPARE(search->findChild<TButtonEX*>("TilOrdreBtn")->size(), QSize(168, 31));
  }

  void controlsOfTheSearchWindow() {
    CatalogueFolder folder;
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
    CatalogueFolder folder;
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
    CatalogueFolder folder;
    QFile::remove(folder.Path("KV.dat"));
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].text.contains("KV.dat"));
    QVERIFY(TerminationRequested());
  }

  void missingImageIsReportedWithItsPath() {
    CatalogueFolder folder;
    QFile::remove(folder.Path("bmp/MBlaa.bmp"));
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].text.endsWith(folder.Path("bmp/MBlaa.bmp")),
             qPrintable(messages_[0].text));
    QVERIFY(TerminationRequested());
    QVERIFY(!search);
  }

  void malformedDefaultDiscountFileEndsTheProgram() {
    CatalogueFolder folder;
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
    CatalogueFolder folder;
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
    CatalogueFolder folder;
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
    CatalogueFolder folder;
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

  void screenshots() {
    CatalogueFolder folder;
    auto search = CreateSearch(folder, folder.Root(), "bmp/");
    QVERIFY(search);
    QVERIFY(QDir().mkpath(QStringLiteral(CATALOG_SCREENSHOT_DIR)));
    const QDir out(QStringLiteral(CATALOG_SCREENSHOT_DIR));
    search->setWindowState(Qt::WindowNoState);
    search->show();
    QVERIFY(QTest::qWaitForWindowExposed(search.get()));
    QVERIFY(search->grab().save(out.filePath("search-window.png")));

    FormAbout = new TFormAbout;
    search->Om1Click();
    QVERIFY(QTest::qWaitForWindowExposed(FormAbout));
    QVERIFY(FormAbout->grab().save(out.filePath("about-box.png")));
    delete FormAbout;
    FormAbout = nullptr;
  }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
