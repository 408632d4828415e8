// The two sample buffers: the host buffer of 16-bit codes whose address the
// host receives, and the local buffer of raw 32-bit samples that the board
// library fills one block at a time. Both are fixed, zero-filled blocks of
// global memory, found again from their address when released. Their
// capacities are remembered so that transfers can be refused or limited to
// what fits.
#include "acquire/buffers.h"

#include <cstdint>

#include "core/driver_state.h"
#include "core/trace.h"
#include "platform/platform.h"

namespace tarnix {

namespace {

constexpr int32_t kErrorNoMemory = 6;
constexpr int32_t kErrorBusy = 10;

constexpr uint32_t kHostSampleBytes = sizeof(int16_t);
constexpr uint32_t kLocalSampleBytes = sizeof(int32_t);

// True when `count` samples of `sampleBytes` each make a byte count that is
// positive and fits in 32 bits.
bool FitsIn32Bits(int32_t count, uint32_t sampleBytes) {
  return count > 0 && static_cast<uint32_t>(count) <= UINT32_MAX / sampleBytes;
}

}  // namespace

int32_t SetInputBufferSize(int32_t size) {
  TraceF<100>("TARNIX:DRV_SetInputBufferSize - Setting size to %ld\n", static_cast<long>(size));
  if (size == 0) return 1;

  DriverState& s = g_state;
  RecordRef record = Record();
  // Before DRV_InitDevice there is no record to read blockSize from.
  if (!record.valid()) return 0;

  if (s.busy != 0) {
    Trace("TARNIX:DRV_SetInputBufferSize - Device was busy\n");
    SetErrorCode(kErrorBusy);
    return 0;
  }

  // A negative size or block size, or one whose byte count does not fit in
  // 32 bits, would wrap into a small allocation that later transfers
  // overrun: refused before anything is released or allocated. A block size
  // of 0 is not refused here; it fails below with the local buffer.
  const int32_t blockSize = record.get<int32_t>(TARNIX_RECORD(blockSize));
  if (!FitsIn32Bits(size, kHostSampleBytes) ||
      (blockSize != 0 && !FitsIn32Bits(blockSize, kLocalSampleBytes))) {
    Trace("TARNIX:DRV_SetInputBufferSize - Size out of range\n");
    SetErrorCode(kErrorNoMemory);
    return 0;
  }

  KillBuffer();
  FreeLocalBuffer();

  s.hostBuffer = AllocHostBuffer(size);
  if (s.hostBuffer == nullptr) {
    record.set<int32_t>(TARNIX_RECORD(bufferSize), blockSize);
    SetErrorCode(kErrorNoMemory);
    Trace("TARNIX:DRV_SetInputBufferSize - Failed to allocate Buffer Memory\n");
    return 0;
  }
  s.hostCapacity = static_cast<uint32_t>(size);

  AllocLocalBuffer(blockSize);
  if (s.localBuffer == nullptr) {
    FreeHostBuffer(s.hostBuffer);
    Trace("TARNIX:DRV_SetInputBufferSize - Failed to allocate Local Buffer Memory\n");
    SetErrorCode(kErrorNoMemory);
    return 0;
  }

  s.savedBufferSize = record.get<int32_t>(TARNIX_RECORD(bufferSize));
  record.set<int32_t>(TARNIX_RECORD(bufferSize), size);
  return 1;
}

void KillBuffer() {
  Trace("TARNIX - KillBuffer\n");
  DriverState& s = g_state;
  // While a measurement runs the board's data still lands here.
  if (s.hostBuffer == nullptr || s.busy != 0) return;
  Trace("TARNIX - KillBuffer - memory freed\n");
  FreeHostBuffer(s.hostBuffer);
  s.hostBuffer = nullptr;
  s.hostCapacity = 0;
}

int16_t* AllocHostBuffer(int32_t count) {
  if (count == 0) return nullptr;
  if (!FitsIn32Bits(count, kHostSampleBytes)) {
    SetErrorCode(kErrorNoMemory);
    return nullptr;
  }
  void* block = platform::GlobalAllocate(static_cast<uint32_t>(count) * kHostSampleBytes);
  if (block == nullptr) {
    SetErrorCode(kErrorNoMemory);
    return nullptr;
  }
  return static_cast<int16_t*>(block);
}

void AllocLocalBuffer(int32_t count) {
  if (count == 0) return;
  TraceF<100>("TARNIX - Allocating local memory (%ld)\n", static_cast<long>(count));
  DriverState& s = g_state;
  if (!FitsIn32Bits(count, kLocalSampleBytes)) {
    SetErrorCode(kErrorNoMemory);
    return;
  }
  void* block = platform::GlobalAllocate(static_cast<uint32_t>(count) * kLocalSampleBytes);
  if (block == nullptr) {
    SetErrorCode(kErrorNoMemory);
    return;
  }
  s.localBuffer = static_cast<int32_t*>(block);
  s.localCapacity = static_cast<uint32_t>(count);
}

void FreeHostBuffer(void* buffer) {
  if (buffer == nullptr) return;
  if (!platform::GlobalRelease(buffer)) return;
  g_state.hostBuffer = nullptr;
  g_state.hostCapacity = 0;
}

void FreeLocalBuffer() {
  Trace("TARNIX - Freeing local memory\n");
  DriverState& s = g_state;
  if (s.localBuffer == nullptr) return;
  if (!platform::GlobalRelease(s.localBuffer)) return;
  s.localBuffer = nullptr;
  s.localCapacity = 0;
}

}  // namespace tarnix
