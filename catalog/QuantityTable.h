// TQuantityTable: the quantity chosen for each hit of the current result. Hit h
// (0-based, in result order) has entry h + 1; hits from kFirstHitWithout on have no
// entry, read as quantity 1 and cannot be given another. A quantity that moves with
// its product when the result is sorted may land on such a hit; it is then kept
// aside (Place) so that sorting never loses a quantity the user chose.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include <QHash>
#include <QList>

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

  // Every hit whose quantity is not 1, with its quantity.
  QList<std::pair<int32_t, int32_t>> Chosen() const;
  // Stores a quantity that moved with its product to the hit, with or without an entry.
  void Place(int32_t hit, int32_t quantity);

 private:
  std::vector<int32_t> entries_;
  QHash<int32_t, int32_t> beyond_;  // moved quantities of hits without an entry
};
