#include "progress.h"

namespace lodex::build {

using Clock = std::chrono::steady_clock;

Progress::Progress(bool enabled, std::FILE* out)
    : enabled_(enabled), out_(out), start_(Clock::now()), last_draw_(start_) {}

Progress::~Progress() { Clear(); }

void Progress::Phase(const std::string& name, uint64_t total) {
  phase_ = name;
  total_ = total;
  if (enabled_) Draw(0, true);
}

void Progress::Draw(uint64_t done, bool force) {
  const auto now = Clock::now();
  if (now - start_ < std::chrono::seconds(1)) return;
  if (!force && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  constexpr int kWidth = 30;
  const double part = total_ ? static_cast<double>(done) / static_cast<double>(total_) : 0.0;
  const int filled = static_cast<int>(part * kWidth);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kWidth, '.');
  const double secs = std::chrono::duration<double>(now - start_).count();
  std::fprintf(out_, "\r%-22s [%s] %3d%%  %6.1f s", phase_.c_str(), bar.c_str(),
               static_cast<int>(part * 100), secs);
  std::fflush(out_);
  drawn_ = true;
}

void Progress::Clear() {
  if (!drawn_) return;
  std::fprintf(out_, "\r%*s\r", 70, "");
  std::fflush(out_);
  drawn_ = false;
}

}  // namespace lodex::build
