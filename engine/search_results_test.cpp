// Search results built in place (few blocks cleared and counted) against results worked
// out directly from the words' record lists: random postings in list and bitmap form,
// single terms, negations, AND and OR of several terms, interleaved with the other
// changes of the current bitmap that the in-place search must not be fooled by.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "lodex32.h"
#include "lodex32_errors.h"
#include "testing/test_base_files.h"
#include "testing/word_index_fixture.h"

namespace lodex {
namespace {

// Four tables, one of them empty: 5000 records, ten blocks of 512 bits. Words with more
// than 5000 / 24 records are stored as bitmaps.
const std::vector<uint32_t> kTables = {1500, 0, 2700, 800};
constexpr uint32_t kTotal = 5000;

class SearchResultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 rng(41);
    for (int w = 0; w < 60; ++w) {
      char text[8];
      std::snprintf(text, sizeof text, "W%03d", w);
      // Mostly a few records, some hundreds (lists), some thousands (bitmaps); records
      // often crowd into one stretch, so that some results touch few blocks.
      const int kind = w % 6;
      const uint32_t count = kind < 3 ? 1 + rng() % 6 : kind < 5 ? 20 + rng() % 150 : 300 + rng() % 2000;
      const uint32_t from = rng() % kTotal;
      const uint32_t spread = kind == 1 ? 40 : kTotal;
      std::set<uint32_t> records;
      while (records.size() < std::min(count, spread)) records.insert((from + rng() % spread) % kTotal);
      words_.push_back({text, std::vector<uint32_t>(records.begin(), records.end())});
    }
    const testing::IndexImages images = testing::WriteIndex({words_}, kTotal);

    testing::MetaContents meta;
    meta.tables = {{"A", kTables[0]}, {"B", kTables[1]}, {"C", kTables[2]}, {"D", kTables[3]}};
    meta.data = {{100, "Tekst", 1u, 0, 60, {0x80000000u}}};
    meta.search = {{100, "Tekst", 1u, images.field_starts[0], 60, {0x80000000u}}};
    testing::WriteBase(dir_.path(), meta);
    testing::WriteFile(dir_.path() + "/index1.dat", images.index1);
    testing::WriteFile(dir_.path() + "/index2.dat", images.index2);
    testing::WriteFile(dir_.path() + "/post.dat", images.post);
    base_ = APIOpenBaseEx(dir_.c_str(), nullptr, temp_.c_str(), 0);
    ASSERT_GE(base_, 0);
    s_ = APICreateSession(base_);
    ASSERT_GE(s_, 0);
  }
  void TearDown() override {
    APIDestroySession(s_);
    APICloseBase(base_);
  }

  using Records = std::vector<bool>;

  Records WordsFromTo(int first, int last) const {
    Records r(kTotal, false);
    for (int w = first; w <= last; ++w) {
      for (uint32_t rec : words_[w].records) r[rec] = true;
    }
    return r;
  }

  // A random term and the records it selects.
  std::string RandomTerm(std::mt19937& rng, Records* selected) const {
    std::string term;
    const int w = static_cast<int>(rng() % 60);
    switch (rng() % 6) {
      case 0:
      case 1:
        term = words_[w].text;
        *selected = WordsFromTo(w, w);
        break;
      case 2: {  // a prefix: W01* is W010 .. W019
        const int tens = w / 10;
        term = "W0" + std::to_string(tens) + "*";
        *selected = WordsFromTo(tens * 10, tens * 10 + 9);
        break;
      }
      case 3: {
        const int last = std::min(59, w + static_cast<int>(rng() % 4));
        term = words_[w].text + "-" + words_[last].text;
        *selected = WordsFromTo(w, last);
        break;
      }
      case 4:
        term = "*";
        *selected = WordsFromTo(0, 59);
        break;
      default:
        term = "NOWORD";
        *selected = Records(kTotal, false);
        break;
    }
    if (rng() % 5 == 0) {
      term = "!" + term;
      selected->flip();
    }
    return term;
  }

