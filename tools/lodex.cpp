// lodex: a command-line client of the Lodex32 engine, for scripts, support and timing.
// It uses the public C interface only, as any host would.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base_export.h"
#include "encoding.h"
#include "lodex32.h"
#include "lodex32_errors.h"

namespace {

constexpr int kExitUsage = 2;
constexpr size_t kEntryBytes = 260;  // one index-word entry: 256-byte word, int32 count
constexpr size_t kMaxColumnWidth = 40;

const char kHelp[] =
    "usage: lodex BASE_DIR COMMAND [ARGS] [OPTIONS]\n"
    "\n"
    "Opens the database directory BASE_DIR with the Lodex32 engine and runs one command.\n"
    "\n"
    "commands:\n"
    "  count FIELD QUERY         print the number of records QUERY finds in FIELD\n"
    "  search FIELD QUERY        print the hit count and the first hits' data fields\n"
    "  words FIELD PREFIX        list index words of FIELD from PREFIX on, with the\n"
    "                            number of records of each\n"
    "  schema                    show the tables and the data, search and sort fields;\n"
    "                            with --json the schema file lodex-build reads\n"
    "  export                    write every record with every data field, a header row\n"
    "                            of field names first (and a table column when the base\n"
    "                            has more than one table)\n"
    "\n"
    "FIELD is a search field's number or name (any letter case); see 'schema'.\n"
    "\n"
    "QUERY is given to the engine as written. Its terms are separated by blanks and must\n"
    "all match (see --any); a double-quoted stretch belongs to one term:\n"
    "  word        records with this word (with --prefix: a word beginning with it)\n"
    "  word*       records with a word beginning with 'word'\n"
    "  a-b         words from a up to every word beginning with b\n"
    "  >x >=x <x <=x   words after, from, before, up to x (in the field's key order)\n"
    "  *           records with any word in the field\n"
    "  w?rd, *ord, w*d   wildcard patterns ('?' one character, '*' any run)\n"
    "  !term       records without the term\n"
    "Words compare without regard to case and accents; numeric fields by value.\n"
    "\n"
    "options:\n"
    "  --limit N        search: records to print (default 10); words: words (default 20)\n"
    "  --tsv            search: tab-separated output, a header line of field names first\n"
    "  --sort FIELD     search: order the hits by this sort field (number or name)\n"
    "  --desc           search: with --sort, descending\n"
    "  --any            count, search: a record matching any term is a hit\n"
    "  --prefix         count, search: a plain word also matches longer words\n"
    "  --alt DIR        look for the base's files in DIR first\n"
    "  --temp DIR       keep the engine's temporary files in DIR (default: a fresh\n"
    "                   directory, removed on exit)\n"
    "  --raw            texts are Windows-1252 bytes both ways (default: UTF-8)\n"
    "  --json           count, search, words, schema: one JSON document on standard\n"
    "                   output; errors as a JSON object on standard error\n"
    "  --format F       export: tsv (default), csv or jsonl (one JSON object per\n"
    "                   record); schema --json: the delimiter of such a table\n"
    "  --table NAME     export: only the records of this table\n"
    "  --encoding E     export, schema --json: utf-8 (default) or windows-1252\n"
    "  --out FILE       export, schema --json: write to FILE instead of standard output\n"
    "  --time           print the time of each step on standard error\n"
    "  --help           show this text\n"
    "\n"
    "Exit status: 0 done, 2 bad arguments or an engine error (message on standard error).\n";

const char* ErrorName(int32_t code) {
  if (const Lodex32ErrorInfo* error = Lodex32FindError(code)) return error->text;
  return code <= LODEX32_FAULT_LIMIT ? "engine fault" : "engine error";
}

// Errors go out as a JSON object when the output is JSON.
bool g_json_errors = false;

// The code's name in the engine's list of codes ("ERROR_BadField"); faults have none.
std::string ErrorCodeName(int32_t code) {
  const Lodex32ErrorInfo* error = Lodex32FindError(code);
  return error ? error->name : ErrorName(code);
}

struct Options {
  std::string base_dir;
  std::string command;
  std::vector<std::string> args;
  std::optional<std::string> alt_dir;
  std::string temp_dir;
  std::string sort_field;
  long limit = -1;
  bool tsv = false, desc = false, any = false, prefix = false, raw = false, time = false;
  bool json = false;
  lodex::tools::TableFormat format = lodex::tools::TableFormat::kTsv;
  std::optional<std::string> table;
  std::string encoding = "utf-8";
  bool encoding_given = false;
  std::string out_file;
};

// Thrown to end the program with a message, once the temporary files are cleaned up.
// code is the engine's error code when the engine refused, else 0.
struct Failure {
  std::string message;
  int32_t code = 0;
};

[[noreturn]] void Fail(const std::string& message, int32_t code = 0) { throw Failure{message, code}; }

[[noreturn]] void FailUsage(const std::string& message) {
  throw Failure{message + "\n(see lodex --help)"};
}

// Answers value, or ends the program when the engine answered an error.
int32_t Check(int32_t value, const std::string& step) {
  if (value < 0) {
    Fail(step + ": " + ErrorName(value) + " (" + std::to_string(value) + ")", value);
  }
  return value;
}

// Texts between the terminal (UTF-8) and the engine (Windows-1252).
class Codepage {
 public:
  explicit Codepage(bool raw) : raw_(raw) {}

