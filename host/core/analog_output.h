// The module's analog-output scale, as DRV_WriteAnalogOutput takes it
// (abi/analog_output_code.h): an offset-binary 16-bit code, 32768 at 0 V,
// 305 uV per code (about +-10 V). Every host view that lets a person type
// volts converts them here, so the command line and the live view write the
// same code for the same text.
#pragma once

#include <cstdint>
#include <string>

#include "abi/analog_output_code.h"

namespace host {

inline constexpr int32_t kOutputCodeMax = tarnix::abi::kAnalogOutputCodeMax;

// Volts of a code (code 0 is -9.99424 V, 65535 is +9.993935 V).
double AnalogOutputVolts(int32_t code);

// The nearest code to `volts`; false when that lies outside 0..65535 or the
// value is not a finite number.
bool AnalogOutputCode(double volts, int32_t* code);

// An analog-output value as a person types it: a code (0..65535, decimal or
// 0x hex) or volts with a V suffix ("2.5V", "-1v").
bool ParseAnalogOutputValue(const std::string& text, int32_t* code);

}  // namespace host
