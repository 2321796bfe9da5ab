#include "sort_writer.h"

#include <algorithm>
#include <numeric>

#include "format/coding.h"
#include "format/sort.h"
#include "key_order.h"
#include "spill_file.h"
#include "textkeys.h"

namespace lodex::build {

namespace fmt = lodex::format;

bool ParseNumber(std::string_view s, int* int_digits, int* frac_digits) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  size_t digits = 0, lead = 0;
  bool leading = true;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    if (leading && s[i] == '0') ++lead; else leading = false;
    ++digits;
    ++i;
  }
  size_t frac = 0, frac_sig = 0;
  if (i < s.size() && (s[i] == ',' || s[i] == '.')) {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      ++frac;
      if (s[i] != '0') frac_sig = frac;
      ++i;
    }
  }
  if (i != s.size() || digits + frac == 0) return false;
  *int_digits = static_cast<int>(digits - lead);
  *frac_digits = static_cast<int>(frac_sig);
  return true;
}

std::string SortKey(Collation collation, std::string_view value, int widest_int, int widest_frac) {
  switch (collation) {
    case Collation::kKey: return MapThrough(ComposedTable(), value);
    case Collation::kNumeric: return NumericKey(value, widest_int, widest_frac);
    case Collation::kBytes: break;
  }
  return std::string(value);
}

void SortRun::AddValue(uint32_t bit, std::string_view key) {
  valued_.push_back(bit);
  key_at_.push_back(keys_.size());
  keys_.append(key);
  // Per key: its bytes, its offset and bit, and its place in the sort order; twice that
  // for what growing the arrays may leave unused.
  if (budget_ > 0 && !work_dir_.empty() && 2 * (keys_.size() + valued_.size() * 18) >= budget_) Spill();
}

SortRun::~SortRun() { RemoveSpillFiles(runs_); }

void SortRun::AddHollow(uint32_t bit) { hollow_.push_back(bit); }

std::string_view SortRun::Key(uint32_t i) const {
  const uint64_t end = i + 1 < key_at_.size() ? key_at_[i + 1] : keys_.size();
  return std::string_view(keys_).substr(key_at_[i], end - key_at_[i]);
}

std::vector<uint32_t> SortRun::SortedOrder() const {
  std::vector<uint32_t> order(valued_.size());
  std::iota(order.begin(), order.end(), 0u);
  // Indexes follow bit order, so ties by index are ties in bit order.
  SortByKey(&order, [&](uint32_t i) { return Key(i); });
  return order;
}

void SortRun::Clear() {
  keys_.clear();
  key_at_.clear();
  valued_.clear();
}

namespace {

// Runs merged at once at most; more are merged into one first.
constexpr size_t kMaxRuns = 32;

void PutEntry(std::string_view key, uint32_t bit, std::string& entry, OutFile* file) {
  entry.clear();
  PutVarint64(entry, key.size());
  entry.append(key);
  fmt::PutFixed32(entry, bit);
  file->Append(entry);
}

}  // namespace

// A run file: per key in order, its length (varint), its bytes and its bit.
void SortRun::Spill() {
  if (valued_.empty()) return;
  const std::vector<uint32_t> order = SortedOrder();
  const std::string path = SpillPath(work_dir_, "sort-run");
  OutFile file;
  std::string entry;
  if (spill_error_.message.empty() && file.Open(path, &spill_error_)) {
    for (uint32_t i : order) PutEntry(Key(i), valued_[i], entry, &file);
    file.Close(&spill_error_);
  }
  runs_.push_back(path);
  Clear();
  if (runs_.size() < kMaxRuns || !spill_error_.message.empty()) return;
  const std::string merged = SpillPath(work_dir_, "sort-run");
  if (file.Open(merged, &spill_error_)) {
    Merge([&](std::string_view key, uint32_t bit) { PutEntry(key, bit, entry, &file); }, &spill_error_);
    file.Close(&spill_error_);
  }
  RemoveSpillFiles(runs_);
  runs_.assign(1, merged);
}

bool SortRun::Merge(const std::function<void(std::string_view key, uint32_t bit)>& put, BuildError* error) {
  struct Head {
    std::string key;
    uint32_t bit = 0;
  };
  const size_t count = runs_.size();
  std::vector<SpillReader> readers(count);
  std::vector<Head> heads(count);
  auto advance = [&](size_t r) {
    uint64_t length = 0;
    const char* p = nullptr;
    // Each Take may move the buffer: the key is copied before the bit is read.
    if (!readers[r].TakeVarint(&length) || !(p = readers[r].Take(length))) {
      readers[r].Close();
      return false;
    }
    heads[r].key.assign(p, length);
    if (!readers[r].TakeFixed32(&heads[r].bit)) {
      readers[r].Close();
      return false;
    }
    return true;
  };
  auto later = [&](size_t a, size_t b) {  // for a min-heap
    const int c = heads[a].key.compare(heads[b].key);
    return c != 0 ? c > 0 : a > b;
  };
  std::vector<size_t> heap;
  const size_t buffer = std::clamp<size_t>(budget_ / (count + 1), 64 << 10, 1 << 20);
  for (size_t r = 0; r < count; ++r) {
    if (!readers[r].Open(runs_[r], buffer, error)) return false;
    if (advance(r)) heap.push_back(r);
    else if (readers[r].Failed(error)) return false;
  }
  std::make_heap(heap.begin(), heap.end(), later);
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), later);
    const size_t r = heap.back();
    put(heads[r].key, heads[r].bit);
    if (advance(r)) {
      std::push_heap(heap.begin(), heap.end(), later);
    } else {
      if (readers[r].Failed(error)) return false;
      heap.pop_back();
    }
  }
  return true;
}

bool SortRun::Write(const std::vector<uint32_t>& pointers, OutFile* out, BuildError* error) {
  BuildError ignored;
  if (!error) error = &ignored;
  std::string run;
  auto put = [&](uint32_t entry, uint32_t bit) {
    fmt::PutFixed32(run, entry);
    fmt::PutFixed32(run, pointers[bit]);
    if (run.size() >= (1u << 20)) {
      out->Append(run);
      run.clear();
    }
  };
  if (runs_.empty()) {
    for (uint32_t i : SortedOrder()) put(valued_[i], valued_[i]);
  } else {
    Spill();
    if (!spill_error_.message.empty()) return Fail(error, spill_error_.code, spill_error_.message);
    if (!Merge([&](std::string_view, uint32_t bit) { put(bit, bit); }, error)) return false;
    RemoveSpillFiles(runs_);
    runs_.clear();
  }
  for (uint32_t bit : hollow_) put(bit | fmt::kHollowMark, bit);
  out->Append(run);
  return true;
}

}  // namespace lodex::build
