// The few operating-system services the engine needs, in portable form: locks with
// bounded waits, the Escape-key probe, the fault message and path joining. What differs
// between systems lives in platform_posix.cpp and platform_windows.cpp.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace lodex {

// Every wait for an engine lock gives up after this long.
inline constexpr std::chrono::milliseconds kLockWait{30000};

#if defined(_WIN32)
// A Windows kernel mutex (CreateMutexA). Its owner may take it again (each take needs
// its own unlock), and WaitForSingleObject bounds a wait by a relative time, so the
// bound holds whatever happens to the wall clock.
class KernelMutex {
 public:
  KernelMutex();
  ~KernelMutex();
  KernelMutex(const KernelMutex&) = delete;
  KernelMutex& operator=(const KernelMutex&) = delete;

  void lock();
  bool try_lock() { return Wait(0); }
  template <class Rep, class Period>
  bool try_lock_for(std::chrono::duration<Rep, Period> wait) {
    return Wait(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
  }
  void unlock();

 private:
  bool Wait(int64_t ms);
  void* handle_;
};
using TimedMutex = KernelMutex;
using RecursiveTimedMutex = KernelMutex;
#else
using TimedMutex = std::timed_mutex;
using RecursiveTimedMutex = std::recursive_timed_mutex;
#endif

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
  // A free lock is taken without the timed wait's clock reads.
  return m.try_lock() || m.try_lock_for(wait);
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

// A read-only view of a whole open file (mmap on POSIX, a file mapping on Windows), for
// files read from end to end often enough that copying them through a stream costs
// more than the reading. Map answers false (and the view stays empty) for an empty
// file or when the system refuses; callers then read through the stream instead. The
// view stays valid while the object lives, whatever happens to the stream.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Unmap(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool Map(std::FILE* stream);
  // Map, keeping the view only when it holds at least size bytes (a file that shrank
  // since it was measured is read through its stream instead). Answers the view or null.
  const uint8_t* MapAtLeast(std::FILE* stream, uint64_t size);
  void Unmap();

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Installs the host's Escape probe (LodexSetEscapeProbe); null removes it, and the
// system's own (DefaultEscapeProbe) answers again.
void SetEscapeProbe(int32_t (*probe)(void));

// Asks whether Escape was pressed since the previous call: the probe the host installed
// with LodexSetEscapeProbe, or else the system's own (DefaultEscapeProbe).
int32_t PollEscape();

// The keyboard's Escape key on Windows (down, or pressed since the previous poll); always
// 0 elsewhere, where the engine has no keyboard of its own.
int32_t DefaultEscapeProbe();

// Tells the user about a fault the operation survives: a message box without owner on
// Windows, a line "caption: text" on standard error elsewhere. Tests divert it with
// SetFaultMessageHook (nullptr restores the system's way).
void ShowFaultMessage(const char* caption, const char* text);
void SetFaultMessageHook(void (*hook)(const char* caption, const char* text));
void ShowSystemFaultMessage(const char* caption, const char* text);

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// One state of a file as the file system describes it: size, identity and change times.
// Two equal stamps of one path mean the file was not rewritten in between (on file
// systems whose times are too coarse to tell two writes in one tick apart, only as far
// as they can tell).
struct FileStamp {
  uint64_t size = 0;
  uint64_t device = 0, inode = 0;  // 0 where the system has no such numbers
  int64_t modified = 0;            // in the system's finest unit
  int64_t changed = 0;             // status change (POSIX) or creation (Windows)
  bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path; false when it cannot be read.
bool ReadFileStamp(const std::string& path, FileStamp* stamp);

// A memory barrier on every thread of the process at once (membarrier on Linux,
// FlushProcessWriteBuffers on Windows): once it returns, each other thread has either
// made its earlier stores visible or not yet made its later loads. It lets a hot path
// publish with a plain store where a rare path would otherwise need the hot path to
// fence. EnableProcessBarrier prepares it and answers whether it works here; without it
// the hot path must fence for itself.
bool EnableProcessBarrier();
void ProcessBarrier();

// Runs release(value) when a thread that called SetThreadExitValue ends, through the
// system's own thread-exit hook (a pthread key's destructor, a fiber-local slot's
// callback). C++ thread_local destructors cannot do this everywhere: where thread
// storage is emulated (MinGW), it is freed before they run. InitThreadExit is called
// once per process; both answer false when the system gives no hook.
bool InitThreadExit(void (*release)(void*));
bool SetThreadExitValue(void* value);

// dir + kPathSeparator + name.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace lodex
