#include "registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "lodex32.h"
#include "lodex32_errors.h"
#include "testing/record_base_fixture.h"

namespace lodex {
namespace {

using testing::NumberedBase;
using testing::RecordBaseTest;

class RegistryTest : public RecordBaseTest {};

// A looked-up session and its base outlive a destroy and a close made by another thread
// while the reference is held, and are freed once it is dropped; every later call
// answers the error code.
TEST_F(RegistryTest, HeldReferenceOutlivesDestroyAndCloseOnAnotherThread) {
  Open(NumberedBase({6}));
  ASSERT_EQ(APIFillBitmap(s_, 0), 0);
  SessionRef ref = FindSession(s_);
  ASSERT_EQ(ref.error, 0);
  std::thread other([this] {
    EXPECT_EQ(APIDestroySession(s_), 0);
    EXPECT_EQ(APICloseBase(base_), 0);
  });
  other.join();
  // Still whole: the record comes from the base's files through the session's buffers.
  EXPECT_EQ(FetchHit(*ref.session, *ref.base, 4, true), 0);
  EXPECT_STREQ(FieldText(*ref.session, *ref.base, 100), "R4");
  EXPECT_GT(RetiredCount(), 0u);
  ref = SessionRef();
  EXPECT_EQ(RetiredCount(), 0u);

  EXPECT_EQ(APIFetchRecordOptimized(s_, 0), ERROR_BadSession);
  EXPECT_EQ(APIFetchRecord(s_, 0), ERROR_BadSession);
  EXPECT_EQ(APIGetFieldData(s_, 100), nullptr);
  EXPECT_EQ(APIGetCurrentRecordPtr(s_), ERROR_BadSession);
  EXPECT_EQ(APIDestroySession(s_), ERROR_BadSession);
  s_ = base_ = -1;
}

// A session whose base was closed keeps answering -101, and stays registered.
TEST_F(RegistryTest, SessionOfAClosedBaseAnswersBadBase) {
  Open(NumberedBase({3}));
  const int32_t t = APICreateSession(base_);
  ASSERT_GE(t, 0);
  ASSERT_EQ(APICloseBase(base_), 0);
  EXPECT_EQ(APIFetchRecordOptimized(t, 0), ERROR_BadBase);
  EXPECT_EQ(APIGetFieldData(t, 100), nullptr);
  EXPECT_EQ(APIMappingCacheHit(t), ERROR_BadBase);
  EXPECT_EQ(FindSession(t).error, ERROR_BadBase);
  EXPECT_EQ(APIDestroySession(t), ERROR_BadBase);
  EXPECT_EQ(RetiredCount(), 0u);
  base_ = -1;
}

// Pins nest: the inner release keeps the outer one, so what was unlinked meanwhile is
// freed only when the outermost reference goes.
TEST_F(RegistryTest, NestedPinsReleaseAtTheOutermost) {
  Open(NumberedBase({3}));
  const int32_t t = APICreateSession(base_);
  ASSERT_GE(t, 0);
  SessionRef outer = FindSession(t);
  ASSERT_EQ(outer.error, 0);
  {
    SessionRef inner = FindSession(s_);
    ASSERT_EQ(inner.error, 0);
  }
  EXPECT_EQ(APIDestroySession(t), 0);
  EXPECT_GT(RetiredCount(), 0u);
  EXPECT_EQ(FindSession(t).error, ERROR_BadSession);
  EXPECT_EQ(outer.session->base_number, base_);  // still readable
  EXPECT_GT(RetiredCount(), 0u);
  outer.pin.Release();
  EXPECT_EQ(RetiredCount(), 0u);
}

// Threads that end hand their pin slots on: many short threads in turn use one slot.
TEST_F(RegistryTest, EndedThreadsHandTheirPinSlotsOn) {
  Open(NumberedBase({3}));
  {
    std::thread first([this] { EXPECT_EQ(FindSession(s_).error, 0); });
    first.join();
  }
  const size_t slots = PinSlotCount();
  for (int i = 0; i < 50; ++i) {
    std::thread t([this] { EXPECT_EQ(APIFetchRecord(s_, 9), ERROR_BadRecord); });
    t.join();
  }
  EXPECT_EQ(PinSlotCount(), slots);
}

// Readers fetch and read fields on their own sessions while other threads create and
// destroy sessions and open and close a second base, and one reader's session is
// destroyed under it: every answer is either the right text or, once the session is
// gone, the error code, and nothing is freed while in use (ASan and TSan builds).
TEST_F(RegistryTest, ThreadsFetchWhileSessionsAndBasesComeAndGo) {
  Open(NumberedBase({40}));
  constexpr int kReaders = 3;
  std::vector<int32_t> sessions;
  for (int i = 0; i < kReaders; ++i) {
    const int32_t s = APICreateSession(base_);
    ASSERT_GE(s, 0);
    ASSERT_EQ(APIFillBitmap(s, 0), 0);
    sessions.push_back(s);
  }
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::atomic<int> victim_done{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kReaders; ++i) {
    threads.emplace_back([&, i] {
      const int32_t s = sessions[static_cast<size_t>(i)];
      bool gone = false;
      for (int32_t h = 0; !stop.load(); h = (h + 1) % 40) {
        const int32_t rc = APIFetchRecordOptimized(s, h);
        const char* text = APIGetFieldData(s, 100);
        if (rc == ERROR_BadSession) {
          gone = true;
          if (text != nullptr) ++wrong;
          continue;
        }
        // Once destroyed, the session never comes back.
        if (gone || rc != 0) {
          ++wrong;
          continue;
        }
        // The victim's text may be freed by the destroy as soon as the call returns (a
        // field's text lives as long as its session), so only the others read theirs.
        if (i == 0) continue;
        if (!text || std::string(text) != "R" + std::to_string(h)) ++wrong;
      }
    });
  }
  const std::string other_dir = tmp_.Sub("other");
  testing::WriteRecordBase(other_dir, NumberedBase({5}));
  threads.emplace_back([&] {
    for (int round = 0; round < 200; ++round) {
      const int32_t s = APICreateSession(base_);
      const int32_t b = APIOpenBaseEx(other_dir.c_str(), nullptr, temp_dir_.c_str(), 0);
      const int32_t t = APICreateSession(b);
      if (s < 0 || b < 0 || t < 0) ++wrong;
      if (APIFillBitmap(t, 0) != 0 || APIFetchRecord(t, 4) != 0 ||
          std::string(APIGetFieldData(t, 100)) != "R4") {
        ++wrong;
      }
      if (APIDestroySession(s) != 0 || APICloseBase(b) != 0) ++wrong;
      if (APIDestroySession(t) != ERROR_BadBase) ++wrong;
      if (round == 50) {
        if (APIDestroySession(sessions[0]) != 0) ++wrong;
        victim_done = 1;
      }
    }
    stop = true;
  });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(victim_done.load(), 1);
  for (int i = 1; i < kReaders; ++i) EXPECT_EQ(APIDestroySession(sessions[i]), 0);
  EXPECT_EQ(RetiredCount(), 0u);
}

}  // namespace
}  // namespace lodex
