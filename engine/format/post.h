// post.dat: the postings of every word. For each search field in field order, for each
// of its words in index order, the word's postings, with no separators. A word with
// posting count c, in a base of N records with bitmap size B = (N + 7) / 8 bytes:
//
//   c <  N / 24 (the posting threshold, integer division):
//        c record numbers (base-wide bit numbers), 3 bytes each, big-endian, ascending;
//        the first byte of each is below 0x80, so record numbers are below 2^23
//   c >= N / 24:
//        one marker byte (0x80 or above), then the word's hit bitmap, B bytes, most
//        significant bit of each byte first
//
// A block's first word starts at the post.dat offset in its index2.dat header; every
// following word starts where the previous one ends (3c bytes, or B + 1 bytes). So the
// postings of one field, and of any run of consecutive words, are one stretch of the
// file. Readers skip record numbers at or above N.
//
// Reader: engine/postings.cpp. Writer: builder/word_index_writer.cpp.
#pragma once

#include <cstdint>

namespace lodex::format {

inline constexpr int kRecordNumberBytes = 3;
inline constexpr uint32_t kMaxRecords = 1u << 23;
inline constexpr uint8_t kBitmapMarker = 0x80;
inline constexpr uint32_t kPostingThresholdDivisor = 24;

inline constexpr uint32_t PostingThreshold(uint32_t total_records) {
  return total_records / kPostingThresholdDivisor;
}
inline constexpr uint32_t BitmapBytes(uint32_t total_records) {
  return static_cast<uint32_t>((uint64_t{total_records} + 7) / 8);
}
inline constexpr bool UsesBitmapForm(uint32_t count, uint32_t total_records) {
  return count >= PostingThreshold(total_records);
}
// Bytes the postings of a word with `count` records take.
inline constexpr uint64_t PostingBytes(uint32_t count, uint32_t total_records) {
  return UsesBitmapForm(count, total_records)
             ? 1 + static_cast<uint64_t>(BitmapBytes(total_records))
             : static_cast<uint64_t>(kRecordNumberBytes) * count;
}

inline uint32_t DecodeRecordNumber(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
}
inline void EncodeRecordNumber(uint8_t* p, uint32_t record) {
  p[0] = static_cast<uint8_t>(record >> 16);
  p[1] = static_cast<uint8_t>(record >> 8);
  p[2] = static_cast<uint8_t>(record);
}

}  // namespace lodex::format
