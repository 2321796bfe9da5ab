// index2.dat: the word blocks of every search field. Block layout, at the offset named
// by its index1.dat entry (integers little-endian):
//
//   offset  size  content
//        0     4  block length in bytes (written for inspection; readers ignore it)
//        4     4  word count n of the block (at least 1)
//        8     4  post.dat offset of the postings of the block's first word
//       12   256  prefix table: 32 slots of 8 bytes
//      268     .  n word entries, one after the other
//
// Word entry:
//
//   size   content
//      1   prefix code: kNoPrefix, or (slot << 3) | (length - 1): the word begins
//          with the first `length` (1..8) bytes of prefix slot `slot` (0..31)
//      1   suffix length L (0..255)
//      L   suffix bytes, appended to the prefix
//   1..4   posting count: unsigned LEB128 (coding.h), below 2^28
//
// Readers fetch the 4 bytes after the suffix for the count, so a writer pads the file
// with kIndex2TailPadding bytes. Code 255 would name all 8 bytes of slot 31; it means
// "no prefix", so slot 31 can lend at most 7 bytes.
//
// The words of one search field, over all its blocks in order, are in strictly
// ascending order of their key forms (textkeys.h), compared as unsigned bytes, and are
// stored in upper case. Words with equal key forms are one word.
//
// Reader: engine/wordblock.cpp. Writer: builder/word_index_writer.cpp.
#pragma once

#include <cstdint>

namespace lodex::format {

inline constexpr int kBlockLengthOffset = 0;
inline constexpr int kBlockWordCountOffset = 4;
inline constexpr int kBlockPostOffset = 8;
inline constexpr int kPrefixTableOffset = 12;
inline constexpr int kPrefixSlots = 32;
inline constexpr int kPrefixSlotBytes = 8;
inline constexpr int kBlockHeaderBytes = kPrefixTableOffset + kPrefixSlots * kPrefixSlotBytes;

inline constexpr uint8_t kNoPrefix = 255;
inline constexpr int kMaxSuffixLength = 255;
// A stored word is a prefix of up to 8 bytes and a suffix of up to 255.
inline constexpr int kMaxStoredWord = kPrefixSlotBytes + kMaxSuffixLength;
// Words the builder writes: they must fit a 256-byte listing entry with its NUL.
inline constexpr int kMaxWordLength = 255;

inline constexpr int kIndex2TailPadding = 4;

inline constexpr int PrefixSlot(uint8_t code) { return code >> 3; }
inline constexpr int PrefixLength(uint8_t code) { return (code & 7) + 1; }
// slot 0..31, length 1..8; (31, 8) is not representable (it would be kNoPrefix).
inline constexpr uint8_t MakePrefixCode(int slot, int length) {
  return static_cast<uint8_t>((slot << 3) | (length - 1));
}

}  // namespace lodex::format
