// The platform layer's POSIX side: no keyboard of its own, faults on standard error,
// files mapped with mmap.
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <cstdio>

#include "platform.h"

namespace lodex {

int32_t DefaultEscapeProbe() { return 0; }

#if defined(__linux__) && defined(SYS_membarrier)
bool EnableProcessBarrier() {
  // The expedited barrier interrupts only the CPUs running this process's threads; it
  // needs the kernel's support (4.14 and later) and one registration per process.
  const long supported = syscall(SYS_membarrier, MEMBARRIER_CMD_QUERY, 0, 0);
  if (supported < 0 || !(supported & MEMBARRIER_CMD_PRIVATE_EXPEDITED)) return false;
  return syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0;
}
void ProcessBarrier() { syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0); }
#else
bool EnableProcessBarrier() { return false; }
void ProcessBarrier() {}
#endif

namespace {
pthread_key_t g_exit_key;
bool g_exit_key_made = false;
}  // namespace

bool InitThreadExit(void (*release)(void*)) {
  g_exit_key_made = pthread_key_create(&g_exit_key, release) == 0;
  return g_exit_key_made;
}
bool SetThreadExitValue(void* value) {
  return g_exit_key_made && pthread_setspecific(g_exit_key, value) == 0;
}

bool MappedFile::Map(std::FILE* stream) {
  Unmap();
  struct stat st;
  if (!stream || fstat(fileno(stream), &st) != 0 || st.st_size <= 0) return false;
  const size_t size = static_cast<size_t>(st.st_size);
  void* view = mmap(nullptr, size, PROT_READ, MAP_SHARED, fileno(stream), 0);
  if (view == MAP_FAILED) return false;
  data_ = static_cast<const uint8_t*>(view);
  size_ = size;
  return true;
}

void MappedFile::Unmap() {
  if (data_) munmap(const_cast<uint8_t*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
}

bool ReadFileStamp(const std::string& path, FileStamp* stamp) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  stamp->size = static_cast<uint64_t>(st.st_size);
  stamp->device = static_cast<uint64_t>(st.st_dev);
  stamp->inode = static_cast<uint64_t>(st.st_ino);
#if defined(__APPLE__)
  stamp->modified = int64_t{st.st_mtimespec.tv_sec} * 1000000000 + st.st_mtimespec.tv_nsec;
  stamp->changed = int64_t{st.st_ctimespec.tv_sec} * 1000000000 + st.st_ctimespec.tv_nsec;
#else
  stamp->modified = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  stamp->changed = int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
#endif
  return true;
}

void ShowSystemFaultMessage(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

}  // namespace lodex
