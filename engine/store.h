// Record fetching: a session's record buffers, the mapping window over mapping.dat,
// the prefetch window of record pointers, the field pointer cache and its counters.
#pragma once

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

// Mapping lookup: bit number to record pointer through the session's mapping window
// (counts a hit or a load). -1 when the bit lies beyond the base's records.
int64_t MappingLookup(Session& session, const Base& base, int64_t bit);

}  // namespace lodex
