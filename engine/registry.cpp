#include "registry.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <new>
#include <mutex>
#include <vector>

#include "lodex32_errors.h"
#include "platform.h"

namespace lodex {

namespace registry_detail {
constinit std::atomic<size_t> retired_count{0};
}  // namespace registry_detail

using registry_detail::PinSlot;
using registry_detail::ThreadPins;

// Reaches into a pin for FindSession, which takes it inline.
struct PinAccess {
  static void Hold(Pin& pin, ThreadPins* pins) { pin.pins_ = pins; }
};

namespace {

// What session lookups read without the registry lock: the live sessions with their
// base numbers, and the live bases. Never changed once published; every change of the
// registry publishes a new one.
struct Table {
  struct SessionEntry {
    int32_t number;
    int32_t base_number;
    Session* session;
  };
  struct BaseEntry {
    int32_t number;
    Base* base;
  };
  std::vector<SessionEntry> sessions;
  std::vector<BaseEntry> bases;
};

// A table, session or base unlinked at epoch `epoch`: a thread pinned at an earlier
// epoch may still be reading it.
struct Retired {
  uint64_t epoch = 0;
  std::unique_ptr<const Table> table;
  std::shared_ptr<void> object;
};

#if defined(__SANITIZE_THREAD__)
#define LODEX_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define LODEX_THREAD_SANITIZER 1
#endif
#endif

// Whether pins are published with a plain store, writers making them visible with a
// process-wide barrier before they look at them. ThreadSanitizer cannot see such a
// barrier, so its builds fence on every pin instead.
bool PlainPins() {
#if defined(LODEX_THREAD_SANITIZER)
  return false;
#else
  return EnableProcessBarrier();
#endif
}

// What every session lookup reads, kept outside the registry so that reaching it needs
// no initialisation check: the published table (null before the first), the epoch
// (raised after every unlink) and whether pins are plain stores (set once, when the
// registry is made, before any table is published).
constinit std::atomic<const Table*> g_table{nullptr};
constinit std::atomic<uint64_t> g_epoch{1};
constinit std::atomic<bool> g_plain_pins{false};

void ReleaseSlot(void* value);

// Both registries and both counters, guarded by one re-entrant lock. Lookups walk the
// lists linearly; numbers are unique among live entries because the counters only grow.
struct Registry {
  RecursiveTimedMutex lock;
  std::vector<std::shared_ptr<Base>> bases;
  std::vector<std::shared_ptr<Session>> sessions;
  int32_t next_base = 0;
  int32_t next_session = 0;

  // The pin slots, and what waits to be freed (under the lock; its size is mirrored
  // in registry_detail::retired_count so that unpinning threads see cheaply whether
  // there is anything to free).
  std::atomic<PinSlot*> slots{nullptr};
  std::vector<Retired> retired;

