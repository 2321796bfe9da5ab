// The engine's classes of work on a demo base, each beside SQLite FTS5 and Xapian doing
// the same job over the same products in the same run: opening, the search classes, the
// index word page, sequential (paged) and random record fetches, sorting, and a user
// session (a prefix typed key by key with suggestions, the search, then three pages of
// hits).
//
//   engine_bench --base DIR --products FILE [--db FILE] [--xapian DIR] [--prepare]
//                [benchmark flags]
//
// DIR is the base lodex-build wrote from FILE (lodex-demo's products.tsv: a header
// line, then Tabel, Varetekst, Typenr, El.nr., EAN, Bruttopris, ... tab-separated). The
// SQLite database and the Xapian database are built from FILE on the first run and kept
// in --db (default FILE.engine.db) and --xapian (default FILE.xapian); --prepare builds
// whichever is missing and stops. Each benchmark reports what it counted as "hits";
// the three of a class must agree. scripts/bench.sh runs this and writes the table of
// medians and ratios.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <xapian.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "lodex32.h"

namespace {

std::string g_base, g_products, g_db, g_xapian_dir, g_temp = "/tmp";
int32_t g_base_number = -1;
int32_t g_session = -1;  // searches
int32_t g_all = -1;      // a session whose current bitmap holds every product
int32_t g_total = 0;
sqlite3* g_sqlite = nullptr;
Xapian::Database* g_xapian = nullptr;

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

// ---- Xapian
//
// One document per product, document id = bit number + 1. Terms, in upper case as the
// engine's words: "A" + each blank-separated word of the item text (as the engine's
// by-word index splits it), "B" + the type number (a by-line field: the whole value is
// one word). Values: the EAN and the price as sortable numbers; the El.nr., the type
// number and the item text in upper case (the sort key) as strings. The document data
// holds the five shown fields, tab-separated. All queries are boolean (no ranking), as
// the engine's are.

enum XapianSlot : Xapian::valueno {
  kSlotEan = 0,
  kSlotElnr = 1,
  kSlotText = 2,
  kSlotPrice = 3,
  kSlotType = 4
};

Xapian::Enquire BooleanEnquire(const Xapian::Query& query) {
  Xapian::Enquire enquire(*g_xapian);
  enquire.set_query(query);
  enquire.set_weighting_scheme(Xapian::BoolWeight());
  enquire.set_docid_order(Xapian::Enquire::ASCENDING);
  return enquire;
}

// The exact number of matches: asking to check every document makes the estimate exact.
Xapian::doccount XapianCount(const Xapian::Query& query) {
  return BooleanEnquire(query).get_mset(0, 0, g_xapian->get_doccount()).get_matches_estimated();
}

Xapian::Query Wildcard(const std::string& prefix) {
  return Xapian::Query(Xapian::Query::OP_WILDCARD, prefix, 0,
                       Xapian::Query::WILDCARD_LIMIT_ERROR, Xapian::Query::OP_OR);
}

// Xapian has no index of word parts: the item text's words (its term list under "A")
// are scanned for those the test accepts, and the matches ORed.
template <class Accept>
Xapian::Query ScanWords(Accept accept) {
  std::vector<Xapian::Query> words;
  for (auto t = g_xapian->allterms_begin("A"); t != g_xapian->allterms_end("A"); ++t) {
    const std::string term = *t;
    if (accept(term.substr(1))) words.emplace_back(term);
  }
  return Xapian::Query(Xapian::Query::OP_OR, words.begin(), words.end());
}

size_t XapianFetch(Xapian::docid id) { return g_xapian->get_document(id).get_data().size(); }

// A page of the index words of the item text from `from`, with their document counts.
int32_t XapianWordPage(const std::string& from, int32_t count) {
  int32_t words = 0;
  Xapian::doccount total = 0;
  auto t = g_xapian->allterms_begin("A");
  t.skip_to("A" + from);
  for (; t != g_xapian->allterms_end("A") && words < count; ++t, ++words) {
    total += t.get_termfreq();
  }
  benchmark::DoNotOptimize(total);
  return words;
}

void RunXapian(benchmark::State& state, const Xapian::Query& query) {
  Xapian::doccount hits = 0;
  for (auto _ : state) hits = XapianCount(query);
  state.counters["hits"] = hits;
}

void BM_Xapian_Open(benchmark::State& state) {
  int64_t ok = 0;
  for (auto _ : state) {
    Xapian::Database db(g_xapian_dir);
    ok = db.get_doccount() > 0;
  }
  state.counters["hits"] = static_cast<double>(ok);
}
void BM_Xapian_ExactWord(benchmark::State& s) { RunXapian(s, Xapian::Query("AKABELBINDER")); }
void BM_Xapian_Prefix(benchmark::State& s) { RunXapian(s, Wildcard("AKAB")); }
void BM_Xapian_NumericRange(benchmark::State& s) {
  RunXapian(s, Xapian::Query(Xapian::Query::OP_VALUE_RANGE, kSlotEan,
                             Xapian::sortable_serialise(5700000000000.0),
                             Xapian::sortable_serialise(5700000500000.0)));
}
void BM_Xapian_Infix(benchmark::State& state) {
  Xapian::doccount hits = 0;
  for (auto _ : state) {
    hits = XapianCount(
        ScanWords([](const std::string& w) { return w.find("KABEL") != std::string::npos; }));
  }
  state.counters["hits"] = hits;
}
void BM_Xapian_Suffix(benchmark::State& state) {
  const std::string suffix = "BINDER";
  Xapian::doccount hits = 0;
  for (auto _ : state) {
    hits = XapianCount(ScanWords([&](const std::string& w) {
      return w.size() >= suffix.size() && w.compare(w.size() - suffix.size(), suffix.size(), suffix) == 0;
    }));
  }
  state.counters["hits"] = hits;
}
const std::string kAnyValue(1, '\0');

void BM_Xapian_FourFieldAnd(benchmark::State& state) {
  // "SV*" on the type number as a range of its slot (the wildcard's OR of thousands of
  // type numbers makes the AND take seconds); "*" on El.nr. and EAN: a value in the
  // field's slot (an empty limit would match every document: a missing value is "").
  const Xapian::Query terms[] = {Xapian::Query("AKABELBINDER"),
                                 Xapian::Query(Xapian::Query::OP_VALUE_RANGE, kSlotType, "SV", "SV\xff"),
                                 Xapian::Query(Xapian::Query::OP_VALUE_GE, kSlotElnr, kAnyValue),
                                 Xapian::Query(Xapian::Query::OP_VALUE_GE, kSlotEan, kAnyValue)};
  Xapian::doccount hits = 0;
  for (auto _ : state) {
    hits = XapianCount(Xapian::Query(Xapian::Query::OP_AND, std::begin(terms), std::end(terms)));
  }
  state.counters["hits"] = hits;
}
void BM_Xapian_WordPage(benchmark::State& state) {
  int32_t words = 0;
  for (auto _ : state) words = XapianWordPage("C", 100);
  state.counters["hits"] = words;
}
void BM_Xapian_SequentialFetch(benchmark::State& state) {
  Xapian::docid at = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    if (at + kPage > static_cast<Xapian::docid>(g_total)) at = 0;
    for (int i = 0; i < kPage; ++i) bytes += XapianFetch(at + i + 1);
    at += kPage;
  }
  state.counters["hits"] = kPage;
  benchmark::DoNotOptimize(bytes);
}
void BM_Xapian_RandomFetch(benchmark::State& state) {
  std::mt19937 rng(7);
  size_t bytes = 0;
  for (auto _ : state) {
    for (int i = 0; i < kPage; ++i) bytes += XapianFetch(rng() % g_total + 1);
  }
  state.counters["hits"] = kPage;
  benchmark::DoNotOptimize(bytes);
}
void BM_Xapian_Sort(benchmark::State& state) {
  Xapian::doccount hits = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    Xapian::Enquire enquire = BooleanEnquire(Wildcard("AKAB"));
    enquire.set_sort_by_value(kSlotText, false);
    const Xapian::MSet page = enquire.get_mset(0, kGridPage, g_xapian->get_doccount());
    hits = page.get_matches_estimated();
    for (auto m = page.begin(); m != page.end(); ++m) bytes += m.get_document().get_data().size();
  }
  state.counters["hits"] = hits;
  benchmark::DoNotOptimize(bytes);
}
void BM_Xapian_UserSession(benchmark::State& state) {
  static const char* kKeys[] = {"K", "KA", "KAB", "KABE", "KABEL", "KABELB"};
  Xapian::doccount hits = 0;
  size_t bytes = 0;
  for (auto _ : state) {
    for (const char* typed : kKeys) XapianWordPage(typed, 10);
    Xapian::Enquire enquire = BooleanEnquire(Wildcard("AKABELB"));
    for (int page = 0; page < 3; ++page) {
      const Xapian::MSet m = enquire.get_mset(page * kGridPage, kGridPage,
                                              page == 0 ? g_xapian->get_doccount() : 0);
      if (page == 0) hits = m.get_matches_estimated();
      for (auto i = m.begin(); i != m.end(); ++i) bytes += i.get_document().get_data().size();
    }
  }
  state.counters["hits"] = hits;
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

// Builds the Xapian database: no positions, no term lists (nothing here reads them) and
// a commit every half million documents rather than a flush every ten thousand. The
// build goes to DIR.building and resumes there after the last commit when stopped, so
// a large one may run in several pieces (under a time limit, say).
void BuildXapian() {
  std::ifstream in(g_products);
  if (!in) {
    std::fprintf(stderr, "engine_bench: cannot read %s\n", g_products.c_str());
    std::exit(1);
  }
  constexpr Xapian::doccount kCommitEvery = 500000;
  setenv("XAPIAN_FLUSH_THRESHOLD", "100000000", 1);  // commits are made here
  const std::string building = g_xapian_dir + ".building";
  Xapian::WritableDatabase db(building, Xapian::DB_CREATE_OR_OPEN | Xapian::DB_NO_TERMLIST |
                                            Xapian::DB_NO_SYNC | Xapian::DB_BACKEND_GLASS);
  Xapian::doccount skip = db.get_doccount();
  if (skip > 0) std::fprintf(stderr, "engine_bench: resuming after %u documents\n", skip);
  std::string line, data;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    const std::vector<std::string> c = SplitTabs(line);
    if (c.size() < 6) continue;
    if (skip > 0) {
      --skip;
      continue;
    }
    Xapian::Document doc;
    const std::string text = Xapian::Unicode::toupper(c[1]);
    for (size_t start = 0; start < text.size();) {
      const size_t blank = std::min(text.find(' ', start), text.size());
      if (blank > start) doc.add_boolean_term(std::string("A").append(text, start, blank - start));
      start = blank + 1;
    }
    if (!c[2].empty()) {
      const std::string type = Xapian::Unicode::toupper(c[2]);
      doc.add_boolean_term(std::string("B").append(type));
      doc.add_value(kSlotType, type);
    }
    if (!c[4].empty()) doc.add_value(kSlotEan, Xapian::sortable_serialise(std::atof(c[4].c_str())));
    if (!c[3].empty()) doc.add_value(kSlotElnr, c[3]);
    doc.add_value(kSlotText, text);
    std::string price = c[5];
    for (char& ch : price) ch = ch == ',' ? '.' : ch;
    if (!price.empty()) doc.add_value(kSlotPrice, Xapian::sortable_serialise(std::atof(price.c_str())));
    data = c[1] + '\t' + c[2] + '\t' + c[3] + '\t' + c[4] + '\t' + c[5];
    doc.set_data(data);
    // Document ids 1, 2, ...: bit number + 1.
    if (db.add_document(doc) % kCommitEvery == 0) db.commit();
  }
  db.commit();
  db.close();
  std::rename(building.c_str(), g_xapian_dir.c_str());
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Builds the peers' databases that are missing; with open_engine, opens the base too.
bool Setup(bool open_engine) {
  if (g_db.empty()) g_db = g_products + ".engine.db";
  if (g_xapian_dir.empty()) g_xapian_dir = g_products + ".xapian";
  const bool fresh = !Exists(g_db);
  if (sqlite3_open(g_db.c_str(), &g_sqlite) != SQLITE_OK) return false;
  if (fresh) {
    std::fprintf(stderr, "engine_bench: building the SQLite database %s\n", g_db.c_str());
    BuildDatabase();
  }
  if (!Exists(g_xapian_dir)) {
    std::fprintf(stderr, "engine_bench: building the Xapian database %s\n", g_xapian_dir.c_str());
    BuildXapian();
  }
  g_xapian = new Xapian::Database(g_xapian_dir);
  if (!open_engine) return true;

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
  if (static_cast<int64_t>(g_xapian->get_doccount()) != g_total) {
    std::fprintf(stderr, "engine_bench: the Xapian database holds %u documents, the base %d\n",
                 g_xapian->get_doccount(), g_total);
    return false;
  }
  return true;
}

}  // namespace

