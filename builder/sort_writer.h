// Writing sort.dat (layout: format/sort.h): for each sort field one run of every
// record, presorted by the field's collation, hollow records (empty values) last.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "build_schema.h"
#include "out_file.h"

namespace lodex::build {

// The key whose byte order is the collation's order. Numeric keys are fixed-width
// (widest_int integer and widest_frac fraction places, the widest of the field), so
// byte order is numeric order; value must be a number (see ParseNumber).
std::string SortKey(Collation collation, std::string_view value, int widest_int, int widest_frac);

// One sort field's run, filled in bit order.
class SortRun {
 public:
  void AddValue(uint32_t bit, std::string_view key);
  void AddHollow(uint32_t bit);
  // Appends the entries: keyed records in ascending key order (equal keys in bit order),
  // then the hollow records in bit order with the hollow mark. pointers: per bit.
  void Write(const std::vector<uint32_t>& pointers, OutFile* out) const;

 private:
  std::string keys_;
  std::vector<uint64_t> key_at_;
  std::vector<uint32_t> valued_;
  std::vector<uint32_t> hollow_;
};

// A number as written in a price list: optional sign, digits, optional decimal comma or
// point and digits (blanks already removed). Sets the counts of significant integer
// and fraction digits.
bool ParseNumber(std::string_view text, int* int_digits, int* frac_digits);

}  // namespace lodex::build
