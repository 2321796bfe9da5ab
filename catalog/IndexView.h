// TIndexView keeps one page of a search field's index words, starting at the first
// word at or after a wanted text; the search window shows it as suggestions.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class TLodexKV;

class TIndexView {
 public:
  // Longest wanted text; longer texts are cut to it.
  static constexpr int kMaxWantedWord = 128;
  // Most words one page can hold.
  static constexpr int32_t kMaxPageLength = 128;

  // Positions on the base's first search field and loads the first page.
  TIndexView(TLodexKV& engine, int32_t session, int32_t base);

  QStringList Lines;
  int32_t PageLength = 10;
  int32_t SearchField;
  // true: each line is the word, "|" and its record count; false: the word alone.
  bool ShowCounts = true;

  int32_t Top() const { return top_; }
  const QString& WantedWord() const { return wanted_word_; }
  void SetWantedWord(const QString& text);
  void Refresh();

 private:
  void LoadPage(int32_t position);

  TLodexKV& engine_;
  int32_t session_;
  int32_t top_ = 0;
  QString wanted_word_;
  QString prev_word_;
  int32_t prev_page_length_ = -1;
  int32_t prev_search_field_ = -1;
  int32_t prev_top_ = -1;
};
