#include "bitmaps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "lodex32_errors.h"
#include "postings.h"
#include "testing/record_base_fixture.h"

namespace lodex {
namespace {

// ---- Counting, clearing and the hit cursor against straightforward oracles -----------

uint32_t NaiveCount(const Bitmap& b, uint32_t first, uint32_t end) {
  uint32_t n = 0;
  for (uint32_t r = first; r < end; ++r) n += TestBit(b.data(), r);
  return n;
}

Bitmap RandomBitmap(std::mt19937& rng, size_t bytes, int density) {
  Bitmap b(bytes);
  for (auto& x : b) {
    x = 0;
    for (int k = 0; k < 8; ++k) if (static_cast<int>(rng() % 100) < density) x |= uint8_t(1 << k);
  }
  return b;
}

TEST(BitmapHelpers, RangeCountAndClearMatchBitByBit) {
  std::mt19937 rng(3);
  for (int round = 0; round < 500; ++round) {
    Bitmap b = RandomBitmap(rng, 1 + rng() % 40, 50);
    const uint32_t nbits = static_cast<uint32_t>(b.size() * 8);
    uint32_t first = rng() % (nbits + 1), end = rng() % (nbits + 1);
    if (first > end) std::swap(first, end);
    ASSERT_EQ(CountBits(b.data(), first, end), NaiveCount(b, first, end));
    Bitmap cleared = b;
    ClearBitRange(cleared.data(), first, end);
    for (uint32_t r = 0; r < nbits; ++r) {
      ASSERT_EQ(TestBit(cleared.data(), r), (r >= first && r < end) ? false : TestBit(b.data(), r));
    }
  }
  EXPECT_EQ(kBitCount[0], 0);
  EXPECT_EQ(kBitCount[0xFF], 8);
  EXPECT_EQ(kBitCount[0x81], 2);
}

// Hit h's bit found by walking the included tables in order.
int32_t OracleBit(const BitmapState& s, int32_t h) {
  for (int32_t t = 0; t < s.table_count(); ++t) {
    if (!s.included[t]) continue;
    for (int32_t r = s.first_bit[t]; r < s.first_bit[t + 1]; ++r) {
      if (TestBit(s.current.data(), r) && h-- == 0) return r;
    }
  }
  return -1;
}

TEST(BitmapState, CursorMovesLikeTheOracleAcrossTablesAndDirections) {
  std::mt19937 rng(11);
  for (int round = 0; round < 60; ++round) {
    // Tables of uneven sizes, some empty; padding bits set to catch miscounting.
    std::vector<uint32_t> tables;
    uint32_t total = 0;
    for (int t = 0; t < 1 + static_cast<int>(rng() % 5); ++t) {
      tables.push_back(rng() % 4 == 0 ? 0 : rng() % 300);
      total += tables.back();
    }
    BitmapState s;
    s.Reset(tables, (total + 7) / 8);
    s.current = RandomBitmap(rng, s.current.size(), static_cast<int>(rng() % 60));
    for (uint32_t r = total; r < s.current.size() * 8; ++r) SetBitAt(s.current.data(), r);
    for (int32_t t = 0; t < s.table_count(); ++t) s.included[t] = rng() % 3 != 0;
    s.RecountTables();

    int32_t expected_total = 0;
    for (int32_t t = 0; t < s.table_count(); ++t) {
      ASSERT_EQ(s.table_hits[t], static_cast<int32_t>(NaiveCount(s.current, s.first_bit[t], s.first_bit[t + 1])));
      if (s.included[t]) expected_total += s.table_hits[t];
    }
    ASSERT_EQ(s.hit_total, expected_total);
    ASSERT_EQ(s.cursor.hit, -1);

    // Sequential forwards, backwards, then random jumps.
    std::vector<int32_t> order;
    for (int32_t h = 0; h < s.hit_total; ++h) order.push_back(h);
    for (int32_t h = s.hit_total - 1; h >= 0; --h) order.push_back(h);
    for (int k = 0; k < 50 && s.hit_total > 0; ++k) order.push_back(static_cast<int32_t>(rng() % s.hit_total));
    for (int32_t h : order) {
      ASSERT_EQ(s.MoveCursor(h), OracleBit(s, h)) << "round " << round << " hit " << h;
      ASSERT_EQ(s.cursor.hit, h);
    }
    EXPECT_EQ(s.MoveCursor(s.hit_total), ERROR_BadOperationScene);
    EXPECT_EQ(s.MoveCursor(-1), ERROR_BadOperationScene);
  }
}

// Every block that holds a set bit must be marked in current_blocks.
bool MarksCoverBits(const BitmapState& s) {
  for (uint32_t r = 0; r < s.current.size() * 8; ++r) {
    if (TestBit(s.current.data(), r) && !s.current_blocks.marked(r >> kBlockShift)) return false;
  }
  return true;
}

TEST(BitmapState, RankDirectoryFollowsSingleBitChangesLikeALinearCount) {
  std::mt19937 rng(23);
  for (int round = 0; round < 12; ++round) {
    // Several blocks of 512 bits, the last one partial; sparse and dense rounds.
    std::vector<uint32_t> tables = {static_cast<uint32_t>(rng() % 900), 0,
                                    static_cast<uint32_t>(1 + rng() % 2500),
                                    static_cast<uint32_t>(rng() % 700)};
    uint32_t total = 0;
    for (uint32_t n : tables) total += n;
    BitmapState s;
    s.Reset(tables, (total + 7) / 8);
    const int density = round % 3 == 0 ? 1 : round % 3 == 1 ? 20 : 90;
    s.current = RandomBitmap(rng, s.current.size(), density);
    s.RecountTables();
    ASSERT_TRUE(MarksCoverBits(s));

    for (int step = 0; step < 300; ++step) {
      // Change a bit the way the single-bit exports do.
      const uint32_t bit = rng() % total;
      int32_t t = 0;
      while (static_cast<uint32_t>(s.first_bit[t + 1]) <= bit) ++t;
      const bool set = rng() % 2 == 0;
      if (TestBit(s.current.data(), bit) != set) {
        s.BitChanged(bit);
        if (set) {
          SetBitAt(s.current.data(), bit);
          ++s.table_hits[t];
        } else {
          ClearBitAt(s.current.data(), bit);
          --s.table_hits[t];
        }
        s.RecountFirstHits();
      }
      if (step % 10 != 0) {
        // A few lookups between changes: the directory is built on the first.
        const uint32_t b = rng() % (total + 1);
        ASSERT_EQ(s.Rank(b), NaiveCount(s.current, 0, b));
        continue;
      }
      ASSERT_TRUE(MarksCoverBits(s));
      const uint32_t nbits = static_cast<uint32_t>(s.current.size() * 8);
      std::vector<int64_t> set_bits;
      for (uint32_t r = 0; r < nbits; ++r) {
        if (TestBit(s.current.data(), r)) set_bits.push_back(r);
        if (r % 37 == 0) {
          ASSERT_EQ(s.Rank(r), static_cast<int64_t>(set_bits.size()) - TestBit(s.current.data(), r));
        }
      }
      ASSERT_EQ(s.Rank(nbits), static_cast<int64_t>(set_bits.size()));
      for (size_t i = 0; i < set_bits.size(); i += 1 + rng() % 5) ASSERT_EQ(s.Select(static_cast<int64_t>(i)), set_bits[i]);
      EXPECT_EQ(s.Select(static_cast<int64_t>(set_bits.size())), -1);
      EXPECT_EQ(s.Select(-1), -1);
      for (int k = 0; k < 30 && s.hit_total > 0; ++k) {
        const int32_t h = static_cast<int32_t>(rng() % s.hit_total);
        ASSERT_EQ(s.MoveCursor(h), OracleBit(s, h)) << "round " << round << " step " << step;
      }
    }
  }
}

TEST(BitmapState, MarkedRecountCountsOnlyMarkedBlocksAndDropsEmptyOnes) {
  BitmapState s;
  s.Reset({700, 2000}, 338);
  ASSERT_FALSE(s.current_blocks.all());  // a new bitmap is known to be empty
  // Built the way a search builds in place: clear, then set and mark.
  ClearMarked(s.current.data(), s.current.size(), s.current_blocks);
  for (uint32_t r : {3u, 699u, 700u, 2699u}) {
    SetBitAt(s.current.data(), r);
    s.current_blocks.Mark(r >> kBlockShift);
  }
  s.current_blocks.Mark(3);  // marked but empty
  s.RecountMarked();
  EXPECT_EQ(s.table_hits, (std::vector<int32_t>{2, 2}));
  EXPECT_EQ(s.hit_total, 4);
  EXPECT_FALSE(s.current_blocks.marked(3));
  EXPECT_TRUE(s.current_blocks.marked(1));
  EXPECT_EQ(s.MoveCursor(3), 2699);
  EXPECT_EQ(s.MoveCursor(1), 699);

  // Clearing zeroes the marked blocks only, which is all there is to zero.
  ClearMarked(s.current.data(), s.current.size(), s.current_blocks);
  EXPECT_EQ(CountBits(s.current.data(), 0, 2700), 0u);

  // After an uncounted change every block counts again.
  s.current[300] = 0x81;
  s.CurrentChanged();
  EXPECT_TRUE(s.current_blocks.all());
  EXPECT_EQ(s.cursor.hit, -1);
  s.RecountMarked();
  EXPECT_EQ(s.table_hits, (std::vector<int32_t>{0, 2}));
  EXPECT_TRUE(s.current_blocks.marked(300 * 8 >> kBlockShift));
  EXPECT_FALSE(s.current_blocks.marked(0));
}

// Searches built in place over many rounds, on bitmaps whose block sets span one
// partial group, a few groups and many: clearing leaves no bit behind in blocks or
// groups the walk skips, the marked recount agrees with a whole count, and the set
// names every block that holds a bit.
TEST(BitmapState, MarkedRoundsOverGroupsMatchWholeCounts) {
  std::mt19937 rng(23);
  for (uint32_t records : {900u, 300000u, 2600011u}) {
    SCOPED_TRACE(records);
    const uint32_t first_table = records / 3;
    BitmapState s;
    s.Reset({first_table, records - first_table}, (records + 7) / 8);
    for (int round = 0; round < 40; ++round) {
      PostingTarget target(s.current.data(), &s.current_blocks);
      target.Clear(s.current.size());
      ASSERT_EQ(CountBits(s.current.data(), 0, records), 0u) << "round " << round;
      const int kind = round % 5;
      const uint32_t n = kind == 4 ? 200000 : 1 + rng() % (kind == 0 ? 3 : 400);
      target.Expect(n);
      // Mostly scattered, sometimes clustered in one group's reach.
      const uint32_t span = kind == 1 ? std::min<uint32_t>(records, 1u << 16) : records;
      const uint32_t at = static_cast<uint32_t>(rng() % (records - span + 1));
      for (uint32_t k = 0; k < n; ++k) target.Set(at + static_cast<uint32_t>(rng() % span));
      if (kind == 2) target.MarkAll();  // a whole word bitmap went in
      s.RecountMarked();
      EXPECT_TRUE(MarksCoverBits(s)) << "round " << round;
      EXPECT_EQ(s.table_hits[0], static_cast<int32_t>(CountBits(s.current.data(), 0, first_table)));
      EXPECT_EQ(s.table_hits[1],
                static_cast<int32_t>(CountBits(s.current.data(), first_table, records)));
      std::vector<uint32_t> visited;
      s.current_blocks.ForEach([&](uint32_t b) { visited.push_back(b); });
      for (size_t i = 0; i < visited.size(); ++i) {
        EXPECT_TRUE(i == 0 || visited[i - 1] < visited[i]);
        EXPECT_TRUE(s.current_blocks.marked(visited[i]));
      }
      if (!s.current_blocks.all()) {
        uint32_t marked = 0;
        for (uint32_t b = 0; b < s.current_blocks.blocks(); ++b) marked += s.current_blocks.marked(b);
        EXPECT_EQ(visited.size(), marked) << "round " << round;
      }
    }
  }
}

TEST(BitmapState, CursorOverAStaleBitmapFailsInsteadOfRunningOff) {
  // Counts claim hits that the bitmap no longer holds (a short restore leaves them so).
  BitmapState s;
  s.Reset({20}, 3);
  s.current[0] = 0x80;
  s.current[2] = 0x01;  // a padding bit beyond record 19
  s.RecountTables();
  ASSERT_EQ(s.hit_total, 1);
  s.table_hits[0] = 5;
  s.RecountFirstHits();
  EXPECT_EQ(s.MoveCursor(0), 0);
  EXPECT_EQ(s.MoveCursor(1), 23);  // the walk runs into the padding: still inside the bitmap
  EXPECT_EQ(s.MoveCursor(2), ERROR_BadOperationScene);
  EXPECT_EQ(s.MoveCursor(4), ERROR_BadOperationScene);
}

// ---- The exports on a base of four tables (23, 9, 0 and 14 records) ------------------

class BitmapApiTest : public testing::RecordBaseTest {
 protected:
  void SetUp() override { Open(testing::NumberedBase({23, 9, 0, 14})); }

