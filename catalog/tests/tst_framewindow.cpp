// The frame window's placement as both frame-derived windows get it at creation: centred
// with a fixed border on a screen wider than 800 pixels, maximised on one of 800 or less.
// Each screen size runs in a child process of its own, because a Qt application takes its
// screens from the platform once, at start.
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "CatalogSettings.h"
#include "CatalogStartup.h"
#include "DemoBase.h"
#include "Messages.h"
#include "UnitOrder.h"
#include "UnitSearch.h"
#include "art/Artwork.h"

class FrameWindowTest : public QObject {
  Q_OBJECT

 public:
  FrameWindowTest(int screen_width, int screen_height)
      : screen_width_(screen_width), screen_height_(screen_height) {}

 private:
  const int screen_width_;
  const int screen_height_;
  std::unique_ptr<TDemoBase> base_;
  QTemporaryDir folder_;
  QStringList messages_;

  bool Wide() const { return screen_width_ > 800; }

  // The window sits in the middle of the screen; the platform may shift it by its frame
  // margins, a few pixels.
  static void VerifyCentred(const QWidget& window, const QRect& screen) {
    const QRect frame = window.frameGeometry();
    QVERIFY2(qAbs(frame.center().x() - screen.center().x()) <= 4,
             qPrintable(QStringLiteral("frame %1,%2 %3x%4").arg(frame.x()).arg(frame.y())
                            .arg(frame.width()).arg(frame.height())));
    QVERIFY(qAbs(frame.center().y() - screen.center().y()) <= 4);
  }

 private slots:
  void initTestCase() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(screen.size(), QSize(screen_width_, screen_height_));

    base_ = std::make_unique<TDemoBase>(QList<TDemoProduct>{
        {QStringLiteral("Stikkontakt hvid"), QStringLiteral("SK1"), QStringLiteral("20 000 01"),
         QStringLiteral("5711111111111"), QStringLiteral("12,5"), QStringLiteral("K1")}});
    QVERIFY2(!base_->Path().isEmpty(), qPrintable(base_->Error()));
    const QString cd = folder_.path() + QLatin1Char('/');
    QVERIFY(QFile::copy(QStringLiteral(CATALOG_DATA_DIR "/KV.dat"), cd + QStringLiteral("KV.dat")));
    QVERIFY(QFile::copy(QStringLiteral(CATALOG_DATA_DIR "/Rabattkod Default.txt"),
                        cd + QStringLiteral("Rabattkod Default.txt")));
    QVERIFY(QDir(cd).mkdir(QStringLiteral("bmp")));
    QString error;
    QVERIFY2(art::WriteImageFiles(cd + QStringLiteral("bmp"), &error), qPrintable(error));
    const QString ini = cd + QStringLiteral("settings.ini");
    {
      QSettings settings(ini, QSettings::IniFormat);
      settings.setValue(QStringLiteral("Tremora Divuvera/CDdrev"), cd);
      settings.setValue(QStringLiteral("Tremora Divuvera/BMPS"), QStringLiteral("bmp/"));
      settings.setValue(QStringLiteral("Tremora Divuvera/BASE"), base_->Path());
      settings.setValue(QStringLiteral("Tremora Divuvera/TEMP"), QString());
    }
    SetSettingsFile(ini);
    SetMessageHandler([this](MessageKind, const QString& text) { messages_ << text; });
  }

  void cleanupTestCase() { SetMessageHandler(nullptr); }

  // The search window and the order list window are placed alike: both run the frame
  // window's creation before their own.
  void searchAndOrderWindowsArePlacedByTheFrame() {
    std::unique_ptr<TCatalogStart> start = StartCatalog();
    QVERIFY2(start, qPrintable(messages_.join('\n')));
    TFormSearch search(std::move(*start));
    TFormOrder order;
    for (QWidget* window : {static_cast<QWidget*>(&search), static_cast<QWidget*>(&order)}) {
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window));
      const QRect available = window->screen()->availableGeometry();
      if (Wide()) {
        QVERIFY(!window->isMaximized());
        // A single fixed border: the window cannot be resized.
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QCOMPARE(window->size(), window->minimumSize());
        VerifyCentred(*window, available);
      } else {
        QVERIFY(window->isMaximized());
        QCOMPARE(window->frameGeometry().topLeft(), available.topLeft());
      }
    }
    QCOMPARE(search.isMaximized(), order.isMaximized());
    if (Wide()) QCOMPARE(search.frameGeometry(), order.frameGeometry());

    // What the user sees of the search window: the logo strip across the top of the
    // client area, the window's own size.
    const QImage shot = search.grab().toImage();
    QCOMPARE(shot.size(), search.size());
    QWidget* client = search.centralWidget();
    const QPoint logo_pixel = client->mapTo(&search, QPoint(400, 40));
    QCOMPARE(shot.pixelColor(logo_pixel).rgb(), art::LogoStrip().pixelColor(400, 40).rgb());
    QVERIFY(QDir().mkpath(QStringLiteral(CATALOG_SCREENSHOT_DIR)));
    QVERIFY(shot.save(QStringLiteral(CATALOG_SCREENSHOT_DIR "/searchwindow-%1x%2.png")
                          .arg(screen_width_)
                          .arg(screen_height_)));
  }
};

namespace {

// Runs the test class on an offscreen screen of the given size; answers its exit code.
int RunOnScreen(int argc, char** argv, int width, int height) {
  QTemporaryDir dir;
  const QString config = dir.filePath(QStringLiteral("screens.json"));
  {
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 2;
    file.write(QStringLiteral(R"({"screens": [{"name": "screen", "x": 0, "y": 0, "width": %1,)"
                              R"( "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96,)"
                              R"( "dpr": 1}]})")
                   .arg(width)
                   .arg(height)
                   .toUtf8());
  }
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
  QApplication app(argc, argv);
  FrameWindowTest test(width, height);
  return QTest::qExec(&test, argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  const QSize screens[] = {QSize(1280, 1024), QSize(800, 600)};
  int failed = 0;
  for (const QSize& screen : screens) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return 2;
    if (child == 0) std::_Exit(RunOnScreen(argc, argv, screen.width(), screen.height()));
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
      ++failed;
  }
  return failed;
}

#include "tst_framewindow.moc"
