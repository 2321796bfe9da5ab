#include "QuantityTable.h"

#include <algorithm>

void TQuantityTable::Reset() {
  std::fill(entries_.begin(), entries_.end(), 1);
  beyond_.clear();
}

int32_t TQuantityTable::ForHit(int32_t hit) const {
  return HasEntry(hit) ? entries_[static_cast<size_t>(hit) + 1] : beyond_.value(hit, 1);
}

bool TQuantityTable::SetForHit(int32_t hit, int32_t quantity) {
  if (!HasEntry(hit)) return false;
  entries_[static_cast<size_t>(hit) + 1] = quantity < 1 ? 1 : quantity;
  return true;
}

QList<std::pair<int32_t, int32_t>> TQuantityTable::Chosen() const {
  QList<std::pair<int32_t, int32_t>> chosen;
  for (int32_t hit = 0; hit < kFirstHitWithout; ++hit) {
    const int32_t quantity = entries_[static_cast<size_t>(hit) + 1];
    if (quantity != 1) chosen.append({hit, quantity});
  }
  for (auto it = beyond_.cbegin(); it != beyond_.cend(); ++it) chosen.append({it.key(), it.value()});
  return chosen;
}

void TQuantityTable::Place(int32_t hit, int32_t quantity) {
  if (SetForHit(hit, quantity) || hit < 0) return;
  if (quantity > 1) beyond_.insert(hit, quantity);
}
