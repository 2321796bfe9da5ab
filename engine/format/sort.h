// sort.dat: every record presorted by every sort field. For each sort field one run of
// exactly N entries (N = total record count) starting at the field's sort_offset
// (meta.dat). Entry, 8 bytes, little-endian:
//
//   offset  size  content
//        0     4  bits 0-30: record number (base-wide bit number)
//                 bit 31: hollow mark, set when the record's value is empty
//        4     4  record pointer (byte offset in data.dat)
//
// A run lists the records in ascending order of the field's value, equal values in bit
// order. Hollow records may stand anywhere; the builder puts them at the end of the run
// in bit order. The session's sorted list (in the list file) uses the same entry layout
// with the hollow mark cleared.
//
// Reader: engine/sort.cpp. Writer: builder/sort_writer.cpp.
#pragma once

#include <cstdint>

namespace lodex::format {

inline constexpr int kSortEntryBytes = 8;
inline constexpr uint32_t kHollowMark = 0x80000000u;
inline constexpr uint32_t kSortRecordMask = 0x7FFFFFFFu;

}  // namespace lodex::format
