// The word index of a base: index1.dat (the block directory) in memory, the windowed
// reader over index2.dat (the word blocks) and post.dat (the postings); locating a word
// by its key form and walking a search field's words with the word iterator.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "postings.h"
#include "wordblock.h"

namespace lodex {

struct Base;

// Writes the key form of text (Part of the field's key normaliser) into *key.
using KeyFormFn = std::function<void(std::string_view text, std::string* key)>;

// One search field's share of the index.
struct FieldWords {
  uint32_t first_entry = 0;    // its first block directory entry
  uint32_t block_count = 0;    // its number of entries (= blocks)
  uint64_t stretch_begin = 0;  // its postings in post.dat: [begin, end)
  uint64_t stretch_end = 0;
  KeyFormFn key_form;
  // For a field of whole numbers (a numeric key form without fraction places): its
  // integer places, so that a locate can compare plain digit words without forming
  // their keys. 0 for every other field.
  int32_t whole_places = 0;
  // The entries' key forms ascend strictly (as a sound index's do), so a locate may
  // search the directory by halving instead of walking it.
  bool ascending = false;
  // Every record with a word in the field (the OR of its whole stretch), made by the
  // first search for "*" and kept: the index never changes while it is open. Searches
  // alone use it, under the base's search lock.
  std::vector<uint8_t> any_word;
};

struct WordIndex {
  // Per entry of index1.dat its block's offset in index2.dat and the key form of its
  // word: the key forms lie end to end in key_bytes, entry e's from key_starts[e] to
  // key_starts[e] + key_sizes[e]. One buffer rather than a string per entry keeps
  // opening a large base to a few allocations.
  std::vector<uint32_t> block_offsets;
  std::string key_bytes;
  std::vector<uint32_t> key_starts;
  std::vector<uint32_t> key_sizes;

  std::vector<FieldWords> fields;  // one per search field, in schema order

  WindowedReader words;  // index2.dat
  PostingFile post;      // post.dat
  PostingShape shape;

  // Takes the parts of an index. directory is index1.dat's content, read only while
  // loading; field_starts holds each search field's start offset in it. index2.dat and
  // post.dat are read through mapped views when the system gives them (and map is
  // true), otherwise through their streams. Answers false when the directory's entries
  // do not end exactly at its end (the index is usable all the same).
  bool Load(std::string_view directory, const std::vector<uint32_t>& field_starts,
            std::vector<KeyFormFn> key_forms, std::FILE* index2, std::FILE* post_file,
            uint64_t post_size, uint32_t total_records, bool map = true);
  // The same with words and post already attached (to files or to bytes in memory).
  bool LoadDirectory(std::string_view directory, const std::vector<uint32_t>& field_starts,
                     std::vector<KeyFormFn> key_forms, uint32_t total_records);

  std::string_view EntryKey(uint32_t entry) const {
    return std::string_view(key_bytes).substr(key_starts[entry], key_sizes[entry]);
  }

  uint32_t BlockOffset(int field, uint32_t block) const {
    return block_offsets[fields[field].first_entry + block];
  }
};

// Opening a base, once its schema is read and checked: reads index1.dat from the base's
// file set (through a mapped view when the system gives one) and loads the index. A directory that does not end where the file ends
// prints "Stort problem\n" to standard output and the base opens anyway. Answers 0.
int32_t LoadWordIndex(Base& base);

enum class LocateMode { kExact, kLowerBound };

struct LocateResult {
  bool found = false;
  bool equal = false;  // the word found has exactly the key's key form
  uint32_t block = 0;  // block within the field
  uint32_t word = 0;   // word within the block
  uint64_t posting_offset = 0;
  uint32_t posting_count = 0;
};

// Finds, in the field's words, the one whose key form equals key (exact) or the first
// whose key form is greater than or equal to it (lower bound). key is a key form.
LocateResult Locate(WordIndex& index, int field, std::string_view key, LocateMode mode);

// A position among one search field's words, moved word by word across the blocks.
// It keeps the index it was positioned in; use it only while that index is alive.
class WordIterator {
 public:
  // Sets the iterator on word `word` of block `block` of the field. False when the
  // block or the word is outside the field (the iterator is then invalid).
  bool Position(WordIndex& index, int field, uint32_t block, uint32_t word);
  // On the field's first word. False when the field has no words.
  bool First(WordIndex& index, int field);

  // Moves up to n words forward (back), stopping at the field's last (first) word;
  // answers the number of words moved.
  uint32_t Advance(uint32_t n);
  uint32_t Back(uint32_t n);

  bool valid() const { return index_ != nullptr; }
  int field() const { return field_; }
  uint32_t block() const { return block_; }
  uint32_t word_number() const { return word_; }
  const StoredWord& word() const { return current_; }
  uint64_t posting_offset() const { return posting_offset_; }
  bool AtOrAfter(uint32_t block, uint32_t word) const {
    return block_ > block || (block_ == block && word_ >= word);
  }

 private:
  WordIndex* index_ = nullptr;
  int field_ = 0;
  uint32_t block_ = 0;
  uint32_t word_ = 0;
  BlockHeader header_;
  StoredWord current_;
  uint64_t posting_offset_ = 0;
  uint64_t next_entry_ = 0;  // index2.dat position just after the current entry
};

// A session's view of the word index: the word iterator, the last locate's result, and
// per search field the word count and word filter of the filtered listing.
struct WordCursor {
  WordIterator iter;
  LocateResult last_locate;
  std::vector<int32_t> filter_word_counts;       // -1 until counted
  std::vector<std::vector<uint8_t>> filters;     // empty until the first filter count

  void Init(const Base& base);
};

}  // namespace lodex
