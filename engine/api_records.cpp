// The record family: fetching a session's hits as records, the record's field texts,
// and the settings and counters of the mapping and prefetch windows.
#include "base.h"
#include "lodex32_errors.h"
#include "lodex32.h"
#include "registry.h"
#include "session.h"
#include "store.h"

using namespace lodex;

extern "C" LODEX_API int32_t APIFetchRecord(int32_t session, int32_t hit) {
  try {
    SessionRef ref = FindSession(session);
    if (ref.error) return ref.error;
    return FetchHit(*ref.session, *ref.base, hit, false);
  } catch (...) {
    return FAULT_FetchRecord;
  }
}

extern "C" LODEX_API int32_t APIFetchRecordOptimized(int32_t session, int32_t hit) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return FetchHit(*ref.session, *ref.base, hit, true);
}

extern "C" LODEX_API int32_t APIFetchRecordByPtr(int32_t session, int32_t record_ptr) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return FetchPointer(*ref.session, *ref.base, record_ptr);
}

extern "C" LODEX_API int32_t APIGetCurrentRecordPtr(int32_t session) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return ref.session->records.current_ptr;
}

extern "C" LODEX_API const char* APIGetFieldData(int32_t session, int32_t data_field_number) {
  try {
    SessionRef ref = FindSession(session);
    if (ref.error) return nullptr;
    return FieldText(*ref.session, *ref.base, data_field_number);
  } catch (...) {
    return "-999";
  }
}

extern "C" LODEX_API int32_t APIMappingCachePolitics(int32_t session, int32_t before,
                                                     int32_t after) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  SetPrefetchPolicy(ref.session->records, ref.base->schema.total_records, before, after);
  return 0;
}

extern "C" LODEX_API int32_t APIMappingCacheHit(int32_t session) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return ref.session->records.map_hits;
}

extern "C" LODEX_API int32_t APIMappingCacheMiss(int32_t session) {
  SessionRef ref = FindSession(session);
  if (ref.error) return ref.error;
  return ref.session->records.map_loads;
}