  std::string ToEngine(const std::string& s) const {
    return raw_ ? s : lodex::Utf8ToWindows1252OrQuestionMarks(s);
  }
  std::string FromEngine(const char* s) const {
    if (!s) return std::string();
    return raw_ ? std::string(s) : lodex::Windows1252ToUtf8(s);
  }

 private:
  bool raw_;
};

// Prints the time of each step when asked to.
class StepTimer {
 public:
  explicit StepTimer(bool on) : on_(on), start_(Clock::now()) {}
  void Lap(const char* step) {
    const auto now = Clock::now();
    if (on_) {
      std::fprintf(stderr, "time %-8s %10.3f ms\n", step,
                   std::chrono::duration<double, std::milli>(now - start_).count());
    }
    start_ = now;
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool on_;
  Clock::time_point start_;
};

long ParseLimit(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || n < 0 || n > 1000000) {
    FailUsage("--limit needs a number from 0 to 1000000, not '" + text + "'");
  }
  return n;
}

Options ParseArgs(int argc, char** argv) {
  Options o;
  std::vector<std::string> positional;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* name) {
      if (i + 1 >= argc) FailUsage(std::string(name) + " needs a value");
      return std::string(argv[++i]);
    };
    if (options_done || a.size() < 2 || a.compare(0, 2, "--") != 0) {
      positional.push_back(a);
    } else if (a == "--") {
      options_done = true;
    } else if (a == "--help") {
      std::fputs(kHelp, stdout);
      std::exit(0);
    } else if (a == "--limit") {
      o.limit = ParseLimit(value("--limit"));
    } else if (a == "--sort") {
      o.sort_field = value("--sort");
    } else if (a == "--alt") {
      o.alt_dir = value("--alt");
    } else if (a == "--temp") {
      o.temp_dir = value("--temp");
    } else if (a == "--tsv") {
      o.tsv = true;
    } else if (a == "--desc") {
      o.desc = true;
    } else if (a == "--any") {
      o.any = true;
    } else if (a == "--prefix") {
      o.prefix = true;
    } else if (a == "--raw") {
      o.raw = true;
    } else if (a == "--time") {
      o.time = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--format") {
      const std::string f = value("--format");
      if (f == "tsv") o.format = lodex::tools::TableFormat::kTsv;
      else if (f == "csv") o.format = lodex::tools::TableFormat::kCsv;
      else if (f == "jsonl") o.format = lodex::tools::TableFormat::kJsonLines;
      else FailUsage("--format is tsv, csv or jsonl, not '" + f + "'");
    } else if (a == "--table") {
      o.table = value("--table");
    } else if (a == "--encoding") {
      o.encoding = value("--encoding");
      o.encoding_given = true;
      std::transform(o.encoding.begin(), o.encoding.end(), o.encoding.begin(),
                     [](unsigned char c) { return std::tolower(c); });
      if (o.encoding == "utf8") o.encoding = "utf-8";
      if (o.encoding == "cp1252") o.encoding = "windows-1252";
      if (o.encoding != "utf-8" && o.encoding != "windows-1252")
        FailUsage("--encoding is utf-8 or windows-1252, not '" + o.encoding + "'");
    } else if (a == "--out") {
      o.out_file = value("--out");
    } else {
      FailUsage("unknown option " + a);
    }
  }
  if (positional.size() < 2) FailUsage("give a base directory and a command");
  o.base_dir = positional[0];
  o.command = positional[1];
  o.args.assign(positional.begin() + 2, positional.end());

  const size_t want = o.command == "schema" || o.command == "export" ? 0 : 2;
  if (o.command != "count" && o.command != "search" && o.command != "words" && o.command != "schema" &&
      o.command != "export") {
    FailUsage("unknown command '" + o.command + "'");
  }
  if (o.args.size() != want) {
    FailUsage("'" + o.command + "' takes " + std::to_string(want) + " arguments, not " +
              std::to_string(o.args.size()));
  }
  if (!o.sort_field.empty() && o.command != "search") FailUsage("--sort goes with 'search'");
  if (o.desc && o.sort_field.empty()) FailUsage("--desc goes with --sort");
  const bool writes_table = o.command == "export" || (o.command == "schema" && o.json);
  if (o.json && o.command == "export") FailUsage("export writes JSON with --format jsonl");
  if (o.table && o.command != "export") FailUsage("--table goes with 'export'");
  if (!o.out_file.empty() && !writes_table) FailUsage("--out goes with 'export' and 'schema --json'");
  if (o.encoding_given && !writes_table) FailUsage("--encoding goes with 'export' and 'schema --json'");
  if (o.format != lodex::tools::TableFormat::kTsv && !writes_table)
    FailUsage("--format goes with 'export' and 'schema --json'");
  if (o.format == lodex::tools::TableFormat::kJsonLines && o.encoding != "utf-8")
    FailUsage("JSON Lines are UTF-8; --encoding windows-1252 goes with tsv and csv");
  if (o.json && o.tsv) FailUsage("give --json or --tsv, not both");
  return o;
}