#define PAIR(name)                                     \
  BENCHMARK(BM_Lodex_##name)->Unit(benchmark::kMicrosecond); \
  BENCHMARK(BM_Fts5_##name)->Unit(benchmark::kMicrosecond);  \
  BENCHMARK(BM_Xapian_##name)->Unit(benchmark::kMicrosecond)

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
  bool prepare = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--base" && i + 1 < argc) {
      g_base = argv[++i];
    } else if (arg == "--products" && i + 1 < argc) {
      g_products = argv[++i];
    } else if (arg == "--db" && i + 1 < argc) {
      g_db = argv[++i];
    } else if (arg == "--xapian" && i + 1 < argc) {
      g_xapian_dir = argv[++i];
    } else if (arg == "--prepare") {
      prepare = true;
    } else if (arg == "--temp" && i + 1 < argc) {
      g_temp = argv[++i];
    } else {
      rest.push_back(argv[i]);
    }
  }
  if ((g_base.empty() && !prepare) || g_products.empty()) {
    std::fprintf(stderr,
                 "Usage: engine_bench --base DIR --products FILE [--db FILE] [--xapian DIR] "
                 "[--temp DIR] [--prepare] [benchmark flags]\n");
    return 2;
  }
  if (!Setup(!prepare)) return 1;
  if (prepare) return 0;
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
