// Gathering one search field's words from the records, in the order the word index
// stores them: words with equal key forms are one word, spelt as the bytewise smallest
// of their spellings, with the records they occur in, ascending and distinct.
//
// Words live in one byte arena and are found through an open-addressing hash table;
// occurrences are kept as word numbers and laid out per word only at the end, so a
// field of millions of distinct words costs a few allocations, not millions.
//
// The words are held up to a budget; past it the words so far go in key order as a
// run to a file in the work directory, and the runs are merged as the words are read.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "build_error.h"
#include "out_file.h"
#include "spill_file.h"
#include "textkeys.h"

namespace lodex::build {

class WordCollector {
 public:
  // Everything in memory.
  explicit WordCollector(const KeyNormaliser& normaliser) : normaliser_(normaliser) {}
  // Runs go to files in work_dir once the held words reach budget_bytes (0: never).
  WordCollector(const KeyNormaliser& normaliser, std::string work_dir, size_t budget_bytes);
  ~WordCollector();
  WordCollector(const WordCollector&) = delete;
  WordCollector& operator=(const WordCollector&) = delete;

  // Adds a word (its stored form) of record bit; bits come in ascending order.
  void Add(std::string_view stored, uint32_t bit);
  // After each record's words: writes a run when the budget is reached.
  void EndRecord() {
    if (budget_ > 0 && 2 * HeldBytes() >= budget_) Spill();
  }

  // Puts the words in ascending key order and lays out their postings, once, after the
  // last Add. False with an output error when a run could not be written or read back.
  bool Finish(BuildError* error);

  bool empty() const { return words_.empty() && runs_.empty(); }
  // The number of distinct words (after Finish; with runs it merges their keys once).
  bool CountWords(uint64_t* count, BuildError* error);
  uint64_t postings() const { return postings_total_; }
  size_t spilled_runs() const { return runs_.size(); }
  // The next word in key order (valid until the next call); false after the last or
  // on a read error (see Failed).
  bool Next(std::string_view* stored, std::span<const uint32_t>* postings);
  bool Failed(BuildError* error) const;

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
  std::string_view Stored(const Word& w) const { return std::string_view(arena_).substr(w.stored_at, w.stored_length); }
  void Grow();
  size_t HeldBytes() const;
  // Lays out the held words' postings and puts them in key order.
  void Arrange();
  void Spill();
  void ClearHeld();
  void Compact();

  // Reading the runs back, merged.
  struct Run {
    SpillReader reader;
    std::string key, stored;
    std::vector<uint32_t> bits;
  };
  bool OpenRuns(BuildError* error);
  bool Advance(Run& run, bool with_postings);
  bool NextMerged();
  static void PutWord(std::string_view key, std::string_view stored, std::span<const uint32_t> bits,
                      std::string& scratch, OutFile* file);

  KeyNormaliser normaliser_;
  std::string arena_;
  std::vector<Word> words_;
  std::vector<uint64_t> slots_;  // hash tag << 32 | word number + 1; 0 when free
  std::vector<uint32_t> occurrences_;                  // word numbers, record by record
  std::vector<std::pair<uint32_t, uint32_t>> records_;  // record bit, its occurrences
  std::vector<uint32_t> postings_;
  std::vector<uint32_t> order_;  // word numbers in key order
  uint64_t postings_total_ = 0;
  size_t next_ = 0;

  std::string work_dir_;
  size_t budget_ = 0;
  std::vector<std::string> runs_;
  std::vector<std::unique_ptr<Run>> open_;
  std::vector<size_t> heap_;
  bool heap_filled_ = false;
  std::string merged_key_, merged_stored_;
  std::vector<uint32_t> merged_bits_;
  BuildError error_;
};

}  // namespace lodex::build
