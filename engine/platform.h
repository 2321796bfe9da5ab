// The few operating-system services the engine needs, in portable form: locks with
// bounded waits, the host's Escape-key probe and path joining.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace lodex {

// Every wait for an engine lock gives up after this long.
inline constexpr std::chrono::milliseconds kLockWait{30000};

// Takes a timed mutex with the bounded wait. When the wait runs out the guard does
// not own the lock and the caller must answer -120 without touching shared state.
template <class Mutex>
class BoundedLock {
 public:
  explicit BoundedLock(Mutex& m) : m_(m), owned_(m.try_lock_for(kLockWait)) {}
  ~BoundedLock() { if (owned_) m_.unlock(); }
  BoundedLock(const BoundedLock&) = delete;
  BoundedLock& operator=(const BoundedLock&) = delete;

  bool owns() const { return owned_; }
  void Unlock() { if (owned_) { m_.unlock(); owned_ = false; } }
  bool Relock() { if (!owned_) owned_ = m_.try_lock_for(kLockWait); return owned_; }

 private:
  Mutex& m_;
  bool owned_;
};

// Asks the host whether Escape was pressed since the previous call (0 when no probe
// is installed).
int32_t PollEscape();

// dir + '/' + name.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace lodex
