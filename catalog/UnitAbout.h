// TFormAbout: the about box, a picture with a close label in its lower right corner.
#pragma once

#include <QWidget>

class QLabel;

// The close label: writes text 51 (or "Ok") in white bold Arial; a click closes the box.
class TAboutCloseLabel : public QWidget {
  Q_OBJECT

 public:
  explicit TAboutCloseLabel(QWidget* parent);
  // The text and where it is written: text 51 at (18, 2), else "Ok" at (26, 2).
  QString LabelText() const;
  QPoint LabelPosition() const;

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(class QMouseEvent*) override;
};

class TFormAbout : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 319;
  static constexpr int kHeight = 233;

  // The picture file in the image folder; without it the built-in picture shows.
  static constexpr char kPictureFile[] = "infobox_kv.bmp";

  // picture_path: the picture file to show, normally the image folder + kPictureFile.
  explicit TFormAbout(const QString& picture_path = QString(), QWidget* parent = nullptr);
  // True when the picture came from the picture file rather than the built-in one.
  bool PictureFromFile() const { return picture_from_file_; }

 private:
  void FormCreate(const QString& picture_path);

  QLabel* Image1 = nullptr;
  TAboutCloseLabel* PaintBox1 = nullptr;
  bool picture_from_file_ = false;
};

extern TFormAbout* FormAbout;
