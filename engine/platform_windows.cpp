// The platform layer's Windows side: kernel mutexes for the engine's locks, the keyboard's
// Escape key and message boxes.
//
// The library does not initialise COM: nothing in it uses COM, so CoInitialize at load
// would only change the loading thread's apartment under the host's feet.
#include <windows.h>

#include <cstdio>

#include "platform.h"

namespace lodex {

KernelMutex::KernelMutex() : handle_(CreateMutexA(nullptr, FALSE, nullptr)) {}

KernelMutex::~KernelMutex() {
  if (handle_) CloseHandle(handle_);
}

void KernelMutex::lock() {
  while (!Wait(INFINITE)) {
  }
}

bool KernelMutex::Wait(int64_t ms) {
  if (!handle_) return false;
  const DWORD limit = ms <= 0 ? 0 : ms >= INFINITE ? INFINITE : static_cast<DWORD>(ms);
  // WAIT_ABANDONED: the previous owner thread ended while holding the mutex; the
  // caller owns it now and the state it guards is the engine's own, so carry on.
  const DWORD rc = WaitForSingleObject(handle_, limit);
  return rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED;
}

void KernelMutex::unlock() { ReleaseMutex(handle_); }

int32_t DefaultEscapeProbe() {
  // High bit: down now; low bit: pressed since the previous call.
  return (GetAsyncKeyState(VK_ESCAPE) & 0x8001) != 0 ? 1 : 0;
}

void ShowSystemFaultMessage(const char* caption, const char* text) {
  // A process without a desktop (a service, Wine without a display) cannot show the
  // box; the message then goes to standard error rather than nowhere.
  if (MessageBoxA(nullptr, text, caption, MB_OK) <= 0) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
  }
}

}  // namespace lodex
