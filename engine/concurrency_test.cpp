// Eight threads, each with its own session on one base, mixing searches, fetches,
// listings and sorts: every answer must equal the one a single thread gets. Runs for
// LODEX_STRESS_SECONDS (default 2) so that CI stays short; set it higher for a soak.
// LODEX_STRESS_BASE names a base directory to stress instead of the small built-in one
// (for instance a 1 000 000-product base from lodex-build): its first search, data and
// sort fields are used, its queries are made from its own words, and each answer
// compares the texts of its first kMaxTextsOfLargeBase hits.
#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "lodex32.h"
#include "lodex32_errors.h"
#include "testing/full_base_files.h"

namespace lodex {
namespace {

// The most memory the process has held resident, in MB.
long PeakResidentMegabytes() {
#if defined(_WIN32)
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<long>(counters.PeakWorkingSetSize >> 20);
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
#endif
}

constexpr int kThreads = 8;
constexpr int kWordEntryBytes = 260;
constexpr int kListed = 12;
constexpr int32_t kMaxTextsOfLargeBase = 50;

// What the threads ask of a base: fields, queries and listing prefixes.
struct StressPlan {
  int32_t search_field = testing::kFullText;
  int32_t data_field = testing::kFullText;
  int32_t sort_field = testing::kFullSort;  // -1: the base has no sort field
  std::vector<std::string> queries = {"AAQ", "A*", "*BQ", "?CQ", "ZZZ", "AAQ ZZZ",
                                      "B-D", "<=BZ", "*", "C*Q", "NOPE"};
  std::vector<std::string> prefixes = {"", "A", "BC", "F", "ZZ", "Q"};
  int32_t max_texts = INT32_MAX;  // hits whose texts an answer holds
};

const char* ExternalBase() {
  const char* dir = std::getenv("LODEX_STRESS_BASE");
  return dir && *dir ? dir : nullptr;
}

// The index word at ordinal k of the field, or "" when there is none.
std::string WordAt(int32_t session, int32_t field, int32_t k) {
  std::vector<char> entry(kWordEntryBytes, 0);
  if (APIGetIndexWordsEx(session, field, k, 1, 0, entry.data()) < 1) return "";
  return std::string(entry.data());
}

// A plan for a base of unknown content, made from the words of its first search field.
StressPlan PlanFor(int32_t base) {
  StressPlan plan;
  plan.search_field = APISearchfieldNo(base, 0);
  plan.data_field = APIDatafieldNo(base, 0);
  plan.sort_field = APISortfieldCount(base) > 0 ? APISortfieldNo(base, 0) : -1;
  plan.max_texts = kMaxTextsOfLargeBase;
  plan.queries = {"*", "NOPEQXZ"};
  plan.prefixes = {"", "ZZ"};
  const int32_t s = APICreateSession(base);
  const int32_t words = APIIndexWordCount(s, plan.search_field);
  std::vector<std::string> picked;
  // Words spread over the field, without the characters the query language reads.
  for (int32_t part = 1; part < 16 && picked.size() < 6; ++part) {
    const int32_t k = static_cast<int32_t>(int64_t{words} * part / 16);
    const std::string w = WordAt(s, plan.search_field, k);
    if (w.size() >= 3 && w.find_first_of(" *?-<>=\"") == std::string::npos) picked.push_back(w);
  }
  APIDestroySession(s);
  for (size_t i = 0; i < picked.size(); ++i) {
    const std::string& w = picked[i];
    plan.queries.push_back(w);
    plan.queries.push_back(w.substr(0, 2) + "*");
    plan.queries.push_back("?" + w.substr(1));
    if (i > 0) plan.queries.push_back(picked[i - 1] + " " + w);
    plan.prefixes.push_back(w.substr(0, i % 2 + 1));
  }
  return plan;
}

double StressSeconds() {
  const char* s = std::getenv("LODEX_STRESS_SECONDS");
  const double v = s ? std::atof(s) : 0.0;
  return v > 0 ? v : 2.0;
}

// What one query answers: its count and the texts of all its hits in bitmap order.
struct SearchAnswer {
  int32_t rc = 0;
  int32_t count = 0;
  std::vector<std::string> texts;
  bool operator==(const SearchAnswer&) const = default;
};

std::string Text(const StressPlan& plan, int32_t session) {
  const char* t = APIGetFieldData(session, plan.data_field);
  return t ? t : "<null>";
}

int32_t RunSearch(const StressPlan& plan, int32_t session, const std::string& q) {
  const int32_t set = APISearchConditions(session, plan.search_field, q.c_str(), 0);
  if (set != 0) return set;
  return APISearch(session);
}

SearchAnswer SearchAll(const StressPlan& plan, int32_t session, const std::string& q) {
  SearchAnswer a;
  a.rc = RunSearch(plan, session, q);
  a.count = APIHitCount(session);
  for (int32_t h = 0; h < std::min(a.count, plan.max_texts); ++h) {
    a.texts.push_back(APIFetchRecord(session, h) == 0 ? Text(plan, session) : "<fetch failed>");
  }
  return a;
}

// A listing from a prefix, and a page after locating it as the suggestion list does:
// result codes and the entries written.
std::string Listing(const StressPlan& plan, int32_t session, const std::string& prefix) {
  const int32_t field = plan.search_field;
  std::vector<char> entries(kListed * kWordEntryBytes, '\x55');
  const int32_t rc = APIGetIndexWords(session, field, prefix.c_str(), kListed, 0, entries.data());
  std::string out = std::to_string(rc) + ":" + std::string(entries.begin(), entries.end());
  const int32_t located = APILocateIndexWord(session, field, prefix.c_str(), 0);
  std::fill(entries.begin(), entries.end(), '\x55');
  const int32_t page = APIGetIndexWordsEx(session, field, 0, kListed, 0, entries.data());
  out += ":" + std::to_string(located) + ":" + std::to_string(page) + ":" +
         std::string(entries.begin(), entries.end());
  return out;
}

// The first hits of q sorted by the sort field, then back to bitmap order.
std::vector<std::string> SortedHits(const StressPlan& plan, int32_t session,
                                    const std::string& q, int32_t direction) {
  std::vector<std::string> out;
  if (RunSearch(plan, session, q) != 0) return {"<search failed>"};
  if (APISortConditions(session, plan.sort_field, direction) != 0 || APISort(session) != 0) {
    return {"<sort failed>"};
  }
  const int32_t n = std::min(APIHitCount(session), 20);
  for (int32_t h = 0; h < n; ++h) {
    out.push_back(APIFetchRecord(session, h) == 0 ? Text(plan, session) : "<fetch failed>");
  }
  APICancelSort(session);
  return out;
}

class ConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto start = std::chrono::steady_clock::now();
    const char* external = ExternalBase();
    if (!external) testing::WriteFullBase(dir_.path(), {700, 500});
    base_ = APIOpenBaseEx(external ? external : dir_.c_str(), nullptr, temp_.c_str(), 0);
    ASSERT_GE(base_, 0);
    if (external) plan_ = PlanFor(base_);
    const auto opened = std::chrono::steady_clock::now();
    const int32_t s = APICreateSession(base_);
    ASSERT_GE(s, 0);
    for (const std::string& q : plan_.queries) searches_[q] = SearchAll(plan_, s, q);
    for (const std::string& p : plan_.prefixes) listings_[p] = Listing(plan_, s, p);
    for (const std::string& q : plan_.queries) {
      if (plan_.sort_field < 0) break;
      sorted_[q + "/0"] = SortedHits(plan_, s, q, 0);
      sorted_[q + "/1"] = SortedHits(plan_, s, q, 1);
    }
    APIDestroySession(s);
    if (external) {
      const auto done = std::chrono::steady_clock::now();
      std::printf("base %s: %d records, opened in %.2f s, %zu queries and %zu listings answered "
                  "once in %.2f s\n",
                  external, APIRecordCount(base_),
                  std::chrono::duration<double>(opened - start).count(), plan_.queries.size(),
                  plan_.prefixes.size(), std::chrono::duration<double>(done - opened).count());
    }
  }
  void TearDown() override { APICloseBase(base_); }

