// The checks of a schema against the other files of its base, made while the base opens
// and before anything is sized by the schema. A damaged or hostile meta.dat is refused
// rather than trusted with memory and reads that its files cannot back. (The checks that
// need meta.dat alone are made while it is read; see ReadSchema.)
#pragma once

#include <cstdint>

#include "fileset.h"
#include "schema.h"

namespace lodex {

// What the checks measure of the files.
struct BaseFileSizes {
  int64_t mapping = 0;
  int64_t data = 0;
  int64_t index1 = 0;
  int64_t sort = 0;
  // The record pointer of the last record's mapping.dat entry; 0 without records or
  // when mapping.dat ends before that entry.
  int64_t last_pointer = 0;
};

// Measures the opened files; every stream measured is left at its start.
BaseFileSizes MeasureBaseFiles(FileSet& files, uint32_t total_records);

// 0 when every count and size of the schema fits the files, else ERROR_BadMetaFile:
//   total record count N         at most mapping.dat's size / 4
//   record read bytes R          at most data.dat's size less the last record's pointer
//   record decode bytes D        at most the record buffer size, 2 * R + 200
//   each search field's offset   at most index1.dat's size
//   each sort field's offset     plus 8 * N at most sort.dat's size
int32_t CheckSchemaBounds(const Schema& schema, const BaseFileSizes& sizes);

}  // namespace lodex
