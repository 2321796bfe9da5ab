// The bitmap-and-table family: storing, restoring and combining a session's hit
// bitmaps, single bits, conversions between hits, bits and sorted-list entries, counts
// and table inclusion.
#include <cstdio>
#include <algorithm>
#include <string>

#include "base.h"
#include "bitmap_file_cache.h"
#include "bitmaps.h"
#include "lodex32_errors.h"
#include "lodex32.h"
#include "platform.h"
#include "registry.h"
#include "session.h"
#include "sort.h"

namespace lodex {
namespace {

// Slot numbers are 16-bit.
int16_t Slot(int32_t slot) { return static_cast<int16_t>(slot); }

// Runs body under a catch-all guard that answers fault instead.
template <class F>
int32_t Guarded(int32_t fault, F&& body) {
  try {
    return body();
  } catch (...) {
    return fault;
  }
}

// Reads a bitmap file into the current bitmap and recounts. A short read leaves the
// current bitmap partly overwritten and the counts as they were.
int32_t LoadCurrent(Session& s, const std::string& path) {
  const int32_t rc = ReadBitmapFile(path, s.bitmaps.current);
  if (rc == 0) {
    Recount(s);
  } else if (rc == ERROR_FileRead) {
    s.bitmaps.CurrentChanged();
  }
  return rc;
}

int32_t LoadSlot(Session& s, const Base& b, int16_t slot) {
  return LoadCurrent(s, SlotFilePath(b, s.number, slot));
}

// Reads a slot file into the current bitmap for a set operation, which recounts once at
// its end. Failures leave the current bitmap as LoadSlot does.
int32_t ReadSlotUncounted(Session& s, const Base& b, int16_t slot) {
  const int32_t rc = ReadBitmapFile(SlotFilePath(b, s.number, slot), s.bitmaps.current);
  if (rc != 0 && rc != ERROR_FileOpen) s.bitmaps.CurrentChanged();
  return rc;
}

int32_t StoreSlot(const Session& s, const Base& b, int16_t slot, const Bitmap& bits) {
  return WriteBitmapFile(SlotFilePath(b, s.number, slot), bits);
}

// Clear (0x00) or fill (0xFF) slot 0 or a slot file.
int32_t PaintSlot(Session& s, const Base& b, int16_t slot, uint8_t value) {
  BitmapState& bm = s.bitmaps;
  if (slot == 0) {
    std::fill(bm.current.begin(), bm.current.end(), value);  // may be empty: no records
    Recount(s);
    return 0;
  }
  std::fill(bm.scratch.begin(), bm.scratch.end(), value);
  return StoreSlot(s, b, slot, bm.scratch);
}

enum class Op { kAnd, kOr, kAndNot };

void Combine(Op op, Bitmap& dst, const Bitmap& src) {
  switch (op) {
    case Op::kAnd: AndInto(dst, src); break;
    case Op::kOr: OrInto(dst, src); break;
    case Op::kAndNot: AndNotInto(dst, src); break;
  }
}

// dst = left OP right, for left and right possibly aliasing dst.
void CombineTo(Op op, const Bitmap& left, const Bitmap& right, Bitmap& dst) {
  if (&dst != &left) {
    Bitmap tmp = left;
    Combine(op, tmp, right);
    dst.swap(tmp);
  } else {
    Combine(op, dst, right);
  }
}

int32_t SetOperation(int32_t session, int32_t target32, int32_t first32, int32_t second32,
                     Op op) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  Session& s = *ref.session;
  const Base& b = *ref.base;
  BitmapState& bm = s.bitmaps;
  const int16_t target = Slot(target32), first = Slot(first32), second = Slot(second32);

