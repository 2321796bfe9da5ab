#include "sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "base.h"
#include "format/coding.h"
#include "format/sort.h"
#include "lodex32_errors.h"
#include "platform.h"
#include "registry.h"
#include "testing/record_base_fixture.h"

namespace lodex {
namespace {

using testing::NumberedBase;

// Records 0..19 in tables of 8, 4 and 8; field 44 orders them by r mod 5, records with
// r mod 5 == 3 hollow (at the end of the run).
class SortTest : public testing::RecordBaseTest {
 protected:
  void SetUp() override { Open(NumberedBase({8, 4, 8})); }

  // The records of the sorted list, hit by hit, through the record fetch.
  std::vector<std::string> FetchAll(int32_t session) {
    std::vector<std::string> out;
    const int32_t n = APIHitCount(session);
    for (int32_t h = 0; h < n; ++h) {
      EXPECT_EQ(APIFetchRecord(session, h), 0);
      out.push_back(Field(100, session));
    }
    return out;
  }
  std::vector<std::string> Names(std::initializer_list<int> records) {
    std::vector<std::string> out;
    for (int r : records) out.push_back("R" + std::to_string(r));
    return out;
  }
};

TEST_F(SortTest, AscendingWithHollowRecordsLast) {
  for (int r : {0, 1, 3, 5}) ASSERT_EQ(APISetBit(s_, 0, 0, r), 0);
  ASSERT_EQ(APISetBit(s_, 0, 2, 0), 0);   // record 12
  ASSERT_EQ(APISetBit(s_, 0, 2, 1), 0);   // record 13 (hollow)
  ASSERT_EQ(APISetBit(s_, 0, 2, 4), 0);   // record 16
  ASSERT_EQ(APISort(s_), 0);              // new session: first sort field, ascending
  // Values r mod 5: 0 -> 0 5; 1 -> 1 16; 2 -> 12; then hollow 3 13.
  EXPECT_EQ(FetchAll(s_), Names({0, 5, 1, 16, 12, 3, 13}));
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(APIBitmapentryFromListentry(s_, k), std::vector<int>({0, 5, 1, 16, 12, 3, 13})[k]);
  }
  EXPECT_EQ(APIBitmapentryFromListentry(s_, 7), ERROR_BadBit);
  // The hollow file lives only inside the sort.
  EXPECT_FALSE(std::filesystem::exists(temp_dir_ + "/~list" + std::to_string(base_) + "HOLLOW.tmp"));
}

TEST_F(SortTest, DescendingReversesValuesAndHollowRecords) {
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APIExclTable(s_, 1), 0);  // records 8..11 have no hit numbers
  ASSERT_EQ(APISortConditions(s_, 44, 1), 0);
  ASSERT_EQ(APISort(s_), 0);
  EXPECT_EQ(FetchAll(s_), Names({19, 14, 4, 17, 12, 7, 2, 16, 6, 1, 15, 5, 0, 18, 13, 3}));
  EXPECT_EQ(APISortConditions(s_, 45, 0), ERROR_BadField);
}

TEST_F(SortTest, PaddingBitsOfALoadedBitmapListNothing) {
  // 20 records in 3 bytes: the last four bits of a loaded all-ones bitmap are padding.
  const std::string path = temp_dir_ + "/padded.bm";
  testing::WriteFile(path, std::string(3, '\xFF'));
  ASSERT_EQ(APILoadBitmap(s_, path.c_str()), 0);
  ASSERT_EQ(APISortConditions(s_, 44, 1), 0);
  ASSERT_EQ(APISort(s_), 0);
  EXPECT_EQ(FetchAll(s_), Names({19, 14, 9, 4, 17, 12, 7, 2, 16, 11, 6, 1, 15, 10, 5, 0,
                                 18, 13, 8, 3}));
}

TEST_F(SortTest, CancelUncancelAndSearchOrder) {
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APISort(s_), 0);
  ASSERT_EQ(APIFetchRecord(s_, 1), 0);
  EXPECT_EQ(Field(100), "R5");
  ASSERT_EQ(APICancelSort(s_), 0);
  ASSERT_EQ(APIFetchRecordOptimized(s_, 1), 0);
  EXPECT_EQ(Field(100), "R1");
  ASSERT_EQ(APIUncancelSort(s_), 0);
  ASSERT_EQ(APIFetchRecordOptimized(s_, 1), 0);
  EXPECT_EQ(Field(100), "R5");
}

