#include "word_collector.h"

#include <algorithm>
#include <functional>

namespace lodex::build {

namespace {

constexpr uint32_t kNoBit = UINT32_MAX;

// The first eight bytes of a key as a number whose order is their byte order.
uint64_t KeyHead(std::string_view key) {
  uint64_t head = 0;
  for (size_t i = 0; i < 8; ++i)
    head = head << 8 | (i < key.size() ? static_cast<uint8_t>(key[i]) : 0u);
  return head;
}

}  // namespace

void WordCollector::Grow() {
  std::vector<uint64_t> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
  const uint64_t mask = slots_.size() - 1;
  for (uint64_t entry : old) {
    if (entry == 0) continue;
    uint64_t at = (entry >> 32) & mask;
    while (slots_[at] != 0) at = (at + 1) & mask;
    slots_[at] = entry;
  }
}

void WordCollector::Add(std::string_view stored, uint32_t bit) {
  const std::string key = normaliser_.KeyForm(stored);
  const uint64_t hash = std::hash<std::string_view>()(key);
  const uint64_t tag = hash >> 32;
  if ((words_.size() + 1) * 2 > slots_.size()) Grow();
  const uint64_t mask = slots_.size() - 1;
  uint64_t at = tag & mask;
  uint32_t number = 0;
  for (;; at = (at + 1) & mask) {
    const uint64_t entry = slots_[at];
    if (entry == 0) {
      number = static_cast<uint32_t>(words_.size());
      slots_[at] = tag << 32 | (uint64_t{number} + 1);
      Word w;
      w.key_at = arena_.size();
      w.key_length = static_cast<uint16_t>(key.size());
      arena_.append(key);
      w.stored_at = arena_.size();
      w.stored_length = static_cast<uint16_t>(stored.size());
      arena_.append(stored);
      w.last_bit = kNoBit;
      words_.push_back(w);
      break;
    }
    if (entry >> 32 == tag && Key(words_[static_cast<uint32_t>(entry) - 1]) == key) {
      number = static_cast<uint32_t>(entry) - 1;
      Word& w = words_[number];
      if (stored < std::string_view(arena_).substr(w.stored_at, w.stored_length)) {
        w.stored_at = arena_.size();
        w.stored_length = static_cast<uint16_t>(stored.size());
        arena_.append(stored);
      }
      break;
    }
  }
  Word& w = words_[number];
  if (w.last_bit == bit) return;
  w.last_bit = bit;
  ++w.count;
  occurrences_.push_back(number);
  if (records_.empty() || records_.back().first != bit) records_.emplace_back(bit, 0);
  ++records_.back().second;
}

void WordCollector::Finish() {
  if (finished_) return;
  finished_ = true;
  std::vector<uint64_t>().swap(slots_);
  uint64_t total = 0;
  for (Word& w : words_) {
    w.first = total;
    w.last_bit = 0;
    total += w.count;
  }
  postings_.resize(total);
  size_t next = 0;
  for (const auto& [bit, count] : records_) {
    for (uint32_t k = 0; k < count; ++k) {
      Word& w = words_[occurrences_[next++]];
      postings_[w.first + w.last_bit++] = bit;
    }
  }
  std::vector<uint32_t>().swap(occurrences_);
  std::vector<std::pair<uint32_t, uint32_t>>().swap(records_);

  // Key order: by the first eight bytes as a number, then by the whole key.
  struct Entry {
    uint64_t head;
    uint32_t word;
  };
  std::vector<Entry> entries(words_.size());
  for (uint32_t i = 0; i < words_.size(); ++i) entries[i] = {KeyHead(Key(words_[i])), i};
  std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
    if (a.head != b.head) return a.head < b.head;
    return Key(words_[a.word]) < Key(words_[b.word]);
  });
  order_.resize(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) order_[i] = entries[i].word;
}

std::string_view WordCollector::Stored(size_t i) const {
  const Word& w = words_[order_[i]];
  return std::string_view(arena_).substr(w.stored_at, w.stored_length);
}

std::span<const uint32_t> WordCollector::Postings(size_t i) const {
  const Word& w = words_[order_[i]];
  return std::span<const uint32_t>(postings_).subspan(w.first, w.count);
}

}  // namespace lodex::build
