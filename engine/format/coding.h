// Fixed-width and variable-length integer coding shared by the readers and writers of
// the base files. Every multi-byte integer in a base is little-endian, except the
// 3-byte record numbers of post.dat, which are big-endian (see post.h).
//
// Every reader in engine/ and every writer in builder/ codes its integers here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lodex::format {

inline uint16_t DecodeFixed16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t DecodeFixed32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void EncodeFixed16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void EncodeFixed32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

inline void PutFixed16(std::string& out, uint16_t v) {
  uint8_t b[2];
  EncodeFixed16(b, v);
  out.append(reinterpret_cast<const char*>(b), 2);
}

inline void PutFixed32(std::string& out, uint32_t v) {
  uint8_t b[4];
  EncodeFixed32(b, v);
  out.append(reinterpret_cast<const char*>(b), 4);
}

// Unsigned LEB128: 7 bits per byte, least significant group first, the high bit set on
// every byte but the last. The word index allows at most 4 bytes (values below 2^28).
inline constexpr int kMaxVarint32Bytes = 4;
inline constexpr uint32_t kMaxVarint32Value = (1u << 28) - 1;

// Appends v (at most kMaxVarint32Value) and answers the number of bytes written.
inline int PutVarint32(std::string& out, uint32_t v) {
  int n = 0;
  while (v >= 0x80) {
    out.push_back(static_cast<char>((v & 0x7F) | 0x80));
    v >>= 7;
    ++n;
  }
  out.push_back(static_cast<char>(v));
  return n + 1;
}

// Reads a count from at most `avail` (and never more than 4) bytes at p. Answers the
// number of bytes taken, or 0 when the bytes end before the last group.
inline int GetVarint32(const uint8_t* p, size_t avail, uint32_t* value) {
  uint32_t v = 0;
  const size_t limit = avail < kMaxVarint32Bytes ? avail : kMaxVarint32Bytes;
  for (size_t i = 0; i < limit; ++i) {
    v |= static_cast<uint32_t>(p[i] & 0x7F) << (7 * i);
    if ((p[i] & 0x80) == 0) {
      *value = v;
      return static_cast<int>(i + 1);
    }
  }
  return 0;
}

}  // namespace lodex::format
