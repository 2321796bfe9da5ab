// The few operating-system services the engine needs, in portable form: locks with
// bounded waits, the host's Escape-key probe and path joining.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace lodex {

// Every wait for an engine lock gives up after this long.
inline constexpr std::chrono::milliseconds kLockWait{30000};

// Takes m, waiting at most `wait`. True when m is now held.
template <class Mutex>
bool LockWithin(Mutex& m, std::chrono::milliseconds wait) {
#if defined(__SANITIZE_THREAD__)
  // libstdc++'s timed waits go through pthread_mutex_clocklock, which ThreadSanitizer
  // does not intercept: it would see every such lock as never taken. Sanitizer builds
  // poll try_lock instead, with the same bound.
  if (m.try_lock()) return true;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  std::chrono::microseconds pause{10};
  for (;;) {
    std::this_thread::sleep_for(pause);
    if (m.try_lock()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    pause = std::min(pause * 2, std::chrono::microseconds{500});
  }
#else
  return m.try_lock_for(wait);
#endif
}

// Takes a timed mutex with the bounded wait. When the wait runs out the guard does
// not own the lock and the caller must answer -120 without touching shared state.
template <class Mutex>
class BoundedLock {
 public:
  explicit BoundedLock(Mutex& m) : m_(m), owned_(LockWithin(m, kLockWait)) {}
  ~BoundedLock() { if (owned_) m_.unlock(); }
  BoundedLock(const BoundedLock&) = delete;
  BoundedLock& operator=(const BoundedLock&) = delete;

  bool owns() const { return owned_; }
  void Unlock() { if (owned_) { m_.unlock(); owned_ = false; } }
  bool Relock() { if (!owned_) owned_ = LockWithin(m_, kLockWait); return owned_; }

 private:
  Mutex& m_;
  bool owned_;
};

// Installs the host's Escape probe (LodexSetEscapeProbe); null removes it.
void SetEscapeProbe(int32_t (*probe)(void));

// Asks the host whether Escape was pressed since the previous call (0 when no probe
// is installed).
int32_t PollEscape();

// dir + '/' + name.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace lodex
