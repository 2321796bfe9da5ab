#include "store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include <thread>

#include "lodex32_errors.h"
#include "testing/record_base_fixture.h"

namespace lodex {
namespace {

using testing::NumberedBase;
using testing::RecordBaseSpec;
using testing::RecordBaseTest;

class FetchTest : public RecordBaseTest {};

TEST_F(FetchTest, FetchesHitsAndSplitsFields) {
  Open(NumberedBase({12, 8}));
  // Before any fetch the texts are empty.
  EXPECT_EQ(Field(100), "");
  EXPECT_EQ(Field(999), "<null>");
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APIFetchRecord(s_, 13), 0);
  EXPECT_EQ(Field(100), "R13");
  EXPECT_EQ(Field(120), "T6");
  EXPECT_EQ(APIGetCurrentRecordPtr(s_), static_cast<int32_t>(written_.pointers[13]));
  EXPECT_EQ(APIFetchRecord(s_, 20), ERROR_BadRecord);
  EXPECT_EQ(APIFetchRecord(s_, -1), ERROR_BadRecord);
  EXPECT_EQ(Field(100), "R13");  // a failed fetch keeps the old record
  ASSERT_EQ(APIFetchRecord(s_, 19), 0);
  EXPECT_EQ(Field(100), "R19");
  // Hit numbers skip excluded tables.
  ASSERT_EQ(APIExclTable(s_, 0), 0);
  ASSERT_EQ(APIFetchRecord(s_, 0), 0);
  EXPECT_EQ(Field(100), "R12");
  EXPECT_EQ(APIFetchRecord(s_, 8), ERROR_BadRecord);
  // By pointer.
  ASSERT_EQ(APIFetchRecordByPtr(s_, static_cast<int32_t>(written_.pointers[4])), 0);
  EXPECT_EQ(Field(100), "R4");
  EXPECT_EQ(APIGetCurrentRecordPtr(s_), static_cast<int32_t>(written_.pointers[4]));
  EXPECT_EQ(APIGetFieldData(-3, 100), nullptr);
}

// Field numbers reach texts the same way whether they are looked up directly (small
// numbers) or by bucket (a number past the direct table): the first field in file order
// with a number wins, and numbers no field has, negative ones and ones past 16 bits
// included, answer null.
TEST_F(FetchTest, FieldNumbersFindTheFirstFieldWithThatNumber) {
  for (const std::vector<uint16_t>& numbers :
       {std::vector<uint16_t>{100, 120, 100, 7}, std::vector<uint16_t>{100, 120, 100, 4000}}) {
    SCOPED_TRACE(numbers.back());
    TearDown();
    RecordBaseSpec def = NumberedBase({3});
    def.data_numbers = numbers;
    for (auto& texts : def.records) texts = {texts[0], texts[1], "X" + texts[0], "L" + texts[0]};
    Open(def);
    ASSERT_EQ(APIFillBitmap(s_, 0), 0);
    ASSERT_EQ(APIFetchRecord(s_, 2), 0);
    EXPECT_EQ(Field(100), "R2");
    EXPECT_EQ(Field(120), "T2");
    EXPECT_EQ(Field(numbers.back()), "LR2");
    for (int32_t n : {-1, -100, 0, 6, 8, 99, 101, 1023, 1024, 3999, 4001, 65536 + 100, INT32_MAX,
                      INT32_MIN}) {
      if (n != numbers.back()) {
        EXPECT_EQ(Field(n), "<null>") << n;
      }
    }
  }
}

TEST_F(FetchTest, MappingWindowCountsAscendingAndDescending) {
  Open(NumberedBase({5000}));
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  for (int32_t h = 0; h < 4200; ++h) ASSERT_EQ(APIFetchRecord(s_, h), 0);
  // One load for bits 0..4095, hits up to there, one more load at 4096.
  EXPECT_EQ(APIMappingCacheMiss(s_), 2);
  EXPECT_EQ(APIMappingCacheHit(s_), 4198);
  EXPECT_EQ(Field(100), "R4199");
  // Downwards every step falls below the window's first bit.
  for (int32_t h = 4095; h >= 4090; --h) ASSERT_EQ(APIFetchRecord(s_, h), 0);
  EXPECT_EQ(APIMappingCacheMiss(s_), 8);
  EXPECT_EQ(APIMappingCacheHit(s_), 4198);
  EXPECT_EQ(Field(100), "R4090");
}

TEST_F(FetchTest, PrefetchWindowRuns) {
  Open(NumberedBase({30}));
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APIMappingCachePolitics(s_, 2, 3), 0);
  ASSERT_EQ(APIFetchRecordOptimized(s_, 10), 0);  // fills 8..12 with one load
  EXPECT_EQ(Field(100), "R10");
  EXPECT_EQ(APIMappingCacheMiss(s_), 1);
  EXPECT_EQ(APIMappingCacheHit(s_), 4);
  ASSERT_EQ(APIFetchRecordOptimized(s_, 12), 0);  // served by the window
  EXPECT_EQ(Field(100), "R12");
  EXPECT_EQ(APIMappingCacheHit(s_), 4);
  ASSERT_EQ(APIFetchRecordOptimized(s_, 13), 0);  // refills 11..15
  EXPECT_EQ(Field(100), "R13");
  EXPECT_EQ(APIMappingCacheHit(s_), 9);
  ASSERT_EQ(APIFetchRecordOptimized(s_, 29), 0);  // 27..29 at the end of the hits
  EXPECT_EQ(Field(100), "R29");
  EXPECT_EQ(APIFetchRecordOptimized(s_, 30), ERROR_BadRecord);

