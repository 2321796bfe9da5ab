#include "build_schema.h"

#include <nlohmann/json.hpp>

#include <set>
#include <stdexcept>

#include "encoding.h"
#include "format/meta.h"
#include "textkeys.h"

namespace lodex::build {

namespace fmt = lodex::format;
using nlohmann::json;

uint32_t DataFieldSpec::Flags() const {
  namespace f = fmt::data_flag;
  uint32_t flags = 0;
  if (searchable) flags |= f::kSearchable;
  if (sortable) flags |= f::kSortable;
  if (numeric) flags |= f::kNumeric;
  if (not_in_base) flags |= f::kNotInBase;
  if (multiline) flags |= f::kMultiline;
  flags |= static_cast<uint32_t>(int_digits) << f::kIntDigitsShift;
  flags |= static_cast<uint32_t>(frac_digits) << f::kFracDigitsShift;
  if (published) flags |= f::kPublished;
  if (exportable) flags |= f::kExportable;
  return flags;
}

uint32_t SearchFieldSpec::Flags() const {
  namespace f = fmt::search_flag;
  uint32_t flags = 0;
  if (words == WordMode::kWord) flags |= f::kByWord;
  if (words == WordMode::kLine) flags |= f::kByLine;
  if (kind == SearchKind::kNumeric) flags |= f::kNumeric;
  flags |= static_cast<uint32_t>(int_digits) << f::kIntDigitsShift;
  flags |= static_cast<uint32_t>(frac_digits) << f::kFracDigitsShift;
  if (published) flags |= f::kPublished;
  if (exportable) flags |= f::kExportable;
  return flags;
}

uint32_t SearchFieldSpec::LengthWord() const {
  return kind == SearchKind::kSplit ? fmt::kSplitLengthBase + static_cast<uint32_t>(split_mode)
                                    : length;
}

uint32_t SortFieldSpec::Flags() const {
  namespace f = fmt::sort_flag;
  uint32_t flags = 0;
  if (numeric) flags |= f::kNumeric;
  flags |= static_cast<uint32_t>(int_digits) << f::kIntDigitsShift;
  flags |= static_cast<uint32_t>(frac_digits) << f::kFracDigitsShift;
  if (published) flags |= f::kPublished;
  if (exportable) flags |= f::kExportable;
  return flags;
}

namespace {

// Thrown inside the parser with a message that names the place.
struct SchemaError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw SchemaError(where + ": " + what);
}

void CheckKeys(const json& obj, const std::string& where, std::initializer_list<const char*> allowed) {
  if (!obj.is_object()) Fail(where, "must be an object");
  for (const auto& [key, value] : obj.items()) {
    bool known = false;
    for (const char* a : allowed) known = known || key == a;
    if (!known) Fail(where, "unknown key \"" + key + "\"");
  }
}

std::string GetString(const json& obj, const char* key, const std::string& where,
                      const std::string& fallback, bool required = false) {
  if (!obj.contains(key)) {
    if (required) Fail(where, std::string("\"") + key + "\" is missing");
    return fallback;
  }
  if (!obj[key].is_string()) Fail(where, std::string("\"") + key + "\" must be a text");
  return obj[key].get<std::string>();
}

int64_t GetInt(const json& obj, const char* key, const std::string& where, int64_t fallback,
               int64_t lo, int64_t hi, bool required = false) {
  if (!obj.contains(key)) {
    if (required) Fail(where, std::string("\"") + key + "\" is missing");
    return fallback;
  }
  if (!obj[key].is_number_integer()) Fail(where, std::string("\"") + key + "\" must be an integer");
  const int64_t v = obj[key].get<int64_t>();
  if (v < lo || v > hi)
    Fail(where, std::string("\"") + key + "\" must lie in " + std::to_string(lo) + ".." + std::to_string(hi));
  return v;
}

bool GetBool(const json& obj, const char* key, const std::string& where, bool fallback) {
  if (!obj.contains(key)) return fallback;
  if (!obj[key].is_boolean()) Fail(where, std::string("\"") + key + "\" must be true or false");
  return obj[key].get<bool>();
}

std::string ToBaseText(const std::string& utf8, const std::string& where, const char* what) {
  std::string out;
  if (!Utf8ToWindows1252(utf8, &out)) Fail(where, std::string(what) + " has a character outside Windows-1252");
  if (out.find('\0') != std::string::npos) Fail(where, std::string(what) + " contains a NUL");
  if (out.size() > static_cast<size_t>(fmt::kMaxNameLength))
    Fail(where, std::string(what) + " is longer than 1023 bytes");
  return out;
}

TableMap ParseTables(const json& obj, const std::string& where, const BuildSchema& schema) {
  TableMap map{};
  if (obj.contains("table_map")) {
    if (obj.contains("tables")) Fail(where, "give \"tables\" or \"table_map\", not both");
    const json& m = obj["table_map"];
    if (!m.is_array() || m.size() != 8) Fail(where, "\"table_map\" must be a list of 8 integers");
    for (size_t i = 0; i < 8; ++i) {
      if (!m[i].is_number_unsigned() || m[i].get<uint64_t>() > 0xFFFFFFFFu)
        Fail(where, "\"table_map\" must be a list of 8 integers 0..4294967295");
      map[i] = m[i].get<uint32_t>();
    }
    return map;
  }
  if (!obj.contains("tables")) {  // every declared table
    for (size_t t = 0; t < schema.tables.size(); ++t)
      map[fmt::TableMapWord(static_cast<int>(t))] |= fmt::TableMapBit(static_cast<int>(t));
    return map;
  }
  const json& list = obj["tables"];
  if (list.is_string() && list.get<std::string>() == "all") {
    map.fill(0xFFFFFFFFu);
    return map;
  }
  if (!list.is_array()) Fail(where, "\"tables\" must be a list of table names or \"all\"");
  for (const json& name : list) {
    if (!name.is_string()) Fail(where, "\"tables\" must be a list of table names");
    size_t t = 0;
    while (t < schema.table_labels.size() && schema.table_labels[t] != name.get<std::string>()) ++t;
    if (t == schema.table_labels.size())
      Fail(where, "\"tables\" names the undeclared table \"" + name.get<std::string>() + "\"");
    map[fmt::TableMapWord(static_cast<int>(t))] |= fmt::TableMapBit(static_cast<int>(t));
  }
  return map;
}

void ParseCommon(const json& obj, const std::string& where, const BuildSchema& schema,
                 FieldSpec* f, bool number_required = true) {
  f->number = static_cast<uint16_t>(GetInt(obj, "number", where, 0, 0, 65535, number_required));
  f->name = ToBaseText(GetString(obj, "name", where, "", true), where, "\"name\"");
  f->column = GetString(obj, "column", where, GetString(obj, "name", where, ""));
  f->length = static_cast<uint32_t>(GetInt(obj, "length", where, 0, 0, 0x7FFFFFFF));
  f->published = GetBool(obj, "published", where, false);
  f->exportable = GetBool(obj, "exportable", where, false);
  f->numeric = GetBool(obj, "numeric", where, false);
  f->int_digits = static_cast<int>(GetInt(obj, "int_digits", where, 0, 0, 255));
  f->frac_digits = static_cast<int>(GetInt(obj, "frac_digits", where, 0, 0, 255));
  f->table_map = ParseTables(obj, where, schema);
}

#define COMMON_KEYS "number", "name", "column", "length", "published", "exportable", "numeric", \
                    "int_digits", "frac_digits", "tables", "table_map"

void ParseSchemaJson(const json& root, BuildSchema* s) {
  CheckKeys(root, "schema", {"encoding", "delimiter", "tables", "table_column", "data_fields",
                             "search_fields", "sort_fields", "block_words"});
  s->encoding = GetString(root, "encoding", "schema", "auto");
  if (s->encoding != "auto" && s->encoding != "utf-8" && s->encoding != "windows-1252")
    Fail("schema", "\"encoding\" must be \"auto\", \"utf-8\" or \"windows-1252\"");
  const std::string delim = GetString(root, "delimiter", "schema", "auto");
  if (delim == "auto") s->delimiter = 0;
  else if (delim == "tab" || delim == "\t") s->delimiter = '\t';
  else if (delim == "comma" || delim == ",") s->delimiter = ',';
  else if (delim == "semicolon" || delim == ";") s->delimiter = ';';
  else Fail("schema", "\"delimiter\" must be \"auto\", \"tab\", \"comma\" or \"semicolon\"");
  s->block_words = static_cast<int>(GetInt(root, "block_words", "schema", 0, 0, 4096));
  if (s->block_words == 0 && root.contains("block_words")) Fail("schema", "\"block_words\" must be 1 or more");

  if (!root.contains("tables") || !root["tables"].is_array() || root["tables"].empty())
    Fail("schema", "\"tables\" must list at least one table name");
  if (root["tables"].size() > static_cast<size_t>(fmt::kMaxTables))
    Fail("schema", "\"tables\" lists more than 256 tables");
  for (size_t t = 0; t < root["tables"].size(); ++t) {
    const json& name = root["tables"][t];
    const std::string where = "tables[" + std::to_string(t) + "]";
    if (!name.is_string()) Fail(where, "must be a text");
    for (const std::string& seen : s->table_labels)
      if (seen == name.get<std::string>()) Fail(where, "table \"" + seen + "\" is declared twice");
    s->table_labels.push_back(name.get<std::string>());
    s->tables.push_back(ToBaseText(name.get<std::string>(), where, "the table name"));
  }
  s->table_column = GetString(root, "table_column", "schema", "");
  if (s->table_column.empty() && s->tables.size() > 1)
    Fail("schema", "\"table_column\" is needed when there is more than one table");

  if (!root.contains("data_fields") || !root["data_fields"].is_array() || root["data_fields"].empty())
    Fail("schema", "\"data_fields\" must list at least one field");
  for (size_t i = 0; i < root["data_fields"].size(); ++i) {
    const json& obj = root["data_fields"][i];
    const std::string where = "data_fields[" + std::to_string(i) + "]";
    CheckKeys(obj, where, {COMMON_KEYS, "searchable", "sortable", "not_in_base", "multiline"});
    DataFieldSpec f;
    ParseCommon(obj, where, *s, &f);
    f.searchable = GetBool(obj, "searchable", where, false);
    f.sortable = GetBool(obj, "sortable", where, false);
    f.not_in_base = GetBool(obj, "not_in_base", where, false);
    f.multiline = GetBool(obj, "multiline", where, false);
    s->data_fields.push_back(std::move(f));
  }

  const json empty = json::array();
  const json& search = root.contains("search_fields") ? root["search_fields"] : empty;
  if (!search.is_array()) Fail("schema", "\"search_fields\" must be a list");
  std::set<uint16_t> numbers;
  for (size_t i = 0; i < search.size(); ++i) {
    const json& obj = search[i];
    const std::string where = "search_fields[" + std::to_string(i) + "]";
    CheckKeys(obj, where, {COMMON_KEYS, "words", "kind", "split_mode", "separators", "reverse_of"});
    SearchFieldSpec f;
    const bool reverse = obj.contains("reverse_of");
    ParseCommon(obj, where, *s, &f, !reverse);
    const std::string words = GetString(obj, "words", where, "word");
    if (words == "word") f.words = WordMode::kWord;
    else if (words == "line") f.words = WordMode::kLine;
    else if (words == "value") f.words = WordMode::kValue;
    else Fail(where, "\"words\" must be \"word\", \"line\" or \"value\"");
    const std::string kind = GetString(obj, "kind", where, f.numeric ? "numeric" : "text");
    if (kind == "text") f.kind = SearchKind::kText;
    else if (kind == "numeric") f.kind = SearchKind::kNumeric;
    else if (kind == "split") f.kind = SearchKind::kSplit;
    else Fail(where, "\"kind\" must be \"text\", \"numeric\" or \"split\"");
    if (f.numeric && f.kind != SearchKind::kNumeric) Fail(where, "\"numeric\" needs \"kind\": \"numeric\"");
    f.numeric = f.kind == SearchKind::kNumeric;
    f.split_mode = static_cast<int>(GetInt(obj, "split_mode", where, 0, 0, fmt::kMaxSplitMode));
    if (obj.contains("split_mode") && f.kind != SearchKind::kSplit)
      Fail(where, "\"split_mode\" belongs to \"kind\": \"split\"");
    if (f.kind == SearchKind::kNumeric && f.int_digits + f.frac_digits == 0)
      Fail(where, "a numeric field needs \"int_digits\" (and \"frac_digits\" for decimals)");
    if (obj.contains("separators") && f.words != WordMode::kWord)
      Fail(where, "\"separators\" belongs to \"words\": \"word\"");
    f.separators = ToBaseText(GetString(obj, "separators", where, std::string(kWordSeparatorsNoComma)),
                              where, "\"separators\"");
    if (reverse) {
      const int64_t of = GetInt(obj, "reverse_of", where, 0, 0, 32767);
      int src = -1;
      for (size_t j = 0; j < s->search_fields.size(); ++j)
        if (s->search_fields[j].number == of && s->search_fields[j].reverse_of < 0) src = static_cast<int>(j);
      if (src < 0) Fail(where, "\"reverse_of\" must name a search field listed before it");
      const uint16_t number = static_cast<uint16_t>(of + fmt::kReverseFieldOffset);
      if (obj.contains("number") && f.number != number)
        Fail(where, "a reverse field's number is its field's number + 32768 (" + std::to_string(number) + ")");
      if (obj.contains("column") || obj.contains("words") || obj.contains("kind") || obj.contains("separators"))
        Fail(where, "a reverse field takes its words from \"reverse_of\"; drop column, words, kind and separators");
      const SearchFieldSpec& base = s->search_fields[src];
      f.number = number;
      f.reverse_of = src;
      f.column = base.column;
      f.words = base.words;
      f.separators = base.separators;
      f.kind = SearchKind::kText;
      f.numeric = false;
      if (!obj.contains("tables") && !obj.contains("table_map")) f.table_map = base.table_map;
      if (!obj.contains("length")) f.length = base.length;
    }
    if (!numbers.insert(f.number).second)
      Fail(where, "search field number " + std::to_string(f.number) + " is used twice");
    s->search_fields.push_back(std::move(f));
  }

  const json& sort = root.contains("sort_fields") ? root["sort_fields"] : empty;
  if (!sort.is_array()) Fail("schema", "\"sort_fields\" must be a list");
  numbers.clear();
  for (size_t i = 0; i < sort.size(); ++i) {
    const json& obj = sort[i];
    const std::string where = "sort_fields[" + std::to_string(i) + "]";
    CheckKeys(obj, where, {COMMON_KEYS, "collation"});
    SortFieldSpec f;
    ParseCommon(obj, where, *s, &f);
    const std::string coll = GetString(obj, "collation", where, f.numeric ? "numeric" : "key");
    if (coll == "key") f.collation = Collation::kKey;
    else if (coll == "numeric") f.collation = Collation::kNumeric;
    else if (coll == "bytes") f.collation = Collation::kBytes;
    else Fail(where, "\"collation\" must be \"key\", \"numeric\" or \"bytes\"");
    if (!numbers.insert(f.number).second)
      Fail(where, "sort field number " + std::to_string(f.number) + " is used twice");
    s->sort_fields.push_back(std::move(f));
  }
}

}  // namespace

