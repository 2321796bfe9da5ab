// TResultView keeps one page of hits in memory, column by column, so that the result
// grid paints without engine calls. Table, Top and PageLength are set directly and
// take effect at the next Refresh, which fetches only the hits that came into view.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

class TLodexKV;

class TResultView {
 public:
  // Reads the data-field count and the hit count; throws std::runtime_error when
  // the base reports no data fields (a base that did not open).
  TResultView(TLodexKV& engine, int32_t session, int32_t base);

  // -1: the view covers all hits; otherwise the table whose hits it covers.
  int32_t Table = -1;
  // Hit number, relative to the view's first hit, of the page's first line.
  int32_t Top = 0;
  int32_t PageLength = 10;

  int32_t ColumnCount() const { return column_count_; }
  int32_t LastHit() const { return last_hit_; }
  int32_t HitTotal() const { return hit_total_; }
  int32_t FirstHit() const { return first_hit_; }
  // The engine number of data field i (-1 outside the fields).
  int32_t FieldNumber(int32_t i) const { return field_numbers_.value(i, -1); }
  int32_t Session() const { return session_; }
  int32_t Base() const { return base_; }

  // The next Refresh reloads the whole page (after a new search).
  void Invalidate() { dirty_ = true; }
  void Refresh();

  // Row 0 is the data field's name, row k the field's text in the page's k-th hit;
  // "" outside the columns, beyond the page or beyond the last hit.
  QString CellText(int32_t column, int32_t row) const;

 private:
  void LoadRows(int32_t position, int32_t first, int32_t count);
  void DropRows(int32_t position, int32_t count);
  void ReloadPage();
  void ResizePage();
  void ShiftPage();

  TLodexKV& engine_;
  int32_t session_;
  int32_t base_;
  int32_t column_count_;
  QList<QStringList> columns_;
  QList<int32_t> field_numbers_;
  QStringList field_names_;
  int32_t last_hit_;
  int32_t hit_total_;
  int32_t first_hit_ = 0;
  bool dirty_ = false;
  bool force_reload_ = true;
  int32_t prev_table_ = -1;
  int32_t prev_top_ = 0;
  int32_t prev_page_length_ = 10;
};
