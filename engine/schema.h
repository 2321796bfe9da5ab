// The in-memory schema read from meta.dat (layout: format/meta.h): the header values,
// the tables, the data, search and sort fields in file order, and per kind the counts of
// published and exportable fields and a number-to-index table. It also holds the base's
// character tables and one key normaliser per search field.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "format/meta.h"
#include "textkeys.h"

namespace lodex {

struct Base;

using TableMap = std::array<uint32_t, format::kTableMapWords>;

// Bit position of each attribute in one kind of field's flags; -1 when the kind lacks it.
// Digit counts are 8-bit values starting at their position.
struct FlagLayout {
  int searchable, sortable, by_word, by_line, numeric, not_in_base, multiline;
  int int_digits, frac_digits, published, exportable;
};
inline constexpr int BitOf(uint32_t flag) { return std::countr_zero(flag); }
inline constexpr FlagLayout kDataFlagLayout{
    BitOf(format::data_flag::kSearchable), BitOf(format::data_flag::kSortable), -1, -1,
    BitOf(format::data_flag::kNumeric), BitOf(format::data_flag::kNotInBase),
    BitOf(format::data_flag::kMultiline), format::data_flag::kIntDigitsShift,
    format::data_flag::kFracDigitsShift, BitOf(format::data_flag::kPublished),
    BitOf(format::data_flag::kExportable)};
inline constexpr FlagLayout kSearchFlagLayout{
    -1, -1, BitOf(format::search_flag::kByWord), BitOf(format::search_flag::kByLine),
    BitOf(format::search_flag::kNumeric), -1, -1, format::search_flag::kIntDigitsShift,
    format::search_flag::kFracDigitsShift, BitOf(format::search_flag::kPublished),
    BitOf(format::search_flag::kExportable)};
inline constexpr FlagLayout kSortFlagLayout{
    -1, -1, -1, -1, BitOf(format::sort_flag::kNumeric), -1, -1, format::sort_flag::kIntDigitsShift,
    format::sort_flag::kFracDigitsShift, BitOf(format::sort_flag::kPublished),
    BitOf(format::sort_flag::kExportable)};

struct TableInfo {
  std::string name;
  uint32_t record_count = 0;
};

enum class FieldKind : int { kData = 0, kSearch = 1, kSort = 2 };

struct FieldInfo {
  uint16_t number = 0;
  std::string name;
  uint32_t flags = 0;
  // Search fields: where the field's words begin in index1.dat. Sort fields: where its
  // order begins in sort.dat. Data fields: 0.
  uint32_t offset = 0;
  // The declared length; for search fields the length word (split-field marker).
  uint32_t length = 0;
  TableMap table_map{};

  // Non-zero when the field occurs in table (taken modulo 256). For the first table of
  // each group of 32 the answer is the sign bit, so test for zero.
  uint32_t InTable(int32_t table) const {
    const int t = static_cast<int>(static_cast<uint32_t>(table) % format::kMaxTables);
    return table_map[format::TableMapWord(t)] & format::TableMapBit(t);
  }
};

// Field numbers to their first index, in 256 buckets chosen by the low byte.
class NumberIndex {
 public:
  void Clear();
  void Add(uint16_t number, int32_t index);
  // Index of the first field in file order with this number, or -1. Inline: every
  // field read of a record asks it.
  int32_t Find(int32_t number) const {
    const auto n = static_cast<uint32_t>(number);
    if (n < kDirect) return n < direct_.size() ? direct_[n] : -1;
    return FindInBuckets(number);
  }

 private:
  int32_t FindInBuckets(int32_t number) const;

  // Numbers below kDirect (all a base usually has; every record fetch asks for some)
  // are found by one load from direct_ (-1: none), larger ones in 256 buckets by
  // their low byte.
  static constexpr uint32_t kDirect = 1024;
  std::vector<int32_t> direct_;
  std::array<std::vector<std::pair<uint16_t, int32_t>>, 256> buckets_;
};

struct FieldList {
  explicit FieldList(FieldKind k = FieldKind::kData) : kind(k) {}

  FieldKind kind;
  std::vector<FieldInfo> fields;
  int32_t published = 0;
  int32_t exportable = 0;
  NumberIndex by_number;

  int32_t count() const { return static_cast<int32_t>(fields.size()); }
  const FlagLayout& layout() const;
  // A one-bit attribute of the field's flags (0 or 1; 0 when this kind lacks it).
  uint32_t Flag(const FieldInfo& f, int FlagLayout::*attribute) const {
    const int bit = layout().*attribute;
    return bit < 0 ? 0u : (f.flags >> bit) & 1u;
  }
  // An 8-bit digit count of the field's flags.
  uint32_t Digits(const FieldInfo& f, int FlagLayout::*attribute) const {
    const int shift = layout().*attribute;
    return shift < 0 ? 0u : format::DigitBits(f.flags, shift);
  }
  // The index clamped into 0 .. count - 1; -1 when the list is empty.
  int32_t Clamp(int32_t index) const;
};

struct Schema {
  // Header values as stored.
  int32_t data_field_count = 0;
  int32_t search_field_count = 0;
  int32_t sort_field_count = 0;
  int32_t table_count = 0;
  int32_t record_read_bytes = 0;
  int32_t record_decode_bytes = 0;
  int32_t version = 0;

  // Sum of the tables' record counts.
  uint32_t total_records = 0;

  std::vector<TableInfo> tables;
  FieldList data{FieldKind::kData};
  FieldList search{FieldKind::kSearch};
  FieldList sort{FieldKind::kSort};

  CharTables chars;
  std::vector<KeyNormaliser> normalisers;  // one per search field, in field order

  const FieldList& List(FieldKind kind) const;
  int32_t table_index_count() const { return static_cast<int32_t>(tables.size()); }
  // The table index clamped into 0 .. count - 1; -1 when there are no tables.
  int32_t ClampTable(int32_t index) const;
};

// Reads meta.dat from the start of stream into schema. Returns 0, -402 (cut short,
// impossible counts, or a version word below 2 or above 10) or -403 (version 3..10).
// Impossible here: negative counts or sizes, more than format::kMaxTables tables or
// format::kMaxRecords records, more entries than the file's size can hold, a length
// above format::kMaxFieldLength. The checks against the other files are in
// schema_bounds.h.
int32_t ReadSchema(std::FILE* stream, Schema& schema);

// One key normaliser per search field: split when the length word marks it, numeric
// when the numeric flag is set, text otherwise.
void BuildNormalisers(Schema& schema);

// Bytes up to the first NUL; at most format::kMaxNameLength are kept and the rest of an
// overlong name is skipped, so the stream stands just after the NUL. False when the
// stream ends before the NUL.
bool ReadName(std::FILE* stream, std::string& name);

}  // namespace lodex