  std::vector<int32_t> Bits() {
    std::vector<int32_t> bits;
    for (int32_t r = 0; r < 46; ++r) {
      if (APIIsRecordInBitmap(s_, 0, r) == 1) bits.push_back(r);
    }
    return bits;
  }
  // Clears the current bitmap and sets the given base-wide bits through their tables.
  void SetBits(std::initializer_list<int32_t> bits) {
    ASSERT_EQ(APIClearBitmap(s_, 0), 0);
    for (int32_t r : bits) {
      const int32_t table = r < 23 ? 0 : r < 32 ? 1 : 3;
      ASSERT_EQ(APISetBit(s_, 0, table, r - APITableFirstBit(s_, table)), 0);
    }
  }
};

TEST_F(BitmapApiTest, NewSessionFillAndTableAccounting) {
  EXPECT_EQ(APIHitCount(s_), 0);
  const int32_t first_bits[] = {0, 23, 32, 32};
  for (int32_t t = 0; t < 4; ++t) {
    EXPECT_EQ(APITableFirstBit(s_, t), first_bits[t]);
    EXPECT_EQ(APITableFirstHit(s_, t), 0);
    EXPECT_EQ(APITableHitCount(s_, t), 0);
  }
  EXPECT_EQ(APITableHitCount(s_, 4), ERROR_BadTable);
  EXPECT_EQ(APITableFirstBit(s_, -1), ERROR_BadTable);

  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  EXPECT_EQ(APIHitCount(s_), 46);               // padding bits 46, 47 are set but not counted
  EXPECT_EQ(APIBitSet(s_, 0, -1, 47), 1);
  EXPECT_EQ(APIBitSet(s_, 0, -1, 48), ERROR_BadBit);
  // Excluding a table lowers the total only; first hits count every table.
  ASSERT_EQ(APIExclTable(s_, 1), 0);
  EXPECT_EQ(APIHitCount(s_), 37);
  EXPECT_EQ(APITableHitCount(s_, 1), 9);
  EXPECT_EQ(APITableFirstHit(s_, 3), 32);
  EXPECT_EQ(APIExclTable(s_, 4), ERROR_BadTable);
  ASSERT_EQ(APIExclAllTables(s_), 0);
  EXPECT_EQ(APIHitCount(s_), 0);
  ASSERT_EQ(APIInclAllTables(s_), 0);
  EXPECT_EQ(APIHitCount(s_), 46);
}

TEST_F(BitmapApiTest, SingleBitsKeepCountsInStep) {
  ASSERT_EQ(APISetBit(s_, 0, 1, 4), 0);
  ASSERT_EQ(APISetBit(s_, 0, 1, 4), 0);  // already set: nothing changes
  ASSERT_EQ(APISetBit(s_, 0, 3, 13), 0);
  EXPECT_EQ(APIHitCount(s_), 2);
  EXPECT_EQ(APITableHitCount(s_, 1), 1);
  EXPECT_EQ(APITableFirstHit(s_, 3), 1);
  EXPECT_EQ(APIBitSet(s_, 0, -1, 27), 1);
  EXPECT_EQ(APIBitSet(s_, 0, 3, 13), 1);
  EXPECT_EQ(APIClearBit(s_, 0, 1, 4), 0);
  EXPECT_EQ(APIClearBit(s_, 0, 1, 4), 0);
  EXPECT_EQ(APIHitCount(s_), 1);
  EXPECT_EQ(APISetBit(s_, 0, 1, 9), ERROR_BadBit);
  EXPECT_EQ(APISetBit(s_, 0, 2, 0), ERROR_BadBit);  // a table without records
  EXPECT_EQ(APISetBit(s_, 0, -1, 0), ERROR_BadTable);
  EXPECT_EQ(APIBitSet(s_, 0, -1, -1), ERROR_BadBit);
  EXPECT_EQ(APIIsRecordInBitmap(s_, 0, 45), 1);
  EXPECT_EQ(APIIsRecordInBitmap(s_, 0, 48), ERROR_BadBit);  // outside the bitmap
}

TEST_F(BitmapApiTest, SlotFilesStoreRestoreAndFail) {
  SetBits({1, 5, 30, 40});
  ASSERT_EQ(APIStoreBitmap(s_, 3), 0);
  ASSERT_EQ(APIClearBitmap(s_, 0), 0);
  EXPECT_EQ(APIHitCount(s_), 0);
  ASSERT_EQ(APIRestoreBitmap(s_, 3), 0);
  EXPECT_EQ(APIHitCount(s_), 4);
  EXPECT_TRUE(std::filesystem::exists(SlotFile(3)));
  EXPECT_EQ(std::filesystem::file_size(SlotFile(3)), 6u);
  EXPECT_EQ(APIRestoreBitmap(s_, 9), ERROR_FileOpen);
  // A file one byte short.
  testing::WriteFile(SlotFile(8), std::string(5, '\xFF'));
  EXPECT_EQ(APIRestoreBitmap(s_, 8), ERROR_FileRead);
  // Slot 0 is a slot file for restore, the current bitmap for clear.
  ASSERT_EQ(APIStoreBitmap(s_, 0), 0);
  EXPECT_TRUE(std::filesystem::exists(SlotFile(0)));
  // Slot numbers are 16-bit: 65539 names slot 3.
  ASSERT_EQ(APIClearBitmap(s_, 0), 0);
  ASSERT_EQ(APIRestoreBitmap(s_, 65539), 0);
  EXPECT_EQ(APIHitCount(s_), 4);
  // A caller's path.
  const std::string path = temp_dir_ + "/saved.bm";
  ASSERT_EQ(APISaveBitmap(s_, path.c_str()), 0);
  ASSERT_EQ(APIClearBitmap(s_, 0), 0);
  ASSERT_EQ(APILoadBitmap(s_, path.c_str()), 0);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{1, 5, 30, 40}));
  EXPECT_EQ(APILoadBitmap(s_, nullptr), ERROR_FileOpen);
  EXPECT_EQ(APISaveBitmap(s_, (temp_dir_ + "/no/such/dir").c_str()), ERROR_FileOpen);
}

