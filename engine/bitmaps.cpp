#include "bitmaps.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "base.h"
#include "bitmap_file_cache.h"
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

// rank[b] := set bits of the bitmap (size bytes) before block b, for every block and
// the end; blocks without their flag (when flags is given) count as empty.
LODEX_POPCOUNT_CLONES void CumulativeBlockCounts(const uint8_t* p, size_t size,
                                                 const uint8_t* flags, uint32_t* rank) {
  const size_t blocks = BlocksFor(size);
  uint32_t total = 0;
  for (size_t b = 0; b < blocks; ++b) {
    rank[b] = total;
    if (flags != nullptr && flags[b] == 0) continue;
    const size_t at = b * kBlockBytes;
    if (at + kBlockBytes <= size) {
      // Eight words summed as a tree, so the counts do not wait on each other.
      uint64_t w[kBlockBytes / 8];
      std::memcpy(w, p + at, kBlockBytes);
      const int a = std::popcount(w[0]) + std::popcount(w[1]);
      const int c = std::popcount(w[2]) + std::popcount(w[3]);
      const int e = std::popcount(w[4]) + std::popcount(w[5]);
      const int g = std::popcount(w[6]) + std::popcount(w[7]);
      total += static_cast<uint32_t>((a + c) + (e + g));
      continue;
    }
    const size_t end = size;
    size_t i = at;
    for (; i + 8 <= end; i += 8) {
      uint64_t w;
      std::memcpy(&w, p + i, 8);
      total += static_cast<uint32_t>(std::popcount(w));
    }
    for (; i < end; ++i) total += kBitCount[p[i]];
  }
  rank[blocks] = total;
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

void BlockSet::Reset(size_t bitmap_bytes) {
  const uint32_t blocks = BlocksFor(bitmap_bytes);
  flags_.assign(blocks, 0);
  groups_.assign((blocks + (1u << kGroupShift) - 1) >> kGroupShift, 0);
  all_ = true;
}

void BlockSet::MarkNone() {
  // Only the groups that may hold set block bytes need clearing.
  const uint32_t n = blocks();
  ForEachSet(groups_.data(), static_cast<uint32_t>(groups_.size()), [&](uint32_t group) {
    const uint32_t first = group << kGroupShift;
    std::memset(flags_.data() + first, 0, std::min(first + (1u << kGroupShift), n) - first);
    groups_[group] = 0;
  });
  all_ = false;
}

void BlockSet::Expand() {
  std::fill(flags_.begin(), flags_.end(), 1);
  std::fill(groups_.begin(), groups_.end(), 1);
  all_ = false;
}

void ClearMarked(uint8_t* bits, size_t bytes, BlockSet& marks) {
  if (marks.all()) {
    if (bytes > 0) std::memset(bits, 0, bytes);
  } else {
    // Runs of marked blocks are cleared at once.
    size_t run_first = 0, run_end = 0;  // bytes
    auto flush = [&] {
      if (run_end > run_first) std::memset(bits + run_first, 0, run_end - run_first);
    };
    marks.ForEach([&](uint32_t block) {
      const size_t at = size_t{block} * kBlockBytes;
      const size_t end = std::min<size_t>(at + kBlockBytes, bytes);
      if (at != run_end) {
        flush();
        run_first = at;
      }
      run_end = end;
    });
    flush();
  }
  marks.MarkNone();
}

namespace {

// dst[i] = op(dst[i], src[i]) over the common length, eight bytes at a time.
template <class Op>
void CombineBytes(Bitmap& dst, const Bitmap& src, Op op) {
  const size_t n = std::min(dst.size(), src.size());
  uint8_t* d = dst.data();
  const uint8_t* s = src.data();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t a, b;
    std::memcpy(&a, d + i, 8);
    std::memcpy(&b, s + i, 8);
    a = op(a, b);
    std::memcpy(d + i, &a, 8);
  }
  for (; i < n; ++i) d[i] = static_cast<uint8_t>(op(uint64_t{d[i]}, uint64_t{s[i]}));
}

}  // namespace

void AndInto(Bitmap& dst, const Bitmap& src) {
  CombineBytes(dst, src, [](uint64_t a, uint64_t b) { return a & b; });
}
void OrInto(Bitmap& dst, const Bitmap& src) {
  CombineBytes(dst, src, [](uint64_t a, uint64_t b) { return a | b; });
}
void AndNotInto(Bitmap& dst, const Bitmap& src) {
  CombineBytes(dst, src, [](uint64_t a, uint64_t b) { return a & ~b; });
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
  current_blocks.Reset(bitmap_bytes);
  current_blocks.MarkNone();  // all zero
  rank_.clear();
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
  current_blocks.MarkAll();
  RecountMarked();
}

