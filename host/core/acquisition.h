// One measurement in the host's calling order: settings into the record,
// DRV_SetInputBufferSize, DRV_TestStruct, DRV_StartMeas, the polling cycle
// (DRV_GetInputBufStatus, DRV_GetInputBuf, DRV_AdvanceInputBuf) and
// DRV_StopMeas.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "progress.h"
#include "sequence_check.h"
#include "session.h"
#include "signal_stats.h"

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
  bool keepSamples = true;         // false: only count and check them (long runs)
};

// Buffer size chosen when none is given: room for several blocks and for
// half a second of scans, so the fill level means something.
int32_t DefaultBufferSize(const AcquireSettings& settings);

// Writes the host's requests into the record, as the host does before it
// asks the module to check them.
void WriteSettings(tarnix::RecordRef record, const AcquireSettings& settings, int32_t bufferSize);

// MeasInfoEx as the module reports it: the fill percentage of the last
// DRV_GetInputBufStatus, and whether the module still measures (it stops
// the measurement itself on an overrun).
uint32_t ReportedFillPercent(const DriverApi& api);
bool ModuleMeasuring(const DriverApi& api);

struct AcquireOutcome {
  int exitCode = kExitOk;
  bool overrun = false;                      // the module stopped the measurement on overrun
  double seconds = 0;                        // wall time from start to stop
  double cpuSeconds = 0;                     // processor time of this process over the same span
  int64_t samples = 0;                       // samples delivered by the module
  uint32_t peakFillPercent = 0;              // highest fill percentage the module reported
  std::vector<std::string> overrunMessages;  // what the module showed on overrun
};

// Runs the measurement; the samples land in `recording` (also on failure,
// as far as they came) unless settings.keepSamples is false, and each block
// goes through `check` when one is given. Progress goes to `display`.
AcquireOutcome RunAcquisition(Session& session, const AcquireSettings& settings,
                              ProgressDisplay& display, Recording* recording,
                              SequenceCheck* check = nullptr);

}  // namespace host
