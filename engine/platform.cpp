#include "platform.h"

#include <atomic>

namespace lodex {
namespace {
std::atomic<int32_t (*)(void)> g_escape_probe{nullptr};
std::atomic<void (*)(const char*, const char*)> g_fault_hook{nullptr};
}  // namespace

void SetEscapeProbe(int32_t (*probe)(void)) {
  g_escape_probe.store(probe, std::memory_order_release);
}

int32_t PollEscape() {
  auto probe = g_escape_probe.load(std::memory_order_acquire);
  return probe ? probe() : DefaultEscapeProbe();
}

void ShowFaultMessage(const char* caption, const char* text) {
  auto hook = g_fault_hook.load(std::memory_order_acquire);
  (hook ? hook : ShowSystemFaultMessage)(caption, text);
}

void SetFaultMessageHook(void (*hook)(const char* caption, const char* text)) {
  g_fault_hook.store(hook, std::memory_order_release);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  std::string path;
  path.reserve(dir.size() + 1 + name.size());
  path += dir;
  path += kPathSeparator;
  path += name;
  return path;
}

const uint8_t* MappedFile::MapAtLeast(std::FILE* stream, uint64_t size) {
  if (size > 0 && Map(stream) && size_ >= size) return data_;
  Unmap();
  return nullptr;
}

}  // namespace lodex
