// The program's support units: the settings reader, the text table, the discount-code
// files with the price rules, the number format and the file encoding.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "CatalogSettings.h"
#include "Cp1252.h"
#include "DiscountCodes.h"
#include "MessageRecorder.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "TestFiles.h"
#include "TextTable.h"

namespace {

QByteArray Cp1252(const QString& text) { return ToCp1252(text); }

}  // namespace

class TestSupportUnits : public QObject {
  Q_OBJECT

 private:
  TMessageRecorder recorder_;
  QList<TMessageRecorder::Message>& messages_ = recorder_.messages;

 private slots:
  void init() {
    recorder_.Clear();
    ClearTerminationRequest();
    TextTable = std::make_unique<TTextTable>();
    TextTable->LoadFromBytes("000 title\n" + QByteArray(63, '\n') +
                             "064 Bad line in (file:\n065 Cannot read.\n");
  }
  void cleanup() {
    ClearTerminationRequest();
    FreeTextTable();
    RabatKoder.Reset();
  }

  void textTableDropsLineNumbersAndDecodesWindows1252() {
    TTextTable table;
    table.LoadFromBytes(Cp1252(QStringLiteral("000 SØG\r\n001 Tilføj til ordreliste\n02\r003 x\r\n")));
    QCOMPARE(table.Count(), 4);
    QCOMPARE(table.Text(TextId::WindowTitle), QStringLiteral("SØG"));
    QCOMPARE(table.Text(1), QStringLiteral("Tilføj til ordreliste"));
    QCOMPARE(table.Text(2), QString());  // shorter than the number prefix
    QCOMPARE(table.Text(3), QStringLiteral("x"));
    QCOMPARE(table.Text(4, QStringLiteral("Ok")), QStringLiteral("Ok"));
    QCOMPARE(table.Text(-1, QStringLiteral("Ok")), QStringLiteral("Ok"));
    // Bytes 0x80 to 0x9F are where Windows-1252 differs from Latin-1.
    table.LoadFromBytes("000 \x80 5 \x96 \x9c\r\n");
    QCOMPARE(table.Text(TextId::WindowTitle), QStringLiteral("€ 5 – œ"));
    QCOMPARE(ToCp1252(QStringLiteral("€ – œ")), QByteArray("\x80 \x96 \x9c"));
  }

  void textTableIsLookedUpInTheWorkingFolderThenTheDataFolder() {
    QTemporaryDir work, data;
    QVERIFY(WriteWholeFile(data.filePath("KV.dat"), "000 from data\n"));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(work.path());
    QCOMPARE(LoadTextTable(data.path() + "/"), QDir(data.path()).absoluteFilePath("KV.dat"));
    QCOMPARE(Text(TextId::WindowTitle), QStringLiteral("from data"));
    QVERIFY(WriteWholeFile(work.filePath("KV.dat"), "000 from work\n"));
    QVERIFY(!LoadTextTable(data.path() + "/").isEmpty());
    QCOMPARE(Text(TextId::WindowTitle), QStringLiteral("from work"));
    QFile::remove(work.filePath("KV.dat"));
    QVERIFY(LoadTextTable(QString()).isEmpty());
    QVERIFY(!TextTable);
    QCOMPARE(Text(TextId::WindowTitle, QStringLiteral("none")), QStringLiteral("none"));
    QDir::setCurrent(previous);
  }