  testing::TempDir dir_, temp_;
  StressPlan plan_;
  int32_t base_ = -1;
  std::map<std::string, SearchAnswer> searches_;
  std::map<std::string, std::string> listings_;
  std::map<std::string, std::vector<std::string>> sorted_;
};

TEST_F(ConcurrencyTest, ReferenceAnswersAreNotTrivial) {
  // The stress below is only as good as the answers it compares with.
  if (ExternalBase()) {
    EXPECT_EQ(searches_["*"].count, APIRecordCount(base_));
    EXPECT_EQ(searches_["NOPEQXZ"].count, 0);
    int between = 0;
    for (const auto& [q, a] : searches_) between += a.count > 0 && a.count < searches_["*"].count;
    EXPECT_GE(between, 3);
    EXPECT_NE(listings_[""], listings_["ZZ"]);
    return;
  }
  EXPECT_EQ(searches_["AAQ"].rc, 0);
  EXPECT_GT(searches_["AAQ"].count, 10);
  EXPECT_GT(searches_["A*"].count, searches_["AAQ"].count);
  EXPECT_EQ(searches_["*"].count, 1200);
  EXPECT_EQ(searches_["NOPE"].count, 0);
  EXPECT_GT(searches_["*BQ"].count, 0);
  EXPECT_EQ(searches_["ZZZ"].count, 400);
  EXPECT_EQ(searches_["AAQ"].texts[0], "AAQ ADQ ZZZ");  // record 0
  EXPECT_NE(listings_["A"], listings_["F"]);
  EXPECT_NE(listings_["A"].find("ABQ"), std::string::npos);
  // Sort 44 orders by record number mod 5, hollow records (mod 5 == 3) last.
  ASSERT_EQ(sorted_["*/0"].size(), 20u);
  EXPECT_EQ(sorted_["*/0"][0], "AAQ ADQ ZZZ");  // record 0
  EXPECT_EQ(sorted_["*/0"][1], "AFQ EGQ");      // record 5
  EXPECT_NE(sorted_["*/0"], sorted_["*/1"]);
}

