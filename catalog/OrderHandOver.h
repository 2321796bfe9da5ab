// Taking the marked hits of the search window over into the order list: each marked hit,
// in ascending hit order, is fetched once more and becomes an order line with the quantity
// chosen for it (1 for hits that have no quantity entry).
#pragma once

#include <cstdint>
#include <functional>

class TLodexKV;
class TMarking;
class TQuantityTable;

namespace order {

class TOrderGridModel;

// Engine data fields of an order line.
inline constexpr int32_t kItemTextField = 100;
inline constexpr int32_t kTypeNumberField = 120;
inline constexpr int32_t kElNumberField = 140;
inline constexpr int32_t kEanField = 160;
inline constexpr int32_t kPriceField = 180;
inline constexpr int32_t kDiscountCodeField = 190;

struct HandOverResult {
  int32_t marked = 0;       // marks when the hand-over started
  int32_t handed_over = 0;  // lines added to the order list
  bool complete() const { return handed_over == marked; }
};

// Adds one order line per marked hit. `between_lines` runs before each line (the window
// keeps itself painted there). A record that cannot be fetched, or a mark that is gone,
// ends the hand-over; the marks of the hits already taken over are then removed, so that
// taking the rest over again does not add those lines a second time.
HandOverResult HandOverMarkedHits(TLodexKV& engine, int32_t session, TMarking& marking,
                                  const TQuantityTable& quantities, TOrderGridModel& order,
                                  const std::function<void()>& between_lines = {});

}  // namespace order
