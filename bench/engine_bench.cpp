// The engine's classes of work on a demo base, each beside SQLite FTS5 doing the same
// job over the same products in the same run: opening, the search classes, the index
// word page, sequential (paged) and random record fetches, sorting, and a user session
// (a prefix typed key by key with suggestions, the search, then three pages of hits).
//
//   engine_bench --base DIR --products FILE [--db FILE] [benchmark flags]
//
// DIR is the base lodex-build wrote from FILE (lodex-demo's products.tsv: a header
// line, then Tabel, Varetekst, Typenr, El.nr., EAN, Bruttopris, ... tab-separated). The
// SQLite database is built from FILE on the first run and kept in --db (default
// FILE.engine.db). Each benchmark reports what it counted as "hits"; pairs must agree.
// scripts/bench.sh runs this and writes the table of medians and ratios.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "lodex32.h"

namespace {

std::string g_base, g_products, g_db, g_temp = "/tmp";
int32_t g_base_number = -1;
int32_t g_session = -1;  // searches
int32_t g_all = -1;      // a session whose current bitmap holds every product
int32_t g_total = 0;
sqlite3* g_sqlite = nullptr;

constexpr int32_t kText = 100, kType = 120, kElnr = 140, kEan = 160, kPrice = 180;
constexpr int kPage = 100;      // records per sequential page and per random batch
constexpr int kGridPage = 20;   // lines of a result page in the user session
const int32_t kShownFields[] = {kText, kType, kElnr, kEan, kPrice};

// ---- The engine

int32_t Search(int32_t session, int32_t field, const char* text) {
  if (APISearchConditions(session, field, text, 0) != 0 || APISearch(session) != 0) return -1;
  return APIHitCount(session);
}

// Fetches hit h and touches every shown field; answers the bytes seen.
size_t FetchShown(int32_t session, int32_t hit, bool optimized) {
  const int32_t rc = optimized ? APIFetchRecordOptimized(session, hit) : APIFetchRecord(session, hit);
  if (rc != 0) return 0;
  size_t bytes = 0;
  for (int32_t f : kShownFields) {
    const char* t = APIGetFieldData(session, f);
    bytes += t ? std::char_traits<char>::length(t) : 0;
  }
  return bytes;
}

void RunLodex(benchmark::State& state, int32_t field, const char* text) {
  int32_t hits = 0;
  for (auto _ : state) hits = Search(g_session, field, text);
  state.counters["hits"] = hits;
}

int32_t FourFieldAnd() {
  static const struct {
    int32_t field;
    const char* text;
  } kTerms[] = {{kText, "KABELBINDER"}, {kType, "SV*"}, {kElnr, "*"}, {kEan, "*"}};
  int32_t slot = 1;
  for (const auto& term : kTerms) {
    if (Search(g_session, term.field, term.text) < 0) return -1;
    APIStoreBitmap(g_session, slot++);
  }
  for (int32_t s = 2; s < slot; ++s) APIAndBitmaps(g_session, 1, 1, s);
  APIRestoreBitmap(g_session, 1);
  return APIHitCount(g_session);
}

int32_t WordPage(const char* prefix, int32_t count, std::vector<char>& entries) {
  int32_t first = APILocateIndexWord(g_session, kText, prefix, 1);
  if (first < 0) first = 0;
  return APIGetIndexWordsEx(g_session, kText, first, count, 1, entries.data());
}

void BM_Lodex_Open(benchmark::State& state) {
  int32_t ok = 0;
  for (auto _ : state) {
    const int32_t base = APIOpenBaseEx(g_base.c_str(), nullptr, g_temp.c_str(), 0);
    const int32_t s = APICreateSession(base);
    ok = base >= 0 && s >= 0;
    APIDestroySession(s);
    APICloseBase(base);
  }
  state.counters["hits"] = ok;
}
void BM_Lodex_ExactWord(benchmark::State& s) { RunLodex(s, kText, "KABELBINDER"); }
void BM_Lodex_Prefix(benchmark::State& s) { RunLodex(s, kText, "KAB*"); }
void BM_Lodex_NumericRange(benchmark::State& s) {
  RunLodex(s, kEan, "5700000000000-5700000500000");
}
void BM_Lodex_Infix(benchmark::State& s) { RunLodex(s, kText, "*KABEL*"); }
void BM_Lodex_Suffix(benchmark::State& s) { RunLodex(s, kText, "*BINDER"); }
void BM_Lodex_FourFieldAnd(benchmark::State& state) {
  int32_t hits = 0;
  for (auto _ : state) hits = FourFieldAnd();
  state.counters["hits"] = hits;
}
void BM_Lodex_WordPage(benchmark::State& state) {
  std::vector<char> entries(100 * 260);
  int32_t words = 0;
  for (auto _ : state) words = WordPage("C", 100, entries);
  state.counters["hits"] = words;
}
void BM_Lodex_SequentialFetch(benchmark::State& state) {
  // A page of consecutive hits, as a result grid pages; the next page each time.
  APIMappingCachePolitics(g_all, 0, kPage);
  int32_t at = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    if (at + kPage > g_total) at = 0;
    for (int i = 0; i < kPage; ++i) bytes += FetchShown(g_all, at + i, true);
    at += kPage;
  }
  state.counters["hits"] = kPage;
  benchmark::DoNotOptimize(bytes);
}
void BM_Lodex_RandomFetch(benchmark::State& state) {
  std::mt19937 rng(7);
  size_t bytes = 0;
  for (auto _ : state) {
    for (int i = 0; i < kPage; ++i) {
      bytes += FetchShown(g_all, static_cast<int32_t>(rng() % g_total), false);
    }
  }
  state.counters["hits"] = kPage;
  benchmark::DoNotOptimize(bytes);
}
void BM_Lodex_Sort(benchmark::State& state) {
  // The hits of a prefix by item text; the first page of the sorted list.
  int32_t hits = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    hits = Search(g_session, kText, "KAB*");
    APISortConditions(g_session, kText, 0);
    APISort(g_session);
    for (int i = 0; i < kGridPage && i < hits; ++i) bytes += FetchShown(g_session, i, false);
    APICancelSort(g_session);
  }
  state.counters["hits"] = hits;
  benchmark::DoNotOptimize(bytes);
}
void BM_Lodex_UserSession(benchmark::State& state) {
  static const char* kKeys[] = {"K", "KA", "KAB", "KABE", "KABEL", "KABELB"};
  std::vector<char> entries(10 * 260);
  int32_t hits = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    for (const char* typed : kKeys) WordPage(typed, 10, entries);
    hits = Search(g_session, kText, "KABELB*");
    APIMappingCachePolitics(g_session, 0, kGridPage);
    for (int page = 0; page < 3; ++page) {
      for (int i = page * kGridPage; i < (page + 1) * kGridPage && i < hits; ++i) {
        bytes += FetchShown(g_session, i, true);
      }
    }
  }
  state.counters["hits"] = hits;
  benchmark::DoNotOptimize(bytes);
}

