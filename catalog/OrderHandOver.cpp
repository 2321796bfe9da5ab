#include "OrderHandOver.h"

#include <QList>
#include <QString>

#include "LodexKV.h"
#include "Marking.h"
#include "OrderModel.h"
#include "QuantityTable.h"

namespace order {

HandOverResult HandOverMarkedHits(TLodexKV& engine, int32_t session, TMarking& marking,
                                  const TQuantityTable& quantities, TOrderGridModel& order,
                                  const std::function<void()>& between_lines) {
  HandOverResult result;
  result.marked = marking.Count();
  QList<int32_t> taken;
  for (int32_t i = 0; i < result.marked; ++i) {
    if (between_lines) between_lines();
    const int32_t hit = marking.Get(i);
    if (hit < 0 || engine.FetchRecord(session, hit) < 0) break;
    order.AddOrderLine(engine.GetFieldData(session, kItemTextField),
                       QString::number(quantities.ForHit(hit)),
                       engine.GetFieldData(session, kTypeNumberField),
                       engine.GetFieldData(session, kElNumberField),
                       engine.GetFieldData(session, kEanField),
                       engine.GetFieldData(session, kPriceField),
                       engine.GetFieldData(session, kDiscountCodeField));
    taken.push_back(hit);
    ++result.handed_over;
  }
  if (!result.complete()) {
    for (int32_t hit : taken) marking.SetMark(hit, false);
  }
  return result;
}

}  // namespace order
