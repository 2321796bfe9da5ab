// Putting items in the byte order of their keys fast. Sixteen bytes of each key at a
// time go beside the item as two numbers that compare like the bytes, so comparisons
// are between integers at hand rather than strings elsewhere in memory; items whose
// sixteen bytes tie are sorted again by the next sixteen, and so on.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace lodex::build {

// Eight bytes of key from at (zeros past its end), as a number in their byte order.
inline uint64_t KeyBytesAt(std::string_view key, size_t at) {
  uint64_t head = 0;
  for (size_t i = at; i < at + 8; ++i) head = head << 8 | (i < key.size() ? static_cast<uint8_t>(key[i]) : 0u);
  return head;
}

// Sorts items by key_of(item) (a string_view) in byte order, equal keys by item.
template <class KeyOf>
void SortByKey(std::vector<uint32_t>* items, const KeyOf& key_of) {
  constexpr size_t kChunk = 16;
  struct Entry {
    uint64_t head[2];  // the key's bytes depth .. depth + 15
    uint32_t rest;     // bytes of key from depth, kChunk + 1 for more than kChunk
    uint32_t item;
  };
  auto before = [](const Entry& a, const Entry& b) {
    if (a.head[0] != b.head[0]) return a.head[0] < b.head[0];
    if (a.head[1] != b.head[1]) return a.head[1] < b.head[1];
    if (a.rest != b.rest) return a.rest < b.rest;  // a shorter key first: zeros pad it
    return a.item < b.item;
  };
  std::vector<Entry> entries(items->size());
  for (size_t i = 0; i < entries.size(); ++i) entries[i].item = (*items)[i];
  struct Range {
    size_t first, last, depth;
  };
  std::vector<Range> todo{{0, entries.size(), 0}};
  while (!todo.empty()) {
    const Range r = todo.back();
    todo.pop_back();
    for (size_t i = r.first; i < r.last; ++i) {
      const std::string_view key = key_of(entries[i].item);
      const size_t left = key.size() > r.depth ? key.size() - r.depth : 0;
      entries[i].head[0] = KeyBytesAt(key, r.depth);
      entries[i].head[1] = KeyBytesAt(key, r.depth + 8);
      entries[i].rest = static_cast<uint32_t>(std::min(left, kChunk + 1));
    }
    std::sort(entries.begin() + static_cast<std::ptrdiff_t>(r.first),
              entries.begin() + static_cast<std::ptrdiff_t>(r.last), before);
    // Keys that go on past these sixteen bytes and tie on them: on to the next sixteen.
    for (size_t i = r.first; i < r.last;) {
      size_t j = i + 1;
      while (j < r.last && entries[j].head[0] == entries[i].head[0] && entries[j].head[1] == entries[i].head[1] &&
             entries[j].rest == entries[i].rest)
        ++j;
      if (j - i > 1 && entries[i].rest > kChunk) todo.push_back({i, j, r.depth + kChunk});
      i = j;
    }
  }
  for (size_t i = 0; i < entries.size(); ++i) (*items)[i] = entries[i].item;
}

}  // namespace lodex::build
