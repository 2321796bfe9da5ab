// Writing meta.dat (layout: format/meta.h): the schema of a base as stored, with the
// record bounds, the table sizes and the offsets where each field's part of index1.dat
// and sort.dat begins.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "format/meta.h"

namespace lodex::build {

struct MetaTable {
  std::string name;  // Windows-1252
  uint32_t records = 0;
};

struct MetaField {
  uint16_t number = 0;
  std::string name;  // Windows-1252
  uint32_t flags = 0;
  uint32_t offset = 0;  // search and sort fields only; data fields store none
  uint32_t length = 0;  // for search fields the length word
  std::array<uint32_t, format::kTableMapWords> map{};
};

// The contents of a meta.dat; the counts are the lists' sizes.
struct MetaContents {
  std::vector<MetaTable> tables;
  std::vector<MetaField> data, search, sort;
  int32_t read_bytes = 0;
  int32_t decode_bytes = 0;
  int32_t version = format::kMetaVersion;
};

std::string MetaBytes(const MetaContents& meta);

}  // namespace lodex::build
