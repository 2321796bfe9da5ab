#include "base_export.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "encoding.h"
#include "lodex32.h"

namespace lodex::tools {

namespace {

constexpr int32_t kReverseOffset = 32768;
constexpr int32_t kSplitLengthBase = 123456;  // a split field's length word: base + mode
constexpr int32_t kMaxSplitMode = 2;

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Unique(std::string name, std::set<std::string>* taken) {
  if (name.empty()) name = "field";
  std::string candidate = name;
  for (int k = 2; taken->count(candidate); ++k) candidate = name + " (" + std::to_string(k) + ")";
  taken->insert(candidate);
  return candidate;
}

Json TableMapJson(intptr_t address) {
  Json map = Json::array();
  const auto* words = reinterpret_cast<const uint32_t*>(address);
  for (int i = 0; i < 8; ++i) map.push_back(words ? words[i] : 0u);
  return map;
}

// The data field a search or sort field takes its text from: the one with its number,
// else the one with its name (exact, then in any letter case). -1 when none.
int32_t SourceField(int32_t base, int32_t number, const std::string& name) {
  const int32_t n = APIDatafieldCount(base);
  for (int32_t i = 0; i < n; ++i)
    if (APIDatafieldNo(base, i) == number) return i;
  for (int32_t i = 0; i < n; ++i)
    if (name == APIDatafieldName(base, i)) return i;
  auto folded = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
  };
  for (int32_t i = 0; i < n; ++i)
    if (folded(name) == folded(APIDatafieldName(base, i))) return i;
  return -1;
}

void AddDigits(Json& field, int32_t int_digits, int32_t frac_digits) {
  if (int_digits > 0) field["int_digits"] = int_digits;
  if (frac_digits > 0) field["frac_digits"] = frac_digits;
}

Json DataFieldsJson(int32_t base, const ExportColumns& columns) {
  Json fields = Json::array();
  for (int32_t i = 0, n = APIDatafieldCount(base); i < n; ++i) {
    Json f;
    f["number"] = APIDatafieldNo(base, i);
    f["name"] = ToUtf8(APIDatafieldName(base, i));
    f["column"] = ToUtf8(columns.data[i].c_str());
    f["length"] = APIDatafieldLength(base, i);
    f["searchable"] = APIDatafieldIsSearchable(base, i) > 0;
    f["sortable"] = APIDatafieldIsSortable(base, i) > 0;
    f["numeric"] = APIDatafieldIsNumeric(base, i) > 0;
    f["not_in_base"] = APIDatafieldNotInBase(base, i) > 0;
    f["multiline"] = APIDatafieldIsMultiline(base, i) > 0;
    f["published"] = APIDatafieldIsPublished(base, i) > 0;
    f["exportable"] = APIDatafieldIsExportable(base, i) > 0;
    AddDigits(f, APIDatafieldIntDigits(base, i), APIDatafieldFracDigits(base, i));
    f["table_map"] = TableMapJson(APIDatafieldTablemap(base, i));
    fields.push_back(std::move(f));
  }
  return fields;
}

Json SearchFieldsJson(int32_t base, const ExportColumns& columns, std::vector<LeftOut>* left_out) {
  Json fields = Json::array();
  std::set<int32_t> listed;
  for (int32_t i = 0, n = APISearchfieldCount(base); i < n; ++i) {
    const int32_t number = APISearchfieldNo(base, i);
    const std::string name = APISearchfieldName(base, i);
    const int32_t length_word = APISearchfieldLength(base, i);
    Json f;
    if (number >= kReverseOffset) {
      // Words written backwards: the field of number - 32768 must come first.
      const int32_t of = number - kReverseOffset;
      if (!listed.count(of)) {
        left_out->push_back({"search_fields", number, ToUtf8(name.c_str()),
                             "reverses field " + std::to_string(of) + ", which is not listed before it"});
        continue;
      }
      f["reverse_of"] = of;
      f["name"] = ToUtf8(name.c_str());
      f["length"] = length_word;
    } else {
      const int32_t source = SourceField(base, number, name);
      if (source < 0) {
        left_out->push_back({"search_fields", number, ToUtf8(name.c_str()),
                             "no data field has its number or name, so its words are not in the records"});
        continue;
      }
      const bool numeric = APISearchfieldIsNumeric(base, i) > 0;
      const bool split = !numeric && length_word >= kSplitLengthBase &&
                         length_word <= kSplitLengthBase + kMaxSplitMode;
      f["number"] = number;
      f["name"] = ToUtf8(name.c_str());
      f["column"] = ToUtf8(columns.data[source].c_str());
      f["words"] = APISearchfieldIsByWord(base, i) > 0   ? "word"
                   : APISearchfieldIsByLine(base, i) > 0 ? "line"
                                                         : "value";
      f["kind"] = numeric ? "numeric" : split ? "split" : "text";
      if (split) f["split_mode"] = length_word - kSplitLengthBase;
      else f["length"] = length_word;
    }
    f["published"] = APISearchfieldIsPublished(base, i) > 0;
    f["exportable"] = APISearchfieldIsExportable(base, i) > 0;
    AddDigits(f, APISearchfieldIntDigits(base, i), APISearchfieldFracDigits(base, i));
    f["table_map"] = TableMapJson(APISearchfieldTablemap(base, i));
    listed.insert(number);
    fields.push_back(std::move(f));
  }
  return fields;
}

Json SortFieldsJson(int32_t base, const ExportColumns& columns, std::vector<LeftOut>* left_out) {
  Json fields = Json::array();
  for (int32_t i = 0, n = APISortfieldCount(base); i < n; ++i) {
    const int32_t number = APISortfieldNo(base, i);
    const std::string name = APISortfieldName(base, i);
    const int32_t source = SourceField(base, number, name);
    if (source < 0) {
      left_out->push_back({"sort_fields", number, ToUtf8(name.c_str()),
                           "no data field has its number or name, so its values are not in the records"});
      continue;
    }
    const bool numeric = APISortfieldIsNumeric(base, i) > 0;
    Json f;
    f["number"] = number;
    f["name"] = ToUtf8(name.c_str());
    f["column"] = ToUtf8(columns.data[source].c_str());
    f["length"] = APISortfieldLength(base, i);
    f["numeric"] = numeric;
    f["collation"] = numeric ? "numeric" : "key";
    f["published"] = APISortfieldIsPublished(base, i) > 0;
    f["exportable"] = APISortfieldIsExportable(base, i) > 0;
    AddDigits(f, APISortfieldIntDigits(base, i), APISortfieldFracDigits(base, i));
    f["table_map"] = TableMapJson(APISortfieldTablemap(base, i));
    fields.push_back(std::move(f));
  }
  return fields;
}

bool WriteAll(const std::string& text, std::FILE* out) {
  return std::fwrite(text.data(), 1, text.size(), out) == text.size();
}

}  // namespace