  if ((first == 0 && second == -1) || (first == -1 && second == 0)) {
    if (!bm.memory) return ERROR_BadBitmap;
    const Bitmap& left = first == 0 ? bm.current : *bm.memory;
    const Bitmap& right = second == 0 ? bm.current : *bm.memory;
    Bitmap result = left;
    Combine(op, result, right);
    if (target == -1) {
      bm.memory->swap(result);
    } else {
      bm.current.swap(result);
    }
  } else if (first == 0 || second == 0) {
    // One operand is the current bitmap: keep it aside and read the other in. The
    // counts of the operand read are never seen (a failed read returns before them, a
    // good one is combined and recounted below), so it is not counted.
    bm.scratch = bm.current;
    if (int32_t rc = ReadSlotUncounted(s, b, first == 0 ? second : first)) return rc;
    if (first == 0) {
      CombineTo(op, bm.scratch, bm.current, bm.current);
    } else {
      Combine(op, bm.current, bm.scratch);
    }
  } else {
    // Both from slot files: first into the scratch bitmap, second into the current one.
    if (int32_t rc = ReadSlotUncounted(s, b, first)) return rc;
    bm.scratch.swap(bm.current);
    if (int32_t rc = ReadSlotUncounted(s, b, second)) {
      // As if first had been loaded and counted before: it stays in the current bitmap
      // (a short read of second then overwrites part of it, uncounted).
      bm.current = bm.scratch;
      Recount(s);
      return rc == ERROR_FileRead ? LoadSlot(s, b, second) : rc;
    }
    CombineTo(op, bm.scratch, bm.current, bm.current);
  }
  Recount(s);
  if (target != 0 && target != -1) return StoreSlot(s, b, target, bm.current);
  return 0;
}

// Reads the one byte of a slot file that holds bit r. Answers 0, -200, -204 or -202.
int32_t ReadSlotByte(std::FILE* f, uint32_t r, uint8_t& byte) {
  if (std::fseek(f, static_cast<long>(r >> 3), SEEK_SET) != 0) return ERROR_FileSeek;
  if (std::fread(&byte, 1, 1, f) != 1) return ERROR_FileRead;
  return 0;
}

// Sets (value true) or clears bit r of a slot file in place.
int32_t ChangeSlotBit(const Session& s, const Base& b, int16_t slot, uint32_t r, bool value) {
  const std::string path = SlotFilePath(b, s.number, slot);
  BitmapFileCache::Shared().Forget(path);  // changed in place below
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  if (!f) return ERROR_FileOpen;
  uint8_t byte = 0;
  int32_t rc = ReadSlotByte(f, r, byte);
  if (rc == 0) {
    const uint8_t mask = static_cast<uint8_t>(0x80u >> (r & 7));
    byte = value ? (byte | mask) : (byte & static_cast<uint8_t>(~mask));
    if (std::fseek(f, static_cast<long>(r >> 3), SEEK_SET) != 0) {
      rc = ERROR_FileSeek;
    } else if (std::fwrite(&byte, 1, 1, f) != 1) {
      rc = ERROR_FileWrite;
    }
  }
  if (std::fclose(f) != 0 && rc == 0) rc = ERROR_FileWrite;
  return rc;
}

int32_t TestSlotBit(const Session& s, const Base& b, int16_t slot, uint32_t r) {
  std::FILE* f = std::fopen(SlotFilePath(b, s.number, slot).c_str(), "rb");
  if (!f) return ERROR_FileOpen;
  uint8_t byte = 0;
  const int32_t rc = ReadSlotByte(f, r, byte);
  std::fclose(f);
  if (rc) return rc;
  return (byte & (0x80u >> (r & 7))) ? 1 : 0;
}

// Range checks shared by the single-bit operations. In the current bitmap the record is
// table-relative; in a slot file the engine addresses bit `record` itself, so the range
// there is 0 .. first bit + record count - 1 of the table (the two agree for table 0).
// Answers 0 and the bit to address, or -105 / -108.
int32_t BitAddress(const BitmapState& bm, int16_t slot, int32_t table, int32_t record,
                   uint32_t& bit) {
  if (table < 0 || table >= bm.table_count()) return ERROR_BadTable;
  const int64_t first = bm.first_bit[table];
  const int64_t end = bm.first_bit[table + 1];
  if (slot == 0) {
    if (record < 0 || record >= end - first) return ERROR_BadBit;
    bit = static_cast<uint32_t>(first + record);
  } else {
    if (record < 0 || record >= end) return ERROR_BadBit;
    bit = static_cast<uint32_t>(record);
  }
  return 0;
}

int32_t ChangeBit(int32_t session, int32_t slot32, int32_t table, int32_t record, bool value) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  Session& s = *ref.session;
  BitmapState& bm = s.bitmaps;
  const int16_t slot = Slot(slot32);
  uint32_t bit = 0;
  if (int32_t rc = BitAddress(bm, slot, table, record, bit)) return rc;
  if (slot != 0) return ChangeSlotBit(s, *ref.base, slot, bit, value);
  if (TestBit(bm.current.data(), bit) != value) {
    bm.BitChanged(bit);
    if (value) {
      SetBitAt(bm.current.data(), bit);
      ++bm.table_hits[table];
    } else {
      ClearBitAt(bm.current.data(), bit);
      --bm.table_hits[table];
    }
    bm.RecountFirstHits();
    // Hit numbers after this bit moved by one: pointers prefetched for them are stale.
    s.records.InvalidatePrefetch();
  }
  return 0;
}

