// Gathering one search field's words from the records, in the order the word index
// stores them: words with equal key forms are one word, spelt as the bytewise smallest
// of their spellings, with the records they occur in, ascending and distinct.
//
// Words live in one byte arena and are found through an open-addressing hash table;
// occurrences are kept as word numbers and laid out per word only at the end, so a
// field of millions of distinct words costs a few allocations, not millions.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "textkeys.h"

namespace lodex::build {

class WordCollector {
 public:
  explicit WordCollector(const KeyNormaliser& normaliser) : normaliser_(normaliser) {}

  // Adds a word (its stored form) of record bit; bits come in ascending order.
  void Add(std::string_view stored, uint32_t bit);

  // Puts the words in ascending key order and lays out their postings; once, after
  // the last Add.
  void Finish();

  size_t size() const { return words_.size(); }
  uint64_t postings() const { return postings_.size(); }
  // The i-th word in key order (after Finish).
  std::string_view Stored(size_t i) const;
  std::span<const uint32_t> Postings(size_t i) const;

 private:
  struct Word {
    uint64_t key_at = 0;     // in arena_
    uint64_t stored_at = 0;  // in arena_
    uint64_t first = 0;      // in postings_ (after Finish)
    uint32_t count = 0;      // distinct records
    uint32_t last_bit = 0;   // the last record added; then the postings laid out
    uint16_t key_length = 0;
    uint16_t stored_length = 0;
  };
  std::string_view Key(const Word& w) const { return std::string_view(arena_).substr(w.key_at, w.key_length); }
  void Grow();

  KeyNormaliser normaliser_;
  std::string arena_;
  std::vector<Word> words_;
  std::vector<uint64_t> slots_;  // hash tag << 32 | word number + 1; 0 when free
  std::vector<uint32_t> occurrences_;                  // word numbers, record by record
  std::vector<std::pair<uint32_t, uint32_t>> records_;  // record bit, its occurrences
  std::vector<uint32_t> postings_;
  std::vector<uint32_t> order_;  // word numbers in key order
  bool finished_ = false;
};

}  // namespace lodex::build
