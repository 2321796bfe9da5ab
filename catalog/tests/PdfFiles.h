// Reading printed PDF files back for the tests, through poppler's pdftotext and pdfinfo.
#pragma once

#include <QMap>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// What a program prints on standard output; empty when it does not finish in 30 s.
inline QString ProgramOutput(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(30000)) return QString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

// Text of one page, laid out as printed (or of all pages when page is 0).
inline QString PdfText(const QString& path, int page = 0) {
  QStringList args{"-layout"};
  if (page > 0) args << "-f" << QString::number(page) << "-l" << QString::number(page);
  return ProgramOutput("pdftotext", args << path << "-");
}

// The number of pages, or -1 when the file cannot be read.
inline int PdfPages(const QString& path) {
  const QRegularExpressionMatch m =
      QRegularExpression(R"(Pages:\s+(\d+))").match(ProgramOutput("pdfinfo", {path}));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The words of one page with their boxes in points (the first box of each word).
inline QMap<QString, QRectF> PdfWords(const QString& path, int page = 1) {
  static const QRegularExpression word(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
  const QString html = ProgramOutput(
      "pdftotext", {"-bbox", "-f", QString::number(page), "-l", QString::number(page), path, "-"});
  QMap<QString, QRectF> words;
  for (auto it = word.globalMatch(html); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (words.contains(m.captured(5))) continue;
    words.insert(m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                       QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())));
  }
  return words;
}
