// Turning an open base back into what lodex-build reads: a product table holding every
// record with every data field, and a schema file that maps the table's columns to the
// base's data, search and sort fields.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace lodex::tools {

using Json = nlohmann::ordered_json;

// Engine text (Windows-1252) to the text written out (UTF-8, or unchanged).
using EngineText = std::function<std::string(const char*)>;

enum class TableFormat { kTsv, kCsv, kJsonLines };

// The column names of an exported table, as the engine spells them (Windows-1252):
// one per data field, the field's name made unique, and the table column when the
// base has more than one table. Names are trimmed because lodex-build trims the
// header row's cells.
struct ExportColumns {
  std::string table;               // empty: one table, no table column
  std::vector<std::string> data;   // per data field index
  std::vector<int32_t> numbers;    // per data field index
};

ExportColumns MakeExportColumns(int32_t base);

// Why a search or sort field cannot be rebuilt from the exported columns.
struct LeftOut {
  std::string kind;  // "search_fields" or "sort_fields"
  int32_t number = 0;
  std::string name;  // UTF-8
  std::string why;
};

// The lodex-build schema of the base, for a table written in `format` and encoding
// ("utf-8" or "windows-1252"). A search or sort field takes its words or values from
// the data field with its number, else from the one with its name; a field number +
// 32768 whose field is listed before it is that field's reverse. Fields with no such
// source are not in the schema and are listed in *left_out.
Json BaseSchemaJson(int32_t base, const ExportColumns& columns, TableFormat format,
                    const std::string& encoding, std::vector<LeftOut>* left_out);

// One fetched record as a JSON object, keyed by the column names (UTF-8).
Json RecordJson(int32_t session, const ExportColumns& columns, const std::string& table_name);

struct ExportRequest {
  TableFormat format = TableFormat::kTsv;
  int32_t table = -1;  // -1: every table
  bool utf8 = true;    // false: Windows-1252 bytes as the base holds them
};

// Answered by ExportRecords when the output cannot be written.
constexpr int32_t kWriteFailed = INT32_MIN;

// Writes the header row and every record of the request's tables in bit order.
// Answers the number of records written, the engine's negative error code, or
// kWriteFailed.
int32_t ExportRecords(int32_t base, int32_t session, const ExportColumns& columns,
                      const ExportRequest& request, std::FILE* out);

// One cell of a TSV or CSV row: quoted when it holds the delimiter, a quote or a line
// break, with quotes doubled, as lodex-build's table reader expects.
std::string QuoteCell(const std::string& text, char delimiter);

// A JSON document as text; bytes that are not UTF-8 become U+FFFD.
std::string JsonText(const Json& doc, int indent = 1);

// Windows-1252 to UTF-8.
std::string ToUtf8(const char* text);

}  // namespace lodex::tools
