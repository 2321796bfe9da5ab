#include "huffman_model.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <queue>
#include <utility>

namespace lodex {

namespace {

// Signed 32-bit arithmetic that wraps instead of overflowing.
int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

}  // namespace

std::vector<int32_t> ModelWeights(const int32_t charfreq[kByteSymbols],
                                  const std::vector<Phrase>& phrases) {
  std::vector<int32_t> weights(kByteSymbols + phrases.size());
  for (int b = 0; b < kByteSymbols; ++b) weights[b] = charfreq[b];
  for (size_t k = 0; k < phrases.size(); ++k) {
    const Phrase& p = phrases[k];
    weights[kByteSymbols + k] = WrapMul(p.count, static_cast<int32_t>(p.text.size()));
    for (unsigned char x : p.text) weights[x] = WrapSub(weights[x], p.count);
  }
  for (int b = 0; b < kByteSymbols; ++b) {
    if (weights[b] <= 0) weights[b] = 1;
  }
  return weights;
}

std::vector<int16_t> CodeLengths(const std::vector<int32_t>& weights) {
  const size_t n = weights.size();
  std::vector<int16_t> lengths(n, 0);
  if (n < 2) return lengths;

  // The merge order is that of a list kept in non-increasing weight where a new node
  // goes before every node of equal weight: the light end is always the node with the
  // smallest (weight, creation number). Creation numbers: leaves 0..n-1 in symbol order,
  // then parents as they are made.
  std::vector<uint32_t> parent(2 * n - 1, 0);
  uint32_t next = static_cast<uint32_t>(n);
  int64_t total = 0;
  bool plain = true;  // no negative weight and no sum that wraps
  for (int32_t w : weights) {
    total += w;
    plain = plain && w >= 0;
  }
  plain = plain && total <= INT32_MAX;
  if (plain) {
    // Parents are then made in non-decreasing weight, so the leaves sorted once and the
    // parents in the order they are made are two queues sorted by (weight, creation
    // number), and the lightest node is at the front of one of them.
    std::vector<uint64_t> leaves(n);
    for (size_t s = 0; s < n; ++s) leaves[s] = static_cast<uint64_t>(weights[s]) << 32 | s;
    std::sort(leaves.begin(), leaves.end());
    std::vector<int32_t> parent_weight(n - 1);
    size_t leaf = 0;
    uint32_t made = static_cast<uint32_t>(n);  // the next parent not yet merged
    auto take = [&](int32_t& weight) {
      // On equal weights the leaf goes first: its creation number is smaller.
      if (leaf < n && (made == next || static_cast<int32_t>(leaves[leaf] >> 32) <= parent_weight[made - n])) {
        weight = static_cast<int32_t>(leaves[leaf] >> 32);
        return static_cast<uint32_t>(leaves[leaf++]);
      }
      weight = parent_weight[made - n];
      return made++;
    };
    while (next < 2 * n - 1) {
      int32_t wx = 0, wy = 0;
      const uint32_t x = take(wx);  // light end: second child
      const uint32_t y = take(wy);  // its neighbour: first child
      parent[x] = next;
      parent[y] = next;
      parent_weight[next - n] = wx + wy;
      ++next;
    }
  } else {
    // A min-heap on (weight, creation number) gives the same order whatever the weights.
    using Entry = std::pair<int32_t, uint32_t>;  // weight, creation number = node id
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> heap;
    for (size_t s = 0; s < n; ++s) heap.emplace(weights[s], static_cast<uint32_t>(s));
    while (heap.size() > 1) {
      const Entry x = heap.top();  // light end: second child
      heap.pop();
      const Entry y = heap.top();  // its neighbour: first child
      heap.pop();
      parent[x.second] = next;
      parent[y.second] = next;
      heap.emplace(WrapAdd(x.first, y.first), next);
      ++next;
    }
  }

  // Parents are created after their children, so depths fill in from the root down.
  const uint32_t root = next - 1;
  std::vector<int32_t> depth(2 * n - 1, 0);
  for (uint32_t node = root; node-- > 0;) depth[node] = depth[parent[node]] + 1;
  for (size_t s = 0; s < n; ++s) lengths[s] = static_cast<int16_t>(depth[s]);
  return lengths;
}

HuffmanStatus CanonicalCodes(const std::vector<int16_t>& lengths,
                             std::vector<uint64_t>& codes) {
  codes.assign(lengths.size(), 0);
  int32_t max_length = 0;
  for (int16_t l : lengths) max_length = std::max<int32_t>(max_length, l);
  if (max_length > kMaxCodeLength) return kHuffmanLengthLimit;
  if (max_length == 0) return kHuffmanIncomplete;

  // Symbols grouped by length, each group in ascending symbol order.
  std::vector<std::vector<uint32_t>> by_length(max_length + 1);
  for (size_t s = 0; s < lengths.size(); ++s) {
    if (lengths[s] > 0) by_length[lengths[s]].push_back(static_cast<uint32_t>(s));
  }
  uint64_t c = 0;
  for (int32_t l = max_length; l >= 1; --l) {
    for (uint32_t s : by_length[l]) codes[s] = c++;
    if (c & 1) return kHuffmanOddCount;
    c >>= 1;
  }
  return c == 1 ? kHuffmanOk : kHuffmanIncomplete;
}

HuffmanCode BuildHuffmanCode(const std::vector<int32_t>& weights) {
  HuffmanCode code;
  code.lengths = CodeLengths(weights);
  for (int16_t l : code.lengths) code.max_length = std::max<int32_t>(code.max_length, l);
  code.status = CanonicalCodes(code.lengths, code.codes);
  return code;
}

std::string HuffmanStatusText(HuffmanStatus status, int32_t max_length) {
  switch (status) {
    case kHuffmanOk:
      return "CHuffmanFilter.createDecoder... Ok";
    case kHuffmanLengthLimit:
      return "CHuffmanFilter.createDecoder... eventCodeLengthLimit=" +
             std::to_string(max_length) + "  (exceeds 64 bits)";
    case kHuffmanOddCount:
    case kHuffmanIncomplete:
      return "CHuffmanFilter.createDecoder... Logical error in huffmantree.. Call Orvik";
    case kHuffmanTableClash:
      return "CHuffmanFilter.createDecoder... Error trying to generate speedup-decode-tables.. "
             "Call Orvik";
    case kHuffmanBadPrefix:
      return "CHuffmanFilter.decode... Error: Unrecognized huffmancode-prefix.";
  }
  return {};
}

}  // namespace lodex