  // Both shipped tables number every line in order, and hold a text for every number the
  // program uses. The numbers in use are the values of TextId, read from its header so
  // that a text added to the code without its lines in the tables fails here.
  void shippedTextTablesHoldEveryTextInUse_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("Danish") << QStringLiteral(CATALOG_DATA_DIR "/KV.dat");
    QTest::newRow("English") << QStringLiteral(CATALOG_DATA_DIR "/en/KV.dat");
  }
  void shippedTextTablesHoldEveryTextInUse() {
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = SplitLines(FromCp1252(file.readAll()));
    // The texts 000 to 068 are all filled; the numbers after them are kept for new texts.
    QVERIFY(lines.size() >= 69);
    for (int n = 0; n < lines.size(); ++n) {
      QCOMPARE(lines[n].left(4), QString::asprintf("%03d ", n));
      if (n < 69) QVERIFY2(lines[n].size() > 4, qPrintable(lines[n]));
    }

    QFile header(QStringLiteral(CATALOG_SOURCE_DIR "/TextTable.h"));
    QVERIFY(header.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString source = QString::fromUtf8(header.readAll());
    const QString enum_body = source.section(QStringLiteral("enum class TextId"), 1).section(
        QStringLiteral("};"), 0, 0);
    static const QRegularExpression entry(QStringLiteral("(\\w+)\\s*=\\s*(\\d+)"));
    int checked = 0;
    for (auto match = entry.globalMatch(enum_body); match.hasNext();) {
      const auto m = match.next();
      const int n = m.captured(2).toInt();
      QVERIFY2(n < lines.size(), qPrintable(m.captured(1) + QStringLiteral(" has no line")));
      QVERIFY2(lines[n].size() > 4, qPrintable(m.captured(1) + QStringLiteral(" is empty")));
      ++checked;
    }
    QVERIFY(checked >= 60);
  }

  void discountFileRules() {
    RabatKodeArray table;
    // A heading only: no codes, every code gives 0.
    QCOMPARE(table.LoadFromBytes("Kode\tProcent\r\n"), DiscountFileStatus::Ok);
    QCOMPARE(table.Count(), 0);
    QCOMPARE(table.Percent("AB"), 0.0);
    QCOMPARE(table.LoadFromBytes(QByteArray()), DiscountFileStatus::Ok);
    QCOMPARE(table.Count(), 0);

    QCOMPARE(table.LoadFromBytes("heading\r\n"
                                 "AB\t12,5\r\n"
                                 "CD\t150\r\n"
                                 "EF\t\r\n"
                                 "GH\tabc\r\n"
                                 "IJ\t-1\r\n"
                                 "KLM\t7\r\n"
                                 " N\t3\r\n"
                                 "OP\t12.5\r\n"
                                 "QR\t100\n"
                                 "AB\t99\n"),
             DiscountFileStatus::Ok);
    QCOMPARE(table.Count(), 10);
    QCOMPARE(table.Percent("AB"), 12.5);      // the first AB wins
    QCOMPARE(table.Percent("  AB "), 12.5);   // blanks around the looked-up code
    QCOMPARE(table.Percent("ab"), 0.0);       // case-sensitive
    QCOMPARE(table.Percent("CD"), 0.0);       // above 100
    QCOMPARE(table.Percent("EF"), 0.0);       // empty
    QCOMPARE(table.Percent("GH"), 0.0);       // not a number
    QCOMPARE(table.Percent("IJ"), 0.0);       // below 0
    QCOMPARE(table.Percent("KL"), 7.0);       // KLM is stored as KL
    QCOMPARE(table.Percent("KLM"), 0.0);
    QCOMPARE(table.At(6).code, QStringLiteral(" N"));  // blanks in the file stay
    QCOMPARE(table.Percent("N"), 0.0);
    QCOMPARE(table.Percent("OP"), 0.0);       // a point is no decimal separator here
    QCOMPARE(table.Percent("QR"), 100.0);
  }

  void discountFileLineWithoutExactlyOneTab() {
    RabatKodeArray table;
    QCOMPARE(table.LoadFromBytes("h\nAB\t10\nCD\t1\t2\nEF\t3\n"), DiscountFileStatus::BadLine);
    QCOMPARE(table.Count(), 1);  // the lines before the bad one stay
    QCOMPARE(table.Percent("AB"), 10.0);
    QCOMPARE(table.LoadFromBytes("h\nAB\t10\n\nEF\t3\n"), DiscountFileStatus::BadLine);
  }

  void discountFileHoldsAtMost350Codes() {
    QByteArray bytes = "heading\r\n";
    for (int i = 0; i < 350; ++i) bytes += QByteArray::number(i % 100) + "\t1\r\n";
    bytes += "no tab past the limit\r\n";
    RabatKodeArray table;
    QCOMPARE(table.LoadFromBytes(bytes), DiscountFileStatus::Ok);
    QCOMPARE(table.Count(), 350);
  }

  void loadDiscountFileReportsAndEndsTheProgram() {
    QTemporaryDir dir;
    const QString bad = dir.filePath("Rabattkod Bad.txt");
    QVERIFY(WriteWholeFile(bad, "h\r\nAB\t1\t2\r\n"));
    QCOMPARE(LoadDiscountFile(bad), DiscountFileStatus::BadLine);
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(messages_[0].text, QStringLiteral("Bad line in (file: ") + bad + ")");
    QVERIFY(TerminationRequested());

    ClearTerminationRequest();
    messages_.clear();
    QCOMPARE(LoadDiscountFile(dir.filePath("missing.txt")), DiscountFileStatus::ReadFailed);
    QCOMPARE(messages_.size(), 1);
    QCOMPARE(messages_[0].text, QStringLiteral("Cannot read."));
    QVERIFY(TerminationRequested());
    QCOMPARE(RabatKoder.Count(), 0);

    ClearTerminationRequest();
    messages_.clear();
    QVERIFY(WriteWholeFile(dir.filePath("Rabattkod Good.txt"), "h\nAB\t10\n"));
    QCOMPARE(LoadDiscountFile(dir.filePath("Rabattkod Good.txt")), DiscountFileStatus::Ok);
    QVERIFY(messages_.isEmpty());
    QVERIFY(!TerminationRequested());
    QCOMPARE(DiscountPercent(" AB "), 10.0);
  }

  void selectorNamesComeFromTheFileNames() {
    QTemporaryDir dir;
    for (const char* name : {"Rabattkod Grossist.txt", "Rabattkod Default.txt", "Rabattkod .txt",
                             "Rabattkod butik.txt", "Rabattkoder.txt", "notes.txt",
                             "Rabattkod Gammel.bak"})
      QVERIFY(WriteWholeFile(dir.filePath(QString::fromLatin1(name)), "h\n"));
    // By name, ignoring case, as a Windows folder listing gives them.
    QCOMPARE(DiscountFileNames(dir.path() + "/"),
             (QStringList{QString(), QStringLiteral("butik"), QStringLiteral("Default"),
                          QStringLiteral("Grossist")}));
    QTemporaryDir empty;
    QVERIFY(DiscountFileNames(empty.path() + "/").isEmpty());
  }

  void amounts() {
    RabatKoder.LoadFromBytes("h\nAB\t10\nCD\t12,5\n");
    QCOMPARE(NetAmount("AB", "200"), QStringLiteral("180"));
    QCOMPARE(NetAmount(" CD", "10"), QStringLiteral("8,75"));
    QCOMPARE(NetAmount("ZZ", "24,6"), QStringLiteral("24,6"));
    QCOMPARE(LineAmount("3", "8,2"), QStringLiteral("24,6"));  // no trailing zeros
    QCOMPARE(LineAmount("3", "0,1"), QStringLiteral("0,3"));   // 15 significant digits
    QCOMPARE(LineAmount("2", "1234,5"), QStringLiteral("2469"));  // no thousands separator
    bool ok = true;
    QCOMPARE(LineAmount("x", "1", &ok), QString());
    QVERIFY(!ok);
    QCOMPARE(LineAmount("1,5", "1", &ok), QString());  // the quantity is a whole number
    QVERIFY(!ok);
    NetAmount("AB", "1.000,00", &ok);  // thousands separators are not read
    QVERIFY(!ok);
    QCOMPARE(FormatFixed2(1234.5), QStringLiteral("1234,50"));
    QCOMPARE(FormatFixed2(11.25), QStringLiteral("11,25"));
    double value = 0;
    QVERIFY(ToNumber(" 12,5 ", &value));
    QCOMPARE(value, 12.5);
    QVERIFY(!ToNumber("inf", &value));
    QVERIFY(!ToNumber("", &value));
  }

  void tabCount() {
    QVERIFY(HasTabCount("a\tb", 1));
    QVERIFY(!HasTabCount("a\tb\t", 1));
    QVERIFY(HasTabCount(QString(9, '\t'), 9));
    QVERIFY(HasTabCount("", 0));
  }

  void settingsAreReadFromTheNamedFile() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("settings.ini");
    QVERIFY(WriteWholeFile(ini, "[Tremora Divuvera]\nCDdrev=\"/data/cat/\"\nBMPS=bmp/\nBASE=/data/base/\n"));
    SetSettingsFile(ini);
    const FolderSettings folders = ReadFolderSettings(*OpenSettingsStore());
    QCOMPARE(folders.CdFolder, QStringLiteral("/data/cat/"));
    QCOMPARE(folders.BmpFolder, QStringLiteral("bmp/"));
    QCOMPARE(folders.BaseFolder, QStringLiteral("/data/base/"));
    QCOMPARE(folders.TempFolder, QString());  // absent: empty
    QCOMPARE(folders.ImagePath("Dok.bmp"), QStringLiteral("/data/cat/bmp/Dok.bmp"));
    QCOMPARE(DiscountFilePath(folders.CdFolder, "Default"),
             QStringLiteral("/data/cat/Rabattkod Default.txt"));
    // The printout's address lines: the stored ones, and an empty line where none is stored.
    QVERIFY(WriteWholeFile(ini, "[Tremora Divuvera]\nFirmaPostboks=Postboks 9\nFirmaFax=Fax 1\n"));
    QCOMPARE(ReadFirmAddress(*OpenSettingsStore()), QStringList({"Postboks 9", "", "Fax 1"}));
    SetSettingsFile(QString());
  }

  // Without --settings the user's file is read first and the system-wide one (the
  // package's, in /etc/xdg) for every value the user's file lacks; writes go to the
  // user's file only. A file named with --settings is read alone.
  void userSettingsOverrideTheSystemSettingsValueByValue() {
    QTemporaryDir user, system;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, user.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, system.path());
    QVERIFY(QDir().mkpath(user.filePath("Tremora")) && QDir().mkpath(system.filePath("Tremora")));
    const QString systemIni = system.filePath("Tremora/TremoraElectronic.ini");
    QVERIFY(WriteWholeFile(systemIni,
                           "[Tremora Divuvera]\nCDdrev=\"/usr/share/cat/\"\nBMPS=bmp/\n"
                           "BASE=/usr/share/cat/base/\nTEMP=/tmp/\nFirmaFax=Fax 1\n"));
    QVERIFY(WriteWholeFile(user.filePath("Tremora/TremoraElectronic.ini"),
                           "[Tremora Divuvera]\nCDdrev=\"/home/me/cat/\"\n"));

    FolderSettings folders = ReadFolderSettings(*OpenSettingsStore());
    QCOMPARE(folders.CdFolder, QStringLiteral("/home/me/cat/"));
    QCOMPARE(folders.BmpFolder, QStringLiteral("bmp/"));
    QCOMPARE(folders.BaseFolder, QStringLiteral("/usr/share/cat/base/"));
    QCOMPARE(folders.TempFolder, QStringLiteral("/tmp/"));
    QCOMPARE(ReadFirmAddress(*OpenSettingsStore()).at(2), QStringLiteral("Fax 1"));

    {
      std::unique_ptr<QSettings> store = OpenSettingsStore();
      store->setValue(QStringLiteral("Tremora Divuvera/BASE"), QStringLiteral("/home/me/base/"));
    }
    QCOMPARE(ReadFolderSettings(*OpenSettingsStore()).BaseFolder, QStringLiteral("/home/me/base/"));
    QSettings systemStore(systemIni, QSettings::IniFormat);
    QCOMPARE(systemStore.value("Tremora Divuvera/BASE").toString(),
             QStringLiteral("/usr/share/cat/base/"));

    const QString named = user.filePath("named.ini");
    QVERIFY(WriteWholeFile(named, "[Tremora Divuvera]\nCDdrev=/named/\n"));
    SetSettingsFile(named);
    folders = ReadFolderSettings(*OpenSettingsStore());
    SetSettingsFile(QString());
    QCOMPARE(folders.CdFolder, QStringLiteral("/named/"));
    QCOMPARE(folders.BaseFolder, QString());
  }

  // Every shipped discount-code file loads and knows every code of the demo catalogue.
  void shippedDiscountFilesCoverTheDemoCodes() {
    QFile codesFile(QStringLiteral(CATALOG_DATA_DIR "/../../builder/demo_discount_codes.txt"));
    if (!codesFile.open(QIODevice::ReadOnly)) QSKIP("no demo code list");
    RabatKodeArray demo;
    QCOMPARE(demo.LoadFromBytes(codesFile.readAll()), DiscountFileStatus::Ok);
    const QStringList names = DiscountFileNames(QStringLiteral(CATALOG_DATA_DIR "/"));
    QVERIFY(names.contains("Default"));
    QVERIFY(names.size() >= 3);
    for (const QString& name : names) {
      RabatKodeArray table;
      QCOMPARE(table.LoadFromFile(QStringLiteral(CATALOG_DATA_DIR "/Rabattkod ") + name + ".txt"),
               DiscountFileStatus::Ok);
      QCOMPARE(table.Count(), demo.Count());
      for (int i = 0; i < demo.Count(); ++i) QCOMPARE(table.At(i).code, demo.At(i).code);
    }
  }
};

QTEST_MAIN(TestSupportUnits)
#include "tst_supportunits.moc"
