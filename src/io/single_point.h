// Single-point analog, digital and counter I/O, and the inert entries.
#pragma once

#include <cstdint>

namespace tarnix {

int32_t CodeToMicrovolts(int32_t code);
int32_t WriteAnalogOutput(int32_t channel, int32_t code);
int32_t WriteDigitalOutput(int32_t port, int32_t value);
int32_t WriteCounterOutput(int32_t counter, int32_t value);
int32_t ReadDigitalInput(int32_t port);
int32_t ReadCounterInput(int32_t counter);
const char* ExplainGainCode();

}  // namespace tarnix
