// One measurement from the command line: the block loop (block_loop.h)
// driven from start to its end (a number of blocks or seconds of scans, an
// overrun, no block for too long, Ctrl-C, or an output that cannot be
// written any further), with progress, every block handed to the consumers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "acquisition_settings.h"
#include "block_loop.h"
#include "progress.h"
#include "session.h"

namespace host {

struct AcquireOutcome {
  int exitCode = kExitOk;
  bool started = false;                      // the module measured and every consumer began
  bool overrun = false;                      // the module stopped the measurement on overrun
  bool interrupted = false;                  // Ctrl-C ended it early
  double seconds = 0;                        // wall time from start to stop
  double cpuSeconds = 0;                     // processor time of this process over the same span
  int64_t samples = 0;                       // samples delivered by the module
  uint32_t peakFillPercent = 0;              // highest fill percentage the module reported
  std::vector<std::string> overrunMessages;  // what the module showed on overrun
};

// Runs the measurement; every block goes to each of `consumers`, which are
// attached once the module measures. A consumer that cannot begin ends the
// run before the first block (kExitFile), one that fails later ends it
// there (kExitCut); either says why on stderr, named by `names` (same
// order as `consumers`). Progress goes to `display`.
AcquireOutcome RunAcquisition(Session& session, const AcquireSettings& settings,
                              ProgressDisplay& display,
                              const std::vector<BlockConsumer*>& consumers,
                              const std::vector<std::string>& names);

}  // namespace host
