#include "IndexView.h"

#include <QList>

#include "LodexKV.h"

TIndexView::TIndexView(TLodexKV& engine, int32_t session, int32_t base)
    : SearchField(engine.SearchfieldNo(base, 0)),
      engine_(engine),
      session_(session),
      // No typed text equals this, so the first refresh always positions.
      prev_word_(QStringLiteral("^*#/&\"!")) {
  Refresh();
}

void TIndexView::SetWantedWord(const QString& text) { wanted_word_ = text.left(kMaxWantedWord); }

void TIndexView::Refresh() {
  if (wanted_word_ != prev_word_) {
    LoadPage(engine_.LocateIndexWord(session_, SearchField, wanted_word_, 1));
  } else if (SearchField != prev_search_field_ || PageLength != prev_page_length_) {
    LoadPage(top_);
  }
  prev_page_length_ = PageLength;
  prev_search_field_ = SearchField;
  prev_top_ = top_;
  wanted_word_ = Lines.value(0).left(kMaxWantedWord);
  prev_word_ = wanted_word_;
}

void TIndexView::LoadPage(int32_t position) {
  Lines.clear();
  top_ = position;
  // The engine writes at most this many entries, so a page longer than the buffer
  // limit shows the words that fit and empty lines after them.
  const int32_t asked = qBound(0, PageLength, kMaxPageLength);
  QList<TIndexWord> words;
  const int32_t written =
      engine_.GetIndexWordsEx(session_, SearchField, position, asked, 1, words, PageLength);
  for (int32_t i = 0; i < written && i < words.size(); ++i) {
    const TIndexWord& entry = words[i];
    Lines.append(ShowCounts ? entry.Word + QLatin1Char('|') + QString::number(entry.Count)
                            : entry.Word);
  }
  while (Lines.size() < PageLength) Lines.append(ShowCounts ? QStringLiteral("|") : QString());
}
