#include "store.h"

#include <algorithm>

#include "base.h"
#include "session.h"

namespace lodex {

void RecordState::Init(const Base& base) {
  (void)base;
  Reset(0, 0, 0, 0);
}

void RecordState::Reset(int32_t record_read_bytes, int32_t record_decode_bytes,
                        int32_t data_fields, uint32_t total_records) {
  read_bytes = std::max(record_read_bytes, 0);
  decode_bytes = std::max(record_decode_bytes, 0);
  const size_t size = static_cast<size_t>(read_bytes) * 2 + 200;
  buffer1.assign(size, 0);
  buffer2.assign(size, 0);
  fields.assign(static_cast<size_t>(std::max(data_fields, 0)), nullptr);
  map_window.assign(kMappingWindow, 0);
  map_first = map_last = -1;
  map_hits = map_loads = 0;
  const int32_t n = static_cast<int32_t>(std::min<uint32_t>(total_records, kDefaultPrefetch));
  prefetch.assign(n, 0);
  pre_first = pre_last = -1;
  before = 0;
  after = n;
  current_ptr = 0;
}

void RecordState::ClearFieldCache() { std::fill(fields.begin(), fields.end(), nullptr); }

}  // namespace lodex
