// A session: one user's searches, bitmaps, sorted order and current record on a base.
// It names its base by number only, so the sessions of a closed base answer -101.
#pragma once

#include <atomic>
#include <cstdint>

#include "bitmaps.h"
#include "search.h"
#include "sort.h"
#include "store.h"
#include "wordindex.h"

namespace lodex {

struct Session {
  int32_t number = 0;
  int32_t base_number = 0;

  BitmapState bitmaps;
  SearchState search;
  WordCursor words;
  SortState sort;
  RecordState records;

  // Set by APICancelSession and never cleared; searches that poll it stop with -401.
  std::atomic<uint8_t> cancelled{0};

  // Sizes every part from the base it is created on.
  void Init(const Base& base) {
    bitmaps.Init(base);
    search.Init(base);
    words.Init(base);
    sort.Init(base);
    records.Init(base);
  }
};

}  // namespace lodex