TEST_F(BitmapApiTest, ClearAllStopsAtTheFirstMissingSlot) {
  SetBits({2, 3});
  for (int32_t slot : {1, 2, 4}) ASSERT_EQ(APIFillBitmap(s_, slot), 0);
  ASSERT_EQ(APIClearAllBitmap(s_), 0);
  EXPECT_EQ(APIHitCount(s_), 0);
  for (int32_t slot : {1, 2}) {
    ASSERT_EQ(APIRestoreBitmap(s_, slot), 0);
    EXPECT_EQ(APIHitCount(s_), 0) << slot;
  }
  ASSERT_EQ(APIRestoreBitmap(s_, 4), 0);
  EXPECT_EQ(APIHitCount(s_), 46);
}

TEST_F(BitmapApiTest, SetAlgebraOverSlotFilesAndCurrent) {
  SetBits({1, 2, 3, 30});
  ASSERT_EQ(APIStoreBitmap(s_, 1), 0);
  SetBits({2, 3, 4, 40});
  ASSERT_EQ(APIStoreBitmap(s_, 2), 0);

  ASSERT_EQ(APIAndBitmaps(s_, 1, 1, 2), 0);  // both the current bitmap and slot 1
  EXPECT_EQ(Bits(), (std::vector<int32_t>{2, 3}));
  ASSERT_EQ(APIClearBitmap(s_, 0), 0);
  ASSERT_EQ(APIRestoreBitmap(s_, 1), 0);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{2, 3}));

  SetBits({1, 2, 3, 30});
  ASSERT_EQ(APIStoreBitmap(s_, 1), 0);
  ASSERT_EQ(APIOrBitmaps(s_, 0, 1, 2), 0);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{1, 2, 3, 4, 30, 40}));
  EXPECT_EQ(APIHitCount(s_), 6);
  // first is 0: the current bitmap AND NOT slot 2.
  ASSERT_EQ(APIAndNotBitmaps(s_, 0, 0, 2), 0);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{1, 30}));
  // second is 0: slot 2 AND NOT the current bitmap.
  SetBits({2, 40});
  ASSERT_EQ(APIAndNotBitmaps(s_, 0, 2, 0), 0);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{3, 4}));
  // A missing operand answers at once.
  EXPECT_EQ(APIAndBitmaps(s_, 0, 1, 7), ERROR_FileOpen);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{1, 2, 3, 30}));  // the first operand stays
}

