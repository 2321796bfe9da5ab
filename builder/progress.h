// The progress bar of lodex-build: one line on a terminal, redrawn at most ten times a
// second, shown only once a build has run for a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace lodex::build {

class Progress {
 public:
  // enabled: draw at all (the caller checks that the stream is a terminal).
  explicit Progress(bool enabled, std::FILE* out = stderr);
  ~Progress();

  // Starts a phase of `total` steps.
  void Phase(const std::string& name, uint64_t total);
  // Reports `done` steps of the phase; cheap enough to call per record.
  void Update(uint64_t done) {
    if (enabled_ && (done & 1023) == 0) Draw(done, false);
  }
  // Removes the bar (before the summary or a message is printed).
  void Clear();

 private:
  void Draw(uint64_t done, bool force);

  bool enabled_;
  std::FILE* out_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_draw_;
  std::string phase_;
  uint64_t total_ = 0;
  bool drawn_ = false;
};

}  // namespace lodex::build
