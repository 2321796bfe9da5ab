// The process-wide registries of open bases and sessions, their number counters and
// the registry lock. Changes take the registry lock. Base lookups take it only for the
// walk and answer shared references. Session lookups, made by nearly every export,
// take no lock and touch no shared counter: they read a published table and pin the
// calling thread, and a session or base unlinked meanwhile (and the table that named
// it) is freed only once no thread is pinned from before the unlink. Either way an
// operation in flight never sees its session or base freed under it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base.h"
#include "session.h"

namespace lodex {

// The open base with that number, or null (also when the registry lock could not be
// had in time).
std::shared_ptr<Base> FindBase(int32_t number);

// The preamble of every export that takes a base number: the base, or error -101 when
// no open base has that number, -120 when the registry lock wait ran out.
struct BaseRef {
  std::shared_ptr<Base> base;
  int32_t error = 0;
};
BaseRef LookupBase(int32_t number);

namespace registry_detail {

// One per thread that has looked a session up: the registry epoch the thread read when
// it pinned itself, 0 while it is not pinned. Slots are never freed; the slot of a
// thread that ended is taken by the next new thread.
struct PinSlot {
  std::atomic<uint64_t> epoch{0};
  std::atomic<bool> taken{false};
  PinSlot* next = nullptr;
};

// The calling thread's pin slot and how many of its pins are held.
struct ThreadPins {
  PinSlot* slot = nullptr;
  int32_t depth = 0;
};

// How many unlinked entries wait to be freed (mirrors the registry's list).
extern std::atomic<size_t> retired_count;
// Frees what no pinned thread can still read, unless the registry lock is busy.
void FreeRetired();

}  // namespace registry_detail

// Keeps every session and base the calling thread has looked up alive until it is
// released. Pins of one thread nest; only the outermost one counts. Move-only, and
// released on the thread that took it.
class Pin {
 public:
  Pin() = default;
  Pin(Pin&& other) noexcept : pins_(other.pins_) { other.pins_ = nullptr; }
  Pin& operator=(Pin&& other) noexcept {
    if (this != &other) {
      Release();
      pins_ = other.pins_;
      other.pins_ = nullptr;
    }
    return *this;
  }
  ~Pin() { Release(); }
  Pin(const Pin&) = delete;
  Pin& operator=(const Pin&) = delete;

  bool held() const { return pins_ != nullptr; }
  void Release() {
    if (!pins_) return;
    registry_detail::ThreadPins* t = pins_;
    pins_ = nullptr;
    if (--t->depth > 0) return;
    t->slot->epoch.store(0, std::memory_order_release);
    // Something waits to be freed, perhaps for this thread.
    if (registry_detail::retired_count.load(std::memory_order_relaxed) != 0) {
      registry_detail::FreeRetired();
    }
  }

 private:
  friend struct PinAccess;
  registry_detail::ThreadPins* pins_ = nullptr;
};

// The common preamble of every export that takes a session: the session (-102 when
// unknown), then its base by the stored number (-101 when closed). error is 0 when both
// were found. The pin keeps both alive while the reference lives, even if another
// thread destroys the session or closes the base meanwhile.
struct SessionRef {
  Session* session = nullptr;
  Base* base = nullptr;
  int32_t error = 0;
  Pin pin;
};
SessionRef FindSession(int32_t number);

// Takes the next base number (the counter wraps within 0 .. 0x7FFFFFFF). Answers 0 or
// -120.
int32_t TakeBaseNumber(int32_t& number);

// Appends a fully opened base to the registry. Answers 0 or -120.
int32_t RegisterBase(std::shared_ptr<Base> base);

// Unlinks the base with that number; it is handed back in removed. Answers 0, -101 or
// -120.
int32_t UnregisterBase(int32_t number, std::shared_ptr<Base>& removed);

// Gives session the next session number and appends it. Answers 0 or -120.
int32_t RegisterSession(const std::shared_ptr<Session>& session);

// Unlinks a session unless its base is closed. Answers 0, -102, -101 (the session
// stays registered) or -120; the removed session is handed back in removed.
int32_t UnregisterSession(int32_t number, std::shared_ptr<Session>& removed);

// Sets the session's cancel flag under the registry lock. Answers 0, -102 or -120.
int32_t CancelSession(int32_t number);

// Live entries, for tests and diagnostics.
size_t OpenBaseCount();
size_t SessionCount();
// Unlinked sessions, bases and tables not yet freed because a thread was pinned when
// they were unlinked, for tests.
size_t RetiredCount();
// Pin slots ever made (one per thread alive at once), for tests.
size_t PinSlotCount();

}  // namespace lodex