int32_t BitSetIn(Session& s, const Base& b, int16_t slot, int32_t table, int32_t record) {
  const BitmapState& bm = s.bitmaps;
  uint32_t bit = 0;
  if (table < 0) {
    // Any base-wide bit number of the bitmap, through table 0.
    if (record < 0 || static_cast<int64_t>(record) >= int64_t{8} * int64_t(bm.current.size())) {
      return ERROR_BadBit;
    }
    bit = static_cast<uint32_t>(record);
  } else if (int32_t rc = BitAddress(bm, slot, table, record, bit)) {
    return rc;
  }
  if (slot != 0) return TestSlotBit(s, b, slot, bit);
  return TestBit(bm.current.data(), bit) ? 1 : 0;
}

// Inclusion changes renumber the hits: recount the first hits and drop prefetched
// pointers of the old numbering.
void Reinclude(Session& s) {
  s.bitmaps.RecountFirstHits();
  s.records.InvalidatePrefetch();
}

}  // namespace
}  // namespace lodex

using namespace lodex;

// ---- Whole-bitmap storage ----------------------------------------------------------

extern "C" LODEX_API int32_t APIMemStoreBitmap(int32_t session) {
  return Guarded(FAULT_MemStoreBitmap, [&] {
    SessionRef ref = FindSession(session);
    if (ref.error) return ref.error;
    BitmapState& bm = ref.session->bitmaps;
    if (!bm.memory) {
      bm.memory = std::make_unique<Bitmap>(bm.current);
    } else {
      *bm.memory = bm.current;
    }
    return 0;
  });
}

extern "C" LODEX_API int32_t APIMemRestoreBitmap(int32_t session) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  BitmapState& bm = ref.session->bitmaps;
  if (!bm.memory) return ERROR_BadBitmap;
  bm.current = *bm.memory;
  Recount(*ref.session);
  return 0;
}

extern "C" LODEX_API int32_t APIStoreBitmap(int32_t session, int32_t slot) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return StoreSlot(*ref.session, *ref.base, Slot(slot), ref.session->bitmaps.current);
}

extern "C" LODEX_API int32_t APIRestoreBitmap(int32_t session, int32_t slot) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return LoadSlot(*ref.session, *ref.base, Slot(slot));
}

extern "C" LODEX_API int32_t APISaveBitmap(int32_t session, const char* path) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return WriteBitmapFile(path ? path : "", ref.session->bitmaps.current);
}

extern "C" LODEX_API int32_t APILoadBitmap(int32_t session, const char* path) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return LoadCurrent(*ref.session, path ? path : "");
}

extern "C" LODEX_API int32_t APIClearBitmap(int32_t session, int32_t slot) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return PaintSlot(*ref.session, *ref.base, Slot(slot), 0x00);
}

extern "C" LODEX_API int32_t APIFillBitmap(int32_t session, int32_t slot) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return PaintSlot(*ref.session, *ref.base, Slot(slot), 0xFF);
}

extern "C" LODEX_API int32_t APIClearAllBitmap(int32_t session) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  Session& s = *ref.session;
  const Base& b = *ref.base;
  PaintSlot(s, b, 0, 0x00);
  // Slot files 1, 2, 3, ... while they exist (at most up to the last 16-bit slot).
  for (int32_t slot = 1; slot <= 0xFFFF; ++slot) {
    std::FILE* f = std::fopen(SlotFilePath(b, s.number, slot).c_str(), "rb");
    if (!f) break;
    std::fclose(f);
    if (PaintSlot(s, b, Slot(slot), 0x00) != 0) break;
  }
  return 0;
}

