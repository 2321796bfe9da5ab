#include "platform.h"

#include <atomic>

#include "lodex32.h"

namespace lodex {
namespace {
std::atomic<int32_t (*)(void)> g_escape_probe{nullptr};
}  // namespace

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

extern "C" LODEX_API void LodexSetEscapeProbe(int32_t (*probe)(void)) {
  lodex::g_escape_probe.store(probe, std::memory_order_release);
}
