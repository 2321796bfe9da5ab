#include "meta_writer.h"

#include "format/coding.h"

namespace lodex::build {

namespace fmt = lodex::format;

std::string MetaBytes(const MetaContents& meta) {
  std::string m;
  auto put_name = [&](const std::string& name) {
    m.append(name);
    m.push_back('\0');
  };
  // Data fields carry flags then length; search and sort fields flags, offset, length.
  auto put_fields = [&](const std::vector<MetaField>& fields, bool with_offset) {
    for (const MetaField& f : fields) {
      fmt::PutFixed16(m, f.number);
      put_name(f.name);
      fmt::PutFixed32(m, f.flags);
      if (with_offset) fmt::PutFixed32(m, f.offset);
      fmt::PutFixed32(m, f.length);
      for (uint32_t w : f.map) fmt::PutFixed32(m, w);
    }
  };
  fmt::PutFixed32(m, static_cast<uint32_t>(meta.data.size()));
  fmt::PutFixed32(m, static_cast<uint32_t>(meta.search.size()));
  fmt::PutFixed32(m, static_cast<uint32_t>(meta.sort.size()));
  fmt::PutFixed32(m, static_cast<uint32_t>(meta.tables.size()));
  fmt::PutFixed32(m, static_cast<uint32_t>(meta.read_bytes));
  fmt::PutFixed32(m, static_cast<uint32_t>(meta.decode_bytes));
  for (const MetaTable& t : meta.tables) {
    put_name(t.name);
    fmt::PutFixed32(m, t.records);
  }
  put_fields(meta.data, false);
  put_fields(meta.search, true);
  put_fields(meta.sort, true);
  fmt::PutFixed32(m, static_cast<uint32_t>(meta.version));
  return m;
}

}  // namespace lodex::build