void BitmapState::RecountMarked() {
  const int32_t n = table_count();
  const uint8_t* bits = current.data();
  const size_t size = current.size();
  // A table's range never reaches past the bitmap, whatever the schema claims.
  const uint32_t limit = static_cast<uint32_t>(size) * 8;
  auto range = [&](int32_t t, uint32_t* from, uint32_t* to) {
    *from = std::min(static_cast<uint32_t>(first_bit[t]), limit);
    *to = std::min(static_cast<uint32_t>(first_bit[t + 1]), limit);
  };

  if (current_blocks.all()) {
    // Every block: one pass builds the rank directory, which gives the table counts
    // and which blocks are empty.
    rank_.clear();
    BuildRank();
    current_blocks.Expand();
    for (uint32_t b = 0; b + 1 < rank_.size(); ++b) {
      if (rank_[b + 1] == rank_[b]) current_blocks.Unmark(b);
    }
    for (int32_t t = 0; t < n; ++t) {
      uint32_t from, to;
      range(t, &from, &to);
      table_hits[t] = from < to ? static_cast<int32_t>(Rank(to) - Rank(from)) : 0;
    }
    RecountFirstHits();
    return;
  }

  // A few marked blocks: count those, each towards the tables it overlaps.
  std::fill(table_hits.begin(), table_hits.end(), 0);
  int32_t t = 0;  // the first table that may still overlap the block
  current_blocks.ForEach([&](uint32_t block) {
    const size_t at = size_t{block} * kBlockBytes;
    const size_t bytes = std::min<size_t>(kBlockBytes, size - at);
    const uint32_t in_block = CountBytes(bits, at, at + bytes);
    if (in_block == 0) {
      current_blocks.Unmark(block);
      return;
    }
    const uint32_t first = static_cast<uint32_t>(at * 8);
    const uint32_t end = static_cast<uint32_t>((at + bytes) * 8);
    // Tables that end before the block are done with.
    uint32_t from, to;
    while (t < n && (range(t, &from, &to), to <= first)) ++t;
    for (int32_t u = t; u < n; ++u) {
      range(u, &from, &to);
      if (from >= end) break;
      if (from <= first && to >= end) {
        table_hits[u] += static_cast<int32_t>(in_block);  // the whole block
        break;
      }
      table_hits[u] += static_cast<int32_t>(CountBits(bits, std::max(from, first), std::min(to, end)));
    }
  });
  rank_.clear();
  RecountFirstHits();
}

void BitmapState::CurrentChanged() {
  current_blocks.MarkAll();
  rank_.clear();
  cursor.Invalidate();
}

void BitmapState::BitChanged(uint32_t bit) {
  current_blocks.Mark(bit >> kBlockShift);
  rank_.clear();
}

int32_t BitmapState::TableOfHit(int32_t h) const {
  if (h < 0) return -1;
  const int32_t n = table_count();
  for (int32_t t = 0; t < n; ++t) {
    if (first_hit_included[t] <= h && h < first_hit_included[t + 1]) return t;
  }
  return -1;
}

void BitmapState::BuildRank() {
  rank_.resize(size_t{BlocksFor(current.size())} + 1);
  const uint8_t* flags = current_blocks.all() ? nullptr : current_blocks.block_flags();
  CumulativeBlockCounts(current.data(), current.size(), flags, rank_.data());
}

int64_t BitmapState::Rank(uint64_t b) {
  if (rank_.empty()) BuildRank();
  b = std::min<uint64_t>(b, uint64_t{current.size()} * 8);
  const uint32_t block = static_cast<uint32_t>(b >> kBlockShift);
  const uint32_t start = block << kBlockShift;
  return int64_t{rank_[block]} + CountBits(current.data(), start, static_cast<uint32_t>(b));
}

int64_t BitmapState::Select(int64_t index) {
  if (rank_.empty()) BuildRank();
  if (index < 0 || index >= int64_t{rank_.back()}) return -1;
  // The block whose range of indexes holds it: the last with a smaller or equal rank.
  const auto after = std::upper_bound(rank_.begin(), rank_.end(), static_cast<uint32_t>(index));
  const size_t block = static_cast<size_t>(after - rank_.begin()) - 1;
  uint32_t left = static_cast<uint32_t>(index) - rank_[block];
  size_t at = block * kBlockBytes;
  const size_t end = std::min<size_t>(at + kBlockBytes, current.size());
  const uint8_t* bits = current.data();
  for (; at + 8 <= end; at += 8) {
    uint64_t w;
    std::memcpy(&w, bits + at, 8);
    const uint32_t cnt = static_cast<uint32_t>(std::popcount(w));
    if (cnt > left) break;
    left -= cnt;
  }
  for (; at < end; ++at) {
    const uint32_t cnt = kBitCount[bits[at]];
    if (cnt > left) break;
    left -= cnt;
  }
  if (at >= end) return -1;  // cannot happen while the directory describes the bitmap
  for (uint32_t k = 0; k < 8; ++k) {
    if ((bits[at] & (0x80u >> k)) != 0 && left-- == 0) return int64_t(at * 8 + k);
  }
  return -1;
}

