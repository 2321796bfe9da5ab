#include "bitmaps.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "base.h"
#include "lodex32_errors.h"
#include "platform.h"
#include "session.h"

namespace lodex {

const uint8_t kBitCount[256] = {
#define B2(n) n, n + 1, n + 1, n + 2
#define B4(n) B2(n), B2(n + 1), B2(n + 1), B2(n + 2)
#define B6(n) B4(n), B4(n + 1), B4(n + 1), B4(n + 2)
    B6(0), B6(1), B6(1), B6(2)
#undef B6
#undef B4
#undef B2
};

namespace {

// Files move through a fixed buffer in pieces of at most this size.
constexpr size_t kFilePiece = 32768;

// Counting the bits of a whole bitmap is most of a narrow search's time. Where the
// compiler can, it builds this loop twice and the loader picks the one with the
// processor's population-count instruction; the baseline build counts in software.
// ThreadSanitizer cannot run the loader's choice (it runs before the sanitizer starts),
// so sanitized builds keep the one baseline loop.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
#define LODEX_POPCOUNT_CLONES __attribute__((target_clones("popcnt", "default")))
#else
#define LODEX_POPCOUNT_CLONES
#endif

// Set bits of bytes [from, to), eight bytes at a time where possible.
LODEX_POPCOUNT_CLONES uint32_t CountBytes(const uint8_t* p, size_t from, size_t to) {
  uint32_t n = 0;
  size_t i = from;
  for (; i + 8 <= to; i += 8) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    n += static_cast<uint32_t>(std::popcount(w));
  }
  for (; i < to; ++i) n += kBitCount[p[i]];
  return n;
}

}  // namespace

uint32_t CountBits(const uint8_t* bits, uint32_t first, uint32_t end) {
  if (first >= end) return 0;
  const uint32_t last = end - 1;
  const uint32_t fb = first >> 3, lb = last >> 3;
  if (fb == lb) {
    const uint8_t mask = static_cast<uint8_t>((0xFFu >> (first & 7)) & (0xFFu << (7 - (last & 7))));
    return kBitCount[bits[fb] & mask];
  }
  uint32_t n = kBitCount[bits[fb] & (0xFFu >> (first & 7))];
  n += CountBytes(bits, fb + 1, lb);
  n += kBitCount[bits[lb] & static_cast<uint8_t>(0xFFu << (7 - (last & 7)))];
  return n;
}

void ClearBitRange(uint8_t* bits, uint32_t first, uint32_t end) {
  if (first >= end) return;
  const uint32_t last = end - 1;
  const uint32_t fb = first >> 3, lb = last >> 3;
  const uint8_t head = static_cast<uint8_t>(0xFFu >> (first & 7));
  const uint8_t tail = static_cast<uint8_t>(0xFFu << (7 - (last & 7)));
  if (fb == lb) {
    bits[fb] &= static_cast<uint8_t>(~(head & tail));
    return;
  }
  bits[fb] &= static_cast<uint8_t>(~head);
  std::memset(bits + fb + 1, 0, lb - fb - 1);
  bits[lb] &= static_cast<uint8_t>(~tail);
}

void AndInto(Bitmap& dst, const Bitmap& src) {
  const size_t n = std::min(dst.size(), src.size());
  for (size_t i = 0; i < n; ++i) dst[i] &= src[i];
}
void OrInto(Bitmap& dst, const Bitmap& src) {
  const size_t n = std::min(dst.size(), src.size());
  for (size_t i = 0; i < n; ++i) dst[i] |= src[i];
}
void AndNotInto(Bitmap& dst, const Bitmap& src) {
  const size_t n = std::min(dst.size(), src.size());
  for (size_t i = 0; i < n; ++i) dst[i] &= static_cast<uint8_t>(~src[i]);
}

void BitmapState::Init(const Base& base) {
  std::vector<uint32_t> records;
  records.reserve(base.schema.tables.size());
  for (const TableInfo& t : base.schema.tables) records.push_back(t.record_count);
  Reset(records, base.bitmap_bytes);
}

void BitmapState::Reset(const std::vector<uint32_t>& table_records, uint32_t bitmap_bytes) {
  current.assign(bitmap_bytes, 0);
  scratch.assign(bitmap_bytes, 0);
  word.assign(bitmap_bytes, 0);
  memory.reset();
  const size_t n = table_records.size();
  included.assign(n, 1);
  first_bit.assign(n + 1, 0);
  for (size_t t = 0; t < n; ++t) {
    first_bit[t + 1] = static_cast<int32_t>(static_cast<uint32_t>(first_bit[t]) + table_records[t]);
  }
  table_hits.assign(n, 0);
  first_hit_included.assign(n + 1, 0);
  first_hit_all.assign(n + 1, 0);
  hit_total = 0;
  cursor.Invalidate();
}

void BitmapState::RecountFirstHits() {
  int32_t inc = 0, all = 0;
  const int32_t n = table_count();
  for (int32_t t = 0; t < n; ++t) {
    first_hit_included[t] = inc;
    first_hit_all[t] = all;
    if (included[t]) inc += table_hits[t];
    all += table_hits[t];
  }
  first_hit_included[n] = inc;
  first_hit_all[n] = all;
  hit_total = inc;
  cursor.Invalidate();
}

