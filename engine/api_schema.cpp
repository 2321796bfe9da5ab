// The schema family: APINameToNumber and the queries on tables and on data, search and
// sort fields. Field and table indexes are clamped into range; the ...Index members map
// a field number to its index and answer -1 when no field has it.
#include <cstdint>

#include "base.h"
#include "lodex32_errors.h"
#include "lodex32.h"
#include "registry.h"
#include "schema.h"

namespace lodex {
namespace {

const char kEmptyText[] = "";

using Attr = int FlagLayout::*;

// Runs query on the clamped field of the given kind. A kind without fields has nothing
// to clamp to and answers if_empty.
template <class Query>
int32_t OnField(int32_t base, FieldKind kind, int32_t index, int32_t if_empty, Query query) {
  BaseRef ref = LookupBase(base);
  if (ref.error) return ref.error;
  const FieldList& list = ref.base->schema.List(kind);
  const int32_t i = list.Clamp(index);
  if (i < 0) return if_empty;
  return query(list, list.fields[i]);
}

int32_t FieldFlag(int32_t base, FieldKind kind, int32_t index, Attr attr) {
  return OnField(base, kind, index, 0, [attr](const FieldList& l, const FieldInfo& f) {
    return static_cast<int32_t>(l.Flag(f, attr));
  });
}

int32_t FieldDigits(int32_t base, FieldKind kind, int32_t index, Attr attr) {
  return OnField(base, kind, index, 0, [attr](const FieldList& l, const FieldInfo& f) {
    return static_cast<int32_t>(l.Digits(f, attr));
  });
}

int32_t FieldNo(int32_t base, FieldKind kind, int32_t index) {
  return OnField(base, kind, index, ERROR_BadField,
                 [](const FieldList&, const FieldInfo& f) { return int32_t{f.number}; });
}

int32_t FieldLength(int32_t base, FieldKind kind, int32_t index) {
  return OnField(base, kind, index, ERROR_BadField, [](const FieldList&, const FieldInfo& f) {
    return static_cast<int32_t>(f.length);
  });
}

int32_t FieldInTable(int32_t base, FieldKind kind, int32_t index, int32_t table) {
  return OnField(base, kind, index, 0, [table](const FieldList&, const FieldInfo& f) {
    return static_cast<int32_t>(f.InTable(table));
  });
}

int32_t FieldIndex(int32_t base, FieldKind kind, int32_t number) {
  BaseRef ref = LookupBase(base);
  if (ref.error) return ref.error;
  return ref.base->schema.List(kind).by_number.Find(number);
}

template <class Count>
int32_t ListCount(int32_t base, FieldKind kind, Count count) {
  BaseRef ref = LookupBase(base);
  if (ref.error) return ref.error;
  return count(ref.base->schema.List(kind));
}

int32_t FieldCount(int32_t base, FieldKind kind) {
  return ListCount(base, kind, [](const FieldList& l) { return l.count(); });
}
int32_t PublishedCount(int32_t base, FieldKind kind) {
  return ListCount(base, kind, [](const FieldList& l) { return l.published; });
}
int32_t ExportableCount(int32_t base, FieldKind kind) {
  return ListCount(base, kind, [](const FieldList& l) { return l.exportable; });
}

// Names and table maps stay valid while the base is open: the registry holds the base.
const char* FieldName(int32_t base, FieldKind kind, int32_t index) {
  BaseRef ref = LookupBase(base);
  if (ref.error) return kEmptyText;
  const FieldList& list = ref.base->schema.List(kind);
  const int32_t i = list.Clamp(index);
  return i < 0 ? kEmptyText : list.fields[i].name.c_str();
}

intptr_t FieldTablemap(int32_t base, FieldKind kind, int32_t index) {
  BaseRef ref = LookupBase(base);
  if (ref.error) return ref.error;
  const FieldList& list = ref.base->schema.List(kind);
  const int32_t i = list.Clamp(index);
  return i < 0 ? 0 : reinterpret_cast<intptr_t>(list.fields[i].table_map.data());
}

// Whole names, each byte through the upper-casing table.
bool SameName(const CharTable& upper, const std::string& stored, const char* wanted) {
  size_t i = 0;
  for (; i < stored.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(wanted[i]);
    if (c == 0 || upper[static_cast<uint8_t>(stored[i])] != upper[c]) return false;
  }
  return wanted[i] == '\0';
}

constexpr FieldKind kD = FieldKind::kData;
constexpr FieldKind kS = FieldKind::kSearch;
constexpr FieldKind kO = FieldKind::kSort;

}  // namespace
}  // namespace lodex

