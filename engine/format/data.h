// data.dat: the stored form of every record, each starting at its record pointer (the
// byte offset that mapping.dat and sort.dat hold). A stored form has no length and no
// terminator; a reader always takes record_read_bytes (R, meta.dat) from the pointer.
//
// Decoded record: the texts of all data fields in data-field order, each ended by one
// NUL, laid end to end:
//
//   text of field 0 \0 text of field 1 \0 ... text of field n-1 \0
//
// Two coding layers turn a decoded record into its stored form:
//   1. zero-run coding (table below), then
//   2. Huffman coding over 256 byte symbols plus the phrases of wordfreq.dat; the code
//      is rebuilt from charfreq.dat and wordfreq.dat (see charfreq.h, wordfreq.h). The
//      bits run from bit 7 of the first byte downwards; there is no end symbol.
//
// Zero-run coded bytes:
//   any byte b != 0xFF        b
//   0xFF 0x00                 one 0xFF byte
//   0xFF n (n = 0x01..0xFE)   n + 1 zero bytes (runs of 2..255)
//   0xFF 0xFF lo hi           lo + 256 * hi + 1 zero bytes (runs of 1..65536)
//
// Reading one record at pointer p (D = record_decode_bytes):
//   read R bytes at p into buffer 1 (kRecordBufferSlack beyond 2R keeps the decoders'
//   look-ahead inside the buffer); Huffman-decode D * 8 input bits into buffer 2 with
//   room for R bytes (a phrase that does not fit ends the decode); zero-run decode the
//   produced bytes back into buffer 1 with room for D bytes; split buffer 1 into field
//   texts, scanning no further than R bytes.
//
// The fields are the texts up to the (field count)-th NUL within R bytes, so a reader may
// stop decoding once that NUL is final: the engine stops the Huffman stage when its
// output holds that many zero bytes and no 0xFF byte (the zero-run stage would then copy
// it unchanged).
//
// So a record decodes whole when its Huffman bits fit D * 8, its zero-run coded form
// fits R bytes, its stored bytes fit R bytes, and its decoded form fits both D and R
// bytes. data.dat is padded so that a read of R bytes at any record pointer is never
// short, and holds at least R bytes even without records; so R is at most the file's
// size less any record's pointer. The decoders work inside the record buffers, so
// D is at most their size, RecordBufferBytes(R); R and D are never negative. Record
// pointers stay below 2^31 so that they pass as 32-bit signed integers.
//
// Reader: engine/store.cpp reads a record's bytes, engine/codec.cpp decodes them. Writer:
// builder/record_writer.cpp, coded by builder/record_coder.cpp.
#pragma once

#include <cstdint>

namespace lodex::format {

inline constexpr uint8_t kRunEscape = 0xFF;
inline constexpr uint8_t kRunLiteralFF = 0x00;     // 0xFF 0x00: one 0xFF byte
inline constexpr uint8_t kRunLongForm = 0xFF;      // 0xFF 0xFF lo hi
inline constexpr int kMaxShortRun = 255;           // 0xFF n: n + 1 zeros, n <= 0xFE
inline constexpr int kMaxLongRun = 65536;

// Each session record buffer holds 2 * R + kRecordBufferSlack bytes.
inline constexpr int kRecordBufferSlack = 200;
inline constexpr int64_t RecordBufferBytes(int32_t record_read_bytes) {
  return 2 * static_cast<int64_t>(record_read_bytes) + kRecordBufferSlack;
}

inline constexpr uint32_t kMaxRecordPointer = 0x7FFFFFFFu;

}  // namespace lodex::format
