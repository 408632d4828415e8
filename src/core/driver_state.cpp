#include "core/driver_state.h"

namespace tarnix {

DriverState g_state{};

void SetErrorCode(int32_t code) {
  RecordRef record = Record();
  if (record.valid()) record.set<int32_t>(TARNIX_RECORD(errorCode), code);
}

}  // namespace tarnix
