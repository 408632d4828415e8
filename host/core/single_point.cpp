#include "single_point.h"

namespace host {

PointOutcome PerformPoint(Session& session, PointKind kind, int32_t target, int32_t value) {
  const DriverApi& api = session.api();
  tarnix::RecordRef record = session.record();
  record.set<int32_t>(TARNIX_RECORD(errorCode), 0);
  PointOutcome outcome;
  uint32_t result = static_cast<uint32_t>(value);
  bool zero = false;  // the entry answered 0, which may be a refusal
  switch (kind) {
    case PointKind::kAnalogWrite:
      outcome.entry = "DRV_WriteAnalogOutput";
      api.WriteAnalogOutput(target, value);  // the module reports no failure here
      break;
    case PointKind::kDigitalWrite:
      outcome.entry = "DRV_WriteDigitalOutput";
      zero = api.WriteDigitalOutput(target, value) == 0;
      break;
    case PointKind::kCounterWrite:
      outcome.entry = "DRV_WriteCounterOutput";
      zero = api.WriteCounterOutput(target, value) == 0;
      break;
    case PointKind::kDigitalRead:
      outcome.entry = "DRV_ReadDigitalInput";
      result = static_cast<uint32_t>(api.ReadDigitalInput(target));
      zero = result == 0;
      break;
    case PointKind::kCounterRead:
      outcome.entry = "DRV_ReadCounterInput";
      result = static_cast<uint32_t>(api.ReadCounterInput(target));
      zero = result == 0;
      break;
  }
  if (zero && record.get<int32_t>(TARNIX_RECORD(errorCode)) != 0) {
    outcome.message = session.ErrorText();
    return outcome;
  }
  outcome.ok = true;
  outcome.value = result;
  return outcome;
}

}  // namespace host
