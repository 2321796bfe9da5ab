// Times the search window in-process on a base: from a key release in the item-text
// edit to the suggestion list filled and painted, from Enter to the grid painted with
// the first page of hits, and from a click on the price header to the first page
// painted in price order (ascending, then descending), without marks and with marks
// that move with their products.
//
//   searchwindow_bench --base DIR [--repeat N] [--sort-query TEXT]
//
// The window runs on the offscreen platform with a catalogue folder of its own (text
// table, default discount codes, images) made in a temporary folder.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QListWidget>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "CatalogSettings.h"
#include "Marking.h"
#include "Messages.h"
#include "ResultModel.h"
#include "ResultView.h"
#include "UnitSearch.h"
#include "art/Artwork.h"
#include "tests/CatalogueFolder.h"

namespace {

struct Timing {
  std::vector<double> ms;
  void Add(double v) { ms.push_back(v); }
  void Print(const char* what) {
    std::sort(ms.begin(), ms.end());
    const auto at = [this](double q) { return ms[static_cast<size_t>(q * (ms.size() - 1))]; };
    double sum = 0;
    for (double v : ms) sum += v;
    std::printf("%-34s n=%-5zu median %7.3f ms  mean %7.3f ms  p95 %7.3f ms  max %7.3f ms\n", what,
                ms.size(), at(0.5), sum / ms.size(), at(0.95), ms.back());
  }
};

void Press(QTableView* grid, int column, int row) {
  const QPoint at = grid->visualRect(grid->model()->index(row, column)).center();
  QMouseEvent event(QEvent::MouseButtonPress, QPointF(at), QPointF(grid->viewport()->mapToGlobal(at)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(grid->viewport(), &event);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at),
                      QPointF(grid->viewport()->mapToGlobal(at)), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(grid->viewport(), &release);
}

void Key(QWidget* target, QEvent::Type type, int key, const QString& text) {
  QKeyEvent event(type, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(target, &event);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QString base;
  int repeat = 20;
  QString sort_query = QStringLiteral("l*");
  const QStringList args = app.arguments();
  for (int i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == QLatin1String("--base")) base = args[++i];
    else if (args[i] == QLatin1String("--repeat")) repeat = args[++i].toInt();
    else if (args[i] == QLatin1String("--sort-query")) sort_query = args[++i];
  }
  if (base.isEmpty() || repeat < 1) {
    std::fprintf(stderr, "usage: searchwindow_bench --base DIR [--repeat N] [--sort-query TEXT]\n");
    return 2;
  }
  TCatalogueFolder folder;
  if (!folder.IsValid()) {
    std::fprintf(stderr, "cannot prepare the catalogue folder\n");
    return 3;
  }
  SetSettingsFile(folder.WriteSettings(QDir(base).absolutePath()));
  SetMessageHandler([](MessageKind, const QString& text) {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
  });

  QElapsedTimer start;
  start.start();
  std::unique_ptr<TCatalogStart> started = StartCatalog();
  if (!started) return 4;
  TFormSearch window(std::move(*started));
  window.show();
  app.processEvents();
  std::printf("window created with the engine started in %.1f ms\n", start.nsecsElapsed() / 1e6);

  auto* item_text = window.findChild<QLineEdit*>(QStringLiteral("VaretekstEdit"));
  auto* suggestions = window.findChild<QListWidget*>(QStringLiteral("IndexBox"));
  auto* grid = window.findChild<QTableView*>(QStringLiteral("DrawGrid1"));
  auto* hits = window.findChild<QLabel*>(QStringLiteral("AntalHitsLbl"));
  if (!item_text || !suggestions || !grid || !hits) return 5;

  // Typing words letter by letter: each release refreshes the suggestions.
  const QStringList typed = {QStringLiteral("installationskabel"), QStringLiteral("automatsikring"),
                             QStringLiteral("stikkontakt"), QStringLiteral("led"),
                             QStringLiteral("downlight"), QStringLiteral("zz"), QStringLiteral("hvid"),
                             QStringLiteral("3g1,5"), QStringLiteral("pære")};
  Timing suggest;
  for (int r = 0; r < repeat; ++r) {
    for (const QString& word : typed) {
      item_text->clear();
      for (const QChar c : word) {
        Key(item_text, QEvent::KeyPress, Qt::Key_A, QString(c));  // the character is in the text
        QElapsedTimer t;
        t.start();
        Key(item_text, QEvent::KeyRelease, Qt::Key_A, QString(c));
        suggestions->viewport()->repaint();
        suggest.Add(t.nsecsElapsed() / 1e6);
      }
    }
  }
  suggest.Print("key release -> suggestions filled");

  // Enter in the item text: search, then the first page painted.
  const QStringList queries = {QStringLiteral("installationskabel"), QStringLiteral("led pære"),
                               QStringLiteral("stikkontakt hvid"), QStringLiteral("automatsikring c16a"),
                               QStringLiteral("hvid"), QStringLiteral("nym-j"), QStringLiteral("zzz"),
                               QStringLiteral("led*"), QStringLiteral("*kabel")};
  std::vector<Timing> per_query(queries.size());
  Timing search;
  for (int r = 0; r < repeat; ++r) {
    for (int q = 0; q < queries.size(); ++q) {
      item_text->setText(queries[q]);
      QElapsedTimer t;
      t.start();
      Key(item_text, QEvent::KeyPress, Qt::Key_Return, QStringLiteral("\r"));
      Key(item_text, QEvent::KeyRelease, Qt::Key_Return, QStringLiteral("\r"));
      grid->viewport()->repaint();
      const double ms = t.nsecsElapsed() / 1e6;
      search.Add(ms);
      per_query[q].Add(ms);
    }
  }
  search.Print("Enter -> first page painted");
  for (int q = 0; q < queries.size(); ++q) {
    item_text->setText(queries[q]);
    Key(item_text, QEvent::KeyPress, Qt::Key_Return, QStringLiteral("\r"));
    Key(item_text, QEvent::KeyRelease, Qt::Key_Return, QStringLiteral("\r"));
    const QByteArray label = ("  \"" + queries[q] + "\" (" + hits->text() + " hits)").toUtf8();
    per_query[q].Print(label.constData());
  }

  // A click on the price header: ascending, then descending, then back to base order.
  // Each sorted click is timed until the grid's first page is painted.
  item_text->setText(sort_query);
  Key(item_text, QEvent::KeyPress, Qt::Key_Return, QStringLiteral("\r"));
  Key(item_text, QEvent::KeyRelease, Qt::Key_Return, QStringLiteral("\r"));
  const int shown = window.Engine().ResultView->HitTotal();
  std::printf("\nsorting the %d hits of the grid (\"%s\": %s hits in all tables)\n", shown,
              qPrintable(sort_query), qPrintable(hits->text()));
  const auto first_prices_ordered = [&window](bool ascending) {
    TResultModel* model = window.ResultModel();
    double previous = ascending ? -1e300 : 1e300;
    for (int row = 1; row < 15 && model->RowHasHit(row); ++row) {
      double price = 0;
      if (!TResultModel::ParseAmount(model->FieldText(TResultModel::kPriceField, row), &price)) continue;
      if (ascending ? price < previous : price > previous) return false;
      previous = price;
    }
    return true;
  };
  const auto time_sorts = [&](const char* what, int rounds) {
    Timing ascending, descending, back;
    for (int r = 0; r < rounds; ++r) {
      Timing* timings[] = {&ascending, &descending, &back};
      for (Timing* timing : timings) {
        QElapsedTimer t;
        t.start();
        Press(grid, TResultModel::kPriceColumn, 0);
        grid->viewport()->repaint();
        timing->Add(t.nsecsElapsed() / 1e6);
        if (timing == &ascending && !first_prices_ordered(true)) std::printf("  NOT ASCENDING\n");
        if (timing == &descending && !first_prices_ordered(false)) std::printf("  NOT DESCENDING\n");
      }
    }
    std::printf("%s\n", what);
    ascending.Print("  price header -> ascending page");
    descending.Print("  price header -> descending page");
    back.Print("  price header -> base order page");
  };
  time_sorts("without marks", repeat);
  // Marks move with their products: every 300th hit marked (about 1 000 marks), then
  // the whole first 32 001 hits (the most the mark set holds).
  TMarking& marks = *window.Engine().Marking;
  for (int hit = 0; hit < shown; hit += 300) marks.SetMark(hit, true);
  const QByteArray spread = "with " + QByteArray::number(marks.Count()) + " marks spread over the hits";
  time_sorts(spread.constData(), std::max(1, repeat / 4));
  Press(grid, TResultModel::kMarkColumn, 0);
  const QByteArray all = "with " + QByteArray::number(marks.Count()) + " marks (all the set holds)";
  time_sorts(all.constData(), std::max(1, repeat / 10));
  return 0;
}