TEST_F(BitmapApiTest, MemoryPairForms) {
  SetBits({1, 2});
  EXPECT_EQ(APIAndBitmaps(s_, 0, 0, -1), ERROR_BadBitmap);  // no memory slot yet
  EXPECT_EQ(APIMemRestoreBitmap(s_), ERROR_BadBitmap);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{1, 2}));
  ASSERT_EQ(APIMemStoreBitmap(s_), 0);  // memory {1, 2}
  SetBits({2, 3});
  ASSERT_EQ(APIAndNotBitmaps(s_, 0, 0, -1), 0);  // current AND NOT memory
  EXPECT_EQ(Bits(), (std::vector<int32_t>{3}));
  SetBits({2, 3});
  ASSERT_EQ(APIAndNotBitmaps(s_, 0, -1, 0), 0);  // memory AND NOT current
  EXPECT_EQ(Bits(), (std::vector<int32_t>{1}));
  SetBits({2, 3});
  ASSERT_EQ(APIOrBitmaps(s_, -1, 0, -1), 0);  // into memory; current unchanged
  EXPECT_EQ(Bits(), (std::vector<int32_t>{2, 3}));
  ASSERT_EQ(APIMemRestoreBitmap(s_), 0);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(APIHitCount(s_), 3);
  // A memory pair with a slot file as target writes the result there as well.
  SetBits({3});
  ASSERT_EQ(APIAndBitmaps(s_, 6, -1, 0), 0);
  ASSERT_EQ(APIClearBitmap(s_, 0), 0);
  ASSERT_EQ(APIRestoreBitmap(s_, 6), 0);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{3}));
}