// A field given by number or by name. kind: 1 search fields, 2 sort fields.
int32_t ResolveField(int32_t base, const std::string& given, int32_t kind, const Codepage& cp) {
  const char* what = kind == 1 ? "search field" : "sort field";
  char* end = nullptr;
  const long number = std::strtol(given.c_str(), &end, 10);
  if (!given.empty() && *end == '\0') {
    const int32_t index = kind == 1 ? APISearchfieldIndex(base, static_cast<int32_t>(number))
                                    : APISortfieldIndex(base, static_cast<int32_t>(number));
    if (number < 0 || number > 0xFFFF || index < 0)
      Fail(std::string("no ") + what + " number " + given, ERROR_BadField);
    return static_cast<int32_t>(number);
  }
  const int32_t found = APINameToNumber(base, cp.ToEngine(given).c_str(), kind);
  if (found < 0) Fail(std::string("no ") + what + " named '" + given + "'", found);
  return found;
}

// Owns the temporary directory when the user did not name one.
class TempDir {
 public:
  explicit TempDir(const std::string& given) {
    if (!given.empty()) {
      path_ = given;
      return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "lodex-XXXXXX").string();
    if (!mkdtemp(pattern.data())) Fail("cannot create a temporary directory");
    path_ = pattern;
    owned_ = true;
  }
  ~TempDir() {
    std::error_code ec;
    if (owned_) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool owned_ = false;
};

std::string OneLine(std::string s) {
  std::replace_if(s.begin(), s.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
  return s;
}

// Display width of UTF-8 text (one column per character).
size_t Width(const std::string& s) {
  return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string Fit(const std::string& s, size_t width) {
  std::string out;
  size_t w = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const bool starts_char = (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80;
    if (starts_char && ++w > width) break;
    out += s[i];
  }
  if (Width(out) < width) out.append(width - Width(out), ' ');
  return out;
}

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
  if (rows.empty()) return;
  std::vector<size_t> widths(rows[0].size(), 0);
  for (const auto& row : rows) {
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], std::min(Width(row[c]), kMaxColumnWidth));
  }
  for (size_t r = 0; r < rows.size(); ++r) {
    std::string line;
    for (size_t c = 0; c < rows[r].size(); ++c) {
      if (c) line += "  ";
      line += Fit(rows[r][c], widths[c]);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::printf("%s\n", line.c_str());
    if (r == 0) {
      std::string rule;
      for (size_t c = 0; c < widths.size(); ++c) rule += (c ? "  " : "") + std::string(widths[c], '-');
      std::printf("%s\n", rule.c_str());
    }
  }
}

// Runs the query; answers the search field's number.
int32_t RunQuery(const Options& o, int32_t base, int32_t session, const Codepage& cp, StepTimer& timer) {
  const int32_t field = ResolveField(base, o.args[0], 1, cp);
  Check(APISearchExact(session, o.prefix ? 0 : 1), "search");
  Check(APISearchConditions(session, field, cp.ToEngine(o.args[1]).c_str(), o.any ? 1 : 0), "search");
  Check(APISearch(session), "search");
  timer.Lap("search");
  return field;
}

void PrintSchema(int32_t base, const Codepage& cp) {
  const int32_t tables = Check(APITableCount(base), "schema");
  std::printf("records %d\n\ntables\n", APIRecordCount(base));
  for (int32_t t = 0; t < tables; ++t) {
    std::printf("  %3d  %s %10d records\n", t, Fit(cp.FromEngine(APITableName(base, t)), 30).c_str(),
                APITableRecordCount(base, t));
  }
  auto flags = [](std::initializer_list<std::pair<const char*, int32_t>> list) {
    std::string out;
    for (auto [name, on] : list) {
      if (on > 0) out += std::string(out.empty() ? "" : ",") + name;
    }
    return out;
  };
  std::printf("\ndata fields\n");
  for (int32_t i = 0, n = APIDatafieldCount(base); i < n; ++i) {
    std::printf("  %5d  %s length %-6d %s digits %d.%d\n", APIDatafieldNo(base, i),
                Fit(cp.FromEngine(APIDatafieldName(base, i)), 30).c_str(), APIDatafieldLength(base, i),
                flags({{"searchable", APIDatafieldIsSearchable(base, i)},
                       {"sortable", APIDatafieldIsSortable(base, i)},
                       {"numeric", APIDatafieldIsNumeric(base, i)},
                       {"not-in-base", APIDatafieldNotInBase(base, i)},
                       {"multiline", APIDatafieldIsMultiline(base, i)},
                       {"published", APIDatafieldIsPublished(base, i)},
                       {"exportable", APIDatafieldIsExportable(base, i)}})
                    .c_str(),
                APIDatafieldIntDigits(base, i), APIDatafieldFracDigits(base, i));
  }
  std::printf("\nsearch fields\n");
  for (int32_t i = 0, n = APISearchfieldCount(base); i < n; ++i) {
    std::printf("  %5d  %s length %-6d %s digits %d.%d\n", APISearchfieldNo(base, i),
                Fit(cp.FromEngine(APISearchfieldName(base, i)), 30).c_str(), APISearchfieldLength(base, i),
                flags({{"by-word", APISearchfieldIsByWord(base, i)},
                       {"by-line", APISearchfieldIsByLine(base, i)},
                       {"numeric", APISearchfieldIsNumeric(base, i)},
                       {"published", APISearchfieldIsPublished(base, i)},
                       {"exportable", APISearchfieldIsExportable(base, i)}})
                    .c_str(),
                APISearchfieldIntDigits(base, i), APISearchfieldFracDigits(base, i));
  }
  std::printf("\nsort fields\n");
  for (int32_t i = 0, n = APISortfieldCount(base); i < n; ++i) {
    std::printf("  %5d  %s length %-6d %s digits %d.%d\n", APISortfieldNo(base, i),
                Fit(cp.FromEngine(APISortfieldName(base, i)), 30).c_str(), APISortfieldLength(base, i),
                flags({{"numeric", APISortfieldIsNumeric(base, i)},
                       {"published", APISortfieldIsPublished(base, i)},
                       {"exportable", APISortfieldIsExportable(base, i)}})
                    .c_str(),
                APISortfieldIntDigits(base, i), APISortfieldFracDigits(base, i));
  }
}

// The table that holds a hit: in sorted order through the sorted list's bit, else
// from the tables' hit ranges.
int32_t TableOfHit(int32_t base, int32_t session, int32_t hit, bool sorted) {
  const int32_t tables = APITableCount(base);
  if (sorted) {
    const int32_t bit = Check(APIBitmapentryFromListentry(session, hit), "fetch");
    int32_t t = 0;
    while (t + 1 < tables && APITableFirstBit(session, t + 1) <= bit) ++t;
    return t;
  }
  for (int32_t t = 0; t < tables; ++t) {
    const int32_t first = APITableFirstHit(session, t);
    if (hit >= first && hit < first + APITableHitCount(session, t)) return t;
  }
  return 0;
}

void PrintJson(const lodex::tools::Json& doc) { std::printf("%s\n", lodex::tools::JsonText(doc).c_str()); }

lodex::tools::Json FieldJson(int32_t number, const char* name) {
  lodex::tools::Json field;
  field["number"] = number;
  field["name"] = lodex::tools::ToUtf8(name);
  return field;
}

// The search field, the query and the hit count of count and search --json.
lodex::tools::Json QueryJson(const Options& o, int32_t base, int32_t field, int32_t hits) {
  lodex::tools::Json doc;
  doc["search_field"] = FieldJson(field, APISearchfieldName(base, APISearchfieldIndex(base, field)));
  doc["query"] = o.raw ? lodex::tools::ToUtf8(o.args[1].c_str()) : o.args[1];
  doc["hits"] = hits;
  return doc;
}

void PrintHitsJson(const Options& o, int32_t base, int32_t session, int32_t field, int32_t hits,
                   StepTimer& timer) {
  const auto columns = lodex::tools::MakeExportColumns(base);
  lodex::tools::Json doc = QueryJson(o, base, field, hits);
  const long limit = o.limit < 0 ? 10 : o.limit;
  const int32_t shown = static_cast<int32_t>(std::min<long>(hits, limit));
  doc["records"] = lodex::tools::Json::array();
  for (int32_t hit = 0; hit < shown; ++hit) {
    Check(APIFetchRecord(session, hit), "fetch");
    const int32_t table = TableOfHit(base, session, hit, !o.sort_field.empty());
    doc["records"].push_back(lodex::tools::RecordJson(session, columns, APITableName(base, table)));
  }
  timer.Lap("fetch");
  PrintJson(doc);
}

void PrintHits(const Options& o, int32_t base, int32_t session, int32_t field, const Codepage& cp,
               StepTimer& timer) {
  const int32_t hits = Check(APIHitCount(session), "count");
  if (!o.sort_field.empty()) {
    const int32_t sort_field = ResolveField(base, o.sort_field, 2, cp);
    Check(APISortConditions(session, sort_field, o.desc ? 1 : 0), "sort");
    Check(APISort(session), "sort");
    timer.Lap("sort");
  }

  if (o.json) {
    PrintHitsJson(o, base, session, field, hits, timer);
    return;
  }
  const int32_t fields = Check(APIDatafieldCount(base), "schema");
  std::vector<int32_t> numbers;
  std::vector<std::vector<std::string>> rows(1);
  for (int32_t i = 0; i < fields; ++i) {
    numbers.push_back(APIDatafieldNo(base, i));
    rows[0].push_back(cp.FromEngine(APIDatafieldName(base, i)));
  }
  const long limit = o.limit < 0 ? 10 : o.limit;
  const int32_t shown = static_cast<int32_t>(std::min<long>(hits, limit));
  for (int32_t hit = 0; hit < shown; ++hit) {
    Check(APIFetchRecord(session, hit), "fetch");
    std::vector<std::string> row;
    for (int32_t number : numbers) row.push_back(OneLine(cp.FromEngine(APIGetFieldData(session, number))));
    rows.push_back(std::move(row));
  }
  timer.Lap("fetch");

  if (o.tsv) {
    for (const auto& row : rows) {
      std::string line;
      for (size_t c = 0; c < row.size(); ++c) line += (c ? "\t" : "") + row[c];
      std::printf("%s\n", line.c_str());
    }
    return;
  }
  std::printf("%d hit%s%s\n", hits, hits == 1 ? "" : "s",
              shown < hits ? (", first " + std::to_string(shown) + " shown").c_str() : "");
  if (shown > 0) {
    std::printf("\n");
    PrintTable(rows);
  }
}

void PrintWords(const Options& o, int32_t base, int32_t session, const Codepage& cp, StepTimer& timer) {
  const int32_t field = ResolveField(base, o.args[0], 1, cp);
  const long limit = o.limit < 0 ? 20 : o.limit;
  std::vector<char> entries(static_cast<size_t>(std::max<long>(limit, 1)) * kEntryBytes);
  const int32_t written = Check(
      APIGetIndexWords(session, field, cp.ToEngine(o.args[1]).c_str(), static_cast<int32_t>(limit), 1,
                       entries.data()),
      "words");
  timer.Lap("words");
  if (o.json) {
    lodex::tools::Json doc;
    doc["search_field"] = FieldJson(field, APISearchfieldName(base, APISearchfieldIndex(base, field)));
    doc["from"] = o.raw ? lodex::tools::ToUtf8(o.args[1].c_str()) : o.args[1];
    doc["words"] = lodex::tools::Json::array();
    for (int32_t i = 0; i < written; ++i) {
      const char* entry = entries.data() + static_cast<size_t>(i) * kEntryBytes;
      int32_t count = 0;
      std::memcpy(&count, entry + 256, sizeof count);
      lodex::tools::Json word;
      word["word"] = lodex::tools::ToUtf8(std::string(entry, strnlen(entry, 256)).c_str());
      word["count"] = count;
      doc["words"].push_back(std::move(word));
    }
    PrintJson(doc);
    return;
  }
  for (int32_t i = 0; i < written; ++i) {
    const char* entry = entries.data() + static_cast<size_t>(i) * kEntryBytes;
    int32_t count = 0;
    std::memcpy(&count, entry + 256, sizeof count);
    std::printf("%s\t%d\n", cp.FromEngine(std::string(entry, strnlen(entry, 256)).c_str()).c_str(), count);
  }
}

// Standard output, or the --out file (written whole or not at all).
class Output {
 public:
  explicit Output(const std::string& path) : path_(path) {
    if (path_.empty()) {
      file_ = stdout;
      return;
    }
    temp_ = path_ + ".partial";
    file_ = std::fopen(temp_.c_str(), "wb");
    if (!file_) Fail("cannot write " + temp_ + ": " + std::strerror(errno));
  }
  ~Output() {
    if (file_ && file_ != stdout) {
      std::fclose(file_);
      std::remove(temp_.c_str());
    }
  }
  std::FILE* file() const { return file_; }
  void Finish() {
    if (file_ == stdout) {
      if (std::fflush(stdout) != 0) Fail("cannot write the standard output");
      return;
    }
    const bool ok = std::fflush(file_) == 0 && !std::ferror(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok || !closed || std::rename(temp_.c_str(), path_.c_str()) != 0) {
      std::remove(temp_.c_str());
      Fail("cannot write " + path_ + ": " + std::strerror(errno));
    }
  }

