#include "wordindex.h"

#include "base.h"

namespace lodex {

int32_t LoadWordIndex(Base&) { return 0; }

void WordCursor::Init(const Base& base) {
  iter = WordIterator();
  last_locate = LocateResult();
  filter_word_counts.assign(base.index.fields.size(), -1);
  filters.assign(base.index.fields.size(), {});
}

}  // namespace lodex
