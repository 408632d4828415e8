// The host's record as the fuzzer owns it: a fixed block the size every host
// allocates, and the fields a host (or a corrupted one) may scribble on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fuzz_input.h"

namespace tarnix::fuzz {

// Larger than the layout the module knows, as a host's record is; ASan
// guards both ends of the heap block.
inline constexpr std::size_t kHostRecordBytes = 32768;

// Writes one value into the record: a named field (counts, sizes, rates,
// channel limits, the channel mask ...) with a value chosen among the
// troublesome ones (NaN, infinities, huge, negative, zero, small) or raw
// bytes. Reads its arguments from `in`.
void WriteRecordField(uint8_t* record, FuzzInput& in);

// Writes up to 32 raw bytes at any offset inside the record.
void WriteRecordBytes(uint8_t* record, FuzzInput& in);

}  // namespace tarnix::fuzz
