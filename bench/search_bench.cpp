// Search benchmarks: each query class of the catalogue, on a base built from a product
// table, side by side with SQLite FTS5 over the same products.
//
//   search_bench --base DIR --products FILE [--db FILE] [benchmark flags]
//
// DIR is the base lodex-build wrote from FILE (lodex-demo's products.tsv: a header line,
// then Tabel, Varetekst, Typenr, El.nr., EAN, ... tab-separated, UTF-8). The SQLite
// database is built from FILE on the first run and kept in --db (default: FILE.fts.db).
// Every benchmark reports its hit count as the counter "hits"; the pairs must agree.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "lodex32.h"

namespace {

std::string g_base, g_products, g_db;
int32_t g_session = -1;
sqlite3* g_sqlite = nullptr;

// ---- The engine

int32_t Search(int32_t field, const char* text) {
  if (APISearchConditions(g_session, field, text, 0) != 0 || APISearch(g_session) != 0) {
    return -1;
  }
  return APIHitCount(g_session);
}

void RunLodex(benchmark::State& state, int32_t field, const char* text) {
  int32_t hits = 0;
  for (auto _ : state) hits = Search(field, text);
  state.counters["hits"] = hits;
}

// The catalogue program's combined search: one search per field, each result stored
// in a slot file, the slots ANDed, the result restored and counted.
int32_t FourFieldAnd() {
  static const struct {
    int32_t field;
    const char* text;
  } kTerms[] = {{100, "KABELBINDER"}, {120, "SV*"}, {140, "*"}, {160, "*"}};
  int32_t slot = 1;
  for (const auto& term : kTerms) {
    if (Search(term.field, term.text) < 0) return -1;
    APIStoreBitmap(g_session, slot++);
  }
  for (int32_t s = 2; s < slot; ++s) APIAndBitmaps(g_session, 1, 1, s);
  APIRestoreBitmap(g_session, 1);
  return APIHitCount(g_session);
}

void BM_Lodex_ExactWord(benchmark::State& s) { RunLodex(s, 100, "KABELBINDER"); }
void BM_Lodex_Prefix(benchmark::State& s) { RunLodex(s, 100, "KAB*"); }
void BM_Lodex_NumericRange(benchmark::State& s) {
  RunLodex(s, 160, "5700000000000-5700000500000");
}
void BM_Lodex_Infix(benchmark::State& s) { RunLodex(s, 100, "*KABEL*"); }
void BM_Lodex_Suffix(benchmark::State& s) { RunLodex(s, 100, "*BINDER"); }
void BM_Lodex_FourFieldAnd(benchmark::State& state) {
  int32_t hits = 0;
  for (auto _ : state) hits = FourFieldAnd();
  state.counters["hits"] = hits;
}
void BM_Lodex_WordPage(benchmark::State& state) {
  std::vector<char> entries(100 * 260);
  int32_t words = 0;
  for (auto _ : state) {
    int32_t first = APILocateIndexWord(g_session, 100, "C", 1);
    if (first < 0) first = 0;
    words = APIGetIndexWordsEx(g_session, 100, first, 100, 1, entries.data());
  }
  state.counters["hits"] = words;
}

// ---- SQLite FTS5

int64_t Count(const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(g_sqlite, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(g_sqlite));
    return -1;
  }
  int64_t n = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) ++n;
  sqlite3_finalize(stmt);
  return n;
}

int64_t CountStar(const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(g_sqlite, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(g_sqlite));
    return -1;
  }
  int64_t n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
  sqlite3_finalize(stmt);
  return n;
}

void RunSqlite(benchmark::State& state, const char* sql) {
  int64_t hits = 0;
  for (auto _ : state) hits = CountStar(sql);
  state.counters["hits"] = static_cast<double>(hits);
}

