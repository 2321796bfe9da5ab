// The process-wide registries of open bases and sessions. Every lookup takes the
// registry lock only for the walk; the returned references keep the objects alive
// even if another thread closes or destroys them meanwhile.
#pragma once

#include <cstdint>
#include <memory>

#include "base.h"
#include "session.h"

namespace lodex {

// The open base with that number, or null.
std::shared_ptr<Base> FindBase(int32_t number);

// The common preamble of every export that takes a session: the session (-102 when
// unknown), then its base by the stored number (-101 when closed). error is 0 when
// both were found.
struct SessionRef {
  std::shared_ptr<Session> session;
  std::shared_ptr<Base> base;
  int32_t error = 0;
};
SessionRef FindSession(int32_t number);

}  // namespace lodex
