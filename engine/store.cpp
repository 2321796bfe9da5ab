#include "store.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "base.h"
#include "lodex32_errors.h"
#include "format/coding.h"
#include "format/data.h"
#include "format/mapping.h"
#include "platform.h"
#include "session.h"
#include "sort.h"

namespace lodex {

namespace {

// Mapping-window entries that could not be read: they name no record.
constexpr uint32_t kUnreadPointer = 0xFFFFFFFFu;

// Decodes the stored form at pointer into buffer 1, straight from the mapped data.dat
// where there is one. The caller holds the fetch lock. Bytes that cannot be read (a
// pointer outside data.dat, a short file) read as zero, so a damaged record decodes to
// empty or cut texts.
void DecodeCurrent(RecordState& r, Base& base, int64_t pointer) {
  const size_t want = static_cast<size_t>(r.read_bytes);
  // The last byte of buffer 1 is never written, so every field text ends inside it.
  const size_t buf_size = r.buffer1.size() - 1;
  const int64_t fields = static_cast<int64_t>(r.fields.size());
  std::FILE* data = base.files.data.get();
  if (const uint8_t* view = base.data_view.data()) {
    const size_t size = base.data_view.size();
    const bool inside = pointer >= 0 && static_cast<uint64_t>(pointer) < size;
    const size_t got = inside ? std::min(want, size - static_cast<size_t>(pointer)) : 0;
    base.codec.DecodeStored(inside ? view + pointer : view, got, r.buffer1.data(),
                            r.buffer2.data(), buf_size, r.read_bytes, r.decode_bytes, fields);
  } else {
    size_t got = 0;
    if (data && pointer >= 0 && std::fseek(data, static_cast<long>(pointer), SEEK_SET) == 0) {
      got = std::fread(r.buffer1.data(), 1, want, data);
    }
    if (got < want) std::memset(r.buffer1.data() + got, 0, want - got);
    base.codec.DecodeRecord(r.buffer1.data(), r.buffer2.data(), buf_size, r.read_bytes,
                            r.decode_bytes, fields);
  }
  r.ClearFieldCache();
}

// The first NUL in buf[pos .. limit), or limit. Eight bytes at a time: field texts are
// short, and buffer 1 extends well past limit (recordReadBytes), so the last word may
// reach beyond it.
int32_t FindNul(const char* buf, int32_t pos, int32_t limit) {
  static_assert(std::endian::native == std::endian::little);
  constexpr uint64_t kLow = 0x0101010101010101u;
  constexpr uint64_t kHigh = 0x8080808080808080u;
  for (; pos < limit; pos += 8) {
    uint64_t w;
    std::memcpy(&w, buf + pos, 8);
    // The lowest marked byte is the first zero byte (bytes in memory order, little-endian).
    const uint64_t zero = (w - kLow) & ~w & kHigh;
    if (zero) return std::min(limit, pos + std::countr_zero(zero) / 8);
  }
  return limit;
}

// The zero bytes of w, each marked by its top bit. Exact for every byte (no carry runs
// from one byte into the next), so one word can give several field ends.
inline uint64_t ZeroBytes(uint64_t w) {
  constexpr uint64_t k7F = 0x7F7F7F7F7F7F7F7Fu;
  return ~(((w & k7F) + k7F) | w | k7F);
}

// The common case of SplitRecordFields: every field ends with a NUL before limit. The
// NULs of 64 bytes at a time are gathered into one mask (a fixed run of eight words, so
// no branch depends on the texts), then taken in order; false when there are fewer NULs
// than fields before limit, and fields is then only partly set.
bool SplitWholeFields(const char* buf, int32_t limit, const char** fields, size_t n) {
  if (n == 0) return true;
  fields[0] = buf;
  size_t next = 1;
  for (int32_t base = 0; base < limit; base += 64) {
    uint64_t nuls = 0;
    for (int k = 0; k < 8; ++k) {
      uint64_t w;
      std::memcpy(&w, buf + base + 8 * k, 8);
      // Byte j's mark moves to bit j of the top byte; the products never overlap.
      const uint64_t marks = ZeroBytes(w) >> 7;
      nuls |= ((marks * 0x0102040810204080u) >> 56) << (8 * k);
    }
    if (limit - base < 64) nuls &= (uint64_t{1} << (limit - base)) - 1;
    for (; nuls; nuls &= nuls - 1) {
      if (next == n) return true;
      fields[next++] = buf + base + std::countr_zero(nuls) + 1;
    }
  }
  return false;
}

// Maps data.dat and mapping.dat on the base's first fetch. The caller holds the fetch lock.
void MapRecordFiles(Base& base) {
  if (base.record_views_tried) return;
  base.record_views_tried = true;
  base.data_view.Map(base.files.data.get());
  base.mapping_view.Map(base.files.mapping.get());
}

// Record pointers of hits first .. first + n - 1 around hit h, in bitmap order.
void RefillPrefetch(Session& s, const Base& base, int32_t h) {
  RecordState& r = s.records;
  BitmapState& bm = s.bitmaps;
  const HitCursor saved = bm.cursor;
  const int64_t first = std::max<int64_t>(int64_t{h} - r.before, 0);
  const int64_t last = std::min<int64_t>(first + r.before + r.after - 1, int64_t{bm.hit_total} - 1);
  for (int64_t k = first; k <= last; ++k) {
    const int32_t bit = bm.MoveCursor(static_cast<int32_t>(k));
    const int64_t p = bit < 0 ? kNoRecord : MappingLookup(s, base, bit);
    r.prefetch[static_cast<size_t>(k - first)] = static_cast<uint32_t>(p);
  }
  bm.cursor = saved;
  r.pre_first = static_cast<int32_t>(first);
  r.pre_last = static_cast<int32_t>(last);
}

// The record pointer of hit h in bitmap order: the hit cursor gives its bit, the
// mapping window its pointer.
int64_t PointerOfHit(Session& s, const Base& base, int32_t h) {
  const int32_t bit = s.bitmaps.MoveCursor(h);
  return bit < 0 ? kNoRecord : MappingLookup(s, base, bit);
}

}  // namespace

void SplitRecordFields(char* buf, int32_t limit, const char** fields, size_t n) {
  static_assert(std::endian::native == std::endian::little);
  if (SplitWholeFields(buf, limit, fields, n)) return;
  // A field runs into the read limit (a damaged or cut record): it is cut before the
  // limit and the next field starts again at 0. A field that would start at the limit
  // (after a field end on its last byte) is empty: the bytes past the limit are left
  // from earlier records, not this one's.
  int32_t pos = 0;
  for (size_t i = 0; i < n; ++i) {
    fields[i] = buf + (pos < limit ? pos : std::max(limit - 1, 0));
    const int32_t end = FindNul(buf, pos, limit);
    if (end < limit) {
      pos = end + 1;
    } else {
      if (limit > 0) buf[limit - 1] = 0;
      pos = 0;
    }
  }
}

void RecordState::Init(const Base& base) {
  const Schema& schema = base.schema;
  Reset(schema.record_read_bytes, schema.record_decode_bytes, schema.data.count(),
        schema.total_records);
}

void RecordState::Reset(int32_t record_read_bytes, int32_t record_decode_bytes,
                        int32_t data_fields, uint32_t total_records) {
  read_bytes = std::max(record_read_bytes, 0);
  decode_bytes = std::max(record_decode_bytes, 0);
  const size_t size = static_cast<size_t>(format::RecordBufferBytes(read_bytes));
  buffer1.assign(size, 0);
  buffer2.assign(size, 0);
  fields.assign(static_cast<size_t>(std::max(data_fields, 0)), nullptr);
  map_window.assign(kMappingWindow, 0);
  map_first = map_last = -1;
  map_hits = map_loads = 0;
  SetPrefetchPolicy(*this, total_records, 0, kDefaultPrefetch);
  current_ptr = 0;
}

void RecordState::ClearFieldCache() { std::fill(fields.begin(), fields.end(), nullptr); }

void SetPrefetchPolicy(RecordState& r, uint32_t total_records, int32_t before, int32_t after) {
  const int64_t b = std::max(before, 0);
  const int64_t a = std::max(after, 0);
  if (int64_t{total_records} >= b + a) {
    r.before = static_cast<int32_t>(b);
    r.after = static_cast<int32_t>(a);
  } else {
    r.before = 0;
    r.after = static_cast<int32_t>(std::min<uint32_t>(total_records, INT32_MAX));
  }
  r.prefetch.assign(static_cast<size_t>(r.before) + static_cast<size_t>(r.after), 0);
  r.InvalidatePrefetch();
}

int64_t MappingLookup(Session& session, const Base& base, int64_t bit) {
  RecordState& r = session.records;
  if (bit < 0 || bit >= static_cast<int64_t>(base.schema.total_records)) return kNoRecord;
  const bool in_window = bit >= r.map_first && bit <= r.map_last;
  if (const uint8_t* view = base.mapping_view.data()) {
    // The mapped file holds what a window would: the window's bounds and counters are
    // kept, its entries read in place.
    if (in_window) {
      ++r.map_hits;
    } else {
      r.map_first = static_cast<int32_t>(bit);
      r.map_last = static_cast<int32_t>(bit + kMappingWindow - 1);
      ++r.map_loads;
    }
    const uint64_t at = format::MappingOffset(static_cast<uint32_t>(bit));
    return at + format::kMappingEntryBytes <= base.mapping_view.size()
               ? format::DecodeFixed32(view + at)
               : kUnreadPointer;
  }
  if (in_window) {
    ++r.map_hits;
    return r.map_window[static_cast<size_t>(bit - r.map_first)];
  }
  // Load a window that starts at the bit that missed.
  r.map_first = static_cast<int32_t>(bit);
  r.map_last = static_cast<int32_t>(bit + kMappingWindow - 1);
  uint8_t raw[kMappingWindow * format::kMappingEntryBytes];
  size_t got = 0;
  std::FILE* f = base.files.mapping.get();
  if (f && std::fseek(f, static_cast<long>(format::MappingOffset(static_cast<uint32_t>(bit))),
                      SEEK_SET) == 0) {
    got = std::fread(raw, 1, sizeof raw, f) / format::kMappingEntryBytes;
  }
  for (size_t i = 0; i < got; ++i) r.map_window[i] = format::DecodeFixed32(raw + format::MappingOffset(static_cast<uint32_t>(i)));
  // Entries past a short mapping.dat name no record rather than an older window's.
  std::fill(r.map_window.begin() + got, r.map_window.end(), kUnreadPointer);
  ++r.map_loads;
  return r.map_window[0];
}

int32_t FetchHit(Session& s, Base& base, int32_t hit, bool optimized) {
  BoundedLock lock(base.fetch_lock);
  if (!lock.owns()) return ERROR_BadOperationScene;
  MapRecordFiles(base);
  RecordState& r = s.records;
  if (hit < 0 || hit >= s.bitmaps.hit_total) {
    r.ClearFieldCache();
    return ERROR_BadRecord;
  }
  int64_t pointer = kNoRecord;
  if (s.sort.order_mode != kBitmapOrder) {
    ListEntry e;
    if (ReadListEntry(s, base, hit, e) == 0) pointer = e.pointer;
  } else if (optimized) {
    if (hit < r.pre_first || hit > r.pre_last) RefillPrefetch(s, base, hit);
    if (hit >= r.pre_first && hit <= r.pre_last) {
      pointer = r.prefetch[static_cast<size_t>(hit - r.pre_first)];
    } else {
      pointer = PointerOfHit(s, base, hit);  // a window too small to hold any hit
    }
  } else {
    pointer = PointerOfHit(s, base, hit);
  }
  if (pointer == kUnreadPointer) pointer = kNoRecord;
  r.current_ptr = static_cast<int32_t>(pointer);
  DecodeCurrent(r, base, pointer);
  return 0;
}

int32_t FetchPointer(Session& s, Base& base, int64_t pointer) {
  BoundedLock lock(base.fetch_lock);
  if (!lock.owns()) return ERROR_BadOperationScene;
  MapRecordFiles(base);
  s.records.current_ptr = static_cast<int32_t>(pointer);
  DecodeCurrent(s.records, base, pointer);
  return 0;
}

// The split reads up to 64 bytes past recordReadBytes, inside the buffer's slack.
static_assert(format::kRecordBufferSlack >= 64);

const char* FieldText(Session& s, const Base& base, int32_t field_number) {
  RecordState& r = s.records;
  const int32_t index = base.schema.data.by_number.Find(field_number);
  if (index < 0 || static_cast<size_t>(index) >= r.fields.size()) return nullptr;
  if (r.fields[index]) return r.fields[index];
  SplitRecordFields(reinterpret_cast<char*>(r.buffer1.data()), r.read_bytes, r.fields.data(),
                    r.fields.size());
  return r.fields[index];
}

}  // namespace lodex
