#include "ResultView.h"

#include <algorithm>
#include <stdexcept>

#include "LodexKV.h"

TResultView::TResultView(TLodexKV& engine, int32_t session, int32_t base)
    : engine_(engine), session_(session), base_(base), column_count_(engine.DatafieldCount()) {
  if (column_count_ < 0) throw std::runtime_error("the base has no data fields");
  last_hit_ = engine_.HitCount(session_) - 1;
  hit_total_ = last_hit_ + 1;
  // Field numbers and names do not change while the base is open; asking once keeps
  // both the page loads and the header paint free of schema calls.
  for (int32_t i = 0; i < column_count_; ++i) {
    columns_.append(QStringList());
    field_numbers_.append(engine_.DatafieldNo(base_, i));
    field_names_.append(engine_.DatafieldName(base_, i));
  }
}

void TResultView::Refresh() {
  const bool table_changed = Table != prev_table_;
  const bool top_changed = Top != prev_top_;
  const bool length_changed = PageLength != prev_page_length_;
  if (table_changed || dirty_ || (top_changed && length_changed) || force_reload_) {
    if (table_changed) Top = 0;
    if (Table == -1) {
      hit_total_ = engine_.HitCount(session_);
      first_hit_ = 0;
    } else {
      hit_total_ = engine_.TableHitCount(session_, Table);
      first_hit_ = engine_.TableFirstHit(session_, Table);
    }
    last_hit_ = hit_total_ - 1;
    ReloadPage();
  } else if (length_changed) {
    ResizePage();
  } else if (top_changed) {
    ShiftPage();
  }
  force_reload_ = false;
  dirty_ = false;
  prev_top_ = Top;
  prev_table_ = Table;
  prev_page_length_ = PageLength;
}

QString TResultView::CellText(int32_t column, int32_t row) const {
  if (column < 0 || column > column_count_ - 1 || row < 0 || row > last_hit_ + 1 ||
      row > PageLength - 1) {
    return QString();
  }
  if (row == 0) return field_names_[column];
  return columns_[column].value(row - 1);
}

void TResultView::LoadRows(int32_t position, int32_t first, int32_t count) {
  for (int32_t k = count - 1; k >= 0; --k) {
    const int32_t hit = first + k;
    const bool exists = hit >= 0 && hit < hit_total_;
    if (exists) engine_.FetchRecord(session_, hit + first_hit_);
    for (int32_t i = 0; i < column_count_; ++i) {
      QStringList& column = columns_[i];
      const qsizetype at = std::clamp<qsizetype>(position, 0, column.size());
      column.insert(at, exists ? engine_.GetFieldData(session_, field_numbers_[i]) : QString());
    }
  }
}

void TResultView::DropRows(int32_t position, int32_t count) {
  for (int32_t n = 0; n < count; ++n) {
    for (QStringList& column : columns_) {
      if (position >= 0 && position < column.size()) column.removeAt(position);
    }
  }
}

void TResultView::ReloadPage() {
  for (QStringList& column : columns_) {
    column.clear();
    if (PageLength > 0) column.reserve(PageLength);
  }
  LoadRows(0, Top, PageLength);
}

void TResultView::ResizePage() {
  const int32_t change = PageLength - prev_page_length_;
  if (change > 0) {
    LoadRows(prev_page_length_, Top + prev_page_length_, change);
  } else if (change < 0) {
    DropRows(PageLength, -change);
  }
}

void TResultView::ShiftPage() {
  const int32_t step = Top > prev_top_ ? Top - prev_top_ : prev_top_ - Top;
  if (step >= PageLength - 1) {
    ReloadPage();
  } else if (Top > prev_top_) {
    DropRows(0, step);
    LoadRows(PageLength - step, Top + PageLength - step, step);
  } else {
    DropRows(PageLength - step, step);
    LoadRows(0, Top, step);
  }
}