  // The session's counts and bits against the expected records.
  void ExpectResult(const Records& expected, const std::vector<bool>& included,
                    const std::string& what) {
    int32_t total = 0, first = 0;
    std::vector<int32_t> bits;  // of hits, in hit order
    for (int32_t t = 0; t < 4; ++t) {
      int32_t n = 0;
      for (uint32_t r = first; r < first + kTables[t]; ++r) {
        if (!expected[r]) continue;
        ++n;
        if (included[t]) bits.push_back(static_cast<int32_t>(r));
      }
      ASSERT_EQ(APITableHitCount(s_, t), n) << what << " table " << t;
      if (included[t]) total += n;
      first += kTables[t];
    }
    ASSERT_EQ(APIHitCount(s_), total) << what;
    for (uint32_t r = 0; r < kTotal; ++r) {
      ASSERT_EQ(APIIsRecordInBitmap(s_, 0, static_cast<int32_t>(r)), expected[r] ? 1 : 0) << what << " bit " << r;
    }
    // Hits to bits: with hits in the first included table only, the answer is the bit.
    std::mt19937 rng(total);
    for (int k = 0; k < 40 && total > 0; ++k) {
      const int32_t h = static_cast<int32_t>(rng() % total);
      const int32_t bit = bits[h];
      int32_t table = 0, table_first_hit = 0;
      for (uint32_t from = 0; bit >= static_cast<int32_t>(from + kTables[table]); from += kTables[table++]) {
        if (included[table]) table_first_hit += APITableHitCount(s_, table);
      }
      const int32_t want = table_first_hit > 0 ? bit - table_first_hit + 1 : bit;
      ASSERT_EQ(APIBitfromHit(s_, 0, h), want) << what << " hit " << h;
    }
  }

  testing::TempDir dir_, temp_;
  std::vector<testing::IndexWord> words_;
  int32_t base_ = -1;
  int32_t s_ = -1;
};

TEST_F(SearchResultsTest, InPlaceResultsEqualTheWordListsWhateverCameBefore) {
  std::mt19937 rng(5);
  std::vector<bool> included(4, true);
  for (int round = 0; round < 300; ++round) {
    // Something else changes the current bitmap first, now and then.
    switch (rng() % 8) {
      case 0:
        ASSERT_EQ(APIFillBitmap(s_, 0), 0);
        break;
      case 1:
        ASSERT_EQ(APISetBit(s_, 0, 2, static_cast<int32_t>(rng() % kTables[2])), 0);
        break;
      case 2: {
        // A restore from a short file leaves the bitmap partly overwritten.
        testing::WriteFile(temp_.path() + "/short.bm", std::string(300, '\x5A'));
        ASSERT_EQ(APILoadBitmap(s_, (temp_.path() + "/short.bm").c_str()), ERROR_FileRead);
        break;
      }
      case 3: {
        const int32_t t = static_cast<int32_t>(rng() % 4);
        included[t] = !included[t];
        ASSERT_EQ(included[t] ? APIInclTable(s_, t) : APIExclTable(s_, t), 0);
        break;
      }
      default:
        break;
    }
    const int terms = 1 + (rng() % 4 == 0 ? static_cast<int>(rng() % 3) : 0);
    const int32_t combine = static_cast<int32_t>(rng() % 2);
    std::string query;
    Records expected;
    for (int i = 0; i < terms; ++i) {
      Records one;
      const std::string term = RandomTerm(rng, &one);
      query += (i ? " " : "") + term;
      if (i == 0) {
        expected = one;
      } else {
        for (uint32_t r = 0; r < kTotal; ++r) expected[r] = combine == 0 ? (expected[r] && one[r]) : (expected[r] || one[r]);
      }
    }
    ASSERT_EQ(APISearchConditions(s_, 100, query.c_str(), combine), 0);
    ASSERT_EQ(APISearch(s_), 0) << query;
    ExpectResult(expected, included, "round " + std::to_string(round) + ": " + query);

    // A single bit changed by hand after the search is counted and found too.
    if (rng() % 3 == 0) {
      const int32_t r = static_cast<int32_t>(rng() % kTables[0]);
      ASSERT_EQ(APISetBit(s_, 0, 0, r), 0);
      expected[r] = true;
      ExpectResult(expected, included, "after setting bit " + std::to_string(r));
    }
  }
}

}  // namespace
}  // namespace lodex
