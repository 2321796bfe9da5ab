// The index-word family: counting a search field's words, locating a text among them,
// and listing pages of words, plain, restricted to the included tables or to the words
// of the current hits.
#include <cstdint>

#include "base.h"
#include "lodex32.h"
#include "lodex32_errors.h"
#include "registry.h"
#include "session.h"
#include "wordindex.h"
#include "wordlist.h"

using namespace lodex;

namespace {

// The common start of the exports: the session (-102), its base (-101) and the search
// field by number (-103).
struct FoundField {
  SessionRef ref;
  WordListField field;
  int32_t error = 0;
};

FoundField FindField(int32_t session, int32_t field_number) {
  FoundField f;
  f.ref = FindSession(session);
  if (f.ref.error != 0) {
    f.error = f.ref.error;
    return f;
  }
  f.field.base = f.ref.base;
  f.field.session = f.ref.session;
  f.field.field = f.ref.base->schema.search.by_number.Find(field_number);
  if (f.field.field < 0 ||
      static_cast<size_t>(f.field.field) >= f.ref.base->index.fields.size()) {
    f.error = ERROR_BadField;
  }
  return f;
}

}  // namespace

extern "C" LODEX_API int32_t APIIndexWordCount(int32_t session, int32_t search_field_number) {
  const FoundField f = FindField(session, search_field_number);
  if (f.error != 0) return f.error;
  return CountIndexWords(f.field);
}

extern "C" LODEX_API int32_t APILocateIndexWord(int32_t session, int32_t search_field_number,
                                                const char* text, int32_t mode) {
  const FoundField f = FindField(session, search_field_number);
  if (f.error != 0) return f.error;
  return LocateIndexWord(f.field, text, mode);
}

extern "C" LODEX_API int32_t APIGetIndexWordsEx(int32_t session, int32_t search_field_number,
                                                int32_t first, int32_t count, int32_t mode,
                                                void* entries) {
  try {
    const FoundField f = FindField(session, search_field_number);
    if (f.error != 0) return f.error;
    return ListIndexWordsFrom(f.field, first, count, mode, search_field_number, entries);
  } catch (...) {
    return FAULT_GetIndexWordsEx;
  }
}

extern "C" LODEX_API int32_t APIGetIndexWords(int32_t session, int32_t search_field_number,
                                              const char* text, int32_t count, int32_t mode,
                                              void* entries) {
  try {
    const FoundField f = FindField(session, search_field_number);
    if (f.error != 0) return f.error;
    return ListIndexWordsAt(f.field, text, count, mode, entries);
  } catch (...) {
    return FAULT_GetIndexWords;
  }
}

extern "C" LODEX_API int32_t APIHearYeTheIndexWordsOfTheLord(int32_t session,
                                                             int32_t search_field_number,
                                                             const char* text, int32_t count,
                                                             int32_t mode, void* entries) {
  try {
    const FoundField f = FindField(session, search_field_number);
    if (f.error != 0) return f.error;
    return ListWordsInTables(f.field, text, count, mode, entries);
  } catch (...) {
    return FAULT_GetIndexWords;
  }
}

extern "C" LODEX_API int32_t APIFilteredIndexWordCount(int32_t session,
                                                       int32_t search_field_number) {
  const FoundField f = FindField(session, search_field_number);
  if (f.error != 0) return f.error;
  return MarkFilteredWords(f.field);
}

extern "C" LODEX_API int32_t APIGetFilteredIndexWords(int32_t session,
                                                      int32_t search_field_number,
                                                      int32_t count, void* entries) {
  const FoundField f = FindField(session, search_field_number);
  if (f.error != 0) return f.error;
  return ListFilteredWords(f.field, count, entries);
}
