#include "UnitAbout.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include "TextTable.h"
#include "art/Artwork.h"

TFormAbout* FormAbout = nullptr;

TAboutCloseLabel::TAboutCloseLabel(QWidget* parent) : QWidget(parent) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(11);
  font.setBold(true);
  setFont(font);
  setCursor(Qt::PointingHandCursor);
}

QString TAboutCloseLabel::LabelText() const {
  return TextTable && TextTable->Has(static_cast<int>(TextId::AboutClose))
             ? TextTable->Text(TextId::AboutClose)
             : QStringLiteral("Ok");
}

QPoint TAboutCloseLabel::LabelPosition() const {
  return TextTable && TextTable->Has(51) ? QPoint(18, 2) : QPoint(26, 2);
}

void TAboutCloseLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(Qt::white);
  const QPoint at = LabelPosition();
  p.drawText(at.x(), at.y() + fontMetrics().ascent(), LabelText());
}

void TAboutCloseLabel::mousePressEvent(QMouseEvent*) { emit clicked(); }

TFormAbout::TFormAbout(const QString& picture_path, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Om"));
  setFixedSize(kWidth, kHeight);
  Image1 = new QLabel(this);
  Image1->setGeometry(0, 0, kWidth, kHeight);
  Image1->setPixmap(QPixmap::fromImage(art::AboutPicture()));
  PaintBox1 = new TAboutCloseLabel(this);
  PaintBox1->setGeometry(248, 209, 70, 19);
  connect(PaintBox1, &TAboutCloseLabel::clicked, this, &QWidget::close);
  FormCreate(picture_path);
}

void TFormAbout::FormCreate(const QString& picture_path) {
  QPixmap picture;
  // Without a picture file the built-in one stays.
  if (!picture_path.isEmpty() && picture.load(picture_path)) {
    Image1->setPixmap(picture);
    picture_from_file_ = true;
  }
}
