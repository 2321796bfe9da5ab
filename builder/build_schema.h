// The schema file of lodex-build: which columns of the product table become data
// fields, search fields and sort fields, and how rows map to tables. JSON, e.g.
//
//   {
//     "tables": ["VARER", "UDGÅEDE VARER"],
//     "table_column": "Tabel",
//     "data_fields": [
//       {"number": 100, "name": "Varetekst", "column": "Varetekst", "length": 60,
//        "searchable": true, "sortable": true, "published": true}
//     ],
//     "search_fields": [
//       {"number": 100, "name": "Varetekst", "column": "Varetekst", "words": "word"},
//       {"reverse_of": 100, "name": "Varetekst baglæns"},
//       {"number": 140, "name": "El.nr.", "column": "El.nr.", "words": "line",
//        "kind": "numeric", "int_digits": 7}
//     ],
//     "sort_fields": [
//       {"number": 180, "name": "Pris", "column": "Pris", "collation": "numeric"}
//     ]
//   }
//
// The full list of keys is in SchemaHelp(). Texts are UTF-8 in the file and become
// Windows-1252 in the base.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lodex::build {

using TableMap = std::array<uint32_t, 8>;

// Attributes every kind of field has.
struct FieldSpec {
  uint16_t number = 0;
  std::string name;    // Windows-1252
  std::string column;  // product table column (UTF-8, as in the header row)
  uint32_t length = 0;
  bool published = false;
  bool exportable = false;
  bool numeric = false;
  int int_digits = 0;
  int frac_digits = 0;
  TableMap table_map{};
};

struct DataFieldSpec : FieldSpec {
  bool searchable = false;
  bool sortable = false;
  bool not_in_base = false;
  bool multiline = false;
  uint32_t Flags() const;
};

// How a search field takes its words from a cell.
enum class WordMode {
  kWord,   // split at the separators
  kLine,   // each line is one word
  kValue,  // the whole cell is one word
};

enum class SearchKind { kText, kNumeric, kSplit };

struct SearchFieldSpec : FieldSpec {
  WordMode words = WordMode::kWord;
  SearchKind kind = SearchKind::kText;
  int split_mode = 0;
  std::string separators;  // for WordMode::kWord
  int reverse_of = -1;     // index of the search field whose words this one reverses
  uint32_t Flags() const;
  uint32_t LengthWord() const;
};

// The order a sort field's run follows.
enum class Collation {
  kKey,      // byte order of the text key form (case and accents folded)
  kNumeric,  // numeric value; decimal comma or point
  kBytes,    // byte order of the value as written
};

struct SortFieldSpec : FieldSpec {
  Collation collation = Collation::kKey;
  uint32_t Flags() const;
};

struct BuildSchema {
  std::string encoding = "auto";  // "auto", "utf-8" or "windows-1252"
  char delimiter = 0;             // 0: taken from the header row
  std::string table_column;       // empty: every row goes to the first table
  std::vector<std::string> tables;  // Windows-1252
  std::vector<std::string> table_labels;  // the same names as written (UTF-8)
  std::vector<DataFieldSpec> data_fields;
  std::vector<SearchFieldSpec> search_fields;
  std::vector<SortFieldSpec> sort_fields;
  int block_words = 0;  // words per index block; 0 chooses from the word count
};

// Parses and checks a schema. On failure answers false and sets error to a message
// that names the offending entry and key.
bool ParseSchema(std::string_view json_text, BuildSchema* schema, std::string* error);

// Describes the schema keys (for --help).
const char* SchemaHelp();

}  // namespace lodex::build