TEST_F(BitmapApiTest, HitsAndBitsConvertBothWays) {
  SetBits({2, 7, 20, 25, 33, 45});
  for (int32_t h = 0; h < 4; ++h) {
    const int32_t bit = APIBitfromHit(s_, 0, h);
    const int32_t table = bit < 23 ? 0 : 1;
    if (table == 0) {
      EXPECT_EQ(APIHitfromBit(s_, 0, table, bit), h);
    }
  }
  EXPECT_EQ(APIBitfromHit(s_, 0, 0), 2);
  EXPECT_EQ(APIBitfromHit(s_, 0, 2), 20);
  EXPECT_EQ(APIBitfromHit(s_, 0, 6), ERROR_BadBit);
  EXPECT_EQ(APIHitfromBit(s_, 0, 0, 7), 1);
  EXPECT_EQ(APIHitfromBit(s_, 0, 1, 25), 3);
  EXPECT_EQ(APIHitfromBit(s_, 0, 0, 8), ERROR_BadBit);   // not set
  EXPECT_EQ(APIHitfromBit(s_, 0, 0, 25), ERROR_BadBit);  // outside table 0
  EXPECT_EQ(APIHitfromBit(s_, 0, -1, 2), ERROR_BadTable);
  // With table 0 excluded the first hit is in table 1: the engine's answer there is
  // the bit less that table's first hit (0) ... base-wide while the first hit is 0.
  ASSERT_EQ(APIExclTable(s_, 0), 0);
  EXPECT_EQ(APIBitfromHit(s_, 0, 0), 25);
  EXPECT_EQ(APIHitfromBit(s_, 0, 3, 45), 2);
  // Through a slot file: the slot's hits are walked, the current bitmap is kept.
  ASSERT_EQ(APIInclTable(s_, 0), 0);
  ASSERT_EQ(APIStoreBitmap(s_, 4), 0);
  SetBits({5, 6, 7, 8, 9, 10});
  EXPECT_EQ(APIBitfromHit(s_, 4, 1), 7);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(APIBitfromHit(s_, 12, 1), ERROR_FileOpen);
  EXPECT_EQ(Bits(), (std::vector<int32_t>{5, 6, 7, 8, 9, 10}));
  // Setting a hit's bit in a slot file.
  ASSERT_EQ(APIClearBitmap(s_, 5), 0);
  ASSERT_EQ(APISetHitbit(s_, 5, 3), 0);
  EXPECT_EQ(APIIsRecordInBitmap(s_, 5, 8), 1);
  EXPECT_EQ(APIIsRecordInBitmap(s_, 5, 7), 0);
  EXPECT_EQ(APIIsRecordInBitmap(s_, 13, 7), ERROR_FileOpen);
}

