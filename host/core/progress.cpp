#include "progress.h"

#include <cstdio>

#include "os.h"

namespace host {

void ProgressDisplay::Draw(const ProgressState& s) {
  char target[24] = "";
  if (s.targetBlocks > 0) std::snprintf(target, sizeof target, "/%d", s.targetBlocks);
  if (terminal_) {
    constexpr int kBar = 30;
    double fraction = s.fraction < 0 ? 0 : s.fraction > 1 ? 1 : s.fraction;
    int filled = static_cast<int>(fraction * kBar + 0.5);
    char bar[kBar + 1];
    for (int i = 0; i < kBar; ++i) bar[i] = i < filled ? '#' : '-';
    bar[kBar] = 0;
    std::printf("\r[%s] %3d%%  blocks %d%s  samples %lld  fill %u%%  overruns %d   ", bar,
                static_cast<int>(fraction * 100 + 0.5), s.blocks, target,
                static_cast<long long>(s.samples), s.fillPercent, s.overruns);
  } else {
    std::printf("block %d%s  samples %lld  fill %u%%  overruns %d\n", s.blocks, target,
                static_cast<long long>(s.samples), s.fillPercent, s.overruns);
  }
  std::fflush(stdout);
  drawn_ = true;
}

void ProgressDisplay::Update(const ProgressState& state, bool force) {
  double now = MonotonicSeconds();
  // A terminal redraws often; a log gets a line every half second.
  double interval = terminal_ ? 0.1 : 0.5;
  if (!force && lastShown_ >= 0 && now - lastShown_ < interval) return;
  lastShown_ = now;
  Draw(state);
}

void ProgressDisplay::Finish(const ProgressState& state) {
  Draw(state);
  if (terminal_ && drawn_) std::printf("\n");
  std::fflush(stdout);
}

}  // namespace host
