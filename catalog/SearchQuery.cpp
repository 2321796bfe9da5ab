#include "SearchQuery.h"

#include "EngineStartup.h"

QString ItemTextQuery(const QString& edit_text) {
  QString text = edit_text.trimmed();
  if (text.contains(QLatin1Char('-'))) {
    text.remove(QLatin1Char('*'));
    text = QLatin1Char('"') + text + QLatin1Char('"');
  }
  return text;
}

int32_t RunSearch(TEngineState& state, const TSearchTexts& texts) {
  TLodexKV& engine = *state.Engine;
  const int32_t session = state.Session;
  state.Marking->Clear();
  state.Quantities.Reset();

  struct Part {
    const QString& text;
    int16_t slot;
    int32_t field;
  };
  const Part parts[] = {{texts.ItemText, 1, 100},
                        {texts.TypeNumber, 2, 120},
                        {texts.ElNumber, 3, 140},
                        {texts.Ean, 4, 160}};

  int16_t collector = 0;
  int32_t failure = 0;
  for (const Part& part : parts) {
    if (part.text.isEmpty()) continue;
    engine.SearchConditions(session, part.field, part.text, 0);
    const int32_t searched = engine.Search(session);
    if (searched < 0) {
      // A search stopped by Escape (or refused) leaves only part of its terms in the
      // current bitmap; showing that as the result would pass a broken search off as
      // a complete one.
      failure = searched;
      break;
    }
    engine.StoreBitmap(session, part.slot);
    if (collector == 0) {
      collector = part.slot;
    } else {
      engine.AndBitmaps(session, collector, collector, part.slot);
    }
  }

  int32_t hits = 0;
  if (failure < 0) {
    engine.ClearBitmap(session, 0);
    hits = failure;
  } else if (collector != 0) {
    if (collector != 1) {
      engine.RestoreBitmap(session, collector);
      engine.StoreBitmap(session, 1);
    }
    engine.RestoreBitmap(session, 1);
    hits = engine.HitCount(session);
  } else {
    engine.ClearBitmap(session, 0);
  }

  state.ResultView->Invalidate();
  state.ResultView->Refresh();
  return hits;
}
