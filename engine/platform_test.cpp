#include "platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "lodex32.h"

namespace lodex {
namespace {

TEST(LockWithin, ThreadWaitingOnAHeldLockGivesUpAfterTheBound) {
  TimedMutex m;
  std::atomic<bool> held{false}, release{false};
  std::thread owner([&] {
    m.lock();
    held = true;
    while (!release) std::this_thread::yield();
    m.unlock();
  });
  while (!held) std::this_thread::yield();

  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(LockWithin(m, std::chrono::milliseconds(50)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));

  release = true;
  owner.join();
  EXPECT_TRUE(LockWithin(m, std::chrono::milliseconds(50)));
  m.unlock();
}

TEST(BoundedLock, ThreadsTakeTurnsThroughUnlockAndRelock) {
  TimedMutex m;
  int counter = 0;
  auto work = [&] {
    BoundedLock lock(m);
    ASSERT_TRUE(lock.owns());
    for (int i = 0; i < 200; ++i) {
      ++counter;
      lock.Unlock();
      std::this_thread::yield();
      ASSERT_TRUE(lock.Relock());
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 400);
  EXPECT_TRUE(m.try_lock());
  m.unlock();
}

TEST(BoundedLock, RecursiveRegistryLockCanBeTakenAgainByItsOwner) {
  RecursiveTimedMutex m;
  BoundedLock outer(m);
  BoundedLock inner(m);
  EXPECT_TRUE(outer.owns());
  EXPECT_TRUE(inner.owns());
}

#if defined(_WIN32)
TEST(Platform, JoinPathUsesBackslash) {
  EXPECT_EQ(JoinPath("C:\\data\\base", "meta.dat"), "C:\\data\\base\\meta.dat");
  EXPECT_EQ(JoinPath("", "meta.dat"), "\\meta.dat");
}

TEST(LockWithin, KernelMutexOwnerTakesItAgainAndOthersWait) {
  // Unlike std::timed_mutex, a kernel mutex is its owner's to take again; the search
  // and fetch locks rely on nobody taking them twice, not on that failing.
  TimedMutex m;
  ASSERT_TRUE(LockWithin(m, std::chrono::milliseconds(0)));
  ASSERT_TRUE(LockWithin(m, std::chrono::milliseconds(0)));
  m.unlock();
  bool other = true;
  std::thread([&] { other = LockWithin(m, std::chrono::milliseconds(20)); }).join();
  EXPECT_FALSE(other);  // still held once
  m.unlock();
  std::thread([&] {
    other = LockWithin(m, std::chrono::milliseconds(20));
    if (other) m.unlock();
  }).join();
  EXPECT_TRUE(other);
}
#else
TEST(Platform, JoinPathUsesSlash) {
  EXPECT_EQ(JoinPath("/data/base", "meta.dat"), "/data/base/meta.dat");
  EXPECT_EQ(JoinPath("", "meta.dat"), "/meta.dat");
}

TEST(Platform, FaultMessageGoesToStandardError) {
  ::testing::internal::CaptureStderr();
  ShowFaultMessage("UnSortBitmap", "ERROR!: session : 1 - hit : 2 - newBit : 3");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "UnSortBitmap: ERROR!: session : 1 - hit : 2 - newBit : 3\n");
}
#endif

int32_t PressedOnce() {
  static int calls = 0;
  return ++calls == 1 ? 1 : 0;
}

TEST(Platform, EscapeProbeIsAskedWhenInstalled) {
  EXPECT_EQ(PollEscape(), 0);
  LodexSetEscapeProbe(&PressedOnce);
  EXPECT_EQ(PollEscape(), 1);
  EXPECT_EQ(PollEscape(), 0);
  LodexSetEscapeProbe(nullptr);
  EXPECT_EQ(PollEscape(), 0);
}

}  // namespace
}  // namespace lodex