  // Renumbered hits never come from the old window: after a recount, an inclusion
  // change or a single-bit change the window is filled anew.
  ASSERT_EQ(APIFetchRecordOptimized(s_, 10), 0);
  ASSERT_EQ(APIClearBit(s_, 0, 0, 9), 0);
  ASSERT_EQ(APIFetchRecordOptimized(s_, 10), 0);
  EXPECT_EQ(Field(100), "R11");
  ASSERT_EQ(APIMemStoreBitmap(s_), 0);
  ASSERT_EQ(APIMemRestoreBitmap(s_), 0);
  ASSERT_EQ(APIFetchRecordOptimized(s_, 10), 0);
  EXPECT_EQ(Field(100), "R11");
}

TEST_F(FetchTest, PrefetchSettingsAreClampedToTheBase) {
  Open(NumberedBase({12}));
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APIMappingCachePolitics(s_, 5, 20), 0);  // 25 > 12: before 0, after 12
  ASSERT_EQ(APIFetchRecordOptimized(s_, 3), 0);
  EXPECT_EQ(APIMappingCacheHit(s_), 8);  // hits 3..11 read in one run
  ASSERT_EQ(APIFetchRecordOptimized(s_, 2), 0);  // before 0: 2 is outside the run
  EXPECT_EQ(Field(100), "R2");
  // Empty or negative settings still fetch, hit by hit.
  ASSERT_EQ(APIMappingCachePolitics(s_, 0, 0), 0);
  ASSERT_EQ(APIFetchRecordOptimized(s_, 7), 0);
  EXPECT_EQ(Field(100), "R7");
  ASSERT_EQ(APIMappingCachePolitics(s_, -4, -9), 0);
  ASSERT_EQ(APIFetchRecordOptimized(s_, 8), 0);
  EXPECT_EQ(Field(100), "R8");
}

TEST_F(FetchTest, RecordsWithFewerTextsThanFieldsRepeatTheFirstFields) {
  testing::RecordBaseSpec def = NumberedBase({3});
  def.data_numbers = {100, 120, 140, 160};
  def.read_bytes = 12;
  def.decode_bytes = 12;
  // Record 1: "ABCDEFGHIJKLMNOP" has no NUL within the first 12 bytes.
  def.records[1] = {"ABCDEFGHIJKLMNOP"};
  def.records[2] = {"ab", "cdefgh", "ijk"};  // "ab\0cdefgh\0ijk": the third runs into 12
  Open(def);
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APIFetchRecord(s_, 1), 0);
  EXPECT_EQ(Field(100), "ABCDEFGHIJK");  // cut before byte 11
  EXPECT_EQ(Field(120), "ABCDEFGHIJK");  // starts again at 0
  ASSERT_EQ(APIFetchRecord(s_, 2), 0);
  EXPECT_EQ(Field(100), "ab");
  EXPECT_EQ(Field(120), "cdefgh");
  EXPECT_EQ(Field(140), "i");
  EXPECT_EQ(Field(160), "ab");
}