using namespace lodex;
using FL = lodex::FlagLayout;

extern "C" LODEX_API int32_t APINameToNumber(int32_t base, const char* name, int32_t kind) {
  BaseRef ref = LookupBase(base);
  if (ref.error) return ref.error;
  if (static_cast<uint32_t>(kind) > 3) return ERROR_BadKind;
  const Schema& s = ref.base->schema;
  const CharTable& upper = *s.chars.upper;
  if (!name) name = "";
  if (kind == 3) {
    for (size_t t = 0; t < s.tables.size(); ++t) {
      if (SameName(upper, s.tables[t].name, name)) return static_cast<int32_t>(t);
    }
    return ERROR_BadName;
  }
  for (const FieldInfo& f : s.List(static_cast<FieldKind>(kind)).fields) {
    if (SameName(upper, f.name, name)) return f.number;
  }
  return ERROR_BadName;
}

// Tables.

extern "C" LODEX_API int32_t APITableCount(int32_t base) {
  BaseRef ref = LookupBase(base);
  return ref.error ? ref.error : ref.base->schema.table_index_count();
}

extern "C" LODEX_API int32_t APIRecordCount(int32_t base) {
  BaseRef ref = LookupBase(base);
  return ref.error ? ref.error : static_cast<int32_t>(ref.base->schema.total_records);
}

extern "C" LODEX_API int32_t APITableRecordCount(int32_t base, int32_t table) {
  BaseRef ref = LookupBase(base);
  if (ref.error) return ref.error;
  const int32_t t = ref.base->schema.ClampTable(table);
  if (t < 0) return ERROR_BadTable;
  return static_cast<int32_t>(ref.base->schema.tables[t].record_count);
}

extern "C" LODEX_API const char* APITableName(int32_t base, int32_t table) {
  BaseRef ref = LookupBase(base);
  if (ref.error) return kEmptyText;
  const int32_t t = ref.base->schema.ClampTable(table);
  return t < 0 ? kEmptyText : ref.base->schema.tables[t].name.c_str();
}

// Data fields.

extern "C" LODEX_API int32_t APIDatafieldCount(int32_t b) { return FieldCount(b, kD); }
extern "C" LODEX_API int32_t APIDatafieldPublishedCount(int32_t b) { return PublishedCount(b, kD); }
extern "C" LODEX_API int32_t APIDatafieldExportableCount(int32_t b) { return ExportableCount(b, kD); }
extern "C" LODEX_API int32_t APIDatafieldIndex(int32_t b, int32_t number) { return FieldIndex(b, kD, number); }
extern "C" LODEX_API int32_t APIDatafieldNo(int32_t b, int32_t i) { return FieldNo(b, kD, i); }
extern "C" LODEX_API const char* APIDatafieldName(int32_t b, int32_t i) { return FieldName(b, kD, i); }
extern "C" LODEX_API int32_t APIDatafieldIsPublished(int32_t b, int32_t i) { return FieldFlag(b, kD, i, &FL::published); }
extern "C" LODEX_API int32_t APIDatafieldIsExportable(int32_t b, int32_t i) { return FieldFlag(b, kD, i, &FL::exportable); }
extern "C" LODEX_API int32_t APIDatafieldIsSearchable(int32_t b, int32_t i) { return FieldFlag(b, kD, i, &FL::searchable); }
extern "C" LODEX_API int32_t APIDatafieldIsSortable(int32_t b, int32_t i) { return FieldFlag(b, kD, i, &FL::sortable); }
extern "C" LODEX_API int32_t APIDatafieldIsNumeric(int32_t b, int32_t i) { return FieldFlag(b, kD, i, &FL::numeric); }
extern "C" LODEX_API int32_t APIDatafieldNotInBase(int32_t b, int32_t i) { return FieldFlag(b, kD, i, &FL::not_in_base); }
extern "C" LODEX_API int32_t APIDatafieldIsMultiline(int32_t b, int32_t i) { return FieldFlag(b, kD, i, &FL::multiline); }
extern "C" LODEX_API int32_t APIDatafieldIntDigits(int32_t b, int32_t i) { return FieldDigits(b, kD, i, &FL::int_digits); }
extern "C" LODEX_API int32_t APIDatafieldFracDigits(int32_t b, int32_t i) { return FieldDigits(b, kD, i, &FL::frac_digits); }
extern "C" LODEX_API int32_t APIDatafieldLength(int32_t b, int32_t i) { return FieldLength(b, kD, i); }
extern "C" LODEX_API intptr_t APIDatafieldTablemap(int32_t b, int32_t i) { return FieldTablemap(b, kD, i); }
extern "C" LODEX_API int32_t APIDatafieldInTable(int32_t b, int32_t i, int32_t t) { return FieldInTable(b, kD, i, t); }

