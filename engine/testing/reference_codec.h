// Test support: the record decoders written the plain way, one bit and one byte at a
// time, as the reference the table-driven decoders in codec.cpp are compared against.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace lodex::testing {

// What a decode answers: its return value, the capacity it leaves and the bytes it
// wrote from the destination's start. (A zero run that does not fit leaves the whole
// room as the capacity but writes nothing of it.)
struct ReferenceResult {
  bool ok = true;
  int32_t capacity = 0;
  std::vector<uint8_t> out;
};

// Huffman decoding bit by bit against the code table: lengths[s] and codes[s] are the
// code of symbol s, outputs[s] its text. Reads input_bits bits (source bytes past
// source_bytes read as zero) while room remains; a symbol whose text does not fit ends
// the decode. Bits that start no code fail with the room left as the capacity.
inline ReferenceResult ReferenceHuffmanDecode(const std::vector<int16_t>& lengths,
                                              const std::vector<uint64_t>& codes,
                                              const std::vector<std::string>& outputs,
                                              int32_t input_bits, const uint8_t* source,
                                              size_t source_bytes, int32_t capacity) {
  std::map<std::pair<int, uint64_t>, size_t> by_code;
  int max_length = 0;
  for (size_t s = 0; s < lengths.size(); ++s) {
    if (lengths[s] > 0) by_code[{lengths[s], codes[s]}] = s;
    max_length = std::max<int>(max_length, lengths[s]);
  }
  auto bit = [&](int64_t q) -> uint64_t {
    const uint64_t k = static_cast<uint64_t>(q) / 8;
    return k < source_bytes ? (source[k] >> (7 - q % 8)) & 1 : 0;
  };
  ReferenceResult r;
  int64_t p = 0, remaining = input_bits, room = capacity;
  while (remaining > 0 && room > 0) {
    uint64_t v = 0;
    int len = 0;
    size_t s = 0;
    bool found = false;
    while (!found) {
      if (len == max_length) {
        r.ok = false;
        r.capacity = static_cast<int32_t>(room);
        return r;
      }
      v = (v << 1) | bit(p + len);
      ++len;
      const auto it = by_code.find({len, v});
      if (it != by_code.end()) {
        s = it->second;
        found = true;
      }
    }
    p += len;
    remaining -= len;
    const std::string& text = outputs[s];
    if (room >= 8 * static_cast<int64_t>(text.size())) {
      r.out.insert(r.out.end(), text.begin(), text.end());
      room -= 8 * static_cast<int64_t>(text.size());
    } else {
      room = 0;
    }
  }
  r.capacity = static_cast<int32_t>(8 * r.out.size());
  return r;
}

// Zero-run decoding byte by byte (see format/data.h): tokens while input bytes remain
// and room remains; an escape's following bytes may lie past the input bits, and bytes
// past source_bytes read as zero.
inline ReferenceResult ReferenceRleDecode(int32_t input_bits, const uint8_t* source,
                                          size_t source_bytes, int32_t capacity) {
  auto byte = [&](int64_t k) -> uint32_t {
    return static_cast<uint64_t>(k) < source_bytes ? source[k] : 0u;
  };
  ReferenceResult r;
  const int64_t m = input_bits / 8;
  const int64_t k = capacity / 8;
  int64_t i = 0;
  if (m >= 1) {
    while (static_cast<int64_t>(r.out.size()) < k) {
      const uint32_t b = byte(i);
      int64_t run = 0;
      if (b != 0xFF) {
        r.out.push_back(static_cast<uint8_t>(b));
        i += 1;
      } else if (byte(i + 1) == 0x00) {
        r.out.push_back(0xFF);
        i += 2;
      } else if (byte(i + 1) != 0xFF) {
        run = byte(i + 1) + 1;
        i += 2;
      } else {
        run = byte(i + 2) + 256 * byte(i + 3) + 1;
        i += 4;
      }
      if (run > 0) {
        if (static_cast<int64_t>(r.out.size()) + run <= k) {
          r.out.insert(r.out.end(), static_cast<size_t>(run), 0);
        } else {
          // The run does not fit: the room counts as filled, its bytes unwritten.
          r.capacity = static_cast<int32_t>(8 * k);
          return r;
        }
      }
      if (i >= m) break;
    }
  }
  r.capacity = static_cast<int32_t>(8 * r.out.size());
  return r;
}

}  // namespace lodex::testing
