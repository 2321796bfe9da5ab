// Sorting: a session's sort conditions, its order mode and its sorted list in the base's
// list file, built by filtering a presorted sort.dat run through the session's hits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lodex {

struct Base;
struct Session;

// Order modes of a session: hit k is the k-th set bit of the included tables, or entry
// k of the sorted list.
inline constexpr int16_t kSortedListOrder = 1;
inline constexpr int16_t kBitmapOrder = 2;

// sort.dat entries (and sorted-list entries) moved per piece.
inline constexpr int32_t kSortPieceEntries = 16384;

struct SortState {
  int16_t field_index = 0;  // index of the sort field (0 sorts by the first one)
  int16_t direction = 0;    // 0 ascending, anything else descending
  int16_t order_mode = kBitmapOrder;
  int32_t list_offset = 0;  // where the session's sorted list starts in the list file

  void Init(const Base& base);
};

// One entry of a sorted list or sort.dat run.
struct ListEntry {
  uint32_t record = 0;   // base-wide bit number (hollow mark cleared in lists)
  uint32_t pointer = 0;  // record pointer in data.dat
};

// Reads entry k of the session's sorted list under the base's fetch lock. Answers 0,
// -120 when the lock could not be had, or -202 when the list holds no such entry.
int32_t ReadListEntry(const Session& session, Base& base, int64_t k, ListEntry& entry);

// Sorts the session's current hits by its stored conditions into the list file.
void SortHits(Session& session, Base& base);

// The walk over count entries of a sort.dat run at in, from the first or (backwards)
// from the last: the plain entries whose record r < nbits has its bit set in hits are
// copied to out in the order met, and the answer is their number; the hollow ones among
// the hits are appended to hollow, mark cleared. Entries of records at or past nbits
// are passed over. out has room for count entries.
size_t FilterSortEntries(const uint8_t* in, size_t count, bool backwards, const uint8_t* hits,
                         uint32_t nbits, uint8_t* out, std::vector<uint8_t>& hollow);

// "~list<base hex>HOLLOW.tmp" in the temporary directory.
std::string HollowFilePath(const Base& base);

}  // namespace lodex
