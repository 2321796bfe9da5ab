// The Huffman code of the record compression, built from symbol weights by a fixed,
// deterministic construction. The code is not stored in a base: the engine rebuilds it
// at open from charfreq.dat and wordfreq.dat, and the builder builds it from the same
// weights to encode the records, so both must run exactly this construction.
//
// Symbols 0..255 are byte values; symbol 256 + k is the k-th phrase of wordfreq.dat.
// A code of length L is the L low-order bits of its 64-bit value, most significant
// first. The longest codes get the smallest values (canonical, longest first).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/charfreq.h"

namespace lodex {

// One symbol per byte value, each weighted by its charfreq.dat entry.
inline constexpr int32_t kByteSymbols = format::kCharfreqEntries;
// Codes are held in 64 bits.
inline constexpr int32_t kMaxCodeLength = 64;

// One wordfreq.dat entry: how often the phrase was counted and its bytes (no 0 byte).
struct Phrase {
  int32_t count = 0;
  std::string text;
};

// The symbol weights: weight[b] = charfreq[b]; phrase k gets count * length and lowers
// the weight of each of its bytes (with repetition) by count; finally every byte weight
// of 0 or less becomes 1. All arithmetic wraps as signed 32-bit.
std::vector<int32_t> ModelWeights(const int32_t charfreq[kByteSymbols],
                                  const std::vector<Phrase>& phrases);

// Code length of every symbol: the depth of its leaf in the tree built by repeatedly
// merging the two lightest nodes, ties broken so that among equal weights the node
// created earlier is merged first. A single symbol gets length 0.
std::vector<int16_t> CodeLengths(const std::vector<int32_t>& weights);

// Status codes of code construction (the decoder's status codes; 4 is unused).
enum HuffmanStatus : int32_t {
  kHuffmanOk = 0,
  kHuffmanLengthLimit = 1,   // maximum code length above 64
  kHuffmanOddCount = 2,      // odd count of codes at some length
  kHuffmanIncomplete = 3,    // code does not fill the code space, or maximum length 0
  kHuffmanTableClash = 5,    // a code's path runs into a symbol entry (lookup tables)
  kHuffmanBadPrefix = 6,     // decode: 4 bits lead to an empty entry
};

// Canonical codes from code lengths, longest first: the codes of the longest length are
// numbered 0, 1, ... in symbol order, and each shorter length continues from half the
// count. Returns kHuffmanOk, kHuffmanLengthLimit, kHuffmanOddCount or kHuffmanIncomplete;
// codes is sized to the symbol count, filled as far as the construction got.
HuffmanStatus CanonicalCodes(const std::vector<int16_t>& lengths,
                             std::vector<uint64_t>& codes);

// The whole code of a model.
struct HuffmanCode {
  std::vector<int16_t> lengths;
  std::vector<uint64_t> codes;
  int32_t max_length = 0;
  HuffmanStatus status = kHuffmanOk;
};

// Lengths and canonical codes from weights; status tells whether the code is usable.
HuffmanCode BuildHuffmanCode(const std::vector<int32_t>& weights);

// The status text a failed construction leaves in the decoder (status 1 names the length).
std::string HuffmanStatusText(HuffmanStatus status, int32_t max_length);

}  // namespace lodex