TEST_F(SortTest, TwoSessionsShareTheListFile) {
  const int32_t other = APICreateSession(base_);
  ASSERT_GE(other, 0);
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APISort(s_), 0);
  ASSERT_EQ(APIFetchRecord(s_, 0), 0);
  EXPECT_EQ(Field(100), "R0");
  // The second session sorts its own hits descending; the first now reads that list.
  ASSERT_EQ(APIFillBitmap(other, 0), 0);
  ASSERT_EQ(APISortConditions(other, 44, 1), 0);
  ASSERT_EQ(APISort(other), 0);
  ASSERT_EQ(APIFetchRecord(s_, 0), 0);
  EXPECT_EQ(Field(100), "R19");
  ASSERT_EQ(APIFetchRecord(other, 0), 0);
  EXPECT_EQ(Field(100, other), "R19");
  EXPECT_EQ(APIDestroySession(other), 0);
}

TEST_F(SortTest, UnsortTurnsMarkedPositionsIntoRecords) {
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  EXPECT_EQ(APIUnSortBitmap(s_, 3), ERROR_BadOperationScene);
  ASSERT_EQ(APISort(s_), 0);
  EXPECT_EQ(APIUnSortBitmap(s_, 0), ERROR_BadBitmap);
  EXPECT_EQ(APIUnSortBitmap(s_, 3), ERROR_FileOpen);  // no marks stored in slot 3
  // Mark positions 0, 1 and 19 (sorted list: 0 5 10 15 1 ... 3 8 13 18). A slot file
  // addresses the given bit itself, so table 2 (bits 12..19) reaches position 19.
  ASSERT_EQ(APIClearBitmap(s_, 3), 0);
  for (int k : {0, 1, 19}) ASSERT_EQ(APISetBit(s_, 3, 2, k), 0);
  ASSERT_EQ(APIUnSortBitmap(s_, 3), 0);
  EXPECT_EQ(APIHitCount(s_), 20);  // the current bitmap is back
  std::vector<int> marked;
  for (int r = 0; r < 20; ++r) if (APIIsRecordInBitmap(s_, 3, r) == 1) marked.push_back(r);
  EXPECT_EQ(marked, (std::vector<int>{0, 5, 18}));
  EXPECT_TRUE(std::filesystem::exists(temp_dir_ + "/tmp_bm01.tmp"));
}

TEST_F(SortTest, UnsortPastTheListStopsWithAMessage) {
  // The hits of table 1 are counted as positions but have no list entries.
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APIExclTable(s_, 1), 0);
  ASSERT_EQ(APISort(s_), 0);
  ASSERT_EQ(APIFillBitmap(s_, 4), 0);
  // Garbage beyond the list: nothing past the list is read, and the call ends normally.
  static std::string shown;
  shown.clear();
  SetFaultMessageHook([](const char* caption, const char* text) {
    shown = std::string(caption) + ": " + text;
  });
  EXPECT_EQ(APIUnSortBitmap(s_, 4), 0);
  SetFaultMessageHook(nullptr);
  EXPECT_NE(shown.find("UnSortBitmap: ERROR!: session : " + std::to_string(s_) + " - hit : 16"),
            std::string::npos)
      << shown;
}

TEST(SortNoFields, ABaseWithoutSortFieldsRefusesToSort) {
  testing::TempDir tmp;
  testing::RecordBaseSpec def = NumberedBase({4});
  def.sorts.clear();
  const std::string dir = tmp.Sub("base"), temp = tmp.Sub("temp");
  testing::WriteRecordBase(dir, def);
  const int32_t b = APIOpenBaseEx(dir.c_str(), nullptr, temp.c_str(), 0);
  ASSERT_GE(b, 0);
  const int32_t s = APICreateSession(b);
  ASSERT_EQ(APIFillBitmap(s, 0), 0);
  EXPECT_EQ(APISort(s), ERROR_BadField);
  EXPECT_EQ(APISortConditions(s, 44, 0), ERROR_BadField);
  APIDestroySession(s);
  APICloseBase(b);
}

