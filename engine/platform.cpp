#include "platform.h"

#include <atomic>

namespace lodex {
namespace {
std::atomic<int32_t (*)(void)> g_escape_probe{nullptr};
}  // namespace

void SetEscapeProbe(int32_t (*probe)(void)) {
  g_escape_probe.store(probe, std::memory_order_release);
}

int32_t PollEscape() {
  auto probe = g_escape_probe.load(std::memory_order_acquire);
  return probe ? probe() : 0;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  std::string path;
  path.reserve(dir.size() + 1 + name.size());
  path += dir;
  path += '/';
  path += name;
  return path;
}

}  // namespace lodex
