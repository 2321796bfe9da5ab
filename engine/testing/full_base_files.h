// Test support: writes a complete small base — records, mapping.dat, a word index with
// its reverse field, and a sort field — so that searches, listings, fetches and sorts
// all have something to do. Used by the concurrency and damaged-base tests.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "testing/record_base_files.h"
#include "testing/test_base_files.h"
#include "testing/word_index_fixture.h"

namespace lodex::testing {

// Field numbers of the full base.
inline constexpr int32_t kFullText = 100;         // data and search field
inline constexpr int32_t kFullTextReverse = 32868;  // its reverse search field
inline constexpr int32_t kFullCode = 120;         // data field only
inline constexpr int32_t kFullSort = 44;          // sort field (r mod 5, 3 hollow)

// Word k of the vocabulary: two letters and a 'Q', ascending with k.
inline std::string FullWord(uint32_t k) {
  return std::string{static_cast<char>('A' + k / 8), static_cast<char>('A' + k % 8), 'Q'};
}
inline constexpr uint32_t kFullVocabulary = 48;

// The words of record r's text: two vocabulary words, and "ZZZ" on every third record.
inline std::vector<std::string> FullRecordWords(uint32_t r) {
  std::vector<std::string> words = {FullWord(r % kFullVocabulary),
                                    FullWord((r * 7 + 3) % kFullVocabulary)};
  if (r % 3 == 0) words.push_back("ZZZ");
  return words;
}

// Writes the base into dir: tables of the given sizes, record r holding the text of its
// words and the code "T<r mod 7>".
inline void WriteFullBase(const std::string& dir, std::vector<uint32_t> tables) {
  RecordBaseSpec def = NumberedBase(std::move(tables));
  const uint32_t total = static_cast<uint32_t>(def.records.size());
  for (uint32_t r = 0; r < total; ++r) {
    std::string text;
    for (const std::string& w : FullRecordWords(r)) text += (text.empty() ? "" : " ") + w;
    def.records[r][0] = text;
  }
  WriteRecordBase(dir, def);

  // The word index: forward words and their reversed spellings, each in key order.
  std::vector<IndexWord> forward, reversed;
  for (uint32_t k = 0; k < kFullVocabulary; ++k) forward.push_back({FullWord(k), {}});
  forward.push_back({"ZZZ", {}});
  for (uint32_t r = 0; r < total; ++r) {
    for (const std::string& w : FullRecordWords(r)) {
      auto it = std::find_if(forward.begin(), forward.end(),
                             [&](const IndexWord& e) { return e.text == w; });
      if (it->records.empty() || it->records.back() != r) it->records.push_back(r);
    }
  }
  for (const IndexWord& w : forward) {
    reversed.push_back({std::string(w.text.rbegin(), w.text.rend()), w.records});
  }
  std::sort(reversed.begin(), reversed.end(),
            [](const IndexWord& a, const IndexWord& b) { return a.text < b.text; });
  const IndexImages images = WriteIndex({forward, reversed}, total, 8);

  // meta.dat again, now with the two search fields.
  MetaContents meta;
  for (size_t t = 0; t < def.tables.size(); ++t) {
    meta.tables.push_back({"Table" + std::to_string(t), def.tables[t]});
  }
  const uint32_t all_tables = 0xFFFFFFFFu;
  meta.data = {{kFullText, "Text", 0, 0, 40, {all_tables}},
               {kFullCode, "Code", 0, 0, 40, {all_tables}}};
  meta.search = {{kFullText, "Text", 1u, images.field_starts[0], 40, {all_tables}},
                 {kFullTextReverse, "Text reversed", 1u, images.field_starts[1], 40,
                  {all_tables}}};
  meta.sort = {{kFullSort, "Sort44", 0, 0, 10, {all_tables}}};
  meta.read_bytes = def.read_bytes;
  meta.decode_bytes = def.decode_bytes;
  WriteFile(dir + "/meta.dat", meta.Bytes());
  WriteFile(dir + "/index1.dat", images.index1);
  WriteFile(dir + "/index2.dat", images.index2);
  WriteFile(dir + "/post.dat", images.post);
}

}  // namespace lodex::testing
