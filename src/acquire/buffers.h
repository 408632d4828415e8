// The host and local sample buffers.
#pragma once

#include <cstdint>

namespace tarnix {

int32_t SetInputBufferSize(int32_t size);
void KillBuffer();
int16_t* AllocHostBuffer(int32_t count);
void AllocLocalBuffer(int32_t count);
void FreeHostBuffer(void* buffer);
void FreeLocalBuffer();

}  // namespace tarnix