// Search fields.

extern "C" LODEX_API int32_t APISearchfieldCount(int32_t b) { return FieldCount(b, kS); }
extern "C" LODEX_API int32_t APISearchfieldPublishedCount(int32_t b) { return PublishedCount(b, kS); }
extern "C" LODEX_API int32_t APISearchfieldExportableCount(int32_t b) { return ExportableCount(b, kS); }
extern "C" LODEX_API int32_t APISearchfieldIndex(int32_t b, int32_t number) { return FieldIndex(b, kS, number); }
extern "C" LODEX_API int32_t APISearchfieldNo(int32_t b, int32_t i) { return FieldNo(b, kS, i); }
extern "C" LODEX_API const char* APISearchfieldName(int32_t b, int32_t i) { return FieldName(b, kS, i); }
extern "C" LODEX_API int32_t APISearchfieldIsPublished(int32_t b, int32_t i) { return FieldFlag(b, kS, i, &FL::published); }
extern "C" LODEX_API int32_t APISearchfieldIsExportable(int32_t b, int32_t i) { return FieldFlag(b, kS, i, &FL::exportable); }
extern "C" LODEX_API int32_t APISearchfieldIsByWord(int32_t b, int32_t i) { return FieldFlag(b, kS, i, &FL::by_word); }
extern "C" LODEX_API int32_t APISearchfieldIsByLine(int32_t b, int32_t i) { return FieldFlag(b, kS, i, &FL::by_line); }
extern "C" LODEX_API int32_t APISearchfieldIsNumeric(int32_t b, int32_t i) { return FieldFlag(b, kS, i, &FL::numeric); }
extern "C" LODEX_API int32_t APISearchfieldIntDigits(int32_t b, int32_t i) { return FieldDigits(b, kS, i, &FL::int_digits); }
extern "C" LODEX_API int32_t APISearchfieldFracDigits(int32_t b, int32_t i) { return FieldDigits(b, kS, i, &FL::frac_digits); }
extern "C" LODEX_API int32_t APISearchfieldLength(int32_t b, int32_t i) { return FieldLength(b, kS, i); }
extern "C" LODEX_API intptr_t APISearchfieldTablemap(int32_t b, int32_t i) { return FieldTablemap(b, kS, i); }
extern "C" LODEX_API int32_t APISearchfieldInTable(int32_t b, int32_t i, int32_t t) { return FieldInTable(b, kS, i, t); }

// Sort fields.

extern "C" LODEX_API int32_t APISortfieldCount(int32_t b) { return FieldCount(b, kO); }
extern "C" LODEX_API int32_t APISortfieldPublishedCount(int32_t b) { return PublishedCount(b, kO); }
extern "C" LODEX_API int32_t APISortfieldExportableCount(int32_t b) { return ExportableCount(b, kO); }
extern "C" LODEX_API int32_t APISortfieldIndex(int32_t b, int32_t number) { return FieldIndex(b, kO, number); }
extern "C" LODEX_API int32_t APISortfieldNo(int32_t b, int32_t i) { return FieldNo(b, kO, i); }
extern "C" LODEX_API const char* APISortfieldName(int32_t b, int32_t i) { return FieldName(b, kO, i); }
extern "C" LODEX_API int32_t APISortfieldIsPublished(int32_t b, int32_t i) { return FieldFlag(b, kO, i, &FL::published); }
extern "C" LODEX_API int32_t APISortfieldIsExportable(int32_t b, int32_t i) { return FieldFlag(b, kO, i, &FL::exportable); }
extern "C" LODEX_API int32_t APISortfieldIsNumeric(int32_t b, int32_t i) { return FieldFlag(b, kO, i, &FL::numeric); }
extern "C" LODEX_API int32_t APISortfieldIntDigits(int32_t b, int32_t i) { return FieldDigits(b, kO, i, &FL::int_digits); }
extern "C" LODEX_API int32_t APISortfieldFracDigits(int32_t b, int32_t i) { return FieldDigits(b, kO, i, &FL::frac_digits); }
extern "C" LODEX_API int32_t APISortfieldLength(int32_t b, int32_t i) { return FieldLength(b, kO, i); }
extern "C" LODEX_API intptr_t APISortfieldTablemap(int32_t b, int32_t i) { return FieldTablemap(b, kO, i); }
extern "C" LODEX_API int32_t APISortfieldInTable(int32_t b, int32_t i, int32_t t) { return FieldInTable(b, kO, i, t); }
