// meta.dat: the schema of a base. Tables, data fields, search fields and sort fields,
// then a version word. Integers little-endian; texts 8-bit Windows-1252 ended by one
// NUL, at most kMaxNameLength bytes before it. No padding, no magic, no checksum.
//
//   header      int32 data_field_count
//               int32 search_field_count
//               int32 sort_field_count
//               int32 table_count
//               int32 record_read_bytes     bytes read from data.dat per record
//               int32 record_decode_bytes   decoder bound per record (see data.h)
//   tables      table_count x        { name\0, uint32 record_count }
//   data fields data_field_count x   { uint16 number, name\0, uint32 flags,
//                                      uint32 length, uint32 table_map[8] }
//   search      search_field_count x { uint16 number, name\0, uint32 flags,
//     fields                           uint32 index1_offset, uint32 length_word,
//                                      uint32 table_map[8] }
//   sort fields sort_field_count x   { uint16 number, name\0, uint32 flags,
//                                      uint32 sort_offset, uint32 length,
//                                      uint32 table_map[8] }
//   version     int32, exactly kMetaVersion
//
// Every count and size is bounded by what the files hold: at most kMaxTables tables,
// at most kMaxRecords records (post.h) and one mapping.dat entry per record, record
// read and decode bytes as data.h says, field lengths up to kMaxFieldLength, search
// field offsets inside index1.dat and sort runs of N entries inside sort.dat.
//
// Records are numbered base-wide, table after table in file order. A search field's
// index1_offset is where its run of index1.dat entries begins (it ends where the next
// field's run begins, the last at the end of the file); a sort field's sort_offset is
// where its run of sort.dat entries begins. A search field's length word 123456 + m
// (m = 0, 1, 2) marks a split field of mode m instead of a length.
//
// Table map: 256 bits, one per table; table t is bit (t mod 32) of word (t / 32),
// counted from the most significant bit (table 0 is 0x80000000 of word 0).
//
// Reader: engine/schema.cpp. Writer: builder/meta_writer.cpp.
#pragma once

#include <cstdint>

namespace lodex::format {

inline constexpr int kMetaHeaderInts = 6;
inline constexpr int kMetaHeaderBytes = 4 * kMetaHeaderInts;
inline constexpr int32_t kMetaVersion = 2;
// Version words 3..kMetaNewestVersion are later formats (-403); anything else is bad.
inline constexpr int32_t kMetaNewestVersion = 10;
inline constexpr int kMaxNameLength = 1023;

inline constexpr int kTableMapWords = 8;
inline constexpr int kMaxTables = 32 * kTableMapWords;

// Bytes of one entry after its name.
inline constexpr int kTableEntryTail = 4;
inline constexpr int kFieldEntryTail = 4 + 4 + 4 + 4 * kTableMapWords;

// The fewest bytes an entry can take (an empty name is its NUL alone): a count that
// meta.dat cannot hold at this size is impossible. Data fields have no offset word.
inline constexpr int kMinTableEntryBytes = 1 + kTableEntryTail;
inline constexpr int kMinDataFieldEntryBytes = 2 + 1 + kFieldEntryTail - 4;
inline constexpr int kMinKeyFieldEntryBytes = 2 + 1 + kFieldEntryTail;
inline constexpr int kMetaVersionBytes = 4;

// Lengths and length words are answered to callers as non-negative int32.
inline constexpr uint32_t kMaxFieldLength = 0x7FFFFFFFu;

inline constexpr uint32_t TableMapBit(int table) { return 0x80000000u >> (table % 32); }
inline constexpr int TableMapWord(int table) { return table / 32; }

// Split fields: length word kSplitLengthBase + mode, mode 0..kMaxSplitMode.
inline constexpr uint32_t kSplitLengthBase = 123456;
inline constexpr int kMaxSplitMode = 2;

// A search field whose number is another's plus this holds its words written backwards.
inline constexpr uint32_t kReverseFieldOffset = 32768;

// An 8-bit digit count stored at bit `shift` of a flags word.
inline constexpr uint32_t DigitBits(uint32_t flags, int shift) { return (flags >> shift) & 0xFF; }

// Data field flags.
namespace data_flag {
inline constexpr uint32_t kSearchable = 1u << 0;
inline constexpr uint32_t kSortable = 1u << 1;
inline constexpr uint32_t kNumeric = 1u << 2;
inline constexpr uint32_t kNotInBase = 1u << 3;
inline constexpr uint32_t kMultiline = 1u << 4;
inline constexpr int kIntDigitsShift = 5;
inline constexpr int kFracDigitsShift = 13;
inline constexpr uint32_t kPublished = 1u << 21;
inline constexpr uint32_t kExportable = 1u << 22;
}  // namespace data_flag

// Search field flags.
namespace search_flag {
inline constexpr uint32_t kByWord = 1u << 0;
inline constexpr uint32_t kByLine = 1u << 1;
inline constexpr uint32_t kNumeric = 1u << 2;
inline constexpr int kIntDigitsShift = 3;
inline constexpr int kFracDigitsShift = 11;
inline constexpr uint32_t kPublished = 1u << 19;
inline constexpr uint32_t kExportable = 1u << 20;
}  // namespace search_flag

// Sort field flags.
namespace sort_flag {
inline constexpr uint32_t kNumeric = 1u << 0;
inline constexpr int kIntDigitsShift = 1;
inline constexpr int kFracDigitsShift = 9;
inline constexpr uint32_t kPublished = 1u << 17;
inline constexpr uint32_t kExportable = 1u << 18;
}  // namespace sort_flag

}  // namespace lodex::format
