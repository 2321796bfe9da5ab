// Writing meta.dat (layout: format/meta.h): the schema of a base, with the record
// bounds, table sizes and the offsets where each field's part of index1.dat and
// sort.dat begins.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "build_schema.h"

namespace lodex::build {

std::string MetaBytes(const BuildSchema& schema, const std::vector<uint32_t>& table_records,
                      int32_t record_read_bytes, int32_t record_decode_bytes,
                      const std::vector<uint32_t>& index1_offsets, const std::vector<uint32_t>& sort_offsets);

}  // namespace lodex::build
