#include "schema.h"

#include <algorithm>

#include "fileset.h"
#include "format/post.h"
#include "lodex32_errors.h"

namespace lodex {
namespace {

// Reads little-endian integers and names from meta.dat, remembering whether the stream
// ran out at any point.
class MetaReader {
 public:
  explicit MetaReader(std::FILE* f) : f_(f) {}

  bool ok() const { return ok_; }

  uint32_t U32() { return static_cast<uint32_t>(Bytes(4)); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint16_t U16() { return static_cast<uint16_t>(Bytes(2)); }
  std::string Name() {
    std::string name;
    if (!ReadName(f_, name)) ok_ = false;
    return name;
  }
  TableMap Map() {
    TableMap map{};
    for (uint32_t& word : map) word = U32();
    return map;
  }

 private:
  uint64_t Bytes(int n) {
    unsigned char b[8] = {};
    if (std::fread(b, 1, n, f_) != static_cast<size_t>(n)) ok_ = false;
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[i];
    return v;
  }

  std::FILE* f_;
  bool ok_ = true;
};

bool ReadFields(MetaReader& in, int32_t count, FieldList& list) {
  const FlagLayout& bits = list.layout();
  const bool has_offset = list.kind != FieldKind::kData;
  for (int32_t i = 0; i < count; ++i) {
    FieldInfo f;
    f.number = in.U16();
    f.name = in.Name();
    f.flags = in.U32();
    if (has_offset) f.offset = in.U32();
    f.length = in.U32();
    f.table_map = in.Map();
    // A damaged count must not make us walk on long past the end of the file.
    if (!in.ok() || f.length > format::kMaxFieldLength) return false;
    list.published += (f.flags >> bits.published) & 1u;
    list.exportable += (f.flags >> bits.exportable) & 1u;
    list.by_number.Add(f.number, i);
    list.fields.push_back(std::move(f));
  }
  return true;
}

// The fewest bytes meta.dat can take with the header's counts.
int64_t LeastMetaBytes(const Schema& s) {
  return format::kMetaHeaderBytes + int64_t{s.table_count} * format::kMinTableEntryBytes +
         int64_t{s.data_field_count} * format::kMinDataFieldEntryBytes +
         (int64_t{s.search_field_count} + s.sort_field_count) * format::kMinKeyFieldEntryBytes +
         format::kMetaVersionBytes;
}

}  // namespace

void NumberIndex::Clear() {
  direct_.clear();
  for (auto& bucket : buckets_) bucket.clear();
}

void NumberIndex::Add(uint16_t number, int32_t index) {
  if (number < kDirect) {
    if (direct_.size() <= number) direct_.resize(number + 1u, -1);
    if (direct_[number] < 0) direct_[number] = index;  // the first in file order wins
    return;
  }
  buckets_[number & 0xFF].emplace_back(number, index);
}

int32_t NumberIndex::FindInBuckets(int32_t number) const {
  for (const auto& [n, index] : buckets_[static_cast<uint32_t>(number) & 0xFF]) {
    if (n == number) return index;
  }
  return -1;
}

const FlagLayout& FieldList::layout() const {
  switch (kind) {
    case FieldKind::kSearch: return kSearchFlagLayout;
    case FieldKind::kSort: return kSortFlagLayout;
    case FieldKind::kData: break;
  }
  return kDataFlagLayout;
}

int32_t FieldList::Clamp(int32_t index) const {
  if (fields.empty()) return -1;
  return std::clamp(index, 0, count() - 1);
}

const FieldList& Schema::List(FieldKind kind) const {
  switch (kind) {
    case FieldKind::kSearch: return search;
    case FieldKind::kSort: return sort;
    case FieldKind::kData: break;
  }
  return data;
}

int32_t Schema::ClampTable(int32_t index) const {
  if (tables.empty()) return -1;
  return std::clamp(index, 0, table_index_count() - 1);
}

bool ReadName(std::FILE* stream, std::string& name) {
  name.clear();
  for (;;) {
    int c = std::fgetc(stream);
    if (c == EOF) return false;
    if (c == 0) return true;
    if (name.size() < static_cast<size_t>(format::kMaxNameLength)) name += static_cast<char>(c);
  }
}

int32_t ReadSchema(std::FILE* stream, Schema& s) {
  std::rewind(stream);
  MetaReader in(stream);

  s.data_field_count = in.I32();
  s.search_field_count = in.I32();
  s.sort_field_count = in.I32();
  s.table_count = in.I32();
  s.record_read_bytes = in.I32();
  s.record_decode_bytes = in.I32();
  if (!in.ok()) return ERROR_BadMetaFile;
  // Negative counts and sizes cannot come from a sound producer; they would leave the
  // stream at the wrong place for everything after them.
  if (s.data_field_count < 0 || s.search_field_count < 0 || s.sort_field_count < 0 ||
      s.table_count < 0 || s.record_read_bytes < 0 || s.record_decode_bytes < 0) {
    return ERROR_BadMetaFile;
  }
  // Counts whose entries, each at its smallest, would not fit the file are refused
  // before any list is read or grown by them.
  if (s.table_count > format::kMaxTables ||
      LeastMetaBytes(s) > StreamSize(stream, format::kMetaHeaderBytes)) {
    return ERROR_BadMetaFile;
  }

  s.tables.clear();
  s.data = FieldList{FieldKind::kData};
  s.search = FieldList{FieldKind::kSearch};
  s.sort = FieldList{FieldKind::kSort};
  s.total_records = 0;

  uint64_t total = 0;
  for (int32_t i = 0; i < s.table_count; ++i) {
    TableInfo t;
    t.name = in.Name();
    t.record_count = in.U32();
    if (!in.ok()) return ERROR_BadMetaFile;
    total += t.record_count;
    s.tables.push_back(std::move(t));
  }
  // post.dat numbers records in 23 bits: a base never holds more.
  if (total > format::kMaxRecords) return ERROR_BadMetaFile;
  s.total_records = static_cast<uint32_t>(total);

  if (!ReadFields(in, s.data_field_count, s.data) ||
      !ReadFields(in, s.search_field_count, s.search) ||
      !ReadFields(in, s.sort_field_count, s.sort)) {
    return ERROR_BadMetaFile;
  }

  s.version = in.I32();
  if (!in.ok()) return ERROR_BadMetaFile;
  if (s.version > format::kMetaNewestVersion) return ERROR_BadMetaFile;
  if (s.version > format::kMetaVersion) return ERROR_NewerMetaFile;
  if (s.version < format::kMetaVersion) return ERROR_BadMetaFile;

  s.chars = CharTables();
  return 0;
}

void BuildNormalisers(Schema& s) {
  s.normalisers.clear();
  s.normalisers.reserve(s.search.fields.size());
  for (const FieldInfo& f : s.search.fields) {
    const uint32_t split_mode = f.length - format::kSplitLengthBase;
    if (f.length >= format::kSplitLengthBase && split_mode <= format::kMaxSplitMode) {
      s.normalisers.push_back(KeyNormaliser::Split(static_cast<int>(split_mode), s.chars));
    } else if (s.search.Flag(f, &FlagLayout::numeric)) {
      s.normalisers.push_back(
          KeyNormaliser::Numeric(static_cast<int>(s.search.Digits(f, &FlagLayout::int_digits)),
                                 static_cast<int>(s.search.Digits(f, &FlagLayout::frac_digits))));
    } else {
      s.normalisers.push_back(KeyNormaliser::Text(s.chars));
    }
  }
}

}  // namespace lodex
