#include "ResultSort.h"

#include <QHash>
#include <algorithm>

#include "LodexKV.h"
#include "Marking.h"
#include "QuantityTable.h"
#include "ResultView.h"

TResultSort::TResultSort(TLodexKV& engine, TResultView& view, TMarking& marking,
                         TQuantityTable& quantities)
    : engine_(engine), view_(view), marking_(marking), quantities_(quantities) {
  for (int32_t i = 0; i < view_.ColumnCount(); ++i) {
    sortable_.append(engine_.SortfieldIndex(view_.Base(), view_.FieldNumber(i)) >= 0);
  }
}

TResultSort::Order TResultSort::OrderOf(int32_t field_index) const {
  return field_index == field_ ? order_ : Order::Base;
}

bool TResultSort::Click(int32_t field_index) {
  if (!IsSortable(field_index)) return false;
  Order next = Order::Ascending;
  if (field_index == field_) {
    next = order_ == Order::Ascending    ? Order::Descending
           : order_ == Order::Descending ? Order::Base
                                         : Order::Ascending;
  }
  return SortBy(field_index, next);
}

bool TResultSort::SortBy(int32_t field_index, Order order) {
  if (order != Order::Base && !IsSortable(field_index)) return false;
  const Carried carried = TakeCarried();
  bool sorted = true;
  if (order == Order::Base) {
    engine_.CancelSort(view_.Session());
    field_ = -1;
    order_ = Order::Base;
  } else if (EngineSort(view_.FieldNumber(field_index), order)) {
    field_ = field_index;
    order_ = order;
  } else {
    sorted = false;
    field_ = -1;
    order_ = Order::Base;
  }
  PutCarried(carried);
  view_.Invalidate();
  return sorted;
}

void TResultSort::Forget() {
  if (order_ != Order::Base) engine_.CancelSort(view_.Session());
  field_ = -1;
  order_ = Order::Base;
}

bool TResultSort::EngineSort(int32_t field_number, Order order) {
  const int32_t session = view_.Session();
  const bool one_table = view_.Table >= 0;
  if (one_table) {
    engine_.ExclAllTables(session);
    engine_.InclTable(session, view_.Table);
  }
  int32_t result = engine_.SortConditions(session, field_number, order == Order::Descending ? 1 : 0);
  if (result >= 0) result = engine_.Sort(session);
  // Inclusion only decides which hits the sort sees; the counts the window shows
  // cover every table again.
  if (one_table) engine_.InclAllTables(session);
  if (result < 0) {
    engine_.CancelSort(session);
    return false;
  }
  return true;
}

int32_t TResultSort::RecordOfHit(int32_t hit) {
  const int32_t session = view_.Session();
  if (order_ != Order::Base) return engine_.BitmapentryFromListentry(session, hit);
  return engine_.BitfromHit(session, 0, hit + view_.FirstHit());
}

TResultSort::Carried TResultSort::TakeCarried() {
  Carried carried;
  for (int32_t i = 0; i < marking_.Count(); ++i) {
    const int32_t record = RecordOfHit(marking_.Get(i));
    if (record >= 0) carried.marked.append(record);
  }
  for (const auto& [hit, quantity] : quantities_.Chosen()) {
    const int32_t record = RecordOfHit(hit);
    if (record >= 0) carried.quantities.append({record, quantity});
  }
  return carried;
}

void TResultSort::PutCarried(const Carried& carried) {
  if (carried.empty()) return;
  marking_.Clear();
  quantities_.Reset();
  // The hit of every carried record in the new order.
  QHash<int32_t, int32_t> hit_of;
  for (int32_t record : carried.marked) hit_of.insert(record, -1);
  for (const auto& [record, quantity] : carried.quantities) hit_of.insert(record, -1);
  const int32_t session = view_.Session();
  if (order_ == Order::Base) {
    // The program pages table 0 (or all tables, whose first table is 0).
    const int32_t table = std::max(view_.Table, 0);
    for (auto it = hit_of.begin(); it != hit_of.end(); ++it) {
      const int32_t hit = engine_.HitfromBit(session, 0, table, it.key());
      it.value() = hit < 0 ? -1 : hit - view_.FirstHit();
    }
  } else {
    // The sorted list is read from its start until every record is found.
    qsizetype missing = hit_of.size();
    for (int32_t hit = 0; hit < view_.HitTotal() && missing > 0; ++hit) {
      const int32_t record = engine_.BitmapentryFromListentry(session, hit);
      if (record < 0) break;
      const auto it = hit_of.find(record);
      if (it != hit_of.end() && it.value() < 0) {
        it.value() = hit;
        --missing;
      }
    }
  }
  QList<int32_t> marked;
  for (int32_t record : carried.marked) {
    const int32_t hit = hit_of.value(record, -1);
    if (hit >= 0) marked.append(hit);
  }
  // In ascending order every mark is appended at the end of the set.
  std::sort(marked.begin(), marked.end());
  for (int32_t hit : marked) marking_.SetMark(hit, true);
  for (const auto& [record, quantity] : carried.quantities) {
    const int32_t hit = hit_of.value(record, -1);
    if (hit >= 0) quantities_.Place(hit, quantity);
  }
}
