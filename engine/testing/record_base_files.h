// Test support: writes a small base with real records, mapping.dat and sort.dat. Its
// weight files give the flat code (every byte coded as itself), so a record's stored
// form is simply its zero-run coded bytes. Used by the tests and the fuzz targets.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "format/coding.h"
#include "format/sort.h"
#include "record_coder.h"
#include "testing/test_base_files.h"

namespace lodex::testing {

struct RecordBaseSpec {
  std::vector<uint32_t> tables;                  // record count per table
  std::vector<std::vector<std::string>> records;  // per record: data field texts
  std::vector<uint16_t> data_numbers = {100, 120};
  // Per sort field: its number and its run as (record, hollow) in ascending order.
  struct SortRun {
    uint16_t number;
    std::vector<std::pair<uint32_t, bool>> run;
  };
  std::vector<SortRun> sorts;
  int32_t read_bytes = 64;
  int32_t decode_bytes = 64;
};

// A base of n records in the given tables; record r's texts are "R<r>" and "T<r mod 7>".
// One sort field (number 44) orders records by r mod 5 (ties in bit order); records with
// r mod 5 == 3 are hollow.
inline RecordBaseSpec NumberedBase(std::vector<uint32_t> tables) {
  RecordBaseSpec def;
  def.tables = std::move(tables);
  uint32_t n = 0;
  for (uint32_t c : def.tables) n += c;
  for (uint32_t r = 0; r < n; ++r) {
    def.records.push_back({"R" + std::to_string(r), "T" + std::to_string(r % 7)});
  }
  RecordBaseSpec::SortRun run{44, {}};
  for (uint32_t v = 0; v < 5; ++v) {
    if (v == 3) continue;
    for (uint32_t r = v; r < n; r += 5) run.run.push_back({r, false});
  }
  for (uint32_t r = 3; r < n; r += 5) run.run.push_back({r, true});
  def.sorts.push_back(run);
  return def;
}

// Record pointers of the written base, by bit number.
struct WrittenBase {
  std::vector<uint32_t> pointers;
};

inline WrittenBase WriteRecordBase(const std::string& dir, const RecordBaseSpec& def) {
  MetaContents meta;
  for (size_t t = 0; t < def.tables.size(); ++t) {
    meta.tables.push_back({"Table" + std::to_string(t), def.tables[t]});
  }
  for (uint16_t number : def.data_numbers) {
    meta.data.push_back({number, "Field" + std::to_string(number), 0, 0, 40, {0xFFFFFFFFu}});
  }
  std::string sort_dat;
  for (const auto& s : def.sorts) {
    meta.sort.push_back({s.number, "Sort" + std::to_string(s.number), 0,
                         static_cast<uint32_t>(sort_dat.size()), 10, {0xFFFFFFFFu}});
    sort_dat.append(static_cast<size_t>(format::kSortEntryBytes) * s.run.size(), '\0');
  }
  meta.read_bytes = def.read_bytes;
  meta.decode_bytes = def.decode_bytes;
  WriteBase(dir, meta);

  WrittenBase out;
  std::string data, mapping;
  for (const auto& fields : def.records) {
    std::string decoded;
    for (const std::string& f : fields) decoded += f + '\0';
    out.pointers.push_back(static_cast<uint32_t>(data.size()));
    format::PutFixed32(mapping, out.pointers.back());
    build::ZeroRunEncode(decoded, data);
  }
  data.append(static_cast<size_t>(def.read_bytes), '\0');
  size_t at = 0;
  for (const auto& s : def.sorts) {
    for (auto [record, hollow] : s.run) {
      uint8_t* e = reinterpret_cast<uint8_t*>(sort_dat.data() + at);
      format::EncodeFixed32(e, record | (hollow ? format::kHollowMark : 0));
      format::EncodeFixed32(e + 4, out.pointers[record]);
      at += format::kSortEntryBytes;
    }
  }
  WriteFile(dir + "/data.dat", data);
  WriteFile(dir + "/mapping.dat", mapping);
  WriteFile(dir + "/sort.dat", sort_dat);
  return out;
}

}  // namespace lodex::testing
