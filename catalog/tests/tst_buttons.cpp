// The skinned buttons: width snapping, the press / drag / release state machine, tabs,
// the keyboard, and what gets painted in each look.
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include "ButtonEX.h"
#include "ButtonEXGraphics.h"
#include "art/Artwork.h"

namespace {

const QColor kBackground(0x00, 0xFF, 0x00);  // what lies under the button
const QColor kShadow(0xFF, 0x00, 0x00);
const QColor kKey(0xFF, 0x00, 0xFF);  // transparent colour of the test end slices

QPixmap Solid(int w, int h, const QColor& c) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(c);
  return QPixmap::fromImage(image);
}

// Slices in flat colours, 12 / 16 / 12 wide and 30 high; the end slices have a
// transparent-colour corner at the bottom left.
void FlatSkin(TButtonExGraphics& g) {
  using G = TButtonExGraphics;
  const QColor looks[3] = {Qt::blue, Qt::darkBlue, Qt::gray};
  const G::Bitmap kinds[3][3] = {{G::UpLeft, G::UpMid, G::UpRight},
                                 {G::DownLeft, G::DownMid, G::DownRight},
                                 {G::DisabledLeft, G::DisabledMid, G::DisabledRight}};
  for (int look = 0; look < 3; ++look) {
    for (int part = 0; part < 3; ++part) {
      QImage image(part == 1 ? 16 : 12, 30, QImage::Format_RGB32);
      image.fill(looks[look]);
      if (part != 1) image.setPixelColor(0, 29, kKey);
      g.SetBitmap(kinds[look][part], QPixmap::fromImage(image));
    }
  }
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  font.setBold(true);
  for (auto slot : {G::UpFont, G::DownFont, G::DisabledFont, G::FocusedFont})
    g.SetFont(slot, TButtonFont{font, Qt::white});
  g.SetTextShadow(false);
  g.SetShadowColorUp(kShadow);
  g.SetShadowColorDown(kShadow);
  g.SetShadowColorDisabled(kShadow);
  g.SetFocusRectShown(false);
}

QImage Render(QWidget& w) {
  QImage image(w.size(), QImage::Format_RGB32);
  image.fill(kBackground);
  w.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

int CountColour(const QImage& image, const QColor& c, QRect area = QRect()) {
  if (area.isNull()) area = image.rect();
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixelColor(x, y) == c) ++n;
  return n;
}

void Mouse(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
  QMouseEvent event(type, at, w.mapToGlobal(at),
                    type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                    Qt::NoModifier);
  QApplication::sendEvent(&w, &event);
}
void Press(QWidget& w, QPoint at) { Mouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton); }
void Drag(QWidget& w, QPoint at) { Mouse(w, QEvent::MouseMove, at, Qt::LeftButton); }
void Release(QWidget& w, QPoint at) { Mouse(w, QEvent::MouseButtonRelease, at, Qt::NoButton); }

void Key(QWidget& w, int key) {
  QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "\r");
  QApplication::sendEvent(&w, &event);
}

}  // namespace

class TestButtons : public QObject {
  Q_OBJECT

 private:
  QWidget* window_ = nullptr;
  TButtonExGraphics* look_ = nullptr;
  TButtonEX* button_ = nullptr;