// Random bases of 40 000 records (more than two pieces of sort.dat) in three tables, with
// two sort fields: 44 with many ties and hollow records scattered through its run, 45
// with few ties and none hollow. Every sort must list exactly what a plain walk of the
// run gives: the hits in run order (reversed when descending), then the hollow ones.
class RandomSortTest : public testing::RecordBaseTest {
 protected:
  static constexpr uint32_t kTables[] = {15000, 9000, 16000};

  void Build(uint32_t seed) {
    std::mt19937 rng(seed);
    testing::RecordBaseSpec def;
    def.tables.assign(std::begin(kTables), std::end(kTables));
    uint32_t n = 0;
    for (uint32_t c : kTables) n += c;
    for (uint32_t r = 0; r < n; ++r) def.records.push_back({"R" + std::to_string(r), ""});
    for (uint16_t number : {44, 45}) {
      const uint32_t values = number == 44 ? 37 : n;
      std::vector<std::pair<uint32_t, uint32_t>> by_value;  // (value, record)
      std::vector<uint32_t> hollow;
      for (uint32_t r = 0; r < n; ++r) {
        if (number == 44 && rng() % 10 == 0) {
          hollow.push_back(r);
        } else {
          by_value.push_back({static_cast<uint32_t>(rng() % values), r});
        }
      }
      std::sort(by_value.begin(), by_value.end());
      testing::RecordBaseSpec::SortRun run{number, {}};
      for (auto [value, r] : by_value) run.run.push_back({r, false});
      for (uint32_t r : hollow) {
        run.run.insert(run.run.begin() + static_cast<ptrdiff_t>(rng() % (run.run.size() + 1)),
                       {r, true});
      }
      def.sorts.push_back(run);
    }
    runs_ = def.sorts;
    Open(def);
  }

  // The sorted list a plain walk gives for the given hits.
  std::vector<int32_t> Expected(size_t field, const std::vector<bool>& hit, bool descending) {
    std::vector<int32_t> plain, hollow;
    const auto& run = runs_[field].run;
    for (size_t i = 0; i < run.size(); ++i) {
      const auto [r, is_hollow] = run[descending ? run.size() - 1 - i : i];
      if (hit[r]) (is_hollow ? hollow : plain).push_back(static_cast<int32_t>(r));
    }
    plain.insert(plain.end(), hollow.begin(), hollow.end());
    return plain;
  }

  std::vector<int32_t> Listed() {
    std::vector<int32_t> out;
    const int32_t n = APIHitCount(s_);
    for (int32_t k = 0; k < n; ++k) out.push_back(APIBitmapentryFromListentry(s_, k));
    return out;
  }

  std::vector<testing::RecordBaseSpec::SortRun> runs_;
};

TEST_F(RandomSortTest, MatchesAPlainWalkOfTheRun) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    TearDown();
    Build(seed);
    std::mt19937 rng(seed * 7919);
    // The first rounds read sort.dat through the stream, the others through the view.
    SessionRef ref = FindSession(s_);
    ASSERT_EQ(ref.error, 0);
    ref.base->sort_view_tried = true;
    for (int round = 0; round < 6; ++round) {
      if (round == 3) ref.base->sort_view_tried = false;
      SCOPED_TRACE(round);
      // Sparse, half and nearly full results; table 1 excluded in some. The last two
      // rounds take a stretch of field 45's run instead, as a search sorted by the
      // field it searched finds, where the walk ends at the stretch's end.
      const uint32_t per_mille = std::vector<uint32_t>{5, 500, 990}[round % 3];
      std::vector<bool> in_stretch;
      if (round >= 4) {
        const auto& run = runs_[1].run;
        const size_t from = rng() % run.size(), length = 1 + rng() % 3000;
        in_stretch.assign(run.size(), false);
        for (size_t i = from; i < std::min(run.size(), from + length); ++i) {
          in_stretch[run[i].first] = true;
        }
      }
      ASSERT_EQ(APIClearBitmap(s_, 0), 0);
      ASSERT_EQ(APIInclTable(s_, 1), 0);
      const bool excluded = round == 1 || round == 5;
      std::vector<bool> hit;
      for (uint32_t t = 0; t < 3; ++t) {
        for (uint32_t k = 0; k < kTables[t]; ++k) {
          const bool on = in_stretch.empty() ? rng() % 1000 < per_mille : in_stretch[hit.size()];
          if (on) {
            ASSERT_EQ(APISetBit(s_, 0, static_cast<int32_t>(t), static_cast<int32_t>(k)), 0);
          }
          hit.push_back(on && !(excluded && t == 1));
        }
      }
      if (excluded) {
        ASSERT_EQ(APIExclTable(s_, 1), 0);
      }
      for (size_t field : {0u, 1u}) {
        for (bool descending : {false, true}) {
          ASSERT_EQ(APISortConditions(s_, runs_[field].number, descending ? 1 : 0), 0);
          ASSERT_EQ(APISort(s_), 0);
          EXPECT_EQ(Listed(), Expected(field, hit, descending))
              << "field " << runs_[field].number << (descending ? " descending" : "");
        }
      }
    }
    EXPECT_NE(ref.base->sort_view.data(), nullptr);
    ref = SessionRef();
  }
}

