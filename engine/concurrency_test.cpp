// Eight threads, each with its own session on one base, mixing searches, fetches,
// listings and sorts: every answer must equal the one a single thread gets. Runs for
// LODEX_STRESS_SECONDS (default 2) so that CI stays short; set it higher for a soak.
#include <gtest/gtest.h>

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

#include "lodex32_errors.h"
#include "testing/full_base_files.h"
#include "lodex32.h"

namespace lodex {
namespace {

using testing::kFullSort;
using testing::kFullText;

constexpr int kThreads = 8;
constexpr int kWordEntryBytes = 260;
constexpr int kListed = 12;

const std::vector<std::string> kQueries = {"AAQ", "A*", "*BQ", "?CQ", "ZZZ", "AAQ ZZZ",
                                           "B-D", "<=BZ", "*", "C*Q", "NOPE"};
const std::vector<std::string> kPrefixes = {"", "A", "BC", "F", "ZZ", "Q"};

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

std::string Text(int32_t session) {
  const char* t = APIGetFieldData(session, kFullText);
  return t ? t : "<null>";
}

int32_t RunSearch(int32_t session, const std::string& q) {
  const int32_t set = APISearchConditions(session, kFullText, q.c_str(), 0);
  if (set != 0) return set;
  return APISearch(session);
}

SearchAnswer SearchAll(int32_t session, const std::string& q) {
  SearchAnswer a;
  a.rc = RunSearch(session, q);
  a.count = APIHitCount(session);
  for (int32_t h = 0; h < a.count; ++h) {
    a.texts.push_back(APIFetchRecord(session, h) == 0 ? Text(session) : "<fetch failed>");
  }
  return a;
}

// A listing from a prefix, and a page after locating it as the suggestion list does:
// result codes and the entries written.
std::string Listing(int32_t session, const std::string& prefix) {
  std::vector<char> entries(kListed * kWordEntryBytes, '\x55');
  const int32_t rc =
      APIGetIndexWords(session, kFullText, prefix.c_str(), kListed, 0, entries.data());
  std::string out = std::to_string(rc) + ":" + std::string(entries.begin(), entries.end());
  const int32_t located = APILocateIndexWord(session, kFullText, prefix.c_str(), 0);
  std::fill(entries.begin(), entries.end(), '\x55');
  const int32_t page = APIGetIndexWordsEx(session, kFullText, 0, kListed, 0, entries.data());
  out += ":" + std::to_string(located) + ":" + std::to_string(page) + ":" +
         std::string(entries.begin(), entries.end());
  return out;
}

// The first hits of q sorted by the sort field, then back to bitmap order.
std::vector<std::string> SortedHits(int32_t session, const std::string& q, int32_t direction) {
  std::vector<std::string> out;
  if (RunSearch(session, q) != 0) return {"<search failed>"};
  if (APISortConditions(session, kFullSort, direction) != 0 || APISort(session) != 0) {
    return {"<sort failed>"};
  }
  const int32_t n = std::min(APIHitCount(session), 20);
  for (int32_t h = 0; h < n; ++h) {
    out.push_back(APIFetchRecord(session, h) == 0 ? Text(session) : "<fetch failed>");
  }
  APICancelSort(session);
  return out;
}

class ConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteFullBase(dir_.path(), {700, 500});
    base_ = APIOpenBaseEx(dir_.c_str(), nullptr, temp_.c_str(), 0);
    ASSERT_GE(base_, 0);
    const int32_t s = APICreateSession(base_);
    ASSERT_GE(s, 0);
    for (const std::string& q : kQueries) searches_[q] = SearchAll(s, q);
    for (const std::string& p : kPrefixes) listings_[p] = Listing(s, p);
    for (const std::string& q : kQueries) {
      sorted_[q + "/0"] = SortedHits(s, q, 0);
      sorted_[q + "/1"] = SortedHits(s, q, 1);
    }
    APIDestroySession(s);
  }
  void TearDown() override { APICloseBase(base_); }

  testing::TempDir dir_, temp_;
  int32_t base_ = -1;
  std::map<std::string, SearchAnswer> searches_;
  std::map<std::string, std::string> listings_;
  std::map<std::string, std::vector<std::string>> sorted_;
};

TEST_F(ConcurrencyTest, ReferenceAnswersAreNotTrivial) {
  // The stress below is only as good as the answers it compares with.
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
    while (std::chrono::steady_clock::now() < deadline) {
      switch (rng() % 4) {
        case 0: {  // search and fetch some hits, paged and at random
          const std::string& q = kQueries[pick(kQueries.size())];
          const SearchAnswer& want = searches_.at(q);
          if (RunSearch(s, q) != want.rc || APIHitCount(s) != want.count) {
            ++mismatches;
            break;
          }
          APIMappingCachePolitics(s, 0, 8);
          for (int k = 0; k < 6 && want.count > 0; ++k) {
            const int32_t h = k < 3 ? k : static_cast<int32_t>(pick(want.count));
            const int32_t rc = k < 3 ? APIFetchRecordOptimized(s, h) : APIFetchRecord(s, h);
            if (rc != 0 || Text(s) != want.texts[h]) ++mismatches;
          }
          if (APIFetchRecord(s, want.count) != ERROR_BadRecord) ++mismatches;
          break;
        }
        case 1: {  // list index words
          const std::string& p = kPrefixes[pick(kPrefixes.size())];
          if (Listing(s, p) != listings_.at(p)) ++mismatches;
          break;
        }
        case 2: {  // sort and read the sorted hits
          const std::string& q = kQueries[pick(kQueries.size())];
          const int32_t direction = static_cast<int32_t>(rng() % 2);
          std::lock_guard<std::mutex> turn(sort_turn);
          if (SortedHits(s, q, direction) != sorted_.at(q + "/" + std::to_string(direction))) {
            ++mismatches;
          }
          break;
        }
        default: {  // a whole result read front to back
          const std::string& q = kQueries[pick(kQueries.size())];
          if (SearchAll(s, q) != searches_.at(q)) ++mismatches;
          break;
        }
      }
      ++operations;
    }
    if (APIDestroySession(s) != 0) ++mismatches;
  };

  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) threads.emplace_back(worker, i);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_GT(operations.load(), kThreads);
  RecordProperty("operations", static_cast<int>(operations.load()));
  std::printf("%ld operations by %d threads in %.0f s\n", operations.load(), kThreads,
              StressSeconds());
}

TEST_F(ConcurrencyTest, SessionsComeAndGoWhileOthersSearchAndCancel) {
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
        if (RunSearch(s, "*BQ") != 0 || APIHitCount(s) != searches_.at("*BQ").count) {
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
    EXPECT_EQ(RunSearch(s, "AAQ"), 0);
    EXPECT_EQ(APICancelSession(s), 0);
    EXPECT_EQ(RunSearch(s, "AAQ"), 0);                 // exact terms do not poll
    EXPECT_EQ(RunSearch(s, "*A*"), ERROR_Userbreak);    // a scan from the first word does
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
