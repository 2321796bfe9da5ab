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
    "  schema                    show the tables and the data, search and sort fields\n"
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
    "  --time           print the time of each step on standard error\n"
    "  --help           show this text\n"
    "\n"
    "Exit status: 0 done, 2 bad arguments or an engine error (message on standard error).\n";

const char* ErrorName(int32_t code) {
  if (const Lodex32ErrorInfo* error = Lodex32FindError(code)) return error->text;
  return code <= LODEX32_FAULT_LIMIT ? "engine fault" : "engine error";
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
};

// Thrown to end the program with a message, once the temporary files are cleaned up.
struct Failure {
  std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw Failure{message}; }

[[noreturn]] void FailUsage(const std::string& message) {
  throw Failure{message + "\n(see lodex --help)"};
}

// Answers value, or ends the program when the engine answered an error.
int32_t Check(int32_t value, const std::string& step) {
  if (value < 0) {
    Fail(step + ": " + ErrorName(value) + " (" + std::to_string(value) + ")");
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
    } else {
      FailUsage("unknown option " + a);
    }
  }
  if (positional.size() < 2) FailUsage("give a base directory and a command");
  o.base_dir = positional[0];
  o.command = positional[1];
  o.args.assign(positional.begin() + 2, positional.end());

  const size_t want = o.command == "schema" ? 0 : 2;
  if (o.command != "count" && o.command != "search" && o.command != "words" && o.command != "schema") {
    FailUsage("unknown command '" + o.command + "'");
  }
  if (o.args.size() != want) {
    FailUsage("'" + o.command + "' takes " + std::to_string(want) + " arguments, not " +
              std::to_string(o.args.size()));
  }
  if (!o.sort_field.empty() && o.command != "search") FailUsage("--sort goes with 'search'");
  if (o.desc && o.sort_field.empty()) FailUsage("--desc goes with --sort");
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
    if (number < 0 || number > 0xFFFF || index < 0) Fail(std::string("no ") + what + " number " + given);
    return static_cast<int32_t>(number);
  }
  const int32_t found = APINameToNumber(base, cp.ToEngine(given).c_str(), kind);
  if (found < 0) Fail(std::string("no ") + what + " named '" + given + "'");
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

void RunQuery(const Options& o, int32_t base, int32_t session, const Codepage& cp, StepTimer& timer) {
  const int32_t field = ResolveField(base, o.args[0], 1, cp);
  Check(APISearchExact(session, o.prefix ? 0 : 1), "search");
  Check(APISearchConditions(session, field, cp.ToEngine(o.args[1]).c_str(), o.any ? 1 : 0), "search");
  Check(APISearch(session), "search");
  timer.Lap("search");
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

void PrintHits(const Options& o, int32_t base, int32_t session, const Codepage& cp, StepTimer& timer) {
  const int32_t hits = Check(APIHitCount(session), "count");
  if (!o.sort_field.empty()) {
    const int32_t sort_field = ResolveField(base, o.sort_field, 2, cp);
    Check(APISortConditions(session, sort_field, o.desc ? 1 : 0), "sort");
    Check(APISort(session), "sort");
    timer.Lap("sort");
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
  for (int32_t i = 0; i < written; ++i) {
    const char* entry = entries.data() + static_cast<size_t>(i) * kEntryBytes;
    int32_t count = 0;
    std::memcpy(&count, entry + 256, sizeof count);
    std::printf("%s\t%d\n", cp.FromEngine(std::string(entry, strnlen(entry, 256)).c_str()).c_str(), count);
  }
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

  if (o.command == "schema") {
    PrintSchema(base, cp);
  } else {
    const int32_t session = Check(APICreateSession(base), "session");
    if (o.command == "words") {
      PrintWords(o, base, session, cp, timer);
    } else {
      RunQuery(o, base, session, cp, timer);
      if (o.command == "count") {
        std::printf("%d\n", Check(APIHitCount(session), "count"));
      } else {
        PrintHits(o, base, session, cp, timer);
      }
    }
    APIDestroySession(session);
  }
  APICloseBase(base);
  return 0;
}

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const Failure& f) {
    std::fprintf(stderr, "lodex: %s\n", f.message.c_str());
    return kExitUsage;
  }
}
