// Not built yet: answers 0 until its subsystem lands.
#include "io/single_point.h"

namespace tarnix {

int32_t CodeToMicrovolts(int32_t) { return 0; }
int32_t WriteAnalogOutput(int32_t, int32_t) { return 0; }
int32_t WriteDigitalOutput(int32_t, int32_t) { return 0; }
int32_t WriteCounterOutput(int32_t, int32_t) { return 0; }
int32_t ReadDigitalInput(int32_t) { return 0; }
int32_t ReadCounterInput(int32_t) { return 0; }
const char* ExplainGainCode() { return " ? ? ? "; }

}  // namespace tarnix
