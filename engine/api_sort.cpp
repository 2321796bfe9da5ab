// The sort family: sort conditions, sorting a session's hits into the list file,
// switching between bitmap order and sorted-list order, and unsorting marked positions.
#include <cstdio>
#include <string>

#include "base.h"
#include "bitmaps.h"
#include "lodex32_errors.h"
#include "lodex32.h"
#include "platform.h"
#include "registry.h"
#include "session.h"
#include "sort.h"

using namespace lodex;

namespace {

// APIUnSortBitmap's own fault codes, by phase.
constexpr int32_t kUnsortPrepareFault = -901;
constexpr int32_t kUnsortClearFault = -903;
constexpr int32_t kUnsortFinishFault = -905;

}  // namespace

extern "C" LODEX_API int32_t APISortConditions(int32_t session, int32_t sort_field_number,
                                               int32_t direction) {
  try {
    SessionRef ref = FindSession(session);
    if (ref.error) return ref.error;
    const int32_t index = ref.base->schema.sort.by_number.Find(sort_field_number);
    if (index < 0) return ERROR_BadField;
    ref.session->sort.field_index = static_cast<int16_t>(index);
    ref.session->sort.direction = static_cast<int16_t>(direction);
    return 0;
  } catch (...) {
    return FAULT_SortConditions;
  }
}

extern "C" LODEX_API int32_t APISort(int32_t session) {
  try {
    SessionRef ref = FindSession(session);
    if (ref.error) return ref.error;
    Session& s = *ref.session;
    Base& b = *ref.base;
    // A base without sort fields (or a stale index) has no run to sort by.
    if (s.sort.field_index < 0 || s.sort.field_index >= b.schema.sort.count()) {
      return ERROR_BadField;
    }
    // The list file and sort.dat are shared by all sessions of the base, and fetches
    // read the list under the fetch lock: sorts and fetches take turns.
    BoundedLock lock(b.fetch_lock);
    if (!lock.owns()) return ERROR_BadOperationScene;
    SortHits(s, b);
    return 0;
  } catch (...) {
    return FAULT_Sort;
  }
}

extern "C" LODEX_API int32_t APICancelSort(int32_t session) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  ref.session->sort.order_mode = kBitmapOrder;
  return 0;
}

extern "C" LODEX_API_DECORATED int32_t APIUncancelSort(int32_t session) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  ref.session->sort.order_mode = kSortedListOrder;
  return 0;
}

extern "C" LODEX_API int32_t APIUnSortBitmap(int32_t session, int32_t slot32) {
  int phase = 0;
  try {
    SessionRef ref = FindSession(session);
    if (ref.error) return ref.error;
    Session& s = *ref.session;
    Base& b = *ref.base;
    BitmapState& bm = s.bitmaps;
    const int16_t slot = static_cast<int16_t>(slot32);
    if (s.sort.order_mode != kSortedListOrder) return ERROR_BadOperationScene;
    if (slot == 0) return ERROR_BadBitmap;

    // Keep the current bitmap (the hit positions) aside and load the marks.
    phase = 1;
    const std::string saved = JoinPath(b.temp_dir, "tmp_bm01.tmp");
    WriteBitmapFile(saved, bm.current);
    bm.scratch = bm.current;
    if (int32_t rc = ReadBitmapFile(SlotFilePath(b, s.number, slot), bm.current)) {
      // No marks to convert: leave the slot and the current bitmap as they were.
      bm.current = bm.scratch;
      return rc;
    }
    Recount(s);
    Bitmap result;

    phase = 2;
    result.assign(bm.current.size(), 0);

    // Hit position k is the k-th set bit of the saved bitmap; a marked one becomes the
    // record that the sorted list shows at k.
    phase = 3;
    {
      BoundedLock lock(b.fetch_lock);
      const uint32_t nbits = static_cast<uint32_t>(bm.scratch.size()) * 8;
      int64_t k = 0;
      int64_t last_record = 0;
      for (uint32_t i = 0; i < nbits; ++i) {
        if (!TestBit(bm.scratch.data(), i)) continue;
        if (TestBit(bm.current.data(), i)) {
          ListEntry e;
          const bool ok = lock.owns() && ReadListEntry(s, b, k, e) == 0;
          if (ok) last_record = e.record;
          if (!ok || e.record >= nbits) {
            char text[96];
            std::snprintf(text, sizeof text, "ERROR!: session : %i - hit : %i - newBit : %i",
                          s.number, static_cast<int>(k), static_cast<int>(last_record));
            ShowFaultMessage("UnSortBitmap", text);
            break;
          }
          SetBitAt(result.data(), e.record);
        }
        ++k;
      }
    }

    phase = 4;
    bm.current.swap(result);
    WriteBitmapFile(SlotFilePath(b, s.number, slot), bm.current);
    if (ReadBitmapFile(saved, bm.current) != 0) bm.current = bm.scratch;
    Recount(s);
    return 0;
  } catch (...) {
    switch (phase) {
      case 1: return kUnsortPrepareFault;
      case 2: return kUnsortClearFault;
      case 4: return kUnsortFinishFault;
      default: return FAULT_UnSortBitmap;
    }
  }
}