 private:
  std::string path_, temp_;
  std::FILE* file_ = nullptr;
};

void WriteSchemaJson(const Options& o, int32_t base) {
  const auto columns = lodex::tools::MakeExportColumns(base);
  std::vector<lodex::tools::LeftOut> left_out;
  const auto schema = lodex::tools::BaseSchemaJson(base, columns, o.format, o.encoding, &left_out);
  for (const auto& l : left_out) {
    std::fprintf(stderr, "lodex: %s %d \"%s\" is left out of the schema: %s\n", l.kind.c_str(), l.number,
                 l.name.c_str(), l.why.c_str());
  }
  Output out(o.out_file);
  const std::string text = lodex::tools::JsonText(schema) + "\n";
  if (std::fwrite(text.data(), 1, text.size(), out.file()) != text.size()) Fail("cannot write " + o.out_file);
  out.Finish();
}

void Export(const Options& o, int32_t base, int32_t session) {
  lodex::tools::ExportRequest request;
  request.format = o.format;
  request.utf8 = o.encoding == "utf-8";
  if (o.table) {
    const std::string wanted = o.raw ? *o.table : Codepage(false).ToEngine(*o.table);
    for (int32_t t = 0, n = APITableCount(base); t < n; ++t)
      if (wanted == APITableName(base, t)) request.table = t;
    if (request.table < 0) Fail("no table named '" + *o.table + "'", ERROR_BadTable);
  }
  Output out(o.out_file);
  const int32_t written = lodex::tools::ExportRecords(base, session, lodex::tools::MakeExportColumns(base),
                                                      request, out.file());
  if (written == lodex::tools::kWriteFailed) Fail("cannot write " + (o.out_file.empty() ? "the standard output" : o.out_file));
  Check(written, "export");
  out.Finish();
}

}  // namespace

