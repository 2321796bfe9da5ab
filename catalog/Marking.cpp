#include "Marking.h"

int32_t TMarking::Get(int32_t i) const {
  if (i < 0 || i >= Count()) return -1;
  return items_[i];
}

int32_t TMarking::Find(int32_t hit) {
  const int32_t count = Count();
  if (count == 0) return 0;
  if (cursor_ > count - 1) cursor_ = count - 1;
  if (cursor_ < 0) cursor_ = 0;
  if (hit < items_[cursor_]) {
    while (cursor_ > 0 && hit < items_[cursor_]) --cursor_;
    if (items_[cursor_] < hit) ++cursor_;
  } else {
    while (cursor_ < count && items_[cursor_] < hit) ++cursor_;
  }
  return cursor_;
}

bool TMarking::IsMarked(int32_t hit) {
  if (items_.isEmpty()) return false;
  const int32_t at = Find(hit);
  return at < Count() && items_[at] == hit;
}

void TMarking::SetMark(int32_t hit, bool on) {
  const int32_t at = Find(hit);
  const bool present = at < Count() && items_[at] == hit;
  if (on) {
    if (!present && Count() <= kLimit) items_.insert(at, hit);
  } else if (present) {
    items_.removeAt(at);
  }
}

void TMarking::Toggle(int32_t hit) { SetMark(hit, !IsMarked(hit)); }

void TMarking::SetRange(int32_t a, int32_t b, bool on) {
  if (b >= a) {
    for (int64_t h = a; h <= b; ++h) SetMark(static_cast<int32_t>(h), on);
  } else {
    for (int64_t h = a; h >= b; --h) SetMark(static_cast<int32_t>(h), on);
  }
}

void TMarking::Clear() {
  items_.clear();
  cursor_ = 0;
}
