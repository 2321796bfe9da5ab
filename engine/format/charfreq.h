// charfreq.dat: the byte weights of the record code. Exactly 256 int32 little-endian
// (1024 bytes), entry b the weight of byte value b; anything after byte 1024 is
// ignored. With wordfreq.dat it fixes the Huffman code (huffman_model.h): each phrase
// lowers the weight of its bytes by its count, and byte weights of 0 or less become 1.
// A writer therefore stores here the byte counts *before* phrases were taken out.
#pragma once

#include <cstdint>

namespace lodex::format {

inline constexpr int kCharfreqEntries = 256;
inline constexpr int kCharfreqBytes = 4 * kCharfreqEntries;

}  // namespace lodex::format
