// Fault injection inside the portable backend: each system operation asks
// before it acts whether it is to fail (abi/portable_control.h arms them).
#pragma once

#include "abi/portable_control.h"

namespace tarnix::platform::portable {

// True when `fault`'s operation is to fail now (consumes one call).
bool ShouldFail(TarnixFault fault);

}  // namespace tarnix::platform::portable
