// Writing the records of a base: data.dat (each record's stored form, coded as
// record_coder.h describes), mapping.dat (the record pointers by bit number) and the
// code's weights, charfreq.dat and wordfreq.dat. Layouts: format/data.h,
// format/mapping.h, format/charfreq.h, format/wordfreq.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
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

// Appends the decoded form of record `bit` (each data field's text and a NUL) to *out.
using RecordFn = std::function<void(uint32_t bit, std::string* out)>;

// Writes the four files into dir for records 0 .. n - 1, with at most max_phrases
// phrases in the code. size_hint: about the bytes of all decoded records together.
bool WriteRecordFiles(const std::string& dir, uint32_t n, const RecordFn& record, size_t size_hint,
                      size_t max_phrases, const WriteHooks& hooks, RecordsWritten* out,
                      BuildError* error);

}  // namespace lodex::build
