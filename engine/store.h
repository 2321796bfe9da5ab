// Record fetching: a session's record buffers, the mapping window over mapping.dat,
// the prefetch window of record pointers, the field pointer cache and its counters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lodex {

struct Base;
struct Session;

// mapping.dat entries held by the mapping window.
inline constexpr int32_t kMappingWindow = 4096;
// Default prefetch window length.
inline constexpr int32_t kDefaultPrefetch = 10;

struct RecordState {
  // Byte offset in data.dat of the last fetched record (0 before the first fetch).
  int32_t current_ptr = 0;

  // Buffer 1 receives the stored bytes and then holds the decoded record; buffer 2
  // holds the first stage's output. Each is recordReadBytes * 2 + 200 bytes.
  std::vector<uint8_t> buffer1;
  std::vector<uint8_t> buffer2;
  int32_t read_bytes = 0;    // recordReadBytes of the base
  int32_t decode_bytes = 0;  // recordDecodeBytes of the base

  // One text pointer per data field index, all null after every decode.
  std::vector<const char*> fields;

  // Mapping window: kMappingWindow entries starting at bit map_first.
  std::vector<uint32_t> map_window;
  int32_t map_first = -1;
  int32_t map_last = -1;
  int32_t map_hits = 0;
  int32_t map_loads = 0;

  // Prefetch window: record pointers of hits pre_first .. pre_last.
  std::vector<uint32_t> prefetch;
  int32_t pre_first = -1;
  int32_t pre_last = -1;
  int32_t before = 0;
  int32_t after = 0;

  void Init(const Base& base);
  // Sizes everything from plain numbers (used by Init and by tests).
  void Reset(int32_t record_read_bytes, int32_t record_decode_bytes, int32_t data_fields,
             uint32_t total_records);

  void InvalidatePrefetch() { pre_first = pre_last = -1; }
  void ClearFieldCache();
};

// A record pointer that names no record: fetching it gives a record of empty texts.
inline constexpr int64_t kNoRecord = -1;

// Mapping lookup: bit number to record pointer through the session's mapping window
// (counts a hit or a load). kNoRecord for a bit outside the base's records. The caller
// holds the base's fetch lock (mapping.dat is shared by all sessions).
int64_t MappingLookup(Session& session, const Base& base, int64_t bit);

// Makes the hit the session's current record and decodes it (APIFetchRecord, and with
// optimized APIFetchRecordOptimized). Takes the base's fetch lock. Answers 0, -104 for a
// hit outside 0 .. hit total - 1, or -120 when the fetch lock could not be had. A hit
// that cannot be placed gives a record of empty texts.
int32_t FetchHit(Session& session, Base& base, int32_t hit, bool optimized);

// Makes the record at that data.dat offset current (APIFetchRecordByPtr); takes the
// fetch lock. Answers 0 or -120.
int32_t FetchPointer(Session& session, Base& base, int64_t pointer);

// The text of the data field with that number in the current record, or null when no
// data field has it. Splits the record on first use after a decode.
const char* FieldText(Session& session, const Base& base, int32_t field_number);

// Points fields[0 .. n) at the texts of a decoded record in buf: each field starts after
// the previous NUL; a field that runs into limit is cut before it (buf[limit - 1] becomes
// NUL) and the next field starts again at 0. buf must stay readable 64 bytes past limit.
void SplitRecordFields(char* buf, int32_t limit, const char** fields, size_t n);

// Sets the prefetch window's before and after (negative values count as 0) and empties it.
void SetPrefetchPolicy(RecordState& records, uint32_t total_records, int32_t before, int32_t after);

}  // namespace lodex
