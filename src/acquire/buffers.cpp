// Not built yet: answers 0 until its subsystem lands.
#include "acquire/buffers.h"

namespace tarnix {

int32_t SetInputBufferSize(int32_t) { return 0; }
void KillBuffer() {}
int16_t* AllocHostBuffer(int32_t) { return nullptr; }
void AllocLocalBuffer(int32_t) {}
void FreeHostBuffer(void*) {}
void FreeLocalBuffer() {}

}  // namespace tarnix
