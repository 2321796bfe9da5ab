// The builder's threads: at most two, since the machines it runs on are small and
// shared, and a loop split over them.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

namespace lodex::build {

// Set to a number of threads to use instead (tests compare the bases one and several
// threads build); 0 for the default.
inline std::atomic<unsigned>& WorkersOverride() {
  static std::atomic<unsigned> workers{0};
  return workers;
}

inline unsigned Workers() {
  const unsigned set = WorkersOverride().load(std::memory_order_relaxed);
  return set > 0 ? set : std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
}

// Runs task(0) .. task(count - 1) on the workers; task 0 runs on the calling thread.
template <class Task>
void ParallelFor(size_t count, Task&& task) {
  std::atomic<size_t> next{1};
  auto worker = [&] {
    for (size_t t = next++; t < count; t = next++) task(t);
  };
  std::vector<std::thread> threads;
  for (unsigned w = 1; w < Workers() && w < count; ++w) threads.emplace_back(worker);
  if (count > 0) task(0);
  worker();
  for (std::thread& t : threads) t.join();
}

// Bit ranges [first, last) of part p of parts.
inline std::pair<uint32_t, uint32_t> Range(uint32_t n, size_t p, size_t parts) {
  return {static_cast<uint32_t>(uint64_t{n} * p / parts), static_cast<uint32_t>(uint64_t{n} * (p + 1) / parts)};
}

}  // namespace lodex::build
