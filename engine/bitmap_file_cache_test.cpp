#include "bitmap_file_cache.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bitmaps.h"
#include "lodex32.h"
#include "lodex32_errors.h"
#include "testing/record_base_fixture.h"
#include "testing/temp_dir.h"

namespace lodex {
namespace {

namespace fs = std::filesystem;

// Rewrites the file behind the engine's back and moves its modification time on by a
// second, as any later write does on a file system that can tell two writes apart.
void RewriteLater(const std::string& path, const std::string& bytes) {
  const fs::file_time_type before = fs::last_write_time(path);
  testing::WriteFile(path, bytes);
  fs::last_write_time(path, before + std::chrono::seconds(1));
}

TEST(BitmapFileCache, ReadsBackWhatWasWrittenUntilTheFileChanges) {
  testing::TempDir dir;
  const std::string path = dir.path() + "/a.tmp";
  BitmapFileCache cache(2, 1 << 20);
  std::vector<uint8_t> out(4);

  EXPECT_FALSE(cache.Read(path, out.data(), 4));  // nothing written yet
  testing::WriteFile(path, "ABCD");
  const uint8_t abcd[] = {'A', 'B', 'C', 'D'};
  cache.Wrote(path, abcd, 4);
  ASSERT_TRUE(cache.Read(path, out.data(), 4));
  EXPECT_EQ(std::string(out.begin(), out.end()), "ABCD");

  // Same size, another time: read from the file again, the entry is gone.
  RewriteLater(path, "WXYZ");
  EXPECT_FALSE(cache.Read(path, out.data(), 4));
  EXPECT_EQ(cache.entries(), 0u);

  // Another size, or no file at all.
  cache.Wrote(path, abcd, 4);  // stamp of a 4-byte file
  testing::WriteFile(path, "ABCDE");
  EXPECT_FALSE(cache.Read(path, out.data(), 4));
  testing::WriteFile(path, "ABCD");
  cache.Wrote(path, abcd, 4);
  fs::remove(path);
  EXPECT_FALSE(cache.Read(path, out.data(), 4));

  // A write whose bytes do not match the file's size is not kept; Forget drops.
  testing::WriteFile(path, "ABC");
  cache.Wrote(path, abcd, 4);
  EXPECT_EQ(cache.entries(), 0u);
  testing::WriteFile(path, "ABCD");
  cache.Wrote(path, abcd, 4);
  cache.Forget(path);
  EXPECT_FALSE(cache.Read(path, out.data(), 4));
}

TEST(BitmapFileCache, KeepsOnlyTheMostRecentlyUsedEntries) {
  testing::TempDir dir;
  BitmapFileCache cache(2, 9);
  const uint8_t bytes[6] = {1, 2, 3, 4, 5, 6};
  std::vector<uint8_t> out(6);
  const std::string a = dir.path() + "/a", b = dir.path() + "/b", c = dir.path() + "/c";
  for (const std::string& p : {a, b, c}) testing::WriteFile(p, std::string(4, 'x'));
  cache.Wrote(a, bytes, 4);
  cache.Wrote(b, bytes, 4);
  ASSERT_TRUE(cache.Read(a, out.data(), 4));  // a is now the most recent
  cache.Wrote(c, bytes, 4);                   // b goes: two entries at most
  EXPECT_TRUE(cache.Read(a, out.data(), 4));
  EXPECT_FALSE(cache.Read(b, out.data(), 4));
  EXPECT_TRUE(cache.Read(c, out.data(), 4));
  // Over the byte limit the oldest go too.
  testing::WriteFile(b, std::string(6, 'x'));
  cache.Wrote(b, bytes, 6);
  EXPECT_EQ(cache.entries(), 1u);
  EXPECT_TRUE(cache.Read(b, out.data(), 6));
}

// ---- Slot files through the exports: a base of 3000 records in one table ------------

class SlotCacheApiTest : public testing::RecordBaseTest {
 protected:
  void SetUp() override { Open(testing::NumberedBase({3000})); }