TEST_F(FetchTest, DamagedFilesGiveEmptyTextsNotCrashes) {
  Open(NumberedBase({6}));
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APIFetchRecord(s_, 2), 0);
  EXPECT_EQ(Field(100), "R2");
  // Pointers outside data.dat.
  ASSERT_EQ(APIFetchRecordByPtr(s_, -7), 0);
  EXPECT_EQ(Field(100), "");
  ASSERT_EQ(APIFetchRecordByPtr(s_, 0x7FFFFFF0), 0);
  EXPECT_EQ(Field(120), "");
  // Bits past the records (padding bits counted in by a stale restore) name no record.
  ASSERT_EQ(APIMemStoreBitmap(s_), 0);
  EXPECT_EQ(MappingLookup(*FindSession(s_).session, *FindSession(s_).base, 6), kNoRecord);
}

TEST_F(FetchTest, MappedAndStreamedMappingWindowsAgree) {
  // A session looking pointers up before any fetch reads mapping.dat through its stream;
  // after the base's first fetch the file is mapped. Both give the same pointers and
  // count the same window hits and loads.
  Open(NumberedBase({9000}));
  const int32_t other = APICreateSession(base_);
  ASSERT_GE(other, 0);
  SessionRef streamed = FindSession(s_);
  std::vector<int64_t> want;
  for (int64_t bit : {0, 1, 4095, 4096, 8999, 9000, 5000, 4999, 2}) {
    want.push_back(MappingLookup(*streamed.session, *streamed.base, bit));
  }
  ASSERT_EQ(APIFillBitmap(other, 0), 0);
  ASSERT_EQ(APIFetchRecord(other, 0), 0);  // maps the files
  SessionRef mapped = FindSession(other);
  ASSERT_NE(mapped.base->mapping_view.data(), nullptr);
  mapped.session->records.map_first = mapped.session->records.map_last = -1;
  mapped.session->records.map_hits = mapped.session->records.map_loads = 0;
  size_t i = 0;
  for (int64_t bit : {0, 1, 4095, 4096, 8999, 9000, 5000, 4999, 2}) {
    EXPECT_EQ(MappingLookup(*mapped.session, *mapped.base, bit), want[i++]) << bit;
  }
  EXPECT_EQ(want[5], kNoRecord);
  EXPECT_EQ(mapped.session->records.map_hits, streamed.session->records.map_hits);
  EXPECT_EQ(mapped.session->records.map_loads, streamed.session->records.map_loads);
  EXPECT_EQ(APIMappingCacheMiss(s_), 6);  // 0, 4096, 8999, 5000, 4999 and 2 load
  ASSERT_EQ(APIDestroySession(other), 0);
}

TEST_F(FetchTest, ConcurrentSessionsFetchTheirOwnRecords) {
  // Sessions of one base share the data.dat and mapping.dat streams: the fetch lock keeps
  // each seek and read together, so every thread sees its own records.
  Open(NumberedBase({3000, 1000}));
  std::vector<std::thread> threads;
  std::vector<int> wrong(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const int32_t s = APICreateSession(base_);
      APIFillBitmap(s, 0);
      if (t % 2) APIExclTable(s, 0);
      for (int round = 0; round < 3; ++round) {
        for (int32_t h = 0; h < APIHitCount(s); h += 1 + t) {
          const bool optimized = (h + round) % 2 == 0;
          if ((optimized ? APIFetchRecordOptimized(s, h) : APIFetchRecord(s, h)) != 0) ++wrong[t];
          const int32_t r = h + (t % 2 ? 3000 : 0);
          if (std::string(APIGetFieldData(s, 100)) != "R" + std::to_string(r)) ++wrong[t];
        }
      }
      APIDestroySession(s);
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, (std::vector<int>{0, 0, 0, 0}));
}

class DamagedBaseTest : public RecordBaseTest {};

