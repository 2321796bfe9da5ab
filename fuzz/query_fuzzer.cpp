// Fuzzes the query language: splitting, term parsing and the evaluation of every term
// against a small word index with a reverse field. The first input byte picks the
// exact flag and whether the reverse field is offered; the rest is the query text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "search.h"
#include "testing/word_index_fixture.h"

namespace {

using lodex::testing::IndexWord;

std::vector<IndexWord> Words() {
  return {{"1", {0}},          {"10", {1, 2}},     {"3G1,5", {3}},     {"5W", {4, 5, 6, 7}},
          {"AB-12", {8}},      {"ALU", {9}},       {"KABEL", {10, 11}}, {"KABELBAKKE", {12}},
          {"LAMPE", {13}},     {"M\xDCLLER", {14}}, {"STIK", {15, 16}}, {"\xC6" "BLE", {17}},
          {"\xC5L", {18, 19}}, {"\xFF\xFF", {20}}};
}

std::vector<IndexWord> Reversed() {
  std::vector<IndexWord> words;
  for (IndexWord w : Words()) {
    std::reverse(w.text.begin(), w.text.end());
    words.push_back(w);
  }
  std::sort(words.begin(), words.end(), [](const IndexWord& a, const IndexWord& b) {
    return lodex::MapThrough(lodex::ComposedTable(), a.text) <
           lodex::MapThrough(lodex::ComposedTable(), b.text);
  });
  return words;
}

lodex::testing::LoadedIndex& Index() {
  static lodex::testing::LoadedIndex loaded({Words(), Reversed()}, 48);
  return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  lodex::WordIndex& index = Index().index;
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  text.resize(std::min(text.size(), lodex::kMaxQueryChars));

  std::atomic<uint8_t> cancelled{static_cast<uint8_t>(data[0] & 4)};
  lodex::TermScope scope;
  scope.index = &index;
  scope.field = 0;
  scope.reverse_field = (data[0] & 1) ? 1 : -1;
  scope.exact = (data[0] & 2) != 0;
  scope.cancelled = &cancelled;
  std::vector<uint8_t> scratch(index.shape.bitmap_bytes);
  for (std::string_view term : lodex::SplitQuery(text)) {
    lodex::EvaluateTerm(scope, lodex::ParseTerm(term), scratch.data());
  }
  return 0;
}