// ---- SQLite FTS5

sqlite3_stmt* Prepare(const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(g_sqlite, sql, -1, &stmt, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(g_sqlite));
    std::exit(1);
  }
  return stmt;
}

// Steps through all rows, reading every column; answers the row count.
int64_t Rows(sqlite3_stmt* stmt, size_t* bytes = nullptr) {
  int64_t n = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    ++n;
    if (bytes) {
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) *bytes += sqlite3_column_bytes(stmt, c);
    }
  }
  sqlite3_reset(stmt);
  return n;
}

int64_t CountStar(const char* sql) {
  sqlite3_stmt* stmt = Prepare(sql);
  const int64_t n = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
  sqlite3_finalize(stmt);
  return n;
}

void RunSqlite(benchmark::State& state, const char* sql) {
  int64_t hits = 0;
  for (auto _ : state) hits = CountStar(sql);
  state.counters["hits"] = static_cast<double>(hits);
}

const char* kShownColumns = "varetekst, typenr, elnr, ean_text, pris";

void BM_Fts5_Open(benchmark::State& state) {
  int64_t ok = 0;
  for (auto _ : state) {
    sqlite3* db = nullptr;
    ok = sqlite3_open_v2(g_db.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
    sqlite3_stmt* stmt = nullptr;  // makes it read the schema, as a first query would
    ok = ok && sqlite3_prepare_v2(db, "SELECT rowid FROM fts LIMIT 0", -1, &stmt, nullptr) ==
                   SQLITE_OK;
    sqlite3_finalize(stmt);
    sqlite3_close(db);
  }
  state.counters["hits"] = static_cast<double>(ok);
}
void BM_Fts5_ExactWord(benchmark::State& s) {
  RunSqlite(s, "SELECT count(*) FROM fts WHERE fts MATCH 'varetekst:KABELBINDER'");
}
void BM_Fts5_Prefix(benchmark::State& s) {
  // FTS5 also splits at punctuation; keep records with a blank-separated word that
  // begins with KAB, as the engine's by-word index has them.
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
  sqlite3_stmt* stmt = Prepare("SELECT term, doc FROM vocab WHERE term >= 'c' ORDER BY term LIMIT 100");
  int64_t words = 0;
  for (auto _ : state) words = Rows(stmt);
  sqlite3_finalize(stmt);
  state.counters["hits"] = static_cast<double>(words);
}
void BM_Fts5_SequentialFetch(benchmark::State& state) {
  std::string sql = std::string("SELECT ") + kShownColumns +
                    " FROM products WHERE id >= ? ORDER BY id LIMIT " + std::to_string(kPage);
  sqlite3_stmt* stmt = Prepare(sql.c_str());
  int64_t at = 0, rows = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    if (at + kPage > g_total) at = 0;
    sqlite3_bind_int64(stmt, 1, at);
    rows = Rows(stmt, &bytes);
    at += kPage;
  }
  sqlite3_finalize(stmt);
  state.counters["hits"] = static_cast<double>(rows);
  benchmark::DoNotOptimize(bytes);
}
void BM_Fts5_RandomFetch(benchmark::State& state) {
  std::string sql = std::string("SELECT ") + kShownColumns + " FROM products WHERE id = ?";
  sqlite3_stmt* stmt = Prepare(sql.c_str());
  std::mt19937 rng(7);
  int64_t rows = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    rows = 0;
    for (int i = 0; i < kPage; ++i) {
      sqlite3_bind_int64(stmt, 1, rng() % g_total);
      rows += Rows(stmt, &bytes);
    }
  }
  sqlite3_finalize(stmt);
  state.counters["hits"] = static_cast<double>(rows);
  benchmark::DoNotOptimize(bytes);
}
void BM_Fts5_Sort(benchmark::State& state) {
  const std::string where =
      " FROM fts JOIN products p ON p.id = fts.rowid WHERE fts MATCH 'varetekst:KAB*' AND "
      "(' ' || p.varetekst) LIKE '% KAB%'";
  sqlite3_stmt* count = Prepare(("SELECT count(*)" + where).c_str());
  sqlite3_stmt* page = Prepare(("SELECT p.varetekst, p.typenr, p.elnr, p.ean_text, p.pris" +
                                where + " ORDER BY p.varetekst LIMIT " +
                                std::to_string(kGridPage)).c_str());
  int64_t hits = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    hits = sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int64(count, 0) : -1;
    sqlite3_reset(count);
    Rows(page, &bytes);
  }
  sqlite3_finalize(count);
  sqlite3_finalize(page);
  state.counters["hits"] = static_cast<double>(hits);
  benchmark::DoNotOptimize(bytes);
}
void BM_Fts5_UserSession(benchmark::State& state) {
  static const char* kKeys[] = {"k", "ka", "kab", "kabe", "kabel", "kabelb"};
  sqlite3_stmt* words = Prepare("SELECT term, doc FROM vocab WHERE term >= ? ORDER BY term LIMIT 10");
  const std::string where =
      " FROM fts JOIN products p ON p.id = fts.rowid WHERE fts MATCH 'varetekst:KABELB*' AND "
      "(' ' || p.varetekst) LIKE '% KABELB%'";
  sqlite3_stmt* count = Prepare(("SELECT count(*)" + where).c_str());
  sqlite3_stmt* page = Prepare(("SELECT p.varetekst, p.typenr, p.elnr, p.ean_text, p.pris" +
                                where + " ORDER BY p.id LIMIT " + std::to_string(kGridPage) +
                                " OFFSET ?").c_str());
  int64_t hits = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    for (const char* typed : kKeys) {
      sqlite3_bind_text(words, 1, typed, -1, SQLITE_STATIC);
      Rows(words);
    }
    hits = sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int64(count, 0) : -1;
    sqlite3_reset(count);
    for (int p = 0; p < 3; ++p) {
      sqlite3_bind_int(page, 1, p * kGridPage);
      Rows(page, &bytes);
    }
  }
  sqlite3_finalize(words);
  sqlite3_finalize(count);
  sqlite3_finalize(page);
  state.counters["hits"] = static_cast<double>(hits);
  benchmark::DoNotOptimize(bytes);
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
    std::fprintf(stderr, "engine_bench: cannot read %s\n", g_products.c_str());
    std::exit(1);
  }
  Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"
       "CREATE TABLE products(id INTEGER PRIMARY KEY, varetekst TEXT, typenr TEXT, elnr TEXT,"
       " ean INTEGER, ean_text TEXT, pris TEXT);");
  sqlite3_stmt* insert = Prepare("INSERT INTO products VALUES(?,?,?,?,?,?,?)");
  std::string line;
  std::getline(in, line);  // header
  int64_t id = 0;
  while (std::getline(in, line)) {
    const std::vector<std::string> c = SplitTabs(line);
    if (c.size() < 6) continue;
    sqlite3_bind_int64(insert, 1, id++);  // bit numbers: the table's file order
    for (int i = 1; i <= 3; ++i) sqlite3_bind_text(insert, i + 1, c[i].c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(insert, 5, std::atoll(c[4].c_str()));
    sqlite3_bind_text(insert, 6, c[4].c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 7, c[5].c_str(), -1, SQLITE_TRANSIENT);
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
  g_base_number = APIOpenBaseEx(g_base.c_str(), nullptr, g_temp.c_str(), 0);
  if (g_base_number < 0) {
    std::fprintf(stderr, "engine_bench: cannot open base %s (%d)\n", g_base.c_str(), g_base_number);
    return false;
  }
  g_session = APICreateSession(g_base_number);
  g_all = APICreateSession(g_base_number);
  APIFillBitmap(g_all, 0);
  g_total = APIHitCount(g_all);
  if (g_total <= kPage) {
    std::fprintf(stderr, "engine_bench: the base has too few records (%d)\n", g_total);
    return false;
  }
  if (g_db.empty()) g_db = g_products + ".engine.db";
  const bool fresh = !std::ifstream(g_db).good();
  if (sqlite3_open(g_db.c_str(), &g_sqlite) != SQLITE_OK) return false;
  if (fresh) BuildDatabase();
  return true;
}

}  // namespace

#define PAIR(name)                                                  \
  BENCHMARK(BM_Lodex_##name)->Unit(benchmark::kMicrosecond); \
  BENCHMARK(BM_Fts5_##name)->Unit(benchmark::kMicrosecond)

PAIR(Open);
PAIR(ExactWord);
PAIR(Prefix);
PAIR(FourFieldAnd);
PAIR(NumericRange);
PAIR(Infix);
PAIR(Suffix);
PAIR(WordPage);
PAIR(SequentialFetch);
PAIR(RandomFetch);
PAIR(Sort);
PAIR(UserSession);

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
    } else if (arg == "--temp" && i + 1 < argc) {
      g_temp = argv[++i];
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (g_base.empty() || g_products.empty()) {
    std::fprintf(stderr,
                 "Usage: engine_bench --base DIR --products FILE [--db FILE] [--temp DIR] "
                 "[benchmark flags]\n");
    return 2;
  }
  if (!Setup()) return 1;
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
