// Hit bitmaps of a session: current, scratch and word bitmaps, the memory slot, slot
// files, per-table hit accounting and the hit cursor.
//
// A hit bitmap has one bit per record of the base, records numbered base-wide table
// after table. Bit r lives in byte r / 8 under the mask 0x80 >> (r % 8): the most
// significant bit of each byte comes first. A bitmap is (total records + 7) / 8 bytes;
// the padding bits after the last record belong to no table and are never counted.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
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

// Bitmaps are summarised in blocks of 64 bytes (512 bits): which blocks may hold set
// bits, and how many bits are set before each block.
inline constexpr uint32_t kBlockBytes = 64;
inline constexpr uint32_t kBlockShift = 9;  // bit number >> kBlockShift = block

inline uint32_t BlocksFor(size_t bytes) {
  return static_cast<uint32_t>((bytes + kBlockBytes - 1) / kBlockBytes);
}

// The blocks of a bitmap that may hold set bits: every block outside the set is all
// zero. The set may name more blocks than hold bits, never fewer; "all" is always
// true, and is what a bitmap changed in an unknown way must be marked with. One byte
// per block, so that marking is a plain store in the loops that set bits, and one byte
// per group of 64 blocks that says whether any of its block bytes may be set, so that
// walking or clearing the set of a small result costs the groups it touches, not a
// pass over every block of a large base.
inline constexpr uint32_t kGroupShift = 6;  // block >> kGroupShift = group

class BlockSet {
 public:
  // Where the loops that set bits record the blocks (and their groups) they reach.
  struct Marks {
    uint8_t* blocks;
    uint8_t* groups;
    void Mark(uint32_t block) const {
      blocks[block] = 1;
      groups[block >> kGroupShift] = 1;
    }
  };

  // Sized for a bitmap of that many bytes, every block marked.
  void Reset(size_t bitmap_bytes);
  void MarkAll() { all_ = true; }
  // The bitmap is all zero.
  void MarkNone();
  void Mark(uint32_t block) { Marks{flags_.data(), groups_.data()}.Mark(block); }
  // The group's byte stays: it may name more blocks than hold bits.
  void Unmark(uint32_t block) { flags_[block] = 0; }
  bool all() const { return all_; }
  bool marked(uint32_t block) const { return all_ || flags_[block] != 0; }
  uint32_t blocks() const { return static_cast<uint32_t>(flags_.size()); }
  // The block flags; every block byte that is set lies in a group whose byte is set.
  const uint8_t* block_flags() const { return flags_.data(); }
  // Where to store 1 for each block that receives bits; empty (null) while every block
  // counts as marked (nothing to record then).
  Marks marks() {
    return all_ ? Marks{nullptr, nullptr} : Marks{flags_.data(), groups_.data()};
  }

  // Calls f(block) for every marked block in ascending order.
  template <class F>
  void ForEach(F&& f) const {
    const uint32_t n = blocks();
    if (all_) {
      for (uint32_t b = 0; b < n; ++b) f(b);
      return;
    }
    const uint8_t* p = flags_.data();
    ForEachSet(groups_.data(), static_cast<uint32_t>(groups_.size()), [&](uint32_t group) {
      const uint32_t first = group << kGroupShift;
      ForEachSet(p + first, std::min(1u << kGroupShift, n - first),
                 [&](uint32_t k) { f(first + k); });
    });
  }

  // Makes the set explicit (no longer "all") with every block marked; ForEach then
  // visits each, and Unmark can drop those found empty.
  void Expand();

 private:
  // Calls f(i) for every i below n with bytes[i] != 0, in ascending order; eight bytes
  // are tested at once, and on little-endian machines the set ones found by their bits.
  template <class F>
  static void ForEachSet(const uint8_t* bytes, uint32_t n, F&& f) {
    uint32_t i = 0;
    for (; i + 8 <= n; i += 8) {
      uint64_t w;
      std::memcpy(&w, bytes + i, 8);
      if (w == 0) continue;
      if constexpr (std::endian::native == std::endian::little) {
        do {
          const int bit = std::countr_zero(w);
          f(i + static_cast<uint32_t>(bit >> 3));
          w &= ~(uint64_t{0xFF} << (bit & ~7));
        } while (w != 0);
      } else {
        for (uint32_t k = 0; k < 8; ++k) {
          if (bytes[i + k] != 0) f(i + k);
        }
      }
    }
    for (; i < n; ++i) {
      if (bytes[i] != 0) f(i);
    }
  }

  std::vector<uint8_t> flags_;
  std::vector<uint8_t> groups_;
  bool all_ = true;
};

// Zeroes the marked blocks of bits (a bitmap of `bytes` bytes) and marks none.
void ClearMarked(uint8_t* bits, size_t bytes, BlockSet& marks);

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

  // The blocks of the current bitmap that may hold set bits. Every whole-bitmap recount
  // makes it exact; searches that build their result in place clear and count only
  // these blocks (RecountMarked). Writers that change the current bitmap without a
  // recount call CurrentChanged.
  BlockSet current_blocks;

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
  // The same, trusting current_blocks: only the marked blocks are counted (and those
  // found empty unmarked). For results built in place by a search.
  void RecountMarked();
  // The current bitmap changed in a way nobody counted (a short read): every block may
  // hold bits now, and the cursor and rank directory no longer describe it.
  void CurrentChanged();
  // A single bit of the current bitmap was set or cleared (counts adjusted by the
  // caller, who then recomputes the first hits).
  void BitChanged(uint32_t bit);

  // The first included table whose hit range holds hit h, or -1.
  int32_t TableOfHit(int32_t h) const;

  // Moves the cursor to hit h and answers its bit number, or -120 when the hit cannot
  // be placed (cursor unchanged then). A step of a few hits walks on from the cursor's
  // bit; anything further goes through the rank directory.
  int32_t MoveCursor(int32_t h);

  // Set bits of the current bitmap before bit b (b at most 8 x its size), and the bit
  // number of the set bit with that index (0-based over the whole bitmap, padding bits
  // included), or -1 when the bitmap has no such bit. Both build the rank directory
  // when it is missing.
  int64_t Rank(uint64_t b);
  int64_t Select(int64_t index);

 private:
  void BuildRank();
  // Set bits before each block of the current bitmap, with a final total; empty when it
  // has to be built. Dropped on every change of the current bitmap.
  std::vector<uint32_t> rank_;
};

// After any change of a session's current bitmap as a whole: recount the tables, the
// first hits and the hit total, invalidate the cursor and the record prefetch window.
void Recount(Session& session);
// The same after a search built its result in place: only the marked blocks of the
// current bitmap are counted (BitmapState::RecountMarked).
void RecountMarked(Session& session);

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