  void SetRandomBits(std::mt19937& rng, int n) {
    ASSERT_EQ(APIClearBitmap(s_, 0), 0);
    for (int i = 0; i < n; ++i) ASSERT_EQ(APISetBit(s_, 0, 0, static_cast<int32_t>(rng() % 3000)), 0);
  }
  std::string CurrentBytes() {
    const std::string path = temp_dir_ + "/current.bm";
    EXPECT_EQ(APISaveBitmap(s_, path.c_str()), 0);
    return testing::ReadFile(path);
  }
};

TEST_F(SlotCacheApiTest, FilesChangedBehindTheEngineAreReadAnew) {
  std::mt19937 rng(9);
  SetRandomBits(rng, 40);
  ASSERT_EQ(APIStoreBitmap(s_, 3), 0);
  const std::string stored = testing::ReadFile(SlotFile(3));
  ASSERT_EQ(stored.size(), 375u);
  EXPECT_EQ(stored, CurrentBytes());  // the file is written in full as before

  // Another writer puts every record into the slot file.
  RewriteLater(SlotFile(3), std::string(375, '\xFF'));
  ASSERT_EQ(APIRestoreBitmap(s_, 3), 0);
  EXPECT_EQ(APIHitCount(s_), 3000);

  // Cut short behind the engine's back: the short read is reported.
  ASSERT_EQ(APIClearBitmap(s_, 0), 0);
  ASSERT_EQ(APIStoreBitmap(s_, 4), 0);
  testing::WriteFile(SlotFile(4), std::string(100, '\0'));
  EXPECT_EQ(APIRestoreBitmap(s_, 4), ERROR_FileRead);
  // Removed: cannot be opened.
  ASSERT_EQ(APIStoreBitmap(s_, 5), 0);
  fs::remove(SlotFile(5));
  EXPECT_EQ(APIRestoreBitmap(s_, 5), ERROR_FileOpen);
}

TEST_F(SlotCacheApiTest, TheEnginesOwnChangesToASlotFileAreSeen) {
  ASSERT_EQ(APIClearBitmap(s_, 0), 0);
  ASSERT_EQ(APIStoreBitmap(s_, 2), 0);
  // A bit set in the file in place, then the file written under its path by name.
  ASSERT_EQ(APISetBit(s_, 2, 0, 17), 0);
  ASSERT_EQ(APIRestoreBitmap(s_, 2), 0);
  EXPECT_EQ(APIHitCount(s_), 1);
  EXPECT_EQ(APIBitSet(s_, 0, 0, 17), 1);
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  ASSERT_EQ(APISaveBitmap(s_, SlotFile(2).c_str()), 0);
  ASSERT_EQ(APIClearBitmap(s_, 0), 0);
  ASSERT_EQ(APIRestoreBitmap(s_, 2), 0);
  EXPECT_EQ(APIHitCount(s_), 3000);
  // A larger file left there is cut to the bitmap's size when stored over.
  testing::WriteFile(SlotFile(6), std::string(500, '\x01'));
  ASSERT_EQ(APIStoreBitmap(s_, 6), 0);
  EXPECT_EQ(fs::file_size(SlotFile(6)), 375u);
}

TEST_F(SlotCacheApiTest, CombinedSearchesMatchByteWiseSetAlgebra) {
  // Random slot contents combined every way the set operations allow, against the
  // bytes combined here; the target files hold the result as well.
  std::mt19937 rng(17);
  for (int round = 0; round < 40; ++round) {
    std::string bytes[4];
    for (int slot = 1; slot <= 3; ++slot) {
      SetRandomBits(rng, static_cast<int>(rng() % 2000));
      ASSERT_EQ(APIStoreBitmap(s_, slot), 0);
      bytes[slot] = CurrentBytes();
    }
    SetRandomBits(rng, static_cast<int>(rng() % 2000));
    bytes[0] = CurrentBytes();
    const int op = static_cast<int>(rng() % 3);
    const int32_t first = static_cast<int32_t>(rng() % 4), second = static_cast<int32_t>(rng() % 4);
    const int32_t target = 1 + static_cast<int32_t>(rng() % 3);
    // Both 0 would combine the current bitmap with slot file 0, which this test does
    // not write; every other 0 is the current bitmap, bytes[0].
    if (first == 0 && second == 0) continue;
    const std::string& a = bytes[first];
    const std::string& b = bytes[second];
    std::string want(a.size(), '\0');
    for (size_t i = 0; i < a.size(); ++i) {
      const uint8_t x = static_cast<uint8_t>(a[i]), y = static_cast<uint8_t>(b[i]);
      want[i] = static_cast<char>(op == 0 ? (x & y) : op == 1 ? (x | y) : (x & ~y));
    }
    const int32_t rc = op == 0   ? APIAndBitmaps(s_, target, first, second)
                       : op == 1 ? APIOrBitmaps(s_, target, first, second)
                                 : APIAndNotBitmaps(s_, target, first, second);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(CurrentBytes(), want) << "round " << round;
    ASSERT_EQ(testing::ReadFile(SlotFile(target)), want);
    int32_t hits = 0;
    for (char c : want) hits += std::popcount(static_cast<uint8_t>(c));
    ASSERT_EQ(APIHitCount(s_), hits);
    ASSERT_EQ(APIRestoreBitmap(s_, target), 0);
    ASSERT_EQ(CurrentBytes(), want);
  }
}

TEST_F(SlotCacheApiTest, ThreadsStoreAndCombineTheirOwnSlotsThroughTheSharedCache) {
  // Each thread has its own session; their slot files share the process's cache.
  constexpr int kThreads = 4;
  std::vector<int32_t> sessions;
  for (int i = 0; i < kThreads; ++i) sessions.push_back(APICreateSession(base_));
  std::vector<int> wrong(kThreads, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      const int32_t s = sessions[i];
      for (int round = 0; round < 60; ++round) {
        // Slot 1: records 0 .. n-1; slot 2: records i .. 2999; AND: i .. n-1.
        const int32_t n = 100 + 7 * round + i;
        APIClearBitmap(s, 0);
        for (int32_t r = 0; r < n; ++r) APISetBit(s, 0, 0, r);
        APIStoreBitmap(s, 1);
        APIFillBitmap(s, 0);
        for (int32_t r = 0; r < i; ++r) APIClearBit(s, 0, 0, r);
        APIStoreBitmap(s, 2);
        APIAndBitmaps(s, 1, 1, 2);
        APIClearBitmap(s, 0);
        if (APIRestoreBitmap(s, 1) != 0 || APIHitCount(s) != n - i) ++wrong[i];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(wrong[i], 0) << "thread " << i;
    APIDestroySession(sessions[i]);
  }
}

}  // namespace
}  // namespace lodex
