// The search family: a session's search conditions and exact flag, running a search
// into the current hits, and the host's Escape-key probe that stops one.
#include <string>
#include <string_view>
#include <vector>

#include "base.h"
#include "bitmaps.h"
#include "format/meta.h"
#include "lodex32.h"
#include "lodex32_errors.h"
#include "platform.h"
#include "registry.h"
#include "search.h"
#include "session.h"

using namespace lodex;

extern "C" LODEX_API void LodexSetEscapeProbe(int32_t (*probe)(void)) { SetEscapeProbe(probe); }

extern "C" LODEX_API int32_t APISearchConditions(int32_t session, int32_t search_field_number,
                                                 const char* text, int32_t combine) {
  try {
    SessionRef ref = FindSession(session);
    if (ref.error != 0) return ref.error;
    SearchState& search = ref.session->search;
    const int32_t index = ref.base->schema.search.by_number.Find(search_field_number);
    if (index < 0) {
      search.field_number = ERROR_BadField;
      search.field_index = -1;
      return ERROR_BadField;
    }
    const std::string_view query = text ? std::string_view(text) : std::string_view();
    search.text.assign(query.substr(0, kMaxQueryChars));
    search.field_number = search_field_number;
    search.field_index = index;
    search.combine = combine;
    return 0;
  } catch (...) {
    return FAULT_SearchConditions;
  }
}

extern "C" LODEX_API int32_t APISearchExact(int32_t session, int32_t flag) {
  SessionRef ref = FindSession(session);
  if (ref.error != 0) return ref.error;
  ref.session->search.exact = flag;
  return 0;
}

extern "C" LODEX_API int32_t APISearch(int32_t session) {
  try {
    SessionRef ref = FindSession(session);
    if (ref.error != 0) return ref.error;
    Session& s = *ref.session;
    Base& base = *ref.base;
    const SearchState& search = s.search;
    if (search.field_index < 0 ||
        static_cast<size_t>(search.field_index) >= base.index.fields.size()) {
      return ERROR_BadField;
    }

    BoundedLock<TimedMutex> lock(base.search_lock);
    if (!lock.owns()) return ERROR_BadOperationScene;
    PollEscape();  // only presses from now on count

    TermScope scope;
    scope.index = &base.index;
    scope.field = search.field_index;
    const int32_t reverse_number =
        search.field_number + static_cast<int32_t>(format::kReverseFieldOffset);
    scope.reverse_field =
        reverse_number <= 0xFFFF ? base.schema.search.by_number.Find(reverse_number) : -1;
    if (static_cast<size_t>(scope.reverse_field + 1) > base.index.fields.size()) {
      scope.reverse_field = -1;
    }
    scope.exact = search.exact != 0;
    scope.cancelled = &s.cancelled;
    scope.lock = &lock;

    BitmapState& bm = s.bitmaps;
    const std::string text = search.text;
    const std::vector<std::string_view> terms = SplitQuery(text);
    for (size_t i = 0; i < terms.size(); ++i) {
      const Term term = ParseTerm(terms[i]);
      if (i == 0 && term.form != TermForm::kWildcard) {
        // A first term that cannot be stopped is built in the current bitmap itself:
        // only the blocks the previous result used are cleared, and only the blocks
        // that receive hits are counted.
        try {
          EvaluateTerm(scope, term, PostingTarget(bm.current.data(), &bm.current_blocks));
        } catch (...) {
          bm.CurrentChanged();
          throw;
        }
        RecountMarked(s);
        continue;
      }
      const int32_t result = EvaluateTerm(scope, term, bm.scratch.data());
      if (result != 0) return result;
      if (i == 0) {
        bm.current = bm.scratch;
      } else if (search.combine == 0) {
        AndInto(bm.current, bm.scratch);
      } else {
        OrInto(bm.current, bm.scratch);
      }
      Recount(s);
    }
    // Every term ended with a recount, so the counts already describe the result.
    s.sort.order_mode = kBitmapOrder;
    return 0;
  } catch (...) {
    return FAULT_Search;
  }
}
