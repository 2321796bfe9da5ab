#include "sort_writer.h"

#include <algorithm>
#include <numeric>

#include "format/coding.h"
#include "format/sort.h"
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
}

void SortRun::AddHollow(uint32_t bit) { hollow_.push_back(bit); }

void SortRun::Write(const std::vector<uint32_t>& pointers, OutFile* out) const {
  std::vector<uint32_t> order(valued_.size());
  std::iota(order.begin(), order.end(), 0u);
  auto key = [&](uint32_t i) {
    const uint64_t end = i + 1 < key_at_.size() ? key_at_[i + 1] : keys_.size();
    return std::string_view(keys_).substr(key_at_[i], end - key_at_[i]);
  };
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
  std::string run;
  run.reserve((valued_.size() + hollow_.size()) * fmt::kSortEntryBytes);
  for (uint32_t i : order) {
    fmt::PutFixed32(run, valued_[i]);
    fmt::PutFixed32(run, pointers[valued_[i]]);
  }
  for (uint32_t bit : hollow_) {
    fmt::PutFixed32(run, bit | fmt::kHollowMark);
    fmt::PutFixed32(run, pointers[bit]);
  }
  out->Append(run);
}

}  // namespace lodex::build