int Run(int argc, char** argv) {
  const Options o = ParseArgs(argc, argv);
  const Codepage cp(o.raw);
  StepTimer timer(o.time);
  TempDir temp(o.temp_dir);

  const std::string base_dir = cp.ToEngine(o.base_dir);
  const std::string alt_dir = o.alt_dir ? cp.ToEngine(*o.alt_dir) : std::string();
  const int32_t base = Check(APIOpenBaseEx(base_dir.c_str(), o.alt_dir ? alt_dir.c_str() : nullptr,
                                           temp.path().c_str(), 0),
                             "open " + o.base_dir);
  timer.Lap("open");

  if (o.command == "schema" && o.json) {
    WriteSchemaJson(o, base);
  } else if (o.command == "schema") {
    PrintSchema(base, cp);
  } else if (o.command == "export") {
    const int32_t session = Check(APICreateSession(base), "session");
    Export(o, base, session);
    timer.Lap("export");
    APIDestroySession(session);
  } else {
    const int32_t session = Check(APICreateSession(base), "session");
    if (o.command == "words") {
      PrintWords(o, base, session, cp, timer);
    } else {
      const int32_t field = RunQuery(o, base, session, cp, timer);
      if (o.command == "count" && o.json) {
        PrintJson(QueryJson(o, base, field, Check(APIHitCount(session), "count")));
      } else if (o.command == "count") {
        std::printf("%d\n", Check(APIHitCount(session), "count"));
      } else {
        PrintHits(o, base, session, field, cp, timer);
      }
    }
    APIDestroySession(session);
  }
  APICloseBase(base);
  return 0;
}

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) g_json_errors = g_json_errors || std::strcmp(argv[i], "--json") == 0;
  try {
    return Run(argc, argv);
  } catch (const Failure& f) {
    if (g_json_errors) {
      lodex::tools::Json error;
      error["message"] = f.message;
      if (f.code != 0) {
        error["code"] = f.code;
        error["name"] = ErrorCodeName(f.code);
      }
      lodex::tools::Json doc;
      doc["error"] = std::move(error);
      std::fprintf(stderr, "%s\n", lodex::tools::JsonText(doc, -1).c_str());
    } else {
      std::fprintf(stderr, "lodex: %s\n", f.message.c_str());
    }
    return kExitUsage;
  }
}