bool ParseSchema(std::string_view json_text, BuildSchema* schema, std::string* error) {
  *schema = BuildSchema();
  try {
    const json root = json::parse(json_text.begin(), json_text.end());
    ParseSchemaJson(root, schema);
    return true;
  } catch (const json::parse_error& e) {
    *error = std::string("schema is not valid JSON: ") + e.what();
  } catch (const SchemaError& e) {
    *error = e.what();
  } catch (const json::exception& e) {
    *error = std::string("schema: ") + e.what();
  }
  return false;
}

const char* SchemaHelp() {
  return R"(Schema file (JSON, UTF-8):
  tables         list of table names, in base order (required; up to 256)
  table_column   column naming each row's table (required with 2+ tables)
  encoding       "auto" (default: UTF-8 when the table is valid UTF-8, else
                 Windows-1252), "utf-8" or "windows-1252"
  delimiter      "auto" (default: tab if the header row has one, else the more
                 frequent of ";" and ","), "tab", "comma" or "semicolon"
  block_words    words per index block (default: chosen from the word count)
  data_fields    list, in record order (at least one); each:
      number (0..65535), name, column (default: name), length,
      searchable, sortable, numeric, not_in_base, multiline, published,
      exportable (true/false, default false), int_digits, frac_digits (0..255),
      tables (list of table names, or "all"; default: every declared table)
      or table_map (8 integers)
  search_fields  list; each: number, name, column, length, published,
                 exportable, int_digits, frac_digits, tables or table_map, plus:
      words       "word" (split at separators; default), "line", "value"
      separators  the characters that split words (default: blank, tab, line
                  breaks and *?<>()[]")
      kind        "text" (default), "numeric" (needs int_digits, frac_digits)
                  or "split" with split_mode 0, 1 or 2
      reverse_of  number of a search field listed before; this field then
                  holds that field's words written backwards, as number + 32768
  sort_fields    list; each: number, name, column, length, published,
                 exportable, numeric, int_digits, frac_digits, tables or
                 table_map, plus:
      collation   "key" (text order, case and accents folded; default),
                  "numeric" (default when numeric is true) or "bytes"
                  (byte order of the value as written)
)";
}

}  // namespace lodex::build
