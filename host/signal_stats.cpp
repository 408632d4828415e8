#include "signal_stats.h"

#include <algorithm>
#include <cmath>

namespace host {

double Recording::Volts(size_t scan, size_t position) const {
  return CodeToVolts(codes[scan * channels.size() + position], rangeMax);
}

std::vector<ChannelStats> ComputeStats(const Recording& recording) {
  size_t n = recording.channels.size();
  std::vector<ChannelStats> stats(n);
  std::vector<double> sum(n, 0.0), squares(n, 0.0);
  for (size_t i = 0; i < n; ++i) stats[i].channel = recording.channels[i];
  for (size_t k = 0; k < recording.codes.size() && n > 0; ++k) {
    ChannelStats& s = stats[k % n];
    double v = CodeToVolts(recording.codes[k], recording.rangeMax);
    if (s.count == 0) {
      s.min = s.max = v;
    } else {
      s.min = std::min(s.min, v);
      s.max = std::max(s.max, v);
    }
    ++s.count;
    sum[k % n] += v;
    squares[k % n] += v * v;
  }
  for (size_t i = 0; i < n; ++i) {
    if (stats[i].count == 0) continue;
    double count = static_cast<double>(stats[i].count);
    stats[i].mean = sum[i] / count;
    stats[i].rms = std::sqrt(squares[i] / count);
  }
  return stats;
}

}  // namespace host
