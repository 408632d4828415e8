// One single-point call as the host makes it: an analog, digital or counter
// write, or a digital or counter read, through the module's own entry, and
// its refusal in the module's words. The command line and the live view
// both go through here, so they tell a refusal the same way.
#pragma once

#include <cstdint>
#include <string>

#include "session.h"

namespace host {

enum class PointKind {
  kAnalogWrite,   // DRV_WriteAnalogOutput (channel, code)
  kDigitalWrite,  // DRV_WriteDigitalOutput (port, value)
  kCounterWrite,  // DRV_WriteCounterOutput (counter, value)
  kDigitalRead,   // DRV_ReadDigitalInput (port)
  kCounterRead,   // DRV_ReadCounterInput (counter)
};

struct PointOutcome {
  bool ok = false;
  uint32_t value = 0;      // what was written, or what was read
  const char* entry = "";  // the DRV_ entry called
  std::string message;     // the module's text for a refusal
};

// Makes the call on the calling thread, which must be the one that owns
// the session. Reads and writes that answer 0 are refusals only when they
// leave an error code in the record (a port may well read 0), so the code
// is cleared first. A refusal's text is what DRV_ShowError shows for it.
PointOutcome PerformPoint(Session& session, PointKind kind, int32_t target, int32_t value = 0);

}  // namespace host
