// TQuantityTable: the quantity chosen for each hit of the current result. Hit h
// (0-based, in result order) has entry h + 1; hits from kFirstHitWithout on have no
// entry, read as quantity 1 and cannot be given another.
#pragma once

#include <cstdint>
#include <vector>

class TQuantityTable {
 public:
  static constexpr int32_t kEntries = 60001;
  static constexpr int32_t kFirstHitWithout = kEntries - 1;

  TQuantityTable() : entries_(kEntries, 1) {}

  // Every quantity back to 1.
  void Reset();
  // Whether the hit has an entry, i.e. can be given a quantity.
  static bool HasEntry(int32_t hit) { return hit >= 0 && hit < kFirstHitWithout; }
  // The hit's quantity; 1 for hits without an entry.
  int32_t ForHit(int32_t hit) const;
  // Stores the quantity (values below 1 become 1); false, and nothing stored, for a
  // hit without an entry.
  bool SetForHit(int32_t hit, int32_t quantity);

 private:
  std::vector<int32_t> entries_;
};
