#include "schema_bounds.h"

#include "format/coding.h"
#include "format/data.h"
#include "format/mapping.h"
#include "format/sort.h"
#include "lodex32_errors.h"

namespace lodex {

BaseFileSizes MeasureBaseFiles(FileSet& files, uint32_t total_records) {
  BaseFileSizes sizes;
  sizes.mapping = StreamSize(files.mapping.get());
  sizes.data = StreamSize(files.data.get());
  sizes.index1 = StreamSize(files.index1.get());
  sizes.sort = StreamSize(files.sort.get());
  std::FILE* mapping = files.mapping.get();
  if (mapping && total_records > 0) {
    const uint64_t at = format::MappingOffset(total_records - 1);
    uint8_t raw[format::kMappingEntryBytes];
    if (std::fseek(mapping, static_cast<long>(at), SEEK_SET) == 0 &&
        std::fread(raw, 1, sizeof raw, mapping) == sizeof raw) {
      sizes.last_pointer = format::DecodeFixed32(raw);
    }
    std::fseek(mapping, 0, SEEK_SET);
  }
  return sizes;
}

int32_t CheckSchemaBounds(const Schema& s, const BaseFileSizes& sizes) {
  const int64_t n = s.total_records;
  // One mapping.dat entry per record.
  if (n * format::kMappingEntryBytes > sizes.mapping) return ERROR_BadMetaFile;
  // A read of R bytes at any record pointer stays inside data.dat.
  if (sizes.last_pointer + s.record_read_bytes > sizes.data) return ERROR_BadMetaFile;
  // The decoders never work beyond the record buffers.
  if (s.record_decode_bytes > format::RecordBufferBytes(s.record_read_bytes)) {
    return ERROR_BadMetaFile;
  }
  for (const FieldInfo& f : s.search.fields) {
    if (f.offset > sizes.index1) return ERROR_BadMetaFile;
  }
  // Each sort field's run holds one entry per record.
  for (const FieldInfo& f : s.sort.fields) {
    if (f.offset + n * format::kSortEntryBytes > sizes.sort) return ERROR_BadMetaFile;
  }
  return 0;
}

}  // namespace lodex
