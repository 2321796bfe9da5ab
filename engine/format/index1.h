// index1.dat: the block directory of the word index, loaded whole into memory.
// A sequence of entries, one per word block of index2.dat:
//
//   word\0          the first word of the block, stored form (upper case)
//   uint32          byte offset of the block in index2.dat (little-endian)
//
// The entries of one search field form one contiguous run, in block order, starting
// at the field's index1_offset (meta.dat); the run ends where the next search field's
// run begins, the last at the end of the file. Entries must end exactly at the end of
// the file. Every search field has at least one block.
//
// Reader: engine/wordindex.cpp. Writer: builder/word_index_writer.cpp.
#pragma once

#include <cstdint>

namespace lodex::format {

// Bytes after an entry's NUL.
inline constexpr int kIndex1EntryTail = 4;

}  // namespace lodex::format
