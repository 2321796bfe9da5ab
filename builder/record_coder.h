// Writing records in the two coding layers of data.dat (format/data.h): zero-run coding,
// then Huffman coding over bytes and phrases. The phrases are chosen from the data, and
// the code is built with the engine's own construction (huffman_model.h) from the
// weights that charfreq.dat and wordfreq.dat will carry, so the engine rebuilds exactly
// the code the records were written with.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "huffman_model.h"

namespace lodex::build {

// Appends the zero-run coded form of a decoded record to out.
void ZeroRunEncode(std::string_view record, std::string& out);

// Counts candidate phrases over a sample of zero-run coded records and picks those
// that save the most: repeated whole field texts, words with the separator after them,
// pairs of words, and the letter or digit runs inside type numbers.
class PhraseChooser {
 public:
  void AddSample(std::string_view coded_record);
  // At most max_phrases phrases (2..255 bytes, no 0 byte), best first.
  std::vector<std::string> Choose(size_t max_phrases) const;

 private:
  void Count(std::string_view candidate);

  // Looked up by string_view, so counting an existing candidate copies nothing.
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, uint32_t, Hash, std::equal_to<>> counts_;
};

// A trie over the phrases for finding every phrase that starts at a position.
class PhraseTrie {
 public:
  explicit PhraseTrie(const std::vector<std::string>& phrases);

  // Calls fn(symbol, length) for every phrase that matches text at pos, shortest first.
  template <class Fn>
  void ForEachMatch(std::string_view text, size_t pos, Fn&& fn) const {
    if (pos >= text.size()) return;
    int32_t node = root_[static_cast<uint8_t>(text[pos])];
    size_t len = 1;
    while (node >= 0) {
      if (nodes_[node].symbol >= 0) fn(nodes_[node].symbol, len);
      if (pos + len >= text.size()) break;
      node = Child(static_cast<uint32_t>(node), static_cast<uint8_t>(text[pos + len]));
      ++len;
    }
  }

  // The longest phrase at pos: its symbol (256 + k) and length, or length 0.
  std::pair<int32_t, size_t> Longest(std::string_view text, size_t pos) const;

 private:
  struct Node {
    int32_t symbol = -1;  // phrase ending here, or -1
    uint32_t first_edge = 0;
    uint16_t edge_count = 0;
    int32_t dense = -1;   // nodes with many children: their row in dense_
  };
  struct Edge {
    uint8_t byte;
    uint32_t child;
  };
  int32_t Child(uint32_t node, uint8_t byte) const;

  std::vector<Node> nodes_;
  std::vector<Edge> edges_;
  std::vector<int32_t> root_;  // 256 children of the root, -1 when absent
  std::vector<int32_t> dense_;  // 256 children per row, -1 when absent
};

// The model of a base's record code: what charfreq.dat and wordfreq.dat hold and the
// code the engine derives from them.
struct RecordModel {
  int32_t charfreq[kByteSymbols] = {};
  std::vector<Phrase> phrases;
  HuffmanCode code;

  // Weights that make the engine's derived symbol weights proportional to how often
  // each symbol is used: usage[s] for s < 256 counts literal bytes, usage[256 + k] uses
  // of phrase k. Answers false when the construction fails (status in code.status).
  static bool Build(const std::vector<std::string>& phrase_texts,
                    const std::vector<uint64_t>& usage, RecordModel* model);
};

// Huffman-codes zero-run coded records with a model. Each record is parsed into the
// cheapest sequence of bytes and phrases under the model's code lengths.
class RecordEncoder {
 public:
  explicit RecordEncoder(const RecordModel& model);

  // Appends the stored form of coded (zero-padded to whole bytes) to out and answers
  // its length in bits.
  uint64_t Encode(std::string_view coded, std::string& out);

  // Counts the symbols of the cheapest parse of coded into usage (size 256 + phrases).
  void CountSymbols(std::string_view coded, std::vector<uint64_t>& usage);

 private:
  void Parse(std::string_view coded);

  const RecordModel& model_;
  PhraseTrie trie_;
  std::vector<uint32_t> cost_;    // bits from position i to the end
  std::vector<int32_t> choice_;   // symbol chosen at position i
  std::vector<uint8_t> length_;   // bytes it covers
};

// The phrases used at least min_uses times, in their order; the uses of the others are
// added to the counts of their bytes.
std::vector<std::string> KeepUsedPhrases(const std::vector<std::string>& phrases,
                                         std::vector<uint64_t>& usage, uint64_t min_uses);

// Counts the symbols of the greedy longest-match parse (used before a code exists).
void CountGreedy(const PhraseTrie& trie, std::string_view coded, std::vector<uint64_t>& usage);

}  // namespace lodex::build