namespace {

// Hits this close to the cursor are found by walking on from it; further ones, and
// walks that cross more than kWalkBytes bytes, go through the rank directory.
constexpr int64_t kWalkHits = 16;
constexpr int64_t kWalkBytes = 128;

// The d-th set bit after bit `from` (d > 0), looking at no more than kWalkBytes bytes;
// -1 when it is not within them.
int64_t WalkForward(const uint8_t* bits, int64_t nbits, int64_t from, int64_t d) {
  int64_t b = from + 1;
  const int64_t stop = std::min(nbits, ((from >> 3) + kWalkBytes) * 8);
  while (b < stop) {
    if ((b & 7) == 0) {
      const uint8_t cnt = kBitCount[bits[b >> 3]];
      if (cnt < d) { d -= cnt; b += 8; continue; }
    }
    if (TestBit(bits, static_cast<uint32_t>(b)) && --d == 0) return b;
    ++b;
  }
  return -1;
}

}  // namespace

int32_t BitmapState::MoveCursor(int32_t h) {
  const int32_t t = TableOfHit(h);
  if (t < 0) return ERROR_BadOperationScene;
  const int64_t nbits = static_cast<int64_t>(current.size()) * 8;

  // The wanted bit's index among all set bits of the bitmap. From the cursor in the
  // same table: the d-th set bit after its bit, or the -d-th before it. Otherwise from
  // the table's first set bit, which carries the table's first hit.
  int64_t index;
  if (cursor.table == t && cursor.hit >= 0) {
    const int64_t d = static_cast<int64_t>(h) - cursor.hit;
    if (d == 0) return cursor.bit;
    if (d > 0 && d <= kWalkHits) {
      const int64_t b = WalkForward(current.data(), nbits, cursor.bit, d);
      if (b >= 0) {
        cursor = {h, static_cast<int32_t>(b), t};
        return cursor.bit;
      }
    }
    index = d > 0 ? Rank(static_cast<uint64_t>(cursor.bit) + 1) + d - 1 : Rank(cursor.bit) + d;
  } else {
    index = Rank(static_cast<uint32_t>(first_bit[t])) + (h - first_hit_included[t]);
  }
  const int64_t b = Select(index);
  if (b < 0) return ERROR_BadOperationScene;
  cursor = {h, static_cast<int32_t>(b), t};
  return cursor.bit;
}

void Recount(Session& session) {
  session.bitmaps.RecountTables();
  session.records.InvalidatePrefetch();
}

void RecountMarked(Session& session) {
  session.bitmaps.RecountMarked();
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
  // A file of the bitmap's size already (a slot written before) is overwritten in place:
  // the same bytes end up in it as after truncating, without the cost of giving its
  // blocks back and allocating them again, which some file systems turn into a flush.
  FILE* f = nullptr;
  FileStamp stamp;
  if (ReadFileStamp(path, &stamp) && stamp.size == bits.size()) f = std::fopen(path.c_str(), "r+b");
  if (!f) f = std::fopen(path.c_str(), "wb");
  if (!f) return ERROR_FileOpen;
  int32_t result = 0;
  for (size_t at = 0; at < bits.size(); at += kFilePiece) {
    const size_t n = std::min(kFilePiece, bits.size() - at);
    if (std::fwrite(bits.data() + at, 1, n, f) != n) { result = ERROR_FileWrite; break; }
  }
  if (std::fclose(f) != 0 && result == 0) result = ERROR_FileWrite;
  // Kept for reading back; a failed write leaves a file that must be read as it is.
  if (result == 0) {
    BitmapFileCache::Shared().Wrote(path, bits.data(), bits.size());
  } else {
    BitmapFileCache::Shared().Forget(path);
  }
  return result;
}

int32_t ReadBitmapFile(const std::string& path, Bitmap& dst) {
  if (BitmapFileCache::Shared().Read(path, dst.data(), dst.size())) return 0;
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