TEST_F(DamagedBaseTest, ShortMappingIsRefusedAndPointersPastDataReadShort) {
  Open(NumberedBase({10}));
  ASSERT_EQ(APICloseBase(base_), 0);
  const std::string mapping_path = base_dir_ + "/mapping.dat";
  const std::string data_path = base_dir_ + "/data.dat";
  std::string mapping = testing::ReadFile(mapping_path);
  // mapping.dat with 4 of its 10 entries cannot belong to this meta.dat.
  std::filesystem::resize_file(mapping_path, 16);
  EXPECT_EQ(APIOpenBaseEx(base_dir_.c_str(), nullptr, temp_dir_.c_str(), 0), ERROR_BadMetaFile);

  // Whole again, but record 3 points 2 bytes before data.dat's end and record 7 past it:
  // their reads come up short and the missing bytes read as zeros.
  std::string data = testing::ReadFile(data_path);
  const uint32_t size = static_cast<uint32_t>(data.size());
  data.replace(size - 2, 2, "Q7");  // inside the padding after the last record
  testing::WriteFile(data_path, data);
  format::EncodeFixed32(reinterpret_cast<uint8_t*>(mapping.data()) + 4 * 3, size - 2);
  format::EncodeFixed32(reinterpret_cast<uint8_t*>(mapping.data()) + 4 * 7, size + 1000);
  testing::WriteFile(mapping_path, mapping);
  base_ = APIOpenBaseEx(base_dir_.c_str(), nullptr, temp_dir_.c_str(), 0);
  ASSERT_GE(base_, 0);
  APIDestroySession(s_);
  s_ = APICreateSession(base_);
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APIFetchRecord(s_, 2), 0);
  EXPECT_EQ(Field(100), "R2");
  ASSERT_EQ(APIFetchRecord(s_, 3), 0);
  EXPECT_EQ(Field(100), "Q7");
  EXPECT_EQ(Field(120), "");
  ASSERT_EQ(APIFetchRecord(s_, 7), 0);
  EXPECT_EQ(Field(100), "");
  EXPECT_EQ(APIGetCurrentRecordPtr(s_), static_cast<int32_t>(size + 1000));
  ASSERT_EQ(APIFetchRecord(s_, 9), 0);
  EXPECT_EQ(Field(100), "R9");
}

// The split as a plain byte loop, field by field: the behaviour the word-wise split must
// keep, cut fields and restarts included.
void SplitByBytes(char* buf, int32_t limit, const char** fields, size_t n) {
  int32_t pos = 0;
  for (size_t i = 0; i < n; ++i) {
    fields[i] = buf + (pos < limit ? pos : std::max(limit - 1, 0));  // a 0 byte: see below
    int32_t end = pos;
    while (end < limit && buf[end] != 0) ++end;
    if (end < limit) {
      pos = end + 1;
    } else {
      if (limit > 0) buf[limit - 1] = 0;
      pos = 0;
    }
  }
}

TEST(SplitRecordFieldsTest, AgreesWithAByteLoopOnRandomRecords) {
  std::mt19937 rng(17);
  for (int round = 0; round < 20000; ++round) {
    const int32_t limit = static_cast<int32_t>(rng() % 200);
    const size_t n = rng() % 24;
    // Mostly NUL-rich records; some with few NULs so fields run into the limit, and
    // bytes with the top bit set, which a carry-based zero test could mistake.
    const uint32_t nul_odds = 2 + rng() % 30;
    std::vector<char> a(static_cast<size_t>(limit) + 64 + 16);
    for (char& c : a) {
      const uint32_t v = rng();
      c = v % nul_odds == 0 ? 0 : static_cast<char>(v % 3 == 0 ? 0x80 | (v >> 8) : 1 + (v >> 8) % 127);
    }
    std::vector<char> b = a;
    std::vector<const char*> fa(n), fb(n);
    SplitRecordFields(a.data(), limit, fa.data(), n);
    SplitByBytes(b.data(), limit, fb.data(), n);
    ASSERT_EQ(a, b) << "round " << round;
    for (size_t i = 0; i < n; ++i) {
      ASSERT_EQ(fa[i] - a.data(), fb[i] - b.data()) << "round " << round << " field " << i;
    }
  }
}

TEST(SplitRecordFieldsTest, AFieldStartingAtTheLimitIsEmpty) {
  // "ab" ends on the last byte before the limit, so the next field would start past it,
  // where an earlier record's bytes lie; it is empty instead, as is every field of a
  // record that ends there. The one after starts again at 0.
  for (const char* past : {"stale", "", "Z"}) {
    char buf[6 + 64] = "xy\0ab";  // the split reads up to 64 bytes past the limit
    std::strcpy(buf + 6, past);
    const char* fields[4];
    SplitRecordFields(buf, 6, fields, 4);
    EXPECT_STREQ(fields[0], "xy");
    EXPECT_STREQ(fields[1], "ab");
    EXPECT_STREQ(fields[2], "");
    EXPECT_EQ(fields[2], buf + 5);
    EXPECT_STREQ(fields[3], "xy");
  }
  // Without a limit every field starts at 0.
  char empty[64] = "";
  const char* fields[2];
  SplitRecordFields(empty, 0, fields, 2);
  EXPECT_EQ(fields[0], empty);
  EXPECT_EQ(fields[1], empty);
}

}  // namespace
}  // namespace lodex
