#include "word_collector.h"

#include <algorithm>
#include <functional>

#include "key_order.h"

namespace lodex::build {

namespace {

constexpr uint32_t kNoBit = UINT32_MAX;

// Runs merged at once at most; more are merged into one first.
constexpr size_t kMaxRuns = 32;

}  // namespace

WordCollector::WordCollector(const KeyNormaliser& normaliser, std::string work_dir, size_t budget_bytes)
    : normaliser_(normaliser), work_dir_(std::move(work_dir)), budget_(work_dir_.empty() ? 0 : budget_bytes) {}

WordCollector::~WordCollector() {
  open_.clear();
  RemoveSpillFiles(runs_);
}

size_t WordCollector::HeldBytes() const {
  // Per word also its sort entry and place in the order; per occurrence also its
  // place in the postings laid out.
  return arena_.size() + words_.size() * (sizeof(Word) + 20) + slots_.size() * 8 + occurrences_.size() * 8 +
         records_.size() * 8;
}

void WordCollector::Grow() {
  std::vector<uint64_t> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, 0);
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

void WordCollector::Arrange() {
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
  occurrences_.clear();
  records_.clear();

  order_.resize(words_.size());
  for (uint32_t i = 0; i < order_.size(); ++i) order_[i] = i;
  SortByKey(&order_, [&](uint32_t i) { return Key(words_[i]); });
}

void WordCollector::ClearHeld() {
  arena_.clear();
  words_.clear();
  std::fill(slots_.begin(), slots_.end(), 0);
  occurrences_.clear();
  records_.clear();
  postings_.clear();
  order_.clear();
}

void WordCollector::PutWord(std::string_view key, std::string_view stored, std::span<const uint32_t> bits,
                            std::string& scratch, OutFile* file) {
  // A word of a run: its key and stored form, each with a varint length, its posting
  // count, the byte length of its postings and the postings as varint gaps.
  scratch.clear();
  PutVarint64(scratch, key.size());
  scratch.append(key);
  PutVarint64(scratch, stored.size());
  scratch.append(stored);
  PutVarint64(scratch, bits.size());
  std::string gaps;
  uint32_t last = 0;
  for (uint32_t bit : bits) {
    PutVarint64(gaps, bit - last);
    last = bit;
  }
  PutVarint64(scratch, gaps.size());
  scratch.append(gaps);
  file->Append(scratch);
}

void WordCollector::Spill() {
  if (words_.empty()) return;
  Arrange();
  postings_total_ += postings_.size();
  const std::string path = SpillPath(work_dir_, "words-run");
  runs_.push_back(path);
  OutFile file;
  if (error_.message.empty() && file.Open(path, &error_)) {
    std::string scratch;
    for (uint32_t number : order_) {
      const Word& w = words_[number];
      PutWord(Key(w), Stored(w), std::span<const uint32_t>(postings_).subspan(w.first, w.count), scratch, &file);
    }
    file.Close(&error_);
  }
  ClearHeld();
  if (runs_.size() >= kMaxRuns) Compact();
}

void WordCollector::Compact() {
  if (!error_.message.empty() || !OpenRuns(&error_)) return;
  const std::string path = SpillPath(work_dir_, "words-run");
  OutFile file;
  if (file.Open(path, &error_)) {
    std::string scratch;
    while (NextMerged()) PutWord(merged_key_, merged_stored_, merged_bits_, scratch, &file);
    file.Close(&error_);
  }
  open_.clear();
  heap_.clear();
  heap_filled_ = false;
  RemoveSpillFiles(runs_);
  runs_.assign(1, path);
}

bool WordCollector::Finish(BuildError* error) {
  if (runs_.empty()) {
    Arrange();
    postings_total_ = postings_.size();
    std::vector<uint64_t>().swap(slots_);
    std::vector<uint32_t>().swap(occurrences_);
    std::vector<std::pair<uint32_t, uint32_t>>().swap(records_);
    next_ = 0;
    return true;
  }
  Spill();
  ClearHeld();
  std::string().swap(arena_);
  std::vector<Word>().swap(words_);
  std::vector<uint64_t>().swap(slots_);
  std::vector<uint32_t>().swap(occurrences_);
  std::vector<std::pair<uint32_t, uint32_t>>().swap(records_);
  std::vector<uint32_t>().swap(postings_);
  std::vector<uint32_t>().swap(order_);
  if (!error_.message.empty()) return Fail(error, error_.code, error_.message);
  return OpenRuns(error);
}

bool WordCollector::OpenRuns(BuildError* error) {
  open_.clear();
  heap_.clear();
  heap_filled_ = false;
  const size_t buffer = std::clamp<size_t>(budget_ / (runs_.size() + 1), 64 << 10, 1 << 20);
  for (const std::string& path : runs_) {
    open_.push_back(std::make_unique<Run>());
    if (!open_.back()->reader.Open(path, buffer, error)) return false;
    open_.back()->reader.Keep();
  }
  return true;
}

bool WordCollector::Advance(Run& run, bool with_postings) {
  uint64_t length = 0, count = 0, bytes = 0;
  const char* p = nullptr;
  // Each Take may move the reader's buffer: what it answers is used at once.
  if (!run.reader.TakeVarint(&length) || !(p = run.reader.Take(length))) return false;
  run.key.assign(p, length);
  if (!run.reader.TakeVarint(&length) || !(p = run.reader.Take(length))) return false;
  run.stored.assign(p, length);
  if (!run.reader.TakeVarint(&count) || !run.reader.TakeVarint(&bytes) || !(p = run.reader.Take(bytes)))
    return false;
  run.bits.clear();
  if (!with_postings) return true;
  run.bits.reserve(count);
  uint32_t last = 0;
  const char* end = p + bytes;
  while (p < end) {
    uint64_t gap = 0;
    for (int shift = 0; p < end; shift += 7) {
      const auto b = static_cast<uint8_t>(*p++);
      gap |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (b < 0x80) break;
    }
    last += static_cast<uint32_t>(gap);
    run.bits.push_back(last);
  }
  return true;
}

bool WordCollector::NextMerged() {
  // Equal keys: the earlier run first, as its records come first.
  auto later = [&](size_t a, size_t b) {
    const int c = open_[a]->key.compare(open_[b]->key);
    return c != 0 ? c > 0 : a > b;
  };
  if (!heap_filled_) {
    heap_filled_ = true;
    for (size_t r = 0; r < open_.size(); ++r) {
      if (Advance(*open_[r], true)) heap_.push_back(r);
      else if (open_[r]->reader.Failed(&error_)) return false;
    }
    std::make_heap(heap_.begin(), heap_.end(), later);
  }
  if (heap_.empty()) return false;
  bool first = true;
  while (!heap_.empty() && (first || open_[heap_.front()]->key == merged_key_)) {
    std::pop_heap(heap_.begin(), heap_.end(), later);
    Run& run = *open_[heap_.back()];
    if (first) {
      merged_key_ = run.key;
      merged_stored_ = run.stored;
      merged_bits_ = run.bits;
      first = false;
    } else {
      if (run.stored < merged_stored_) merged_stored_ = run.stored;
      merged_bits_.insert(merged_bits_.end(), run.bits.begin(), run.bits.end());
    }
    if (Advance(run, true)) {
      std::push_heap(heap_.begin(), heap_.end(), later);
    } else {
      if (run.reader.Failed(&error_)) return false;
      heap_.pop_back();
    }
  }
  return true;
}

bool WordCollector::CountWords(uint64_t* count, BuildError* error) {
  if (runs_.empty()) {
    *count = words_.size();
    return true;
  }
  // The keys alone, merged; the runs are read again for the words themselves.
  auto later = [&](size_t a, size_t b) {
    const int c = open_[a]->key.compare(open_[b]->key);
    return c != 0 ? c > 0 : a > b;
  };
  std::vector<size_t> heap;
  for (size_t r = 0; r < open_.size(); ++r) {
    if (Advance(*open_[r], false)) heap.push_back(r);
    else if (open_[r]->reader.Failed(error)) return false;
  }
  std::make_heap(heap.begin(), heap.end(), later);
  uint64_t words = 0;
  std::string last;
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), later);
    Run& run = *open_[heap.back()];
    if (words == 0 || run.key != last) {
      ++words;
      last = run.key;
    }
    if (Advance(run, false)) {
      std::push_heap(heap.begin(), heap.end(), later);
    } else {
      if (run.reader.Failed(error)) return false;
      heap.pop_back();
    }
  }
  *count = words;
  return OpenRuns(error);
}

bool WordCollector::Next(std::string_view* stored, std::span<const uint32_t>* postings) {
  if (runs_.empty()) {
    if (next_ >= order_.size()) return false;
    const Word& w = words_[order_[next_++]];
    *stored = Stored(w);
    *postings = std::span<const uint32_t>(postings_).subspan(w.first, w.count);
    return true;
  }
  if (!NextMerged()) return false;
  *stored = merged_stored_;
  *postings = merged_bits_;
  return true;
}

bool WordCollector::Failed(BuildError* error) const {
  return !error_.message.empty() && !Fail(error, error_.code, error_.message);
}

}  // namespace lodex::build
