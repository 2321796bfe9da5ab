// TResultSort: the order of the search grid's hits. A data field that has a sort field
// of the same number in the base can order the hits through the engine's sort (the
// base carries every sort field's order presorted, so a sort is one pass over it
// whatever the number of hits). Marks and quantities belong to products, not to
// places in the grid: whenever the order changes they move with their products.
#pragma once

#include <QList>
#include <cstdint>
#include <utility>

class TLodexKV;
class TMarking;
class TQuantityTable;
class TResultView;

class TResultSort {
 public:
  enum class Order { Base, Ascending, Descending };

  TResultSort(TLodexKV& engine, TResultView& view, TMarking& marking, TQuantityTable& quantities);

  // Whether the data field (by index) can order the hits. Asked once per field.
  bool IsSortable(int32_t field_index) const { return sortable_.value(field_index, false); }
  // The data field the hits are ordered by (-1 in base order), and how.
  int32_t Field() const { return field_; }
  Order CurrentOrder() const { return order_; }
  // The order of one field: Base unless the hits are ordered by it.
  Order OrderOf(int32_t field_index) const;

  // A click on the field's header: ascending first, descending on the next click, and
  // back to base order on the third. Answers false, in base order, when the engine
  // could not sort; false and no change for a field that cannot sort.
  bool Click(int32_t field_index);
  // Orders the hits; the view is told to reload its page. Marks and quantities move.
  bool SortBy(int32_t field_index, Order order);
  // A new search: the engine is back in base order and the marks and quantities are
  // about to be cleared, so nothing moves.
  void Forget();

 private:
  // The record of each marked hit and of each hit with a quantity, in the present order.
  struct Carried {
    QList<int32_t> marked;                          // records
    QList<std::pair<int32_t, int32_t>> quantities;  // record, quantity
    bool empty() const { return marked.isEmpty() && quantities.isEmpty(); }
  };
  Carried TakeCarried();
  // Puts marks and quantities back on the hits their records have in the new order.
  void PutCarried(const Carried& carried);
  // The record shown at a hit in the present order; negative when there is none.
  int32_t RecordOfHit(int32_t hit);
  // The engine sorts the hits of the view's table only: the others are left out of
  // the sorted list, which then numbers exactly the hits the grid pages through.
  bool EngineSort(int32_t field_number, Order order);

  TLodexKV& engine_;
  TResultView& view_;
  TMarking& marking_;
  TQuantityTable& quantities_;
  QList<bool> sortable_;
  int32_t field_ = -1;
  Order order_ = Order::Base;
};