std::string ToUtf8(const char* text) { return text ? Windows1252ToUtf8(text) : std::string(); }

std::string JsonText(const Json& doc, int indent) {
  return doc.dump(indent, ' ', false, Json::error_handler_t::replace);
}

ExportColumns MakeExportColumns(int32_t base) {
  ExportColumns columns;
  std::set<std::string> taken;
  for (int32_t i = 0, n = APIDatafieldCount(base); i < n; ++i) {
    columns.numbers.push_back(APIDatafieldNo(base, i));
    columns.data.push_back(Unique(Trimmed(APIDatafieldName(base, i)), &taken));
  }
  if (APITableCount(base) > 1) columns.table = Unique("Table", &taken);
  return columns;
}

Json BaseSchemaJson(int32_t base, const ExportColumns& columns, TableFormat format,
                    const std::string& encoding, std::vector<LeftOut>* left_out) {
  Json schema;
  Json tables = Json::array();
  for (int32_t t = 0, n = APITableCount(base); t < n; ++t) tables.push_back(ToUtf8(APITableName(base, t)));
  schema["tables"] = std::move(tables);
  if (!columns.table.empty()) schema["table_column"] = ToUtf8(columns.table.c_str());
  schema["encoding"] = encoding;
  if (format != TableFormat::kJsonLines) schema["delimiter"] = format == TableFormat::kCsv ? "comma" : "tab";
  schema["data_fields"] = DataFieldsJson(base, columns);
  schema["search_fields"] = SearchFieldsJson(base, columns, left_out);
  schema["sort_fields"] = SortFieldsJson(base, columns, left_out);
  return schema;
}

Json RecordJson(int32_t session, const ExportColumns& columns, const std::string& table_name) {
  Json record;
  if (!columns.table.empty()) record[ToUtf8(columns.table.c_str())] = ToUtf8(table_name.c_str());
  for (size_t i = 0; i < columns.data.size(); ++i)
    record[ToUtf8(columns.data[i].c_str())] = ToUtf8(APIGetFieldData(session, columns.numbers[i]));
  return record;
}

std::string QuoteCell(const std::string& text, char delimiter) {
  if (text.find_first_of(std::string("\"\r\n") + delimiter) == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

int32_t ExportRecords(int32_t base, int32_t session, const ExportColumns& columns,
                      const ExportRequest& request, std::FILE* out) {
  const char delimiter = request.format == TableFormat::kCsv ? ',' : '\t';
  auto text = [&](const char* s) { return request.utf8 ? ToUtf8(s) : std::string(s ? s : ""); };
  auto write_row = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (size_t c = 0; c < cells.size(); ++c) {
      if (c) line += delimiter;
      line += QuoteCell(cells[c], delimiter);
    }
    // A row of one empty cell would read back as a blank line, which holds no record.
    if (line.empty()) line = "\"\"";
    return WriteAll(line + "\n", out);
  };

  if (request.format != TableFormat::kJsonLines) {
    std::vector<std::string> header;
    if (!columns.table.empty()) header.push_back(text(columns.table.c_str()));
    for (const std::string& name : columns.data) header.push_back(text(name.c_str()));
    if (!write_row(header)) return kWriteFailed;
  }
  if (const int32_t rc = APIFillBitmap(session, 0); rc < 0) return rc;
  int32_t written = 0;
  for (int32_t t = 0, n = APITableCount(base); t < n; ++t) {
    if (request.table >= 0 && t != request.table) continue;
    const std::string table_name = APITableName(base, t);
    const int32_t first = APITableFirstHit(session, t);
    const int32_t count = APITableHitCount(session, t);
    if (first < 0) return first;
    if (count < 0) return count;
    for (int32_t hit = first; hit < first + count; ++hit) {
      if (const int32_t rc = APIFetchRecord(session, hit); rc < 0) return rc;
      bool ok;
      if (request.format == TableFormat::kJsonLines) {
        ok = WriteAll(JsonText(RecordJson(session, columns, table_name), -1) + "\n", out);
      } else {
        std::vector<std::string> cells;
        if (!columns.table.empty()) cells.push_back(text(table_name.c_str()));
        for (int32_t number : columns.numbers) cells.push_back(text(APIGetFieldData(session, number)));
        ok = write_row(cells);
      }
      if (!ok) return kWriteFailed;
      ++written;
    }
  }
  return written;
}

}  // namespace lodex::tools
