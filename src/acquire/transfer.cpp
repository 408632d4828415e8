// Not built yet: answers 0 until its subsystem lands.
#include "acquire/transfer.h"

namespace tarnix {

int32_t GetInputBufStatus() { return 0; }
int16_t* GetInputBuf() { return nullptr; }
int32_t AdvanceInputBuf() { return 1; }
MeasInfoEx* GetMeasInfoEx() { static MeasInfoEx info{}; return &info; }

}  // namespace tarnix