void BM_Fts5_ExactWord(benchmark::State& s) {
  RunSqlite(s, "SELECT count(*) FROM fts WHERE fts MATCH 'varetekst:KABELBINDER'");
}
void BM_Fts5_Prefix(benchmark::State& s) {
  // FTS5 also splits words at punctuation; keep the records with a blank-separated word
  // that begins with KAB, as the engine's by-word index has them.
  RunSqlite(s,
            "SELECT count(*) FROM fts JOIN products p ON p.id = fts.rowid WHERE fts MATCH "
            "'varetekst:KAB*' AND (' ' || p.varetekst) LIKE '% KAB%'");
}
void BM_Fts5_NumericRange(benchmark::State& s) {
  RunSqlite(s, "SELECT count(*) FROM products WHERE ean BETWEEN 5700000000000 AND 5700000500000");
}
void BM_Fts5_Infix(benchmark::State& s) {
  RunSqlite(s, "SELECT count(*) FROM tri WHERE varetekst LIKE '%KABEL%'");
}
void BM_Fts5_Suffix(benchmark::State& s) {
  // A word ending in BINDER: before a blank or at the end of the text.
  RunSqlite(s,
            "SELECT count(*) FROM tri WHERE varetekst LIKE '%BINDER %' OR varetekst LIKE "
            "'%BINDER'");
}
void BM_Fts5_FourFieldAnd(benchmark::State& s) {
  RunSqlite(s,
            "SELECT count(*) FROM fts JOIN products p ON p.id = fts.rowid WHERE fts MATCH "
            "'varetekst:KABELBINDER AND typenr:^SV*' AND p.elnr <> '' AND p.ean_text <> ''");
}
void BM_Fts5_WordPage(benchmark::State& state) {
  int64_t words = 0;
  for (auto _ : state) {
    words = Count("SELECT term, doc FROM vocab WHERE term >= 'c' ORDER BY term LIMIT 100");
  }
  state.counters["hits"] = static_cast<double>(words);
}

// ---- Setting up

void Exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(g_sqlite, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", error ? error : "?");
    sqlite3_free(error);
    std::exit(1);
  }
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> cells;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    cells.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return cells;
}

void BuildDatabase() {
  std::ifstream in(g_products);
  if (!in) {
    std::fprintf(stderr, "search_bench: cannot read %s\n", g_products.c_str());
    std::exit(1);
  }
  Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"
       "CREATE TABLE products(id INTEGER PRIMARY KEY, varetekst TEXT, typenr TEXT, elnr TEXT,"
       " ean INTEGER, ean_text TEXT);");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(g_sqlite, "INSERT INTO products VALUES(?,?,?,?,?,?)", -1, &insert, nullptr);
  std::string line;
  std::getline(in, line);  // header
  int64_t id = 0;
  while (std::getline(in, line)) {
    const std::vector<std::string> c = SplitTabs(line);
    if (c.size() < 5) continue;
    sqlite3_bind_int64(insert, 1, id++);  // bit numbers: the table's file order
    for (int i = 1; i <= 3; ++i) {
      sqlite3_bind_text(insert, i + 1, c[i].c_str(), -1, SQLITE_TRANSIENT);
    }
    sqlite3_bind_int64(insert, 5, std::atoll(c[4].c_str()));
    sqlite3_bind_text(insert, 6, c[4].c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  Exec("CREATE INDEX products_ean ON products(ean);"
       "CREATE VIRTUAL TABLE fts USING fts5(varetekst, typenr, content='products',"
       " content_rowid='id', prefix='3');"
       "INSERT INTO fts(rowid, varetekst, typenr) SELECT id, varetekst, typenr FROM products;"
       "CREATE VIRTUAL TABLE tri USING fts5(varetekst, content='products', content_rowid='id',"
       " tokenize='trigram');"
       "INSERT INTO tri(rowid, varetekst) SELECT id, varetekst FROM products;"
       "CREATE VIRTUAL TABLE vocab USING fts5vocab(fts, row);"
       "COMMIT;");
}

bool Setup() {
  const int32_t base = APIOpenBaseEx(g_base.c_str(), nullptr, "/tmp", 0);
  if (base < 0) {
    std::fprintf(stderr, "search_bench: cannot open base %s (%d)\n", g_base.c_str(), base);
    return false;
  }
  g_session = APICreateSession(base);
  if (g_db.empty()) g_db = g_products + ".fts.db";
  std::ifstream existing(g_db);
  const bool fresh = !existing.good();
  if (sqlite3_open(g_db.c_str(), &g_sqlite) != SQLITE_OK) return false;
  if (fresh) BuildDatabase();
  return true;
}

}  // namespace

BENCHMARK(BM_Lodex_ExactWord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fts5_ExactWord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lodex_Prefix)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fts5_Prefix)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lodex_FourFieldAnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fts5_FourFieldAnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lodex_NumericRange)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fts5_NumericRange)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lodex_Infix)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fts5_Infix)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lodex_Suffix)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fts5_Suffix)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Lodex_WordPage)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fts5_WordPage)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
  std::vector<char*> rest = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--base" && i + 1 < argc) {
      g_base = argv[++i];
    } else if (arg == "--products" && i + 1 < argc) {
      g_products = argv[++i];
    } else if (arg == "--db" && i + 1 < argc) {
      g_db = argv[++i];
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (g_base.empty() || g_products.empty()) {
    std::fprintf(stderr, "Usage: search_bench --base DIR --products FILE [--db FILE]\n");
    return 2;
  }
  if (!Setup()) return 1;
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
