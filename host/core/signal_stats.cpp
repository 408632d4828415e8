#include "signal_stats.h"

#include <cmath>

namespace host {

double Recording::Volts(size_t scan, size_t position) const {
  return CodeToVolts(codes[scan * channels.size() + position], rangeMax);
}

std::vector<ChannelStats> ComputeStats(const Recording& recording) {
  size_t n = recording.channels.size();
  std::vector<ChannelStats> stats(n);
  std::vector<RunningFigures> figures(n);
  for (size_t k = 0; k < recording.codes.size() && n > 0; ++k)
    figures[k % n].Add(CodeToVolts(recording.codes[k], recording.rangeMax));
  for (size_t i = 0; i < n; ++i) {
    const RunningFigures& f = figures[i];
    stats[i].channel = recording.channels[i];
    stats[i].count = f.count;
    stats[i].min = f.min;
    stats[i].max = f.max;
    if (f.count == 0) continue;
    double count = static_cast<double>(f.count);
    stats[i].mean = f.sum / count;
    stats[i].rms = std::sqrt(f.squares / count);
  }
  return stats;
}

}  // namespace host
