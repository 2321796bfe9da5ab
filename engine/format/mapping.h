// mapping.dat: the record pointer of every record, indexed by bit number (the
// base-wide record number, table after table). One uint32 little-endian per record:
//
//   offset 4 * b: uint32 record pointer of record b (byte offset in data.dat)
//
// The file holds exactly total-record-count entries.
//
// Reader: engine/store.cpp. Writer: builder/record_writer.cpp.
#pragma once

#include <cstdint>

namespace lodex::format {

inline constexpr int kMappingEntryBytes = 4;

inline constexpr uint64_t MappingOffset(uint32_t bit) {
  return static_cast<uint64_t>(bit) * kMappingEntryBytes;
}

}  // namespace lodex::format
