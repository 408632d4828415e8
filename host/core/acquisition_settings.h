// What the host asks of one measurement: the inputs, the rate, the blocks,
// the buffer, how long it runs and how patient and how slow a host it is.
// `acquire` and the live view fill it from the same options.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace host {

struct AcquireSettings {
  std::vector<int> channels;       // scan order
  double rate = 1000;              // sampleRate, Hz: samples/s over all channels
  int32_t blockSize = 256;         // samples per block (all channels)
  int32_t bufferSize = 0;          // host buffer, samples; 0 = choose
  std::optional<int> blocks;       // stop after this many blocks...
  std::optional<double> duration;  // ...or after this many seconds of scans
  double timeout = 5;              // seconds without a block before giving up
  int hostDelayMs = 0;             // a slow host: wait this long after each block
};

// Buffer size chosen when none is given: room for several blocks and for
// half a second of scans, so the fill level means something.
int32_t DefaultBufferSize(const AcquireSettings& settings);

}  // namespace host
