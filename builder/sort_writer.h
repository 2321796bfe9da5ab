// Writing sort.dat (layout: format/sort.h): for each sort field one run of every
// record, presorted by the field's collation, hollow records (empty values) last.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "build_error.h"
#include "build_schema.h"
#include "out_file.h"

namespace lodex::build {

// The key whose byte order is the collation's order. Numeric keys are fixed-width
// (widest_int integer and widest_frac fraction places, the widest of the field), so
// byte order is numeric order; value must be a number (see ParseNumber).
std::string SortKey(Collation collation, std::string_view value, int widest_int, int widest_frac);

// One sort field's run, filled in bit order. Keys are held in memory up to a budget;
// past it they are sorted and written as a run to a file in the work directory, and
// the runs are merged when the sort run is written.
class SortRun {
 public:
  SortRun() = default;  // everything in memory
  SortRun(std::string work_dir, size_t budget_bytes)
      : work_dir_(std::move(work_dir)), budget_(budget_bytes) {}
  ~SortRun();
  SortRun(const SortRun&) = delete;
  SortRun& operator=(const SortRun&) = delete;

  void AddValue(uint32_t bit, std::string_view key);
  void AddHollow(uint32_t bit);
  // Appends the entries: keyed records in ascending key order (equal keys in bit order),
  // then the hollow records in bit order with the hollow mark. pointers: per bit.
  // False with an output error when a run file could not be written or read back.
  bool Write(const std::vector<uint32_t>& pointers, OutFile* out, BuildError* error = nullptr);
  // How many runs went to files (0 when everything fitted in memory).
  size_t spilled_runs() const { return runs_.size(); }

 private:
  // The held keys' indexes in key order, ties in bit order.
  std::vector<uint32_t> SortedOrder() const;
  std::string_view Key(uint32_t i) const;
  void Spill();
  void Clear();
  // Merges the runs in key order, ties in bit order (the runs hold ascending bits one
  // after the other, so the earlier run's entry first).
  bool Merge(const std::function<void(std::string_view key, uint32_t bit)>& put, BuildError* error);

  std::string work_dir_;
  size_t budget_ = 0;  // 0: no limit
  std::string keys_;
  std::vector<uint64_t> key_at_;
  std::vector<uint32_t> valued_;
  std::vector<uint32_t> hollow_;
  std::vector<std::string> runs_;
  BuildError spill_error_;
};

// A number as written in a price list: optional sign, digits, optional decimal comma or
// point and digits (blanks already removed). Sets the counts of significant integer
// and fraction digits.
bool ParseNumber(std::string_view text, int* int_digits, int* frac_digits);

}  // namespace lodex::build
