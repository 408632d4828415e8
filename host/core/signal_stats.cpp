#include "signal_stats.h"

#include <cmath>

namespace host {

ChannelStats Summarise(const ChannelFigures& f) {
  ChannelStats s;
  s.channel = f.channel;
  s.count = f.count;
  s.min = f.min;
  s.max = f.max;
  if (f.count > 0) {
    double count = static_cast<double>(f.count);
    s.mean = f.sum / count;
    s.rms = std::sqrt(f.squares / count);
  }
  return s;
}

bool ChannelStatistics::Begin(const RunInfo& run) {
  figures_.assign(run.channels.size(), ChannelFigures{});
  for (size_t i = 0; i < run.channels.size(); ++i) figures_[i].channel = run.channels[i];
  run_ = run;
  return !figures_.empty();
}

bool ChannelStatistics::Take(const int16_t* codes, size_t count, int64_t first) {
  const size_t channels = figures_.size();
  size_t position = static_cast<size_t>(first % static_cast<int64_t>(channels));
  for (size_t k = 0; k < count; ++k) {
    figures_[position].Add(run_.Volts(codes[k]));
    if (++position == channels) position = 0;
  }
  return true;
}

std::vector<ChannelStats> ChannelStatistics::Stats() const {
  std::vector<ChannelStats> stats;
  for (const ChannelFigures& f : figures_) stats.push_back(Summarise(f));
  return stats;
}

}  // namespace host