 private slots:
  void init() {
    window_ = new QWidget;
    window_->resize(300, 100);
    look_ = new TButtonExGraphics(window_);
    FlatSkin(*look_);
    button_ = new TButtonEX(window_, QStringLiteral("OkBtn"));
    button_->setGeometry(10, 10, 80, 30);
    button_->SetPrototype(look_);
    button_->SetCaption(QStringLiteral("Ok"));
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_));
  }
  void cleanup() { delete window_; }

  void widthSnapsToWholeMiddleTiles() {
    QCOMPARE(TButtonEX::SnapWidth(80, 12, 16, 12), 72);
    QCOMPARE(TButtonEX::SnapWidth(72, 12, 16, 12), 72);
    QCOMPARE(TButtonEX::SnapWidth(39, 12, 16, 12), 24);
    QCOMPARE(TButtonEX::SnapWidth(40, 12, 16, 12), 40);
    QCOMPARE(TButtonEX::SnapWidth(5, 12, 16, 12), 24);  // no tile fits
    QCOMPARE(TButtonEX::SnapWidth(100, 12, 0, 12), 24);
    QCOMPARE(button_->size(), QSize(72, 30));
    button_->resize(170, 10);
    QCOMPARE(button_->size(), QSize(168, 30));
    // Without a complete set of slices the button keeps the size it is given.
    TButtonExGraphics partial;
    partial.SetBitmap(TButtonExGraphics::UpLeft, Solid(12, 30, Qt::blue));
    TButtonEX loose(window_);
    loose.resize(80, 25);
    loose.SetPrototype(&partial);
    QCOMPARE(loose.size(), QSize(80, 25));
    // Changing the prototype's slices lays its buttons out again.
    look_->SetBitmap(TButtonExGraphics::UpMid, Solid(20, 31, Qt::blue));
    QCOMPARE(button_->size(), QSize(164, 31));
  }

  void pressDragOutAndBackIn() {
    QSignalSpy clicks(button_, &TButtonEX::OnClick);
    const QPoint inside(10, 10), outside(200, 10);

    Press(*button_, inside);
    QCOMPARE(button_->State(), bsDown);
    QVERIFY(button_->hasFocus());
    Release(*button_, inside);
    QCOMPARE(button_->State(), bsUp);
    QCOMPARE(clicks.count(), 1);

    // Out and released outside: no click.
    Press(*button_, inside);
    Drag(*button_, outside);
    QCOMPARE(button_->State(), bsUp);
    QVERIFY(button_->PressedAndLeft());
    Release(*button_, outside);
    QVERIFY(!button_->PressedAndLeft());
    QCOMPARE(clicks.count(), 1);

    // Out, back in, released inside: pressed again and one click.
    Press(*button_, inside);
    Drag(*button_, outside);
    Drag(*button_, inside);
    QCOMPARE(button_->State(), bsDown);
    Release(*button_, inside);
    QCOMPARE(button_->State(), bsUp);
    QCOMPARE(clicks.count(), 2);
  }

  void mouseEnterAndLeaveAreReported() {
    QSignalSpy entered(button_, &TButtonEX::OnMouseEnter);
    QSignalSpy left(button_, &TButtonEX::OnMouseLeave);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(15, 15));
    QApplication::sendEvent(button_, &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button_, &leave);
    QApplication::sendEvent(button_, &leave);  // a repeated leave is not reported twice
    QCOMPARE(entered.count(), 1);
    QCOMPARE(left.count(), 1);
  }

  void tabFiresOnPressAndStaysDown() {
    look_->SetKind(bkTab);
    QSignalSpy clicks(button_, &TButtonEX::OnClick);
    Press(*button_, QPoint(10, 10));
    QCOMPARE(clicks.count(), 1);
    Release(*button_, QPoint(10, 10));
    QCOMPARE(button_->State(), bsDown);
    Drag(*button_, QPoint(200, 10));
    QCOMPARE(button_->State(), bsDown);  // leaving does not lift a tab
    Press(*button_, QPoint(10, 10));
    QCOMPARE(clicks.count(), 1);  // already down: nothing
    button_->SetState(bsUp);      // the program lifts it
    Key(*button_, Qt::Key_Return);
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(button_->State(), bsDown);
  }

  void enterAndSpaceClick() {
    QSignalSpy clicks(button_, &TButtonEX::OnClick);
    Key(*button_, Qt::Key_Space);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(button_->State(), bsUp);
    Key(*button_, Qt::Key_Enter);
    Key(*button_, Qt::Key_Return);
    QCOMPARE(clicks.count(), 3);
    Key(*button_, Qt::Key_A);
    QCOMPARE(clicks.count(), 3);
  }

  void disabledButtonIgnoresTheMouse() {
    button_->SetEnabled(false);
    QSignalSpy clicks(button_, &TButtonEX::OnClick);
    Press(*button_, QPoint(10, 10));
    Release(*button_, QPoint(10, 10));
    QCOMPARE(button_->State(), bsUp);
    QCOMPARE(clicks.count(), 0);
  }

  void withoutPrototypeNothingHappens() {
    TButtonEX bare(window_);
    bare.setGeometry(0, 0, 64, 32);
    bare.show();
    QSignalSpy clicks(&bare, &TButtonEX::OnClick);
    Press(bare, QPoint(5, 5));
    Release(bare, QPoint(5, 5));
    QCOMPARE(bare.State(), bsUp);
    QCOMPARE(clicks.count(), 0);
    QImage image = Render(bare);
    QCOMPARE(CountColour(image, kBackground), 64 * 32);  // paints nothing
  }

  void incompletePrototypeWritesOnlyTheCaptionTopLeft() {
    TButtonExGraphics partial;
    partial.SetBitmap(TButtonExGraphics::UpLeft, Solid(12, 30, Qt::blue));
    TButtonEX loose(window_);
    loose.setGeometry(0, 0, 100, 40);
    loose.SetPrototype(&partial);
    loose.SetCaption(QStringLiteral("Wg"));
    const QImage image = Render(loose);
    QCOMPARE(CountColour(image, Qt::blue), 0);
    const int changed = 100 * 40 - CountColour(image, kBackground);
    QVERIFY(changed > 0);
    QCOMPARE(100 * 20 - CountColour(image, kBackground, QRect(0, 0, 100, 20)), changed);
  }

  void paintsSlicesAndShadowPerLook() {
    QImage image = Render(*button_);
    QCOMPARE(image.pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(image.pixelColor(71, 0), QColor(Qt::blue));
    QCOMPARE(CountColour(image, kShadow), 0);  // shadow off
    QVERIFY(CountColour(image, Qt::white) > 0);

    look_->SetTextShadow(true);
    image = Render(*button_);
    QVERIFY(CountColour(image, kShadow) > 0);

    // Disabled: disabled slices, and the shadow even with TextShadow off.
    look_->SetTextShadow(false);
    button_->SetEnabled(false);
    image = Render(*button_);
    QCOMPARE(image.pixelColor(30, 2), QColor(Qt::gray));
    QVERIFY(CountColour(image, kShadow) > 0);

    button_->SetEnabled(true);
    button_->SetState(bsDown);
    image = Render(*button_);
    QCOMPARE(image.pixelColor(30, 2), QColor(Qt::darkBlue));
  }

  void focusRectangleOnlyWhenAsked() {
    look_->SetFocusRectColor(QColor(0x12, 0x34, 0x56));
    button_->setFocus();
    QVERIFY(button_->Focused());
    QCOMPARE(CountColour(Render(*button_), QColor(0x12, 0x34, 0x56)), 0);
    look_->SetFocusRectShown(true);
    const QImage image = Render(*button_);
    QCOMPARE(image.pixelColor(12, 5), QColor(0x12, 0x34, 0x56));
    QCOMPARE(image.pixelColor(59, 24), QColor(0x12, 0x34, 0x56));
    QCOMPARE(image.pixelColor(60, 25), QColor(Qt::blue));
    button_->clearFocus();
    QVERIFY(!button_->Focused());
  }

  void transparentEndsShowTheBackgroundBitmap() {
    QCOMPARE(Render(*button_).pixelColor(0, 29), kKey);
    look_->SetTransparent(true);
    look_->SetBitmap(TButtonExGraphics::TransparentBkgndBMP, Solid(4, 4, Qt::yellow));
    const QImage image = Render(*button_);
    QCOMPARE(image.pixelColor(0, 29), QColor(Qt::yellow));
    QCOMPARE(image.pixelColor(60, 29), QColor(Qt::yellow));
    QCOMPARE(image.pixelColor(1, 29), QColor(Qt::blue));
    QCOMPARE(CountColour(image, kKey), 0);
  }

  // A prototype on one window can serve a button on another.
  void prototypeOnAnotherWindow() {
    QWidget other;
    TButtonEX remote(&other, QStringLiteral("PrintBtn"));
    remote.resize(90, 10);
    remote.SetPrototype(look_);
    QCOMPARE(remote.size(), QSize(88, 30));
    delete look_;
    look_ = nullptr;
    QVERIFY(!remote.Prototype());
    Render(remote);  // a vanished prototype leaves a button that paints nothing
  }

  void catalogueSkinHasTheDocumentedSlices() {
    TButtonExGraphics g;
    art::SkinPrototype(g, 31);
    QVERIFY(g.HasButtonSlices());
    QCOMPARE(g.GetBitmap(TButtonExGraphics::UpLeft).size(), QSize(12, 31));
    QCOMPARE(g.GetBitmap(TButtonExGraphics::DisabledMid).size(), QSize(16, 31));
    QVERIFY(!g.FocusRectShown());
    QVERIFY(!g.isVisible());
  }
};

QTEST_MAIN(TestButtons)
#include "tst_buttons.moc"