TEST_F(RandomSortTest, NoHitsListNothing) {
  Build(4);
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APISort(s_), 0);
  ASSERT_EQ(APIClearBitmap(s_, 0), 0);
  ASSERT_EQ(APISort(s_), 0);
  EXPECT_EQ(APIHitCount(s_), 0);
  EXPECT_EQ(APIBitmapentryFromListentry(s_, 0), ERROR_BadBit);
}

// The walk over raw entries against a plain one, over random pieces of runs with
// damage a plain walk passes over or keeps: records at or past the bitmap's end, with
// and without the hollow mark, and records listed twice. Pieces of every length around
// the eight-entry steps and the distance the walk reads ahead; small bitmaps, and
// large ones (over 256 KiB) that the walk fetches ahead.
TEST(FilterSortEntries, MatchesAPlainWalk) {
  std::mt19937 rng(11);
  for (int round = 0; round < 420; ++round) {
    SCOPED_TRACE(round);
    const uint32_t nbits = 8 * (round < 400 ? 1 + rng() % 600 : 262145 + rng() % 200);
    const size_t count = round < 300 ? static_cast<size_t>(round) : rng() % 5000;
    const uint32_t per_mille = std::vector<uint32_t>{0, 3, 150, 500, 1000}[rng() % 5];
    std::vector<uint8_t> hits(nbits / 8);
    for (uint32_t r = 0; r < nbits; ++r) {
      if (rng() % 1000 < per_mille) hits[r >> 3] |= static_cast<uint8_t>(0x80u >> (r & 7));
    }
    std::vector<uint8_t> run(count * format::kSortEntryBytes);
    for (size_t i = 0; i < count; ++i) {
      uint32_t word = static_cast<uint32_t>(rng() % (nbits + nbits / 8 + 1));
      if (rng() % 8 == 0) word |= format::kHollowMark;
      if (rng() % 64 == 0) word = static_cast<uint32_t>(rng());
      format::EncodeFixed32(&run[i * format::kSortEntryBytes], word);
      format::EncodeFixed32(&run[i * format::kSortEntryBytes + 4], static_cast<uint32_t>(rng()));
    }
    for (bool backwards : {false, true}) {
      std::vector<uint8_t> plain, plain_hollow;
      for (size_t j = 0; j < count; ++j) {
        const uint8_t* e = &run[(backwards ? count - 1 - j : j) * format::kSortEntryBytes];
        const uint32_t r = format::DecodeFixed32(e) & format::kSortRecordMask;
        if (r >= nbits || !(hits[r >> 3] & (0x80u >> (r & 7)))) continue;
        auto& to = (format::DecodeFixed32(e) & format::kHollowMark) ? plain_hollow : plain;
        uint8_t entry[format::kSortEntryBytes];
        format::EncodeFixed32(entry, r);
        std::memcpy(entry + 4, e + 4, 4);
        to.insert(to.end(), entry, entry + sizeof entry);
      }
      std::vector<uint8_t> out(count * format::kSortEntryBytes + 1, 0xEE), hollow;
      const size_t n = FilterSortEntries(run.data(), count, backwards, hits.data(), nbits,
                                         out.data(), hollow);
      ASSERT_EQ(n * format::kSortEntryBytes, plain.size()) << (backwards ? "backwards" : "");
      EXPECT_TRUE(std::equal(plain.begin(), plain.end(), out.begin()));
      EXPECT_EQ(hollow, plain_hollow);
      EXPECT_EQ(out.back(), 0xEE);  // nothing past count entries
    }
  }
}

}  // namespace
}  // namespace lodex