TEST_F(ConcurrencyTest, EightThreadsMixingAllWorkAgreeWithOneThread) {
  // Sorts of one base share its list file: the host keeps them to one session at a
  // time, from the sort to the reading of the sorted hits.
  std::mutex sort_turn;
  std::atomic<int> mismatches{0};
  std::atomic<long> operations{0};
  std::atomic<long> by_kind[4] = {0, 0, 0, 0};
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration<double>(StressSeconds());

  auto worker = [&](int id) {
    const int32_t s = APICreateSession(base_);
    if (s < 0) {
      ++mismatches;
      return;
    }
    std::mt19937 rng(1234 + id);
    auto pick = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    const std::vector<std::string>& queries = plan_.queries;
    while (std::chrono::steady_clock::now() < deadline) {
      const int kind = static_cast<int>(rng() % 4);
      switch (kind) {
        case 0: {  // search and fetch some hits, paged and at random
          const std::string& q = queries[pick(queries.size())];
          const SearchAnswer& want = searches_.at(q);
          if (RunSearch(plan_, s, q) != want.rc || APIHitCount(s) != want.count) {
            ++mismatches;
            break;
          }
          APIMappingCachePolitics(s, 0, 8);
          const int32_t known = static_cast<int32_t>(want.texts.size());
          for (int k = 0; k < 6 && known > 0; ++k) {
            const int32_t h = k < 3 ? std::min(k, known - 1) : static_cast<int32_t>(pick(known));
            const int32_t rc = k < 3 ? APIFetchRecordOptimized(s, h) : APIFetchRecord(s, h);
            if (rc != 0 || Text(plan_, s) != want.texts[h]) ++mismatches;
          }
          if (APIFetchRecord(s, want.count) != ERROR_BadRecord) ++mismatches;
          break;
        }
        case 1: {  // list index words
          const std::string& p = plan_.prefixes[pick(plan_.prefixes.size())];
          if (Listing(plan_, s, p) != listings_.at(p)) ++mismatches;
          break;
        }
        case 2: {  // sort and read the sorted hits
          if (plan_.sort_field < 0) break;
          const std::string& q = queries[pick(queries.size())];
          const int32_t direction = static_cast<int32_t>(rng() % 2);
          std::lock_guard<std::mutex> turn(sort_turn);
          if (SortedHits(plan_, s, q, direction) !=
              sorted_.at(q + "/" + std::to_string(direction))) {
            ++mismatches;
          }
          break;
        }
        default: {  // a whole result read front to back
          const std::string& q = queries[pick(queries.size())];
          if (SearchAll(plan_, s, q) != searches_.at(q)) ++mismatches;
          break;
        }
      }
      ++operations;
      ++by_kind[kind];
    }
    if (APIDestroySession(s) != 0) ++mismatches;
  };

  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) threads.emplace_back(worker, i);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_GT(operations.load(), kThreads);
  RecordProperty("operations", static_cast<int>(operations.load()));
  std::printf("%ld operations by %d threads in %.0f s (%.0f/s): %ld searches with fetches, "
              "%ld listings, %ld sorts, %ld whole results; %d mismatches; peak RSS %ld MB\n",
              operations.load(), kThreads, StressSeconds(), operations.load() / StressSeconds(),
              by_kind[0].load(), by_kind[1].load(), by_kind[2].load(), by_kind[3].load(),
              mismatches.load(), PeakResidentMegabytes());
}

TEST_F(ConcurrencyTest, SessionsComeAndGoWhileOthersSearchAndCancel) {
  if (ExternalBase()) GTEST_SKIP() << "asks for words of the built-in base";
  // Creating, cancelling and destroying sessions goes through the registry lock while
  // searches of other sessions hold the base's search lock: neither may block the other
  // for good, and a cancelled session answers -401 only to the scans that poll.
  std::atomic<bool> stop{false};
  std::atomic<int> mismatches{0};
  std::vector<std::thread> searchers;
  for (int i = 0; i < 4; ++i) {
    searchers.emplace_back([&] {
      const int32_t s = APICreateSession(base_);
      while (!stop) {
        if (RunSearch(plan_, s, "*BQ") != 0 || APIHitCount(s) != searches_.at("*BQ").count) {
          ++mismatches;
        }
      }
      APIDestroySession(s);
    });
  }
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration<double>(StressSeconds() / 2);
  int rounds = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    const int32_t s = APICreateSession(base_);
    ASSERT_GE(s, 0);
    EXPECT_EQ(RunSearch(plan_, s, "AAQ"), 0);
    EXPECT_EQ(APICancelSession(s), 0);
    EXPECT_EQ(RunSearch(plan_, s, "AAQ"), 0);                 // exact terms do not poll
    EXPECT_EQ(RunSearch(plan_, s, "*A*"), ERROR_Userbreak);    // a scan from the first word does
    EXPECT_EQ(APIDestroySession(s), 0);
    EXPECT_EQ(APIDestroySession(s), ERROR_BadSession);
    ++rounds;
  }
  stop = true;
  for (std::thread& t : searchers) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_GT(rounds, 0);
}

}  // namespace
}  // namespace lodex