void BitmapState::RecountTables() {
  const int32_t n = table_count();
  // A table's range never reaches past the bitmap, whatever the schema claims.
  const uint32_t limit = static_cast<uint32_t>(current.size()) * 8;
  for (int32_t t = 0; t < n; ++t) {
    const uint32_t first = std::min(static_cast<uint32_t>(first_bit[t]), limit);
    const uint32_t end = std::min(static_cast<uint32_t>(first_bit[t + 1]), limit);
    table_hits[t] = static_cast<int32_t>(CountBits(current.data(), first, end));
  }
  RecountFirstHits();
}

int32_t BitmapState::TableOfHit(int32_t h) const {
  if (h < 0) return -1;
  const int32_t n = table_count();
  for (int32_t t = 0; t < n; ++t) {
    if (first_hit_included[t] <= h && h < first_hit_included[t + 1]) return t;
  }
  return -1;
}

LODEX_POPCOUNT_CLONES int32_t BitmapState::MoveCursor(int32_t h) {
  const int32_t t = TableOfHit(h);
  if (t < 0) return ERROR_BadOperationScene;
  const uint8_t* bits = current.data();
  const int64_t nbits = static_cast<int64_t>(current.size()) * 8;

  HitCursor c = cursor;
  if (c.table != t) {
    // The table's first hit is the first set bit at or after its first bit.
    int64_t b = first_bit[t];
    while (b < nbits && !TestBit(bits, static_cast<uint32_t>(b))) {
      if ((b & 7) == 0 && bits[b >> 3] == 0) b += 8; else ++b;
    }
    if (b >= nbits) return ERROR_BadOperationScene;
    c = {first_hit_included[t], static_cast<int32_t>(b), t};
  }

  int64_t d = static_cast<int64_t>(h) - c.hit;
  int64_t b = c.bit;
  if (d > 0) {
    // Rest of the cursor's byte, then whole bytes by count, then bit by bit.
    ++b;
    while (d > 0) {
      if (b >= nbits) return ERROR_BadOperationScene;
      if ((b & 63) == 0 && b + 64 <= nbits) {
        // Long jumps cross whole 64-bit words by their counts.
        uint64_t w;
        std::memcpy(&w, bits + (b >> 3), 8);
        const int cnt = std::popcount(w);
        if (cnt < d) { d -= cnt; b += 64; continue; }
      }
      if ((b & 7) == 0) {
        const uint8_t cnt = kBitCount[bits[b >> 3]];
        if (cnt < d) { d -= cnt; b += 8; continue; }
      }
      if (TestBit(bits, static_cast<uint32_t>(b)) && --d == 0) break;
      ++b;
    }
  } else if (d < 0) {
    --b;
    while (d < 0) {
      if (b < 0) return ERROR_BadOperationScene;
      if ((b & 63) == 63) {
        uint64_t w;
        std::memcpy(&w, bits + ((b - 63) >> 3), 8);
        const int cnt = std::popcount(w);
        if (cnt < -d) { d += cnt; b -= 64; continue; }
      }
      if ((b & 7) == 7) {
        const uint8_t cnt = kBitCount[bits[b >> 3]];
        if (cnt < -d) { d += cnt; b -= 8; continue; }
      }
      if (TestBit(bits, static_cast<uint32_t>(b)) && ++d == 0) break;
      --b;
    }
  }
  cursor = {h, static_cast<int32_t>(b), t};
  return cursor.bit;
}

void Recount(Session& session) {
  session.bitmaps.RecountTables();
  session.records.InvalidatePrefetch();
}

void CopyIncludedHits(const BitmapState& state, const Bitmap& bits, Bitmap& dst) {
  dst = bits;
  const uint32_t limit = static_cast<uint32_t>(dst.size()) * 8;
  for (int32_t t = 0; t < state.table_count(); ++t) {
    if (state.included[t]) continue;
    const uint32_t first = std::min(static_cast<uint32_t>(state.first_bit[t]), limit);
    const uint32_t end = std::min(static_cast<uint32_t>(state.first_bit[t + 1]), limit);
    ClearBitRange(dst.data(), first, end);
  }
}

std::string SlotFilePath(const Base& base, int32_t session_number, int32_t slot) {
  char name[40];
  std::snprintf(name, sizeof name, "~%x_%x.tmp", static_cast<unsigned>(session_number),
                static_cast<unsigned>(slot) & 0xFFFFu);
  return JoinPath(base.temp_dir, name);
}

int32_t WriteBitmapFile(const std::string& path, const Bitmap& bits) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return ERROR_FileOpen;
  int32_t result = 0;
  for (size_t at = 0; at < bits.size(); at += kFilePiece) {
    const size_t n = std::min(kFilePiece, bits.size() - at);
    if (std::fwrite(bits.data() + at, 1, n, f) != n) { result = ERROR_FileWrite; break; }
  }
  if (std::fclose(f) != 0 && result == 0) result = ERROR_FileWrite;
  return result;
}

int32_t ReadBitmapFile(const std::string& path, Bitmap& dst) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return ERROR_FileOpen;
  int32_t result = 0;
  for (size_t at = 0; at < dst.size(); at += kFilePiece) {
    const size_t n = std::min(kFilePiece, dst.size() - at);
    if (std::fread(dst.data() + at, 1, n, f) != n) { result = ERROR_FileRead; break; }
  }
  std::fclose(f);
  return result;
}

}  // namespace lodex
