// The value DRV_WriteAnalogOutput takes: an offset-binary 16-bit code, 305 uV
// a step, with 0 V at code 32768 (code 0 is -9.99424 V, 65535 +9.993935 V).
// The module turns it into the board library's microvolts; a host that lets
// a person type volts turns them into the code with the same numbers.
#pragma once

#include <cstdint>

namespace tarnix::abi {

inline constexpr uint32_t kAnalogOutputMicrovoltsPerCode = 305;
inline constexpr uint32_t kAnalogOutputZeroVoltsCode = 32768;
inline constexpr int32_t kAnalogOutputCodeMax = 65535;

}  // namespace tarnix::abi
