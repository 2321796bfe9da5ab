// The platform layer's Windows side: kernel mutexes for the engine's locks, the keyboard's
// Escape key and message boxes.
//
// The library does not initialise COM: nothing in it uses COM, so CoInitialize at load
// would only change the loading thread's apartment under the host's feet.
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform.h"

namespace lodex {

bool EnableProcessBarrier() { return true; }
void ProcessBarrier() { FlushProcessWriteBuffers(); }

namespace {
DWORD g_exit_slot = FLS_OUT_OF_INDEXES;
void (*g_exit_release)(void*) = nullptr;
// Fiber-local callbacks run with the thread's value as the thread ends (and are called
// with the system's calling convention, hence the trampoline).
VOID WINAPI OnThreadExit(PVOID value) {
  if (value) g_exit_release(value);
}
}  // namespace

bool InitThreadExit(void (*release)(void*)) {
  g_exit_release = release;
  g_exit_slot = FlsAlloc(OnThreadExit);
  return g_exit_slot != FLS_OUT_OF_INDEXES;
}
bool SetThreadExitValue(void* value) {
  return g_exit_slot != FLS_OUT_OF_INDEXES && FlsSetValue(g_exit_slot, value);
}

bool ReadFileStamp(const std::string& path, FileStamp* stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  auto ticks = [](const FILETIME& t) {
    return static_cast<int64_t>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
  };
  stamp->size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  stamp->device = stamp->inode = 0;
  stamp->modified = ticks(data.ftLastWriteTime);
  stamp->changed = ticks(data.ftCreationTime);
  return true;
}

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

bool MappedFile::Map(std::FILE* stream) {
  Unmap();
  if (!stream) return false;
  const HANDLE file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  LARGE_INTEGER size;
  if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size) || size.QuadPart <= 0 ||
      static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
    return false;
  }
  const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping) return false;
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  CloseHandle(mapping);  // the view keeps the mapping alive
  if (!view) return false;
  data_ = static_cast<const uint8_t*>(view);
  size_ = static_cast<size_t>(size.QuadPart);
  return true;
}

void MappedFile::Unmap() {
  if (data_) UnmapViewOfFile(data_);
  data_ = nullptr;
  size_ = 0;
}

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
