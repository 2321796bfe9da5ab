#include "huffman_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <list>
#include <random>

namespace lodex {
namespace {

// A literal transcription of the merge rules over a doubly linked list, used as the
// oracle for the heap-based construction.
std::vector<int16_t> ListCodeLengths(const std::vector<int32_t>& weights) {
  struct Node { int32_t weight; int id; };
  const int n = static_cast<int>(weights.size());
  std::vector<int16_t> lengths(n, 0);
  if (n < 2) return lengths;
  std::list<Node> list;  // front = heavy end, back = light end
  auto insert = [&](Node node) {
    auto it = list.begin();
    while (it != list.end() && it->weight > node.weight) ++it;
    list.insert(it, node);
  };
  std::vector<int> parent(2 * n - 1, -1);
  for (int s = 0; s < n; ++s) insert({weights[s], s});
  int next = n;
  for (int k = 0; k < n - 1; ++k) {
    Node x = list.back();
    list.pop_back();
    Node y = list.back();
    list.pop_back();
    parent[x.id] = parent[y.id] = next;
    insert({static_cast<int32_t>(static_cast<uint32_t>(x.weight) + static_cast<uint32_t>(y.weight)),
            next++});
  }
  for (int s = 0; s < n; ++s) {
    int d = 0;
    for (int v = s; parent[v] >= 0; v = parent[v]) ++d;
    lengths[s] = static_cast<int16_t>(d);
  }
  return lengths;
}

TEST(HuffmanModel, ExampleCodesShortestGetLargestValues) {
  // Lengths a = 1, b = 2, c = 2 give b = 00, c = 01, a = 1.
  HuffmanCode code = BuildHuffmanCode({2, 1, 1});
  ASSERT_EQ(code.status, kHuffmanOk);
  EXPECT_EQ(code.lengths, (std::vector<int16_t>{1, 2, 2}));
  EXPECT_EQ(code.codes, (std::vector<uint64_t>{1, 0, 1}));
  EXPECT_EQ(code.max_length, 2);
}

TEST(HuffmanModel, FlatWeightsGiveByteValuesAsCodes) {
  int32_t charfreq[256] = {};
  std::vector<int32_t> weights = ModelWeights(charfreq, {});
  ASSERT_EQ(weights.size(), 256u);
  for (int32_t w : weights) EXPECT_EQ(w, 1);
  HuffmanCode code = BuildHuffmanCode(weights);
  ASSERT_EQ(code.status, kHuffmanOk);
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(code.lengths[b], 8);
    EXPECT_EQ(code.codes[b], static_cast<uint64_t>(b));
  }
}

TEST(HuffmanModel, TiesMergeEarlierNodesFirst) {
  // The parent of 0 and 1 (weight 2) is newer than leaves 2 and 3, so the leaves merge
  // together first and the tree is balanced.
  EXPECT_EQ(CodeLengths({1, 1, 2, 2}), (std::vector<int16_t>{2, 2, 2, 2}));
  // Equal leaves: the two oldest merge first.
  EXPECT_EQ(CodeLengths({1, 1, 1}), (std::vector<int16_t>{2, 2, 1}));
  EXPECT_EQ(CodeLengths({5}), (std::vector<int16_t>{0}));
}

TEST(HuffmanModel, PhrasesLowerByteWeightsAndFloorAtOne) {
  int32_t charfreq[256] = {};
  charfreq['a'] = 10;
  charfreq['b'] = 3;
  charfreq['c'] = -7;
  std::vector<Phrase> phrases = {{2, "aab"}, {4, ""}, {1, "a"}};
  std::vector<int32_t> w = ModelWeights(charfreq, phrases);
  ASSERT_EQ(w.size(), 259u);
  EXPECT_EQ(w['a'], 10 - 2 - 2 - 1);
  EXPECT_EQ(w['b'], 1);  // 3 - 2 = 1 stays
  EXPECT_EQ(w['c'], 1);  // negative raised to 1
  EXPECT_EQ(w['z'], 1);  // zero raised to 1
  EXPECT_EQ(w[256], 6);
  EXPECT_EQ(w[257], 0);  // an empty phrase weighs nothing and is not adjusted
  EXPECT_EQ(w[258], 1);
  // Counts at the ends of the 32-bit range wrap instead of overflowing.
  w = ModelWeights(charfreq, {{INT32_MIN, "a"}, {INT32_MAX, "bb"}});
  EXPECT_EQ(w['a'], 1);   // 10 - INT32_MIN wraps negative, then is raised to 1
  EXPECT_EQ(w['b'], 5);   // 3 - 2 * INT32_MAX wraps to 5
  EXPECT_EQ(w[256], INT32_MIN);
  EXPECT_EQ(w[257], -2);  // INT32_MAX * 2 wraps
  // A byte only used inside phrases ends at 1.
  charfreq['q'] = 0;
  w = ModelWeights(charfreq, {{100, "qq"}});
  EXPECT_EQ(w['q'], 1);
}

TEST(HuffmanModel, HeapMatchesListRulesOnRandomWeights) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 200; ++round) {
    const int n = 2 + static_cast<int>(rng() % 300);
    std::vector<int32_t> w(n);
    const int mode = round % 4;
    for (int32_t& x : w) {
      switch (mode) {
        case 0: x = static_cast<int32_t>(rng() % 4); break;           // many ties
        case 1: x = static_cast<int32_t>(rng() % 100000); break;
        case 2: x = static_cast<int32_t>(rng()); break;               // sums wrap
        default: x = static_cast<int32_t>(rng() % 50) - 25; break;    // negative
      }
    }
    ASSERT_EQ(CodeLengths(w), ListCodeLengths(w)) << "round " << round;
  }
}

TEST(HuffmanModel, CanonicalCodesRejectBadLengths) {
  std::vector<uint64_t> codes;
  EXPECT_EQ(CanonicalCodes({1, 1}, codes), kHuffmanOk);
  EXPECT_EQ(CanonicalCodes({1, 2}, codes), kHuffmanOddCount);       // leftover at length 2
  EXPECT_EQ(CanonicalCodes({2, 2}, codes), kHuffmanOddCount);       // half the space
  EXPECT_EQ(CanonicalCodes({1, 1, 1, 1}, codes), kHuffmanIncomplete);  // overfull
  EXPECT_EQ(CanonicalCodes({0}, codes), kHuffmanIncomplete);
  std::vector<int16_t> deep(66);
  for (int i = 0; i < 65; ++i) deep[i] = static_cast<int16_t>(i + 1);
  deep[65] = 65;
  EXPECT_EQ(CanonicalCodes(deep, codes), kHuffmanLengthLimit);
}

TEST(HuffmanModel, SkewedWeightsExceedTheLengthLimit) {
  // Negative weights make every merged parent the lightest node again: a chain of
  // 70 symbols has depth 69.
  std::vector<int32_t> chain(70);
  for (int i = 0; i < 70; ++i) chain[i] = -1000000 + i * 1000;
  HuffmanCode code = BuildHuffmanCode(chain);
  EXPECT_GT(code.max_length, 64);
  EXPECT_EQ(code.status, kHuffmanLengthLimit);
  EXPECT_EQ(HuffmanStatusText(code.status, code.max_length),
            "CHuffmanFilter.createDecoder... eventCodeLengthLimit=" +
                std::to_string(code.max_length) + "  (exceeds 64 bits)");
}

}  // namespace
}  // namespace lodex
