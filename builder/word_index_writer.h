// Writing the word index of a base: index1.dat (block directory), index2.dat (word
// blocks with prefix tables and LEB128 counts) and post.dat (postings in the smaller of
// the two forms). Layouts: format/index1.h, format/index2.h, format/post.h.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "out_file.h"

namespace lodex::build {

// One word of a search field: its stored form and the records it occurs in
// (ascending, distinct base-wide record numbers).
struct IndexWord {
  std::string stored;
  std::vector<uint32_t> postings;
};

// Up to 32 prefix slots (each up to 8 bytes) for a block of words: the words' leading
// bytes, spread over the block so that each word finds a slot it shares bytes with.
std::vector<std::string> ChoosePrefixes(const std::vector<std::string_view>& words);
std::vector<std::string> ChoosePrefixes(const std::vector<const IndexWord*>& words);

// The prefix code for word under slots and the number of prefix bytes it covers
// (kNoPrefix and 0 when no slot shares its first byte).
std::pair<uint8_t, int> PrefixCodeFor(std::string_view word, const std::vector<std::string>& slots);

// Words per block when the schema does not say: about the square root of the word
// count, kept between 16 and 128, so a locate walks a short directory and reads a
// block that fits the engine's 4 KiB window.
int DefaultBlockWords(size_t word_count);

class WordIndexWriter {
 public:
  // The three files must be open; total_records fixes the posting form of each word.
  WordIndexWriter(uint32_t total_records, OutFile* index1, OutFile* index2, OutFile* post);

  // Appends one search field's words, which must be in strictly ascending key order
  // (at least one). Sets *index1_offset to where the field's directory run begins.
  // False with a message when an offset would pass the 32-bit range of the files.
  bool AddField(const std::vector<const IndexWord*>& words, int block_words,
                uint32_t* index1_offset, std::string* error);

  // The same a word at a time, so the words need not all be held at once: BeginField,
  // AddWord for each word in key order, EndField. A word's postings are written at
  // once; only its block's stored forms wait for the block to fill.
  bool BeginField(int block_words, uint32_t* index1_offset, std::string* error);
  bool AddWord(std::string_view stored, std::span<const uint32_t> postings, std::string* error);
  void EndField();

  // Pads index2.dat so that readers may fetch 4 bytes past the last count.
  void Finish();

 private:
  void WritePostings(std::span<const uint32_t> postings);
  void WriteBlock();

  uint32_t total_records_;
  OutFile* index1_;
  OutFile* index2_;
  OutFile* post_;
  size_t per_block_ = 1;
  uint32_t block_post_offset_ = 0;
  std::string block_text_;               // the block's stored forms, one after another
  std::vector<uint32_t> block_ends_;     // where each ends in block_text_
  std::vector<uint32_t> block_counts_;   // and its posting count
  std::vector<std::string_view> block_views_;
  std::string block_;
  std::string scratch_;
  std::vector<uint8_t> bitmap_;
};

}  // namespace lodex::build