TEST_F(BitmapApiTest, SingleBitsInSlotFilesAddressTheGivenBit) {
  ASSERT_EQ(APIClearBitmap(s_, 2), 0);
  ASSERT_EQ(APISetBit(s_, 2, 0, 5), 0);
  // In a slot file record 30 of table 1 is bit 30 itself (within first bit + count).
  ASSERT_EQ(APISetBit(s_, 2, 1, 30), 0);
  EXPECT_EQ(APISetBit(s_, 2, 1, 32), ERROR_BadBit);
  EXPECT_EQ(APIBitSet(s_, 2, 0, 5), 1);
  EXPECT_EQ(APIBitSet(s_, 2, -1, 30), 1);
  ASSERT_EQ(APIClearBit(s_, 2, 0, 5), 0);
  EXPECT_EQ(APIBitSet(s_, 2, 0, 5), 0);
  EXPECT_EQ(APISetBit(s_, 9, 0, 5), ERROR_FileOpen);
  // A slot file too short for the byte.
  testing::WriteFile(SlotFile(10), "");
  EXPECT_EQ(APIBitSet(s_, 10, 0, 5), ERROR_FileRead);
  EXPECT_EQ(APISetBit(s_, 10, 0, 5), ERROR_FileRead);
  EXPECT_EQ(APIHitCount(s_), 0);  // the current bitmap was never touched
}

