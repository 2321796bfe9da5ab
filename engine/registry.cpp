#include "registry.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "lodex32_errors.h"
#include "platform.h"

namespace lodex {
namespace {

// Both registries and both counters, guarded by one re-entrant lock. Lookups walk the
// lists linearly; numbers are unique among live entries because the counters only grow.
struct Registry {
  RecursiveTimedMutex lock;
  std::vector<std::shared_ptr<Base>> bases;
  std::vector<std::shared_ptr<Session>> sessions;
  int32_t next_base = 0;
  int32_t next_session = 0;
};

Registry& TheRegistry() {
  // Never destroyed: hosts may still call in while the process exits.
  static Registry* registry = new Registry;
  return *registry;
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

}  // namespace

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
  Registry& r = TheRegistry();
  BoundedLock guard(r.lock);
  if (!guard.owns()) return {nullptr, nullptr, ERROR_BadOperationScene};
  auto s = FindIn(r.sessions, number);
  if (s == r.sessions.end()) return {nullptr, nullptr, ERROR_BadSession};
  auto b = FindIn(r.bases, (*s)->base_number);
  if (b == r.bases.end()) return {*s, nullptr, ERROR_BadBase};
  return {*s, *b, 0};
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
  BoundedLock guard(r.lock);
  if (!guard.owns()) return ERROR_BadOperationScene;
  r.bases.push_back(std::move(base));
  return 0;
}

int32_t UnregisterBase(int32_t number, std::shared_ptr<Base>& removed) {
  Registry& r = TheRegistry();
  BoundedLock guard(r.lock);
  if (!guard.owns()) return ERROR_BadOperationScene;
  auto it = FindIn(r.bases, number);
  if (it == r.bases.end()) return ERROR_BadBase;
  removed = std::move(*it);
  r.bases.erase(it);
  return 0;
}

int32_t RegisterSession(const std::shared_ptr<Session>& session) {
  Registry& r = TheRegistry();
  BoundedLock guard(r.lock);
  if (!guard.owns()) return ERROR_BadOperationScene;
  session->number = NextNumber(r.next_session);
  r.sessions.push_back(session);
  return 0;
}

int32_t UnregisterSession(int32_t number, std::shared_ptr<Session>& removed) {
  Registry& r = TheRegistry();
  BoundedLock guard(r.lock);
  if (!guard.owns()) return ERROR_BadOperationScene;
  auto s = FindIn(r.sessions, number);
  if (s == r.sessions.end()) return ERROR_BadSession;
  if (FindIn(r.bases, (*s)->base_number) == r.bases.end()) return ERROR_BadBase;
  removed = std::move(*s);
  r.sessions.erase(s);
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

}  // namespace lodex
