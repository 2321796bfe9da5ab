// Writing the records of a base: data.dat (each record's stored form, coded as
// record_coder.h describes), mapping.dat (the record pointers by bit number) and the
// code's weights, charfreq.dat and wordfreq.dat. Layouts: format/data.h,
// format/mapping.h, format/charfreq.h, format/wordfreq.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "build_error.h"

namespace lodex::build {

// What a long write reports to its caller, and how it learns it should stop.
struct WriteHooks {
  std::function<void(const std::string& phase, uint64_t total)> phase;
  std::function<void(uint64_t done)> tick;
  std::function<bool()> stopped;
};

struct RecordsWritten {
  std::vector<uint32_t> pointers;  // bit number -> record pointer
  // R = D: covers every record's stored, zero-run coded and decoded form.
  int32_t read_bytes = 0;
  uint64_t record_bytes = 0;  // decoded records, all together
  uint64_t stored_bytes = 0;  // their stored forms, without padding
  size_t phrases = 0;
};

// One pass over the records: calls each(bit, record) for every stride-th record in bit
// order (bits 0, stride, 2 * stride, ...) with its decoded form (each data field's text
// and a NUL). False with the error that stopped it (rows that could not be read back).
using RecordEach = std::function<void(uint32_t bit, std::string_view record)>;
using RecordPass = std::function<bool(uint32_t stride, const RecordEach& each, BuildError* error)>;

// Writes the four files into dir for records 0 .. n - 1, with at most max_phrases
// phrases in the code. The records are read in passes and never held all at once: one
// over a sample to choose phrases, one to count their uses, one to write.
bool WriteRecordFiles(const std::string& dir, uint32_t n, const RecordPass& pass, size_t max_phrases,
                      const WriteHooks& hooks, RecordsWritten* out, BuildError* error);

}  // namespace lodex::build
