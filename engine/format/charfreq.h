// charfreq.dat: the byte weights of the record code. Exactly 256 int32 little-endian
// (1024 bytes), entry b the weight of byte value b; anything after byte 1024 is
// ignored. With wordfreq.dat it fixes the Huffman code (huffman_model.h): each phrase
// lowers the weight of its bytes by its count, and byte weights of 0 or less become 1.
// A writer therefore stores here the byte counts *before* phrases were taken out.
//
// Reader: engine/codec.cpp (OpenRecordCodec). Writer: builder/record_writer.cpp, from the
// weights of builder/record_coder.cpp.
#pragma once

#include <cstdint>

namespace lodex::format {

inline constexpr int kCharfreqEntries = 256;
inline constexpr int kCharfreqEntryBytes = 4;
inline constexpr int kCharfreqBytes = kCharfreqEntryBytes * kCharfreqEntries;

inline constexpr int CharfreqOffset(int byte_value) { return kCharfreqEntryBytes * byte_value; }

}  // namespace lodex::format
