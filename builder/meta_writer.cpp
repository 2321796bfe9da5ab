#include "meta_writer.h"

#include "format/coding.h"
#include "format/meta.h"

namespace lodex::build {

namespace fmt = lodex::format;

std::string MetaBytes(const BuildSchema& schema, const std::vector<uint32_t>& table_records,
                      int32_t record_read_bytes, int32_t record_decode_bytes,
                      const std::vector<uint32_t>& index1_offsets, const std::vector<uint32_t>& sort_offsets) {
  std::string m;
  auto put_name = [&](const std::string& name) {
    m.append(name);
    m.push_back('\0');
  };
  auto put_field = [&](const FieldSpec& f, uint32_t flags, uint32_t offset, uint32_t length) {
    fmt::PutFixed16(m, f.number);
    put_name(f.name);
    fmt::PutFixed32(m, flags);
    fmt::PutFixed32(m, offset);
    fmt::PutFixed32(m, length);
    for (uint32_t w : f.table_map) fmt::PutFixed32(m, w);
  };
  fmt::PutFixed32(m, static_cast<uint32_t>(schema.data_fields.size()));
  fmt::PutFixed32(m, static_cast<uint32_t>(schema.search_fields.size()));
  fmt::PutFixed32(m, static_cast<uint32_t>(schema.sort_fields.size()));
  fmt::PutFixed32(m, static_cast<uint32_t>(schema.tables.size()));
  fmt::PutFixed32(m, static_cast<uint32_t>(record_read_bytes));
  fmt::PutFixed32(m, static_cast<uint32_t>(record_decode_bytes));
  for (size_t t = 0; t < schema.tables.size(); ++t) {
    put_name(schema.tables[t]);
    fmt::PutFixed32(m, table_records[t]);
  }
  // Data fields carry flags then length; search and sort fields flags, offset, length.
  for (const DataFieldSpec& f : schema.data_fields) {
    fmt::PutFixed16(m, f.number);
    put_name(f.name);
    fmt::PutFixed32(m, f.Flags());
    fmt::PutFixed32(m, f.length);
    for (uint32_t w : f.table_map) fmt::PutFixed32(m, w);
  }
  for (size_t i = 0; i < schema.search_fields.size(); ++i) {
    const SearchFieldSpec& f = schema.search_fields[i];
    put_field(f, f.Flags(), index1_offsets[i], f.LengthWord());
  }
  for (size_t i = 0; i < schema.sort_fields.size(); ++i) {
    const SortFieldSpec& f = schema.sort_fields[i];
    put_field(f, f.Flags(), sort_offsets[i], f.length);
  }
  fmt::PutFixed32(m, static_cast<uint32_t>(fmt::kMetaVersion));
  return m;
}

}  // namespace lodex::build
