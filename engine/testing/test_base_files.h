// Test support: writes small database directories (a meta.dat of the tests' choosing and
// minimal companions for the other files) into temporary directories.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "format/files.h"
#include "meta_writer.h"
#include "testing/temp_dir.h"

namespace lodex::testing {

// meta.dat contents, written by the builder's writer; the tests' bases default to
// 64 record bytes.
using build::MetaField;
using build::MetaTable;
struct MetaContents : build::MetaContents {
  MetaContents() {
    read_bytes = 64;
    decode_bytes = 64;
  }
  std::string Bytes() const { return build::MetaBytes(*this); }
};

// A small catalogue-like schema: two tables, three data fields, two search fields, one
// sort field.
inline MetaContents SmallCatalogue() {
  MetaContents m;
  m.tables = {{"Products", 3}, {"Accessories", 2}};
  m.data = {{100, "Item text", (1u << 0) | (1u << 21), 0, 60, {0xC0000000u}},
            {120, "Type number", (1u << 1) | (1u << 22), 0, 20, {0x80000000u}},
            {180, "Price", (1u << 2) | (7u << 5) | (2u << 13) | (1u << 21) | (1u << 22), 0, 10,
             {0x40000000u}}};
  m.search = {{100, "Item text", 1u | (1u << 19), 0, 60, {0xC0000000u}},
              {160, "EAN", (1u << 2) | (13u << 3) | (1u << 20), 0, 13, {0x80000000u}}};
  m.sort = {{120, "Type number", (1u << 0) | (4u << 1) | (1u << 9) | (1u << 17), 0, 20,
             {0xC0000000u}}};
  return m;
}

// The nine file names (format/files.h) as strings, in the engine's opening order.
inline const std::vector<std::string>& BaseFileNames() {
  static const std::vector<std::string> names(format::kBaseFiles.begin(), format::kBaseFiles.end());
  return names;
}

// Writes the nine files into dir: meta.dat from meta, 1024 zero bytes of byte weights,
// and zeros as large as meta's counts need in mapping.dat (every record at pointer 0),
// data.dat (one read) and sort.dat (every run); the rest empty. Files named in skip
// are left out.
inline void WriteBase(const std::string& dir, const MetaContents& meta,
                      const std::set<std::string>& skip = {}) {
  size_t records = 0;
  for (const MetaTable& t : meta.tables) records += t.records;
  size_t sort_bytes = 0;
  for (const MetaField& f : meta.sort) sort_bytes = std::max(sort_bytes, f.offset + 8 * records);
  for (const std::string& name : BaseFileNames()) {
    if (skip.count(name)) continue;
    std::string bytes;
    if (name == "meta.dat") bytes = meta.Bytes();
    if (name == "charfreq.dat") bytes.assign(1024, '\0');
    if (name == "mapping.dat") bytes.assign(4 * records, '\0');
    if (name == "data.dat") bytes.assign(static_cast<size_t>(std::max(meta.read_bytes, 0)), '\0');
    if (name == "sort.dat") bytes.assign(sort_bytes, '\0');
    WriteFile(dir + "/" + name, bytes);
  }
}

}  // namespace lodex::testing