  Registry() {
    g_plain_pins.store(PlainPins(), std::memory_order_relaxed);
    InitThreadExit(ReleaseSlot);
  }
};

Registry& TheRegistry() {
  // Never destroyed: hosts may still call in while the process exits.
  static Registry* registry = new Registry;
  return *registry;
}

// The calling thread's pins. Plain data, so that reaching it costs no initialisation
// check on every export.
thread_local ThreadPins t_pins;

// Hands a thread's slot back when the thread ends (called through the platform's
// thread-exit hook with the slot; see InitThreadExit for why not a thread_local
// destructor).
void ReleaseSlot(void* value) {
  auto* slot = static_cast<PinSlot*>(value);
  if (t_pins.slot == slot) t_pins.slot = nullptr;
  slot->epoch.store(0, std::memory_order_release);
  slot->taken.store(false, std::memory_order_release);
}

// A free slot for the calling thread, or a new one; null when out of memory.
PinSlot* TakeSlot(Registry& r) {
  for (PinSlot* s = r.slots.load(std::memory_order_acquire); s; s = s->next) {
    bool free = false;
    if (!s->taken.load(std::memory_order_relaxed) &&
        s->taken.compare_exchange_strong(free, true, std::memory_order_acquire)) {
      return s;
    }
  }
  auto* slot = new (std::nothrow) PinSlot;
  if (!slot) return nullptr;
  slot->taken.store(true, std::memory_order_relaxed);
  PinSlot* head = r.slots.load(std::memory_order_relaxed);
  do {
    slot->next = head;
  } while (!r.slots.compare_exchange_weak(head, slot, std::memory_order_release,
                                          std::memory_order_relaxed));
  return slot;
}

// Moves out what no pinned thread can still read: everything unlinked at an epoch no
// later than the oldest epoch any thread is pinned at. The caller holds the lock and
// frees the result after releasing it (a base closes its files on the way).
std::vector<Retired> TakeFreeable(Registry& r) {
  std::vector<Retired> freeable;
  if (r.retired.empty()) return freeable;
  uint64_t oldest = std::numeric_limits<uint64_t>::max();
  for (PinSlot* s = r.slots.load(std::memory_order_acquire); s; s = s->next) {
    const uint64_t e = s->epoch.load(std::memory_order_seq_cst);
    if (e != 0) oldest = std::min(oldest, e);
  }
  auto kept = std::stable_partition(r.retired.begin(), r.retired.end(),
                                    [oldest](const Retired& x) { return x.epoch > oldest; });
  freeable.assign(std::make_move_iterator(kept), std::make_move_iterator(r.retired.end()));
  r.retired.erase(kept, r.retired.end());
  registry_detail::retired_count.store(r.retired.size(), std::memory_order_relaxed);
  return freeable;
}

// Publishes the table of the lists as they are now; the old table and the unlinked
// object (if any) are retired at the next epoch. Answers what can be freed already.
// The caller holds the lock. Memory for the new table is reserved before anything
// changes, so a failed allocation leaves the registry as it was.
std::vector<Retired> Publish(Registry& r, std::shared_ptr<void> unlinked) {
  auto table = std::make_unique<Table>();
  table->sessions.reserve(r.sessions.size());
  table->bases.reserve(r.bases.size());
  for (const auto& s : r.sessions) table->sessions.push_back({s->number, s->base_number, s.get()});
  for (const auto& b : r.bases) table->bases.push_back({b->number, b.get()});
  r.retired.reserve(r.retired.size() + 1);
  const Table* old = g_table.exchange(table.release(), std::memory_order_seq_cst);
  const uint64_t epoch = g_epoch.fetch_add(1, std::memory_order_seq_cst) + 1;
  // Every pin published with a plain store before this point is visible to the scans
  // from here on; a thread that pins later reads the new table.
  if (g_plain_pins.load(std::memory_order_relaxed)) ProcessBarrier();
  r.retired.push_back({epoch, std::unique_ptr<const Table>(old), std::move(unlinked)});
  try {
    return TakeFreeable(r);
  } catch (...) {
    return {};  // out of memory: freed by a later change or unpin
  }
}

int32_t NextNumber(int32_t& counter) {
  const int32_t number = counter;
  counter = static_cast<int32_t>((static_cast<uint32_t>(counter) + 1) & 0x7FFFFFFF);
  return number;
}

template <class T>
typename std::vector<std::shared_ptr<T>>::iterator FindIn(std::vector<std::shared_ptr<T>>& list,
                                                          int32_t number) {
  return std::find_if(list.begin(), list.end(),
                      [number](const std::shared_ptr<T>& p) { return p->number == number; });
}

// Takes *it out of list, hands it back in removed and publishes the change; answers
// what can be freed already. Out of memory, the list is put back as it was and the
// exception goes on. The caller holds the lock.
template <class T>
std::vector<Retired> Unlink(Registry& r, std::vector<std::shared_ptr<T>>& list,
                            typename std::vector<std::shared_ptr<T>>::iterator it,
                            std::shared_ptr<T>& removed) {
  std::shared_ptr<T> entry = std::move(*it);
  const auto at = list.erase(it);
  std::vector<Retired> freeable;
  try {
    freeable = Publish(r, entry);
  } catch (...) {
    list.insert(at, std::move(entry));
    throw;
  }
  removed = std::move(entry);
  return freeable;
}

// Pins the calling thread (once per nesting): the epoch is read before the pin is
// published and the table after it, so a writer that missed the pin published its
// table before the table is read. With plain pins the writer's process-wide barrier
// stands in for the fence between the two. Null when no slot could be made.
inline ThreadPins* PinThread() {
  ThreadPins* t = &t_pins;
  if (!t->slot) [[unlikely]] {
    t->slot = TakeSlot(TheRegistry());
    if (!t->slot) return nullptr;
    SetThreadExitValue(t->slot);  // registers the hand-back at thread end
  }
  if (t->depth++ > 0) return t;
  const uint64_t epoch = g_epoch.load(std::memory_order_acquire);
  if (g_plain_pins.load(std::memory_order_relaxed)) {
    t->slot->epoch.store(epoch, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
  } else {
    t->slot->epoch.store(epoch, std::memory_order_seq_cst);
  }
  return t;
}

}  // namespace

void registry_detail::FreeRetired() {
  Registry& r = TheRegistry();
  std::vector<Retired> freeable;  // freed after the lock is released
  if (r.lock.try_lock()) {
    try {
      freeable = TakeFreeable(r);
    } catch (...) {
      // Out of memory: it stays retired and is freed by a later change or unpin.
    }
    r.lock.unlock();
  }
}

std::shared_ptr<Base> FindBase(int32_t number) { return LookupBase(number).base; }

BaseRef LookupBase(int32_t number) {
  Registry& r = TheRegistry();
  BoundedLock guard(r.lock);
  if (!guard.owns()) return {nullptr, ERROR_BadOperationScene};
  auto it = FindIn(r.bases, number);
  if (it == r.bases.end()) return {nullptr, ERROR_BadBase};
  return {*it, 0};
}

SessionRef FindSession(int32_t number) {
  SessionRef ref;
  ThreadPins* pins = PinThread();
  if (!pins) {
    ref.error = ERROR_BadOperationScene;  // no pin slot could be made for this thread
    return ref;
  }
  PinAccess::Hold(ref.pin, pins);
  if (const Table* table = g_table.load(std::memory_order_seq_cst)) {  // after the pin
    for (const Table::SessionEntry& s : table->sessions) {
      if (s.number != number) continue;
      ref.session = s.session;
      for (const Table::BaseEntry& b : table->bases) {
        if (b.number == s.base_number) {
          ref.base = b.base;
          return ref;
        }
      }
      ref.error = ERROR_BadBase;
      return ref;
    }
  }
  ref.error = ERROR_BadSession;
  ref.pin.Release();
  return ref;
}

int32_t TakeBaseNumber(int32_t& number) {
  Registry& r = TheRegistry();
  BoundedLock guard(r.lock);
  if (!guard.owns()) return ERROR_BadOperationScene;
  number = NextNumber(r.next_base);
  return 0;
}

int32_t RegisterBase(std::shared_ptr<Base> base) {
  Registry& r = TheRegistry();
  std::vector<Retired> freeable;  // freed after the lock is released
  BoundedLock guard(r.lock);
  if (!guard.owns()) return ERROR_BadOperationScene;
  r.bases.push_back(std::move(base));
  try {
    freeable = Publish(r, nullptr);
  } catch (...) {
    r.bases.pop_back();
    throw;
  }
  return 0;
}

int32_t UnregisterBase(int32_t number, std::shared_ptr<Base>& removed) {
  Registry& r = TheRegistry();
  std::vector<Retired> freeable;
  BoundedLock guard(r.lock);
  if (!guard.owns()) return ERROR_BadOperationScene;
  auto it = FindIn(r.bases, number);
  if (it == r.bases.end()) return ERROR_BadBase;
  freeable = Unlink(r, r.bases, it, removed);
  return 0;
}

int32_t RegisterSession(const std::shared_ptr<Session>& session) {
  Registry& r = TheRegistry();
  std::vector<Retired> freeable;
  BoundedLock guard(r.lock);
  if (!guard.owns()) return ERROR_BadOperationScene;
  const int32_t before = r.next_session;
  session->number = NextNumber(r.next_session);
  r.sessions.push_back(session);
  try {
    freeable = Publish(r, nullptr);
  } catch (...) {
    r.sessions.pop_back();
    r.next_session = before;
    throw;
  }
  return 0;
}

int32_t UnregisterSession(int32_t number, std::shared_ptr<Session>& removed) {
  Registry& r = TheRegistry();
  std::vector<Retired> freeable;
  BoundedLock guard(r.lock);
  if (!guard.owns()) return ERROR_BadOperationScene;
  auto s = FindIn(r.sessions, number);
  if (s == r.sessions.end()) return ERROR_BadSession;
  if (FindIn(r.bases, (*s)->base_number) == r.bases.end()) return ERROR_BadBase;
  freeable = Unlink(r, r.sessions, s, removed);
  return 0;
}

int32_t CancelSession(int32_t number) {
  Registry& r = TheRegistry();
  BoundedLock guard(r.lock);
  if (!guard.owns()) return ERROR_BadOperationScene;
  auto s = FindIn(r.sessions, number);
  if (s == r.sessions.end()) return ERROR_BadSession;
  (*s)->cancelled.store(1, std::memory_order_relaxed);
  return 0;
}

size_t OpenBaseCount() {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.lock);
  return r.bases.size();
}

size_t SessionCount() {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.lock);
  return r.sessions.size();
}

size_t RetiredCount() {
  Registry& r = TheRegistry();
  std::lock_guard guard(r.lock);
  return r.retired.size();
}

size_t PinSlotCount() {
  size_t n = 0;
  for (PinSlot* s = TheRegistry().slots.load(std::memory_order_acquire); s; s = s->next) ++n;
  return n;
}

}  // namespace lodex
