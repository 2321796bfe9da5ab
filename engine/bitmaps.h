// Hit bitmaps of a session: current, scratch and word bitmaps, the memory slot, slot
// files, per-table hit accounting and the hit cursor.
//
// A hit bitmap has one bit per record of the base, records numbered base-wide table
// after table. Bit r lives in byte r / 8 under the mask 0x80 >> (r % 8): the most
// significant bit of each byte comes first. A bitmap is (total records + 7) / 8 bytes;
// the padding bits after the last record belong to no table and are never counted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lodex {

struct Base;
struct Session;

using Bitmap = std::vector<uint8_t>;

// Number of set bits of each byte value.
extern const uint8_t kBitCount[256];

inline bool TestBit(const uint8_t* bits, uint32_t r) {
  return (bits[r >> 3] & (0x80u >> (r & 7))) != 0;
}
inline void SetBitAt(uint8_t* bits, uint32_t r) { bits[r >> 3] |= uint8_t(0x80u >> (r & 7)); }
inline void ClearBitAt(uint8_t* bits, uint32_t r) { bits[r >> 3] &= uint8_t(~(0x80u >> (r & 7))); }

// Set bits among bits [first, end) of a bitmap of at least (end + 7) / 8 bytes.
uint32_t CountBits(const uint8_t* bits, uint32_t first, uint32_t end);

// Clears bits [first, end) (a table's range) and leaves every other bit as it was.
void ClearBitRange(uint8_t* bits, uint32_t first, uint32_t end);

// Byte-wise set algebra over equally sized bitmaps: dst = dst OP src.
void AndInto(Bitmap& dst, const Bitmap& src);
void OrInto(Bitmap& dst, const Bitmap& src);
void AndNotInto(Bitmap& dst, const Bitmap& src);  // dst AND (NOT src)

// The hit cursor: a hit number, the bit that carries it and its table; all -1 when
// invalid (after every recount or inclusion change).
struct HitCursor {
  int32_t hit = -1;
  int32_t bit = -1;
  int32_t table = -1;
  void Invalidate() { hit = bit = table = -1; }
};

struct BitmapState {
  Bitmap current;   // the session's result
  Bitmap scratch;   // second operand, a search token's result, single-slot tests
  Bitmap word;      // one index word's postings while index words are filtered
  std::unique_ptr<Bitmap> memory;  // the memory slot, made by the first MemStore

  // Per table (first_bit, first_hit_included and first_hit_all end with a sentinel).
  std::vector<int32_t> included;            // 1 = included
  std::vector<int32_t> first_bit;           // sentinel = total record count
  std::vector<int32_t> table_hits;          // set bits of current in the table's range
  std::vector<int32_t> first_hit_included;  // hits of included tables before t
  std::vector<int32_t> first_hit_all;       // hits of all tables before t
  int32_t hit_total = 0;                    // hits of included tables

  HitCursor cursor;

  int32_t table_count() const { return static_cast<int32_t>(table_hits.size()); }
  uint32_t total_records() const {
    return first_bit.empty() ? 0 : static_cast<uint32_t>(first_bit.back());
  }

  // Sizes the bitmaps and table arrays from the base; every table included, all empty.
  void Init(const Base& base);
  // The same from plain numbers (used by Init and by tests).
  void Reset(const std::vector<uint32_t>& table_records, uint32_t bitmap_bytes);

  // Recomputes both first-hit arrays and the hit total from the table hit counts and
  // inclusion flags, and invalidates the cursor.
  void RecountFirstHits();
  // Recounts every table hit count from the current bitmap, then RecountFirstHits.
  void RecountTables();

  // The first included table whose hit range holds hit h, or -1.
  int32_t TableOfHit(int32_t h) const;

  // Moves the cursor to hit h and answers its bit number, or -120 when the hit cannot
  // be placed (cursor unchanged then). Moves incrementally from the cursor's position.
  int32_t MoveCursor(int32_t h);
};

// After any change of a session's current bitmap as a whole: recount the tables, the
// first hits and the hit total, invalidate the cursor and the record prefetch window.
void Recount(Session& session);

// Copies `bits` into `dst` and clears the ranges of all excluded tables, so that it
// holds exactly the bits that have hit numbers.
void CopyIncludedHits(const BitmapState& state, const Bitmap& bits, Bitmap& dst);

// Slot files: "~<session hex>_<slot low 16 bits hex>.tmp" in the temporary directory.
std::string SlotFilePath(const Base& base, int32_t session_number, int32_t slot);

// Whole-bitmap file transfer in pieces of at most 32 768 bytes. Write answers 0, -200
// or -203; Read answers 0, -200 or -202 (a short file leaves dst partly overwritten).
int32_t WriteBitmapFile(const std::string& path, const Bitmap& bits);
int32_t ReadBitmapFile(const std::string& path, Bitmap& dst);

}  // namespace lodex
