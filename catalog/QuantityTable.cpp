#include "QuantityTable.h"

#include <algorithm>

void TQuantityTable::Reset() { std::fill(entries_.begin(), entries_.end(), 1); }

int32_t TQuantityTable::ForHit(int32_t hit) const {
  return HasEntry(hit) ? entries_[static_cast<size_t>(hit) + 1] : 1;
}

bool TQuantityTable::SetForHit(int32_t hit, int32_t quantity) {
  if (!HasEntry(hit)) return false;
  entries_[static_cast<size_t>(hit) + 1] = quantity < 1 ? 1 : quantity;
  return true;
}