// ---- Set operations ------------------------------------------------------------------

extern "C" LODEX_API int32_t APIAndBitmaps(int32_t session, int32_t target, int32_t first,
                                           int32_t second) {
  return Guarded(FAULT_AndBitmaps,
                 [&] { return SetOperation(session, target, first, second, Op::kAnd); });
}

extern "C" LODEX_API int32_t APIOrBitmaps(int32_t session, int32_t target, int32_t first,
                                          int32_t second) {
  return Guarded(FAULT_OrBitmaps,
                 [&] { return SetOperation(session, target, first, second, Op::kOr); });
}

extern "C" LODEX_API int32_t APIAndNotBitmaps(int32_t session, int32_t target, int32_t first,
                                              int32_t second) {
  return SetOperation(session, target, first, second, Op::kAndNot);
}

// ---- Single bits ---------------------------------------------------------------------

extern "C" LODEX_API int32_t APISetBit(int32_t session, int32_t slot, int32_t table,
                                       int32_t record) {
  return ChangeBit(session, slot, table, record, true);
}

extern "C" LODEX_API int32_t APIClearBit(int32_t session, int32_t slot, int32_t table,
                                         int32_t record) {
  return ChangeBit(session, slot, table, record, false);
}

extern "C" LODEX_API int32_t APIBitSet(int32_t session, int32_t slot, int32_t table,
                                       int32_t record) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return BitSetIn(*ref.session, *ref.base, Slot(slot), table, record);
}

// ---- Conversions ---------------------------------------------------------------------

extern "C" LODEX_API int32_t APIHitfromBit(int32_t session, int32_t slot32, int32_t table,
                                           int32_t bit) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  Session& s = *ref.session;
  const Base& b = *ref.base;
  BitmapState& bm = s.bitmaps;
  const int16_t slot = Slot(slot32);
  // The table's first bit is needed before anything is tested.
  if (table < 0 || table >= bm.table_count()) return ERROR_BadTable;
  const int64_t relative = int64_t{bit} - bm.first_bit[table];
  if (relative < 0 || relative > INT32_MAX) return ERROR_BadBit;
  const int32_t set = BitSetIn(s, b, slot, table, static_cast<int32_t>(relative));
  if (set < 0) return set;
  if (set == 0) return ERROR_BadBit;
  // Set bits of the table from its first bit through the given one, as BitSet sees them.
  int64_t count = 0;
  if (slot == 0) {
    count = CountBits(bm.current.data(), static_cast<uint32_t>(bm.first_bit[table]),
                      static_cast<uint32_t>(bit) + 1);
  } else {
    // The slot file, read once, tested at the addresses BitSet uses for it.
    if (int32_t rc = ReadBitmapFile(SlotFilePath(b, s.number, slot), bm.scratch)) return rc;
    count = CountBits(bm.scratch.data(), 0, static_cast<uint32_t>(relative) + 1);
  }
  return static_cast<int32_t>(bm.first_hit_included[table] + count - 1);
}

extern "C" LODEX_API int32_t APIBitfromHit(int32_t session, int32_t slot32, int32_t hit) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  Session& s = *ref.session;
  const Base& b = *ref.base;
  BitmapState& bm = s.bitmaps;
  const int16_t slot = Slot(slot32);
  if (hit < 0 || hit >= bm.hit_total) return ERROR_BadBit;

  // A slot other than 0 is moved into the current bitmap for the walk, and both are
  // put back on every way out.
  const std::string saved = JoinPath(b.temp_dir, "tmp_bm.tmp");
  if (slot != 0) {
    WriteBitmapFile(saved, bm.current);
    if (int32_t rc = LoadSlot(s, b, slot)) {
      LoadCurrent(s, saved);
      return rc;
    }
  }
  int32_t result = bm.MoveCursor(hit);
  if (result >= 0) {
    const int32_t first_hit = bm.first_hit_included[bm.cursor.table];
    // Past the first table that holds hits the engine answers the bit less that table's
    // first hit, plus one.
    if (first_hit > 0) result = result - first_hit + 1;
  }
  if (slot != 0) {
    StoreSlot(s, b, slot, bm.current);
    LoadCurrent(s, saved);
  }
  return result;
}

