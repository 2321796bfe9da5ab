// wordfreq.dat: the phrases of the record code, symbol 256 + k for entry k. Entries
// follow each other with no header and no count:
//
//   int32 count     little-endian; the phrase's weight is count * length
//   text            0..255 bytes, none of them 0
//   \0              ends the text
//
// The file ends where fewer than 4 bytes remain for a count. At most kMaxWordfreqEntries
// entries; readers stop safely at a text longer than 255 bytes or cut off before its 0.
//
// Reader: engine/codec.cpp (OpenRecordCodec). Writer: builder/record_writer.cpp, phrases
// chosen by builder/record_coder.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lodex::format {

inline constexpr int kMaxWordfreqEntries = 5000;
inline constexpr int kMaxWordfreqText = 255;
inline constexpr int kWordfreqCountBytes = 4;
// The longest well-formed file: every entry with the longest text.
inline constexpr size_t kMaxWordfreqBytes =
    size_t{kMaxWordfreqEntries} * (kWordfreqCountBytes + kMaxWordfreqText + 1);

}  // namespace lodex::format
