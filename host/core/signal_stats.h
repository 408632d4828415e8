// Per-channel figures of a measurement in volts, kept while its samples
// arrive: what `acquire` prints at the end and the live view shows as it
// runs. Every sample counts, those of a last incomplete scan included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "block_loop.h"

namespace host {

// Figures of one channel, each sample added once.
struct RunningFigures {
  int64_t count = 0;
  double min = 0, max = 0, sum = 0, squares = 0;
  void Add(double v) {
    if (count == 0) {
      min = max = v;
    } else {
      min = v < min ? v : min;
      max = v > max ? v : max;
    }
    ++count;
    sum += v;
    squares += v * v;
  }
};

struct ChannelFigures : RunningFigures {
  int channel = 0;
};

struct ChannelStats {
  int channel = 0;
  int64_t count = 0;
  double min = 0, max = 0, mean = 0, rms = 0;
};

ChannelStats Summarise(const ChannelFigures& figures);

class ChannelStatistics : public BlockConsumer {
 public:
  bool Begin(const RunInfo& run) override;
  bool Take(const int16_t* codes, size_t count, int64_t first) override;
  // One entry per channel, in scan order.
  const std::vector<ChannelFigures>& figures() const { return figures_; }
  std::vector<ChannelStats> Stats() const;

 private:
  std::vector<ChannelFigures> figures_;
  RunInfo run_;
};

}  // namespace host