extern "C" LODEX_API int32_t APISetHitbit(int32_t session, int32_t slot, int32_t hit) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  BitmapState& bm = ref.session->bitmaps;
  if (hit < 0 || hit >= bm.hit_total) return ERROR_BadBit;
  const int32_t bit = bm.MoveCursor(hit);
  if (bit < 0) return bit;
  const int32_t table = bm.cursor.table;
  // The engine hands over the hit's bit less its table's first hit: the table-relative
  // record only while that first hit is 0.
  return ChangeBit(session, slot, table, bit - bm.first_hit_included[table], true);
}

extern "C" LODEX_API int32_t APIBitmapentryFromListentry(int32_t session, int32_t entry) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  if (entry < 0 || entry >= ref.session->bitmaps.hit_total) return ERROR_BadBit;
  ListEntry e;
  if (int32_t rc = ReadListEntry(*ref.session, *ref.base, entry, e)) return rc;
  return static_cast<int32_t>(e.record);
}

extern "C" LODEX_API int32_t APIIsRecordInBitmap(int32_t session, int32_t slot32, int32_t bit) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  Session& s = *ref.session;
  BitmapState& bm = s.bitmaps;
  const int16_t slot = Slot(slot32);
  // Only bits inside the bitmap can be tested.
  if (bit < 0 || static_cast<int64_t>(bit) >= int64_t{8} * int64_t(bm.current.size())) {
    return ERROR_BadBit;
  }
  if (slot == 0) return TestBit(bm.current.data(), static_cast<uint32_t>(bit)) ? 1 : 0;
  if (int32_t rc = ReadBitmapFile(SlotFilePath(*ref.base, s.number, slot), bm.scratch)) return rc;
  return TestBit(bm.scratch.data(), static_cast<uint32_t>(bit)) ? 1 : 0;
}

// ---- Counts and tables ---------------------------------------------------------------

extern "C" LODEX_API int32_t APIHitCount(int32_t session) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return ref.session->bitmaps.hit_total;
}

namespace {
// A per-table query: the value, or -105 for a table outside the base.
template <class F>
int32_t TableQuery(int32_t session, int32_t table, F&& value) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  const BitmapState& bm = ref.session->bitmaps;
  if (table < 0 || table >= bm.table_count()) return ERROR_BadTable;
  return value(bm);
}
}  // namespace

extern "C" LODEX_API int32_t APITableHitCount(int32_t session, int32_t table) {
  return TableQuery(session, table, [&](const BitmapState& bm) { return bm.table_hits[table]; });
}

extern "C" LODEX_API int32_t APITableFirstHit(int32_t session, int32_t table) {
  return TableQuery(session, table, [&](const BitmapState& bm) { return bm.first_hit_all[table]; });
}

extern "C" LODEX_API int32_t APITableFirstBit(int32_t session, int32_t table) {
  return TableQuery(session, table, [&](const BitmapState& bm) { return bm.first_bit[table]; });
}

namespace {
int32_t SetInclusion(int32_t session, int32_t table, int32_t flag) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  BitmapState& bm = ref.session->bitmaps;
  if (table < 0 || table >= bm.table_count()) return ERROR_BadTable;
  bm.included[table] = flag;
  Reinclude(*ref.session);
  return 0;
}

int32_t SetAllInclusion(int32_t session, int32_t flag) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  BitmapState& bm = ref.session->bitmaps;
  std::fill(bm.included.begin(), bm.included.end(), flag);
  Reinclude(*ref.session);
  return 0;
}
}  // namespace

extern "C" LODEX_API int32_t APIInclTable(int32_t session, int32_t table) {
  return Guarded(FAULT_InclTable, [&] { return SetInclusion(session, table, 1); });
}

extern "C" LODEX_API int32_t APIExclTable(int32_t session, int32_t table) {
  return Guarded(FAULT_ExclTable, [&] { return SetInclusion(session, table, 0); });
}

extern "C" LODEX_API int32_t APIInclAllTables(int32_t session) {
  return Guarded(FAULT_InclAllTables, [&] { return SetAllInclusion(session, 1); });
}

extern "C" LODEX_API int32_t APIExclAllTables(int32_t session) {
  return Guarded(FAULT_ExclAllTables, [&] { return SetAllInclusion(session, 0); });
}