TEST_F(BitmapApiTest, UnknownSessionsAndClosedBases) {
  EXPECT_EQ(APIHitCount(-5), ERROR_BadSession);
  EXPECT_EQ(APIAndBitmaps(-5, 0, 0, 1), ERROR_BadSession);
  ASSERT_EQ(APICloseBase(base_), 0);
  EXPECT_EQ(APIFillBitmap(s_, 0), ERROR_BadBase);
  EXPECT_EQ(APITableHitCount(s_, 0), ERROR_BadBase);
  base_ = -1;
}

class EmptyBaseTest : public testing::RecordBaseTest {};

TEST_F(EmptyBaseTest, ABaseWithoutRecordsHasEmptyBitmaps) {
  testing::RecordBaseSpec def = testing::NumberedBase({0, 0});
  Open(def);
  EXPECT_EQ(APIFillBitmap(s_, 0), 0);
  EXPECT_EQ(APIFillBitmap(s_, 1), 0);
  EXPECT_EQ(APIClearBitmap(s_, 0), 0);
  EXPECT_EQ(APIRestoreBitmap(s_, 1), 0);
  EXPECT_EQ(APIOrBitmaps(s_, 2, 0, 1), 0);
  EXPECT_EQ(APIHitCount(s_), 0);
  EXPECT_EQ(APIFetchRecord(s_, 0), ERROR_BadRecord);
  EXPECT_EQ(APISort(s_), 0);
  EXPECT_EQ(APIIsRecordInBitmap(s_, 0, 0), ERROR_BadBit);
}

}  // namespace
}  // namespace lodex
