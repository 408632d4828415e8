// Per-channel figures of an acquisition, in volts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host {

// The samples of one measurement as the module delivered them: 12-bit codes,
// interleaved in scan order (sample k belongs to channels[k % channels.size()]).
struct Recording {
  std::vector<int> channels;
  std::vector<int16_t> codes;
  double rate = 0;      // sampleRate: samples per second over all channels
  double rangeMax = 0;  // adChannels[0].maxValue: volts of code 2047
  double rangeMin = 0;  // adChannels[0].minValue
  // Complete scans (rows of one sample per channel).
  size_t scans() const { return channels.empty() ? 0 : codes.size() / channels.size(); }
  // Sample of channel position `position` in scan `scan`, in volts.
  double Volts(size_t scan, size_t position) const;
  // The board spreads the rate over the scanned channels: one scan takes
  // channels / rate seconds.
  double ScanRate() const {
    return channels.empty() ? 0.0 : rate / static_cast<double>(channels.size());
  }
  double TimeOf(size_t scan) const {
    return ScanRate() > 0 ? static_cast<double>(scan) / ScanRate() : 0.0;
  }
};

// Code back to volts with the channel's range, as the module scaled it: its
// upper range limit reads 2047.
inline double CodeToVolts(int16_t code, double rangeMax) { return code * rangeMax / 2047.0; }

// Figures of one channel kept while its samples arrive, each sample added
// once: what the statistics of a recording and the live view both need.
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

struct ChannelStats {
  int channel = 0;
  int64_t count = 0;
  double min = 0, max = 0, mean = 0, rms = 0;
};

// One entry per channel of the recording, in scan order; every sample counts,
// including those of a last incomplete scan.
std::vector<ChannelStats> ComputeStats(const Recording& recording);

}  // namespace host
